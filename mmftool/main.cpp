// mmftool: inspects, checks and converts HMM sets and model files from the command line,
// with the same readers and writers as the converter.
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mmftool/command.h"
#include "utility/error.h"
#include "utility/signalCleanup.h"

namespace {

struct subcommand {
    const char *name;
    const char *synopsis;
    const char *help;
    std::vector<std::string> flags;
    size_t minArgs, maxArgs;
    int (*run)(const commandLine &);
};

const subcommand subcommands[] = {
    {"check", "check FILE... [--table TABLE] [--strict] [--json]",
     "Reads a .mac or .macb file as the converter does and summarises the set. A malformed\n"
     "file gets the reader's own message and, beneath it, the line and column (text) or the\n"
     "byte (binary) where the read stopped, with what stands there.\n"
     "A set that reads is then checked for what converts but hurts the recogniser: values\n"
     "that are not numbers, variances not above 0, mixture weights below 0 or not summing to\n"
     "1, components counted and not given, a name given twice, no \"sil\", bytes after the\n"
     "last model; each warning as FILE:LINE:COLUMN (text) or FILE: byte N (binary).\n"
     "--table TABLE also checks TABLE (a ModelNames.txt) as the converter reads it for the\n"
     "set. --strict: any warning makes the exit status 1. --json: the summary and the\n"
     "warnings as one JSON document.\n"
     "Any other FILE... are HTK model files in load order, checked through the import: the\n"
     "summary import --dry-run prints, or the import's refusal with its places; then the\n"
     "same warnings, each at the line and column (binary: the byte) of the HTK file where the\n"
     "value stands, a value shared through a macro at its definition.\n",
     {"--table TABLE", "--strict", "--json"}, 1, SIZE_MAX, checkCommand},
    {"convert", "convert IN OUT [--prepare] [--table TABLE]",
     "Reads IN and writes OUT; each is a text (.mac) or binary (.macb) macro file, as its\n"
     "extension says, or OUT is a model file (.mod), written as the converter writes it in\n"
     "the order of TABLE (default ModelNames.txt in the working directory). --prepare sorts\n"
     "the models by name and prepares them for scoring (inverse variances, logarithmic\n"
     "weights and transitions) before writing a macro file.\n",
     {"--prepare", "--table TABLE"}, 2, 2, convertCommand},
    {"dump", "dump FILE MODEL OUT",
     "Writes the diagnostic dump of one model to OUT. MODEL is a model's name or, when no\n"
     "model has that name, its index in the set (from 0, in file order).\n",
     {}, 3, 3, dumpCommand},
    {"names", "names FILE [--sorted] [--table]",
     "Prints the model names, one per line, in set order. --sorted: in the order the models\n"
     "are sorted in for search. --table: as ModelNames.txt for the converter, a number and a\n"
     "name per line, counting from 1, with \"sil\" left out.\n",
     {"--sorted", "--table"}, 1, 1, namesCommand},
    {"modinfo", "modinfo FILE.mod [--table TABLE] [SET TABLE]",
     "Reads a model file back, checks its structure to the last byte and summarises it, with\n"
     "a warning for each value that is not a number and each variance not above 0. Records\n"
     "are named by their number (record 0 is \"sil\") and, given the ModelNames.txt TABLE, by\n"
     "its names: record 2 (\"a\"), state 3 (as HTK numbers states), component 1; the place\n"
     "is the byte. Given the macro file SET and its TABLE, also checks value by value that the\n"
     "file is what the converter writes for them.\n",
     {"--table TABLE"}, 1, 3, modinfoCommand},
    {"import", "import FILE... OUT [--table TABLE] [--dry-run] [--strict]",
     "Reads HTK model files (text or binary master macro files, as HTK's tools write them),\n"
     "in load order, resolves every shared part and writes OUT as its extension says: .mac\n"
     "(the converter's text form, vectors of 24 values only), .macb (binary macro file) or\n"
     ".mod (the model file, in the order of TABLE, default ModelNames.txt in the working\n"
     "directory). Prints a summary of what it read and resolved. --dry-run reads and checks\n"
     "only. A file the set cannot hold is refused with FILE:LINE:COLUMN (binary: FILE: byte N)\n"
     "and the cause, every capacity the set breaks named at once; nothing is written then.\n"
     "After the summary come the warnings check gives for the set (the first 10, and the\n"
     "check command that lists them all), placed in the HTK files. --strict: a warning\n"
     "fails the import (exit status 1) and nothing is written.\n",
     {"--dry-run", "--table TABLE", "--strict"}, 2, SIZE_MAX, importCommand},
    {"diff", "diff A B [--table TABLE] [--tolerance X] [--top N] [--json]",
     "Compares two sets or model files model by model. A and B are each a text (.mac) or\n"
     "binary (.macb) macro file, a model file (.mod), or HTK model files: any other name,\n"
     "several joined by commas in load order (macros,hmmdefs). Models are paired by name:\n"
     "a model file's records take their names from TABLE (a ModelNames.txt), else from the\n"
     "set it is compared with, else by position (sil, 1, 2, ...). A set compared with a\n"
     "model file is first encoded as the converter writes it (in TABLE's order, else its\n"
     "own with sil first), so only what a model file holds is compared.\n"
     "Reports models only in one side, models of different structure, and for the others\n"
     "the N worst (--top N, default 10) of: |mean B - mean A| / sigma A, |ln(variance B /\n"
     "variance A)|, |weight B - weight A|, |log weight B - log weight A|, the symmetric\n"
     "Kullback-Leibler divergence of the components and |transition B - transition A|,\n"
     "each at its model, state (from 2), stream, component and dimension (from 1); then,\n"
     "per dimension, the RMS of the mean shift and of the log variance ratio.\n"
     "Exit status 0 when nothing differs by more than X (--tolerance X, default 0), 1 when\n"
     "something does, 2 when a side cannot be read (its reader's message on standard\n"
     "output) or the command line is wrong. --json: the whole report as one JSON document.\n",
     {"--table TABLE", "--tolerance X", "--top N", "--json"}, 2, 2, diffCommand},
};

void printUsage(FILE *out)
{
    std::fprintf(out, "Usage: mmftool SUBCOMMAND ARGUMENTS\n");
    for (const subcommand &c : subcommands)
        std::fprintf(out, "  mmftool %s\n", c.synopsis);
    std::fprintf(out, "Run \"mmftool SUBCOMMAND --help\" for what each one does.\n");
}

const subcommand *find(const std::string &name)
{
    for (const subcommand &c : subcommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

bool isFlag(const std::string &arg)
{
    return arg.size() > 1 && arg[0] == '-';
}

// The words after the subcommand: flags anywhere, "--" ends them (for a name beginning
// with '-'). A flag listed with a value ("--table TABLE") takes the next word.
int runSubcommand(const subcommand &c, int argc, char **argv)
{
    commandLine line;
    line.command = c.name;
    bool flagsEnded = false;
    for (int k = 0; k < argc; k++) {
        std::string arg = argv[k];
        if (flagsEnded || !isFlag(arg)) {
            line.args.push_back(arg);
        } else if (arg == "--") {
            flagsEnded = true;
        } else if (arg == "--help") {
            std::printf("Usage: mmftool %s\n%s", c.synopsis, c.help);
            return 0;
        } else {
            const std::string *known = nullptr;
            for (const std::string &flag : c.flags)
                if (flag.substr(0, flag.find(' ')) == arg)
                    known = &flag;
            if (!known)
                return usageError(line, "unknown option \"" + arg + "\"");
            if (known->find(' ') == std::string::npos)
                line.flags.insert(arg);
            else if (++k < argc)
                line.values[arg] = argv[k];
            else
                return usageError(line, "option \"" + arg + "\" needs a value");
        }
    }
    if (line.args.size() < c.minArgs || line.args.size() > c.maxArgs)
        return usageError(line, "wrong number of arguments");
    return c.run(line);
}

}  // namespace

int usageError(const commandLine &line, const std::string &message)
{
    std::fflush(stdout);
    std::fprintf(stderr, "mmftool %s: %s\nUsage: mmftool %s\n", line.command.c_str(),
                 message.c_str(), find(line.command)->synopsis);
    return 2;
}

int toolError(const commandLine &line, const char *format, ...)
{
    std::fflush(stdout);
    std::fprintf(stderr, "mmftool %s: ", line.command.c_str());
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    return 1;
}

int main(int argc, char **argv)
{
    mac2mod::guardOutputFiles();
    std::string name = argc > 1 ? argv[1] : "";
    if (name == "--help") {
        printUsage(stdout);
        return 0;
    }
    const subcommand *c = find(name);
    if (!c) {
        if (argc > 1)
            std::fprintf(stderr, "mmftool: unknown subcommand \"%s\"\n", name.c_str());
        printUsage(stderr);
        return 2;
    }
    try {
        int status = runSubcommand(*c, argc - 2, argv + 2);
        std::fflush(stdout);
        return status;
    } catch (const mac2mod::error &e) {
        mac2mod::exitWith(e);   // the libraries' messages keep standard output
    } catch (const std::bad_alloc &) {
        mac2mod::exitWith(mac2mod::outOfMemory());
    }
}
