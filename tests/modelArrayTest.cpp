#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "hmm/modelArray.h"

namespace {

bool allZero(const hmmModel &model, size_t from)
{
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(&model);
    for (size_t k = from; k < sizeof model; k++)
        if (bytes[k])
            return false;
    return true;
}

}  // namespace

// The second thread populates pages while the "reader" writes into them: every record keeps
// what was written and stays zero elsewhere, whatever the two met in the middle.
TEST(modelArray, prefaultingNeverChangesWhatTheReaderWrites)
{
    const int modelNum = 1000;   // about 21 MB: above the size that starts the thread
    hmmModel *model = allocateModels(modelNum);
    ASSERT_NE(model, nullptr);
    {
        modelArrayPrefaulter prefaulter(model, modelNum);
        for (int m = 0; m < modelNum; m++) {
            prefaulter.reached(m);
            std::memset(model[m].str, 'a' + m % 26, 8);
        }
    }
    for (int m = 0; m < modelNum; m++) {
        ASSERT_EQ(std::string(model[m].str, 8), std::string(8, static_cast<char>('a' + m % 26))) << m;
        ASSERT_TRUE(allZero(model[m], 8)) << m;
    }
    std::free(model);
}

// Destroyed before the reader got far (a refused file), the thread stops and is joined: the
// array can be released at once.
TEST(modelArray, prefaulterStopsWhenDestroyedEarly)
{
    for (int modelNum : {0, 10, 2000}) {
        hmmModel *model = allocateModels(modelNum);
        { modelArrayPrefaulter prefaulter(model, modelNum); }
        for (int m = 0; m < modelNum; m++)
            ASSERT_TRUE(allZero(model[m], 0)) << m;
        std::free(model);
    }
}
