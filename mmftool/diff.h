// mmftool diff: how far two HMM sets or model files lie apart, model by model, as one
// report. Each side is a set (read from a text or binary macro file, imported from HTK model
// files, or one in memory) or a model file; between a set and a model file the set is first
// encoded as the model file writer encodes it, so both are compared on what a model file
// holds and a conversion compared with its source shows no difference.
//
// Library code: failures are thrown as mac2mod::error (a read's own message and status);
// nothing is printed and the process never ends.
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "export/modelFileReader.h"
#include "hmm/macroClass.h"

namespace mac2mod {

// One side of a comparison, a set or a model file, read here and owned, or borrowed from
// the caller (who keeps it alive and unchanged while the side is in use).
class diffSide {
public:
    // Reads what a side names: a path ending in .mac/.MAC or .macb/.MACB is a set, .mod/.MOD a model
    // file; anything else is an HTK model file, and several HTK files are given as one side
    // joined by commas, in load order ("macros,hmmdefs"). table, when not "", names a model
    // file's records, in its messages too.
    static diffSide read(const std::string &named, const std::string &table = "");
    static diffSide of(const macroClass &set, const std::string &label);
    static diffSide of(const modelFile &file, const std::string &label);

    const macroClass *set() const { return set_; }     // one of the two is set
    const modelFile *file() const { return file_; }
    const std::string &label() const { return label_; }
    const char *kind() const { return kind_; }   // "set", "htk" or "model file"

private:
    std::shared_ptr<const macroClass> ownedSet_;
    std::shared_ptr<const modelFile> ownedFile_;
    const macroClass *set_ = nullptr;
    const modelFile *file_ = nullptr;
    std::string label_;
    const char *kind_ = "set";
};

struct diffOptions {
    std::string table;       // the ModelNames.txt naming model file records; "" for none
    double tolerance = 0;    // a measure above it is a difference
    int top = 10;            // the worst entries kept for each measure
};

// The whole report as one document, as `mmftool diff --json` prints it; its "differs" is
// true when anything differs beyond the tolerance. docs/mmftool-diff.md lists its fields.
nlohmann::ordered_json diff(const diffSide &a, const diffSide &b, const diffOptions &options);

// The report as text for a reader, from the document diff returned.
std::string diffText(const nlohmann::ordered_json &report);

}  // namespace mac2mod
