// Output of a syllable recogniser's scored candidates: the syllable-time label file
// (sylTime.mlf), the answer list (answer.txt), answer strings and a listing.
//
//   sylTime.mlf:                                answer.txt:
//     #!MLF!#                                     ni-hao\t-1234.500
//     "This is the syllable time ... "            \t -5.250
//     0 1000000 sil
//     1000000 3100000 ma
//     .
//
// Times in the label file are in units of 100 ns and are written in 64 bits. A record whose
// sylNum is outside 0 ... MAX_SYL_NUM, or whose syllable identifier is not an index into the
// name list, is refused with a message and status 1 before anything is written or printed.
// result2file writes no label file when no candidate has status 3.
//
// The members print a failure's message on standard output and end the process with its
// status; the free functions of the same names in namespace mac2mod throw it as
// mac2mod::error.
#pragma once

#include <string>
#include <vector>

constexpr int MAX_SYL_NUM = 50;
constexpr int ANSWER_NUM = 100;

struct candidateRecord {
    int unused1;
    int unused2;
    int status;                       // 3: may be chosen as the best candidate
    int sylNum;
    int sylPath[MAX_SYL_NUM];         // indices into the syllable name list
    int sylEnd[MAX_SYL_NUM];          // last 10 ms frame of each syllable, from 0
    float sylLogProb[MAX_SYL_NUM];
    float logProb;
};

class utilClass {
public:
    void sylTime2file(const char *path, const candidateRecord *candidate,
                      const std::vector<std::string> &sylNameList);
    void answer2file(const char *path, candidateRecord *const *p2arena, int candidateNum,
                     const std::vector<std::string> &sylNameList);
    void result2file(candidateRecord *const *p2arena, int candidateNum,
                     const std::vector<std::string> &sylNameList);
    std::vector<std::string> getAnswers(candidateRecord *const *p2arena, int candidateNum,
                                        const std::vector<std::string> &sylNameList, int maxNum);
    int findBestCandidate(candidateRecord *const *p2arena, int candidateNum);
    void printCandidates(candidateRecord *const *p2arena, int candidateNum,
                         const std::vector<std::string> &sylNameList);
};

namespace mac2mod {
void sylTime2file(const char *path, const candidateRecord *candidate,
                  const std::vector<std::string> &sylNameList);
void answer2file(const char *path, candidateRecord *const *p2arena, int candidateNum,
                 const std::vector<std::string> &sylNameList);
void result2file(candidateRecord *const *p2arena, int candidateNum,
                 const std::vector<std::string> &sylNameList);
std::vector<std::string> getAnswers(candidateRecord *const *p2arena, int candidateNum,
                                    const std::vector<std::string> &sylNameList, int maxNum);
void printCandidates(candidateRecord *const *p2arena, int candidateNum,
                     const std::vector<std::string> &sylNameList);
}  // namespace mac2mod
