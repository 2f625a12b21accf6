// Reads a model file back (its layout is in modelFileLayout.h) and checks it to the last byte:
// the file mirrors the writer field by field, every count is a whole number within what a set
// can hold (vector size 1 to 24, 0 to 3 emitting states, 0 to 12 mixtures), every record is
// complete and nothing follows the last one.
//
// Values are numbered from 0 in file order (value i is at byte 4 i). Records are numbered as
// the table entries that decide them: record 0 is the "sil" record, record j the model of
// entry j of ModelNames.txt. States and mixtures are numbered from 0 within their record; the
// messages number them as every other message of the tools does: states as HTK numbers them
// (the first emitting one is 2), components from 1.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct modelFileState {
    size_t at;        // the value index of its mixture count
    int mixtureNum;
};

struct modelFileRecord {
    size_t at;        // the value index of its first value (the state count; sil has none)
    std::vector<modelFileState> states;
};

struct modelFile {
    int vecSize = 0;
    std::vector<float> values;              // every value of the file, counts included
    std::vector<modelFileRecord> records;   // records[0] is "sil"
    std::vector<std::string> names;         // per record, from the table the read was given
                                            // ("sil" first); empty without one

    int modelNum() const { return static_cast<int>(records.size()); }   // sil included

    // The fields of a state, mixture k, element v.
    float scaledWeight(const modelFileState &state, int k) const;
    float logWeight(const modelFileState &state, int k) const;
    float mean(const modelFileState &state, int k, int v) const;
    float variance(const modelFileState &state, int k, int v) const;

    // The record that holds value index, or -1 for the header.
    int recordOf(size_t index) const;
    // Record r as the messages name it: record 2 ("a") with a table, record 2 without one;
    // record 0 is ("sil") either way.
    std::string recordName(int r) const;
    // What value index holds, for messages: "the vector size", "record 2 (\"a\"): the count
    // of emitting states", "record 2 (\"a\"), state 2, component 1: mean[3]". It may name a
    // value beyond the end of the values read so far, as long as the records describe it.
    std::string describe(size_t index) const;
};

// The file read and checked, or mac2mod::error with what is wrong as its message (a sentence
// without the path, status 1), placed at the file and the byte; a file that cannot be opened
// gives the open error (status -1). table, when given, is the ModelNames.txt that names the
// records, in names and in the messages; it is read as the converter reads it, after the file
// (its own errors then), or only for the names of a message when the file is at fault.
modelFile readModelFile(const char *path, const char *table = nullptr);
// The same for the bytes of a model file in memory.
modelFile parseModelFile(const unsigned char *bytes, size_t size, const char *table = nullptr);
