// One HMM set in fixed-capacity records, and the operations that read, write, reorder,
// prepare and inspect it; a failure prints its message and ends the process (hmm/setIO.h
// has the same operations throwing instead). The only heap block is the model array,
// allocated zero-filled by a reader and released by the destructor; records hold no
// pointers, so a model can be copied or swapped as one block.
#pragma once

#include <string>
#include <vector>

#include "utility/utility.h"

constexpr int MAX_STREAM_NUM = 3;
constexpr int MAX_STATE_NUM = 5;    // entry and exit states included
constexpr int MAX_MIXTURE_NUM = 12;
constexpr int MAX_PARAM_NUM = 24;
constexpr int MAX_NAME_LEN = 50;    // terminating zero included

struct hmmMixture { float mixtureWeight; float mean[MAX_PARAM_NUM]; float variance[MAX_PARAM_NUM]; float gconst; };
struct hmmStream  { int mixtureNum; hmmMixture mixture[MAX_MIXTURE_NUM]; };
struct hmmState   { float streamWeight[MAX_STREAM_NUM]; hmmStream stream[MAX_STREAM_NUM]; };
// File state i (2 .. stateNum - 1) is state[i - 2]; row and column r of transProb stand for
// file state r + 1, so row 0 is the entry state and row stateNum - 1 the exit state.
struct hmmModel   { char str[MAX_NAME_LEN]; int stateNum; hmmState state[MAX_STATE_NUM - 2];
                    float transProb[MAX_STATE_NUM][MAX_STATE_NUM]; };

static_assert(sizeof(hmmMixture) == 200, "a mixture is 50 packed floats");

struct hmmSet {
    int modelNum;
    int streamNum;
    int vecSize[MAX_STREAM_NUM];
    char globalOption[MAX_STR_LEN];
    hmmModel *model;
};

class macroClass {
public:
    macroClass();
    ~macroClass();
    macroClass(const macroClass &) = delete;
    macroClass &operator=(const macroClass &) = delete;

    // flag 0: read only; otherwise read, sort by name and prepare for scoring.
    void read(const char *path, int flag);
    // mac/MAC: text reader; macb/MACB: binary reader; anything else is refused.
    void readByExtension(const char *path);
    void readTextMacro(const char *path);
    void writeTextMacro(const char *path);
    void readBinaryMacro(const char *path);
    void writeBinaryMacro(const char *path);
    void sortModels(int left, int right);
    void swapModels(int a, int b);
    int findModel(int lo, int hi, const char *name);
    void prepareModels();
    void dumpModel(int index, const char *path);
    int findSubstituteModel(const std::string &modelStr);
    void getModelNames(std::vector<std::string> &names);
    void writeModelFile(std::string outputPath);

    hmmSet MMF;
};
