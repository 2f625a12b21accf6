// How the text macro reader refuses a file whose keywords are not where the format puts
// them, and one with a number missing; each message with status 1 (textMacroReader.cpp).
#pragma once

#include <string>

#include "hmm/macroClass.h"
#include "utility/error.h"

namespace textMacroRefusals {

using mac2mod::raisef;

[[noreturn]] inline void failBeginHmm(int modelId, const char *str1)
{
    raisef(1, "modelId=%d, str1=%s, Cannot find \"<BEGINHMM>\"!\n", modelId, str1);
}

[[noreturn]] inline void failNumMixes(int modelId, const char *name, int stateId)
{
    raisef(1, "ERROR: fail to read <NUMMIXES> or <SWEIGHTS>\n"
           "at modelId = %d (%s), stateId = %d\n", modelId, name, stateId);
}

[[noreturn]] inline void failStream(int modelId, const char *name, int stateId, const char *str1, int temp)
{
    raisef(1, "modelId=%d (%s), stateId=%d\n"
           "str1=%s, temp=%d, Cannot find \"<STREAM>\"!\n", modelId, name, stateId, str1, temp);
}

[[noreturn]] inline void failMean(int modelId, const char *name, int stateId)
{
    raisef(1, "Error: Cannot find \"<MEAN>\"!\n"
           "modelId=%d (%s), stateId=%d\n", modelId, name, stateId);
}

[[noreturn]] inline void failMeanSize(int size)
{
    raisef(1, "Error: MAX_PARAM_NUM = %d != %d!\n", MAX_PARAM_NUM, size);
}

[[noreturn]] inline void failVarianceSize(int size)
{
    raisef(1, "Error: MAX_PARAM_NUM =%d != %d!\n", MAX_PARAM_NUM, size);
}

[[noreturn]] inline void failVariance(int modelId, const char *name, int stateId)
{
    raisef(1, "Error: Cannot find \"<VARIANCE>\"!\n"
           "modelId=%d (%s), stateId=%d\n", modelId, name, stateId);
}

[[noreturn]] inline void failTransp(int modelId)
{
    raisef(1, "Error: Cannot find \"<TRANSP>\"!\n"
           "at modelId = %d\n", modelId);
}

[[noreturn]] inline void failEndHmm(int modelId)
{
    raisef(1, "===================== WARNING: Not reading <ENDHMM>!\n"
           "modelId=%d\n", modelId);
}

[[noreturn]] inline void failMissingValue(const char *what, int modelId, const char *name, int stateId,
                                   const std::string &found)
{
    std::string place = found.empty() ? "the end of the file stands"
                                      : "\"" + found + "\" stands";
    if (modelId < 0)
        raisef(1, "Error: a %s is missing in the global options: %s in its place!\n", what,
               place.c_str());
    if (stateId == 0)
        raisef(1, "Error: a %s is missing at modelId = %d (%s), <TRANSP>: %s in its place!\n",
               what, modelId, name, place.c_str());
    raisef(1, "Error: a %s is missing at modelId = %d (%s), stateId = %d: %s in its place!\n",
           what, modelId, name, stateId, place.c_str());
}

}  // namespace textMacroRefusals
