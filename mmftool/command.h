// The subcommands of mmftool. main separates a subcommand's flags from its arguments and
// checks their number; each subcommand returns the process's exit status.
//
// Failures of mmftool itself go to standard error with a non-zero status (2 for a wrong
// command line); the libraries' own messages keep standard output and their statuses.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "hmm/fileForm.h"
#include "utility/fileUtil.h"

struct commandLine {
    std::string command;
    std::vector<std::string> args;
    std::set<std::string> flags;
    std::map<std::string, std::string> values;   // of the flags that take one

    bool has(const char *flag) const { return flags.count(flag) != 0; }
    const char *value(const char *flag) const
    {
        auto found = values.find(flag);
        return found == values.end() ? nullptr : found->second.c_str();
    }
    // The same, or fallback when the flag was not given.
    std::string value(const char *flag, const std::string &fallback) const
    {
        const char *given = value(flag);
        return given ? given : fallback;
    }
    const char *arg(size_t k) const { return args[k].c_str(); }
};

int checkCommand(const commandLine &line);
int convertCommand(const commandLine &line);
int dumpCommand(const commandLine &line);
int namesCommand(const commandLine &line);
int modinfoCommand(const commandLine &line);
int importCommand(const commandLine &line);
int diffCommand(const commandLine &line);

// "mmftool COMMAND: message" and the command's usage on standard error; returns 2.
int usageError(const commandLine &line, const std::string &message);
// "mmftool COMMAND: " and the message on standard error; returns 1.
int toolError(const commandLine &line, const char *format, ...) __attribute__((format(printf, 2, 3)));

// "title:", then "  value units: number" for each entry, in ascending order of value.
void printCounts(const char *title, const std::map<int, int> &counts, const char *unit);

enum class macroKind { none, text, binary };

// By extension, as the library's readers are chosen (hmm/fileForm.h): a model file is none.
inline macroKind macroKindOf(const char *path)
{
    switch (fileFormOf(path)) {
    case fileForm::text: return macroKind::text;
    case fileForm::binary: return macroKind::binary;
    default: return macroKind::none;
    }
}

// By extension: mod/MOD is a model file.
inline bool isModelFilePath(const char *path)
{
    const char *extension = fileExtension(path);
    return std::strcmp(extension, "mod") == 0 || std::strcmp(extension, "MOD") == 0;
}
