// The table as the converter's reader reads it (nameTable.cpp), told by that reader: each
// entry "%d %s", an entry whose number does not read keeps the name before it, and only the
// first modelNum - 1 entries are read. Models take entries as the converter pairs them
// (matchTable).
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "export/nameTable.h"
#include "hmm/macroScanner.h"
#include "hmm/setLimits.h"
#include "mmftool/lint.h"
#include "utility/error.h"

namespace {

// The recogniser's table holds names of at most this many characters.
constexpr size_t TABLE_NAME_MAX = 19;

struct tableEntry {
    std::string name;
    long offset;      // of its name, or of what stood where its number should be
    bool read;        // false: its number did not read, and it repeats the name before it
};

class tableChecks : public tableObserver {
public:
    tableChecks(const hmmSet &set, const std::string &path, setLint &lint)
        : set_(set), path_(path), lint_(lint) {}

    std::vector<finding> run()
    {
        readNameTable(path_.c_str(), set_.modelNum, nullptr, this);
        checkEntries();
        pairModels();
        sortFindings(findings_);
        lines_.place(findings_, path_);
        return findings_;
    }

    void bytes(const char *bytes, size_t n) override { lines_.add(bytes, n); }

    void entry(int, const std::string &name, long offset, bool read) override
    {
        if (!read && brokenAt_ > entries_.size())
            brokenAt_ = entries_.size();
        entries_.push_back({name, offset, read});
    }

    void after(macroScanner &scan) override
    {
        if (brokenAt_ < entries_.size())
            reportBroken(scan);
        else
            checkUnread(scan);
    }

private:
    void add(long offset, const char *check, std::string message)
    {
        finding f;
        f.file = path_;
        f.offset = offset;
        f.check = check;
        f.message = std::move(message);
        findings_.push_back(std::move(f));
    }

    // The first entry that did not read, told by what follows the entries.
    void reportBroken(macroScanner &scan)
    {
        const tableEntry &e = entries_[brokenAt_];
        std::string rest;
        std::string what = scan.token(rest) == macroScanner::ok
                               ? formatted("entry %zu is not a number and a name", brokenAt_ + 1)
                               : formatted("the table ends before entry %zu", brokenAt_ + 1);
        std::string given = e.name.empty() ? "an empty name" : "the name \"" + e.name + "\" of the entry before";
        add(e.offset, "entry-unread",
            formatted("%s, of the %d the set needs: the converter gives it and the %zu after it %s", what.c_str(),
                      set_.modelNum - 1, entries_.size() - brokenAt_ - 1, given.c_str()));
    }

    // What follows the entries the converter reads is never read.
    void checkUnread(macroScanner &scan)
    {
        long from = scan.skipToToken();
        std::string name;
        size_t more = 0;
        int unused;
        while (scan.integer(unused) == macroScanner::ok && scan.token(name) == macroScanner::ok)
            more++;
        if (more > 0 || scan.token(name) == macroScanner::ok)
            add(from, "entries-not-read",
                formatted("the converter never reads the table from here on (%zu more entr%s): the set has %d models, "
                          "so it reads the first %d entries",
                          more, more == 1 ? "y" : "ies", set_.modelNum, set_.modelNum - 1));
    }

    void checkEntries()
    {
        for (const tableEntry &e : entries_) {
            if (!e.read)
                continue;
            if (e.name == "sil")
                add(e.offset, "sil-listed",
                    "\"sil\" is listed: the converter writes the first model named \"sil\" before the entries "
                    "by itself, so this entry serves only a second model of that name");
            if (e.name.size() > TABLE_NAME_MAX)
                add(e.offset, "name-too-long",
                    formatted("the name \"%s\" has %zu characters; a table name holds at most %zu", e.name.c_str(),
                              e.name.size(), TABLE_NAME_MAX));
        }
    }

    void pairModels()
    {
        // Entry 0 is the "sil" the converter puts first; entry j is entries_[j - 1].
        std::vector<std::string> table{"sil"};
        for (const tableEntry &e : entries_)
            table.push_back(e.name);
        std::vector<const char *> modelNames(set_.modelNum);
        std::set<std::string_view> named;
        for (int m = 0; m < set_.modelNum; m++) {
            modelNames[m] = set_.model[m].str;
            named.insert(modelName(set_.model[m]));
        }
        tableMatch match = matchTable(table, modelNames);
        for (int m : match.modelsWithoutEntry)
            lint_.findings.push_back(lint_.at(lint_.modelAt[m], "no-entry",
                                              formatted("no entry of \"%s\" is left for model %d (\"%s\")",
                                                        path_.c_str(), m, modelNames[m])));
        for (size_t j = 1; j < table.size(); j++) {
            // An unread entry is reported as such.
            if (match.entryModel[j] >= 0 || !entries_[j - 1].read)
                continue;
            const std::string &name = table[j];
            add(entries_[j - 1].offset, "no-model",
                named.count(name) ? formatted("no model named \"%s\" is left for entry %zu: other entries took them",
                                              name.c_str(), j)
                                  : formatted("no model is named \"%s\" (entry %zu)", name.c_str(), j));
        }
        sortFindings(lint_.findings);
    }

    const hmmSet &set_;
    const std::string &path_;
    setLint &lint_;
    std::vector<tableEntry> entries_;
    size_t brokenAt_ = SIZE_MAX;   // the first entry that did not read
    std::vector<finding> findings_;
    lineIndex lines_;
};

}  // namespace

std::vector<finding> lintTable(const hmmSet &set, const std::string &tablePath, setLint &lint)
{
    return tableChecks(set, tablePath, lint).run();
}
