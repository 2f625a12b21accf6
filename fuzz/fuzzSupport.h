// What the fuzz targets share. The targets call the throwing set operations, so a refusal
// unwinds back to the entry and the next input runs in the same process; the input goes to a
// file in a private folder; and whatever a reader accepted or refused must hold to the rules
// below, or the target aborts and the fuzzer keeps the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "hmm/fieldObserver.h"
#include "hmm/setIO.h"

// Makes the private folder; call from LLVMFuzzerInitialize.
void fuzzInitialize();
// A file of the private folder.
std::string fuzzPath(const char *name);
void writeInput(const std::string &path, const uint8_t *data, size_t size);
std::string readWhole(const std::string &path);

struct outcome {
    bool completed;   // false: refused
    int status;       // the refusal's exit status
    long offset;      // and where it was met
};

// Runs body. A refusal must report a failure: status 1 or -1, never 0.
template <class Body>
outcome runGuarded(Body body)
{
    try {
        body();
        return {true, 0, -1};
    } catch (const mac2mod::error &stop) {
        if (stop.status() != 1 && stop.status() != -1)
            std::abort();
        return {false, stop.status(), stop.offset()};
    }
}

inline bool sameOutcome(const outcome &a, const outcome &b)
{
    return a.completed == b.completed && a.status == b.status && a.offset == b.offset;
}

// Aborts unless every count of the set lies inside its capacity and every name and the
// global option line end within their fields.
void checkSetCapacities(const hmmSet &set);

// What a reader told its observer. check, for an accepted read, aborts unless the models came once each and in
// order, every place lies in the file and after the one before it, every value is the one
// the set holds at its site, and (for a binary file, whose bytes are given) the one encoded
// at its place.
class checkingObserver : public fieldObserver {
public:
    void model(int m, long offset) override;
    void value(const valueSite &site, float value, long offset) override;
    void stream(int m, int e, int s, int given, long countsOffset) override;
    void end(long) override {}
    void check(const hmmSet &set, const uint8_t *data, size_t size, bool binary) const;

private:
    struct told {
        valueSite site;
        float value;
        long offset;
    };
    std::vector<told> values_;
    int models_ = 0;
    long last_ = -1;   // the last place told
    bool ordered_ = true;
};

// Notes the lowest free file descriptor when an input starts; at its end, checkNothingLeft
// aborts if a descriptor opened on the way is still open or the private folder holds any
// file but the ones named (a partial output file, a temporary file beside a target).
class inputGuard {
public:
    inputGuard();
    void checkNothingLeft(std::initializer_list<const char *> keep) const;

private:
    int lowestFree_;
};
