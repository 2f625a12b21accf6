// The HTK import: every file in memory, then its definitions read in load order and untied
// into the set's fixed records as each is read (htk-mmf.md describes the format; its section
// 13 is the checklist).
#include "htk/htkImport.h"

#include "htk/htkReader.h"
#include "htk/htkUntie.h"

namespace mac2mod {

void importHtk(macroClass &set, const std::vector<std::string> &paths, htkImportSummary &summary,
               htkObserver *observer)
{
    summary = htkImportSummary();
    if (set.MMF.model || set.MMF.modelNum)
        throw error("importHtk: the set to fill is not empty\n", 1);
    if (paths.empty())
        throw error("importHtk: no file to read\n", 1);
    // The models are counted first (every "~h", and one more per file for a model without a
    // header), so that the array is allocated once; pages of it never used are never touched.
    std::vector<std::unique_ptr<htk::source>> sources;
    size_t bound = 0, likely = 0;
    for (const std::string &path : paths) {
        sources.push_back(std::make_unique<htk::source>(path));
        size_t headers = 0;
        bound += sources.back()->modelHeaderBound(&headers) + 1;
        likely += headers;
    }
    htk::untier untie(summary, bound, static_cast<int>(likely));
    htk::reader read(sources, untie, observer);
    try {
        for (size_t f = 0; f < sources.size(); f++)
            read.readFile(static_cast<int>(f));
    } catch (const error &stop) {
        if (untie.limitsBroken())
            throw untie.limitsRefusal(&stop);
        throw;
    }
    if (untie.limitsBroken())
        throw untie.limitsRefusal(nullptr);
    if (read.models() == 0)
        throw error(paths.back() + ": no model (~h) is defined in the files\n", 1);
    int binaryFiles = 0;
    for (const auto &in : sources)
        binaryFiles += in->seenBinary() ? 1 : 0;
    untie.finish(set, static_cast<int>(paths.size()), binaryFiles, read.unreferencedMacros());
}

void importHtk(macroClass &set, const std::vector<std::string> &paths, htkImportSummary &summary)
{
    importHtk(set, paths, summary, nullptr);
}

void importHtk(macroClass &set, const std::vector<std::string> &paths)
{
    htkImportSummary summary;
    importHtk(set, paths, summary);
}

}  // namespace mac2mod
