#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "export/modelFileReader.h"
#include "export/modelFileWriter.h"
#include "hmm/macroClass.h"
#include "hmm/modelArray.h"
#include "testSupport.h"
#include "utility/byteOrder.h"

namespace {

// sil (five states, two mixtures), a (three states, one mixture) and b (two states), one
// stream of 13 values; every mean and variance tells model, state, mixture and element apart.
void makeSet(macroClass &set)
{
    const char *names[] = {"sil", "a", "b"};
    const int stateNums[] = {5, 3, 2};
    const int mixtureNums[] = {2, 1, 0};
    set.MMF.modelNum = 3;
    set.MMF.streamNum = 1;
    set.MMF.vecSize[0] = 13;
    set.MMF.model = allocateModels(3);
    for (int m = 0; m < 3; m++) {
        hmmModel &model = set.MMF.model[m];
        std::strcpy(model.str, names[m]);
        model.stateNum = stateNums[m];
        for (int e = 0; e < model.stateNum - 2; e++) {
            hmmStream &stream = model.state[e].stream[0];
            stream.mixtureNum = mixtureNums[m];
            for (int k = 0; k < stream.mixtureNum; k++) {
                stream.mixture[k].mixtureWeight = 0.25f * (k + 1);
                for (int v = 0; v < 13; v++) {
                    stream.mixture[k].mean[v] = m * 1000 + e * 100 + k * 10 + v;
                    stream.mixture[k].variance[v] = 0.5f + v;
                }
            }
        }
    }
}

struct writtenFile {
    TempDir dir;
    std::string path = dir.file("set.mod");
    std::string bytes;

    writtenFile()
    {
        macroClass set;
        makeSet(set);
        writeFile(dir.file("ModelNames.txt"), "1 b\n2 a\n");
        writeModelFileOf(set.MMF, dir.file("ModelNames.txt").c_str(), path.c_str());
        bytes = readFile(path);
    }
};

void putFloatAt(std::string &bytes, size_t index, float value)
{
    putLE32(reinterpret_cast<unsigned char *>(&bytes[4 * index]), floatBits(value));
}

}  // namespace

TEST(modelFileReader, readsBackWhatTheWriterWrites)
{
    writtenFile f;
    modelFile file = readModelFile(f.path.c_str());
    EXPECT_EQ(file.values.size() * 4, f.bytes.size());
    EXPECT_EQ(file.vecSize, 13);
    ASSERT_EQ(file.modelNum(), 3);

    const modelFileRecord &sil = file.records[0], &b = file.records[1], &a = file.records[2];
    ASSERT_EQ(sil.states.size(), 1u);   // sil has only its first state written
    EXPECT_EQ(sil.states[0].at, 2u);
    EXPECT_EQ(sil.states[0].mixtureNum, 2);
    EXPECT_EQ(file.scaledWeight(sil.states[0], 1), 5000000.0f);
    EXPECT_EQ(file.logWeight(sil.states[0], 0), static_cast<float>(std::log(0.25)));
    EXPECT_EQ(file.mean(sil.states[0], 1, 12), 22.0f);
    EXPECT_EQ(file.variance(sil.states[0], 1, 12), 12.5f);
    EXPECT_TRUE(b.states.empty());
    EXPECT_EQ(b.at, 2 + 1 + 2 * (2 + 26u));
    ASSERT_EQ(a.states.size(), 1u);
    EXPECT_EQ(a.states[0].mixtureNum, 1);
    EXPECT_EQ(file.scaledWeight(a.states[0], 0), 25000.0f);
    EXPECT_EQ(file.mean(a.states[0], 0, 3), 1003.0f);
    EXPECT_EQ(a.states[0].at + 1 + 2 + 26, file.values.size());

    EXPECT_EQ(file.describe(0), "the count of models after sil");
    EXPECT_EQ(file.describe(1), "the vector size");
    EXPECT_EQ(file.describe(2), "the sil record, mixture count");
    EXPECT_EQ(file.describe(4), "the sil record, scaled weight of component 2");
    EXPECT_EQ(file.describe(5), "the sil record, log weight of component 1");
    EXPECT_EQ(file.describe(7 + 13), "the sil record, variance[0] of component 1");
    EXPECT_EQ(file.describe(7 + 26 + 12), "the sil record, mean[12] of component 2");
    EXPECT_EQ(file.describe(b.at), "model record 1, state count");
    EXPECT_EQ(file.describe(a.at), "model record 2, state count");
    EXPECT_EQ(file.describe(a.states[0].at + 3 + 13 + 4), "model record 2, state 2, variance[4] of component 1");
    EXPECT_EQ(file.recordOf(1), -1);
    EXPECT_EQ(file.recordOf(b.at), 1);
    EXPECT_EQ(file.recordOf(a.at - 1), 1);
}

TEST(modelFileReader, refusesEveryInconsistency)
{
    writtenFile f;
    const std::string good = f.bytes;
    const size_t end = good.size(), aAt = (end - 4 * (2 + 2 + 26)) / 4;
    auto changed = [&](size_t index, float value) {
        std::string bytes = good;
        putFloatAt(bytes, index, value);
        return bytes;
    };
    auto at = [](size_t byte) { return " at byte " + std::to_string(byte); };
    struct refusal {
        std::string bytes;
        std::string error;
    };
    const std::vector<refusal> cases = {
        {"", "ends at byte 0, before the count of models after sil at byte 0"},
        {good.substr(0, 5), "ends at byte 5, before the vector size at byte 4"},
        {changed(0, 1.5f), "the count of models after sil at byte 0 is 1.5, not a whole number from 0 to 2147483646"},
        {changed(0, -1.0f), "the count of models after sil at byte 0 is -1, not a whole number from 0 to 2147483646"},
        {changed(0, 3e9f), "the count of models after sil at byte 0 is 3e+09, not a whole number from 0 to 2147483646"},
        {changed(1, std::numeric_limits<float>::quiet_NaN()), "the vector size at byte 4 is nan, not a whole number from 1 to 24"},
        {changed(1, 25.0f), "the vector size at byte 4 is 25, not a whole number from 1 to 24"},
        {changed(2, 13.0f), "the sil record, mixture count at byte 8 is 13, not a whole number from 0 to 12"},
        {changed(aAt, 4.0f), "model record 2, state count" + at(4 * aAt) + " is 4, not a whole number from 0 to 3"},
        {changed(aAt, 2.0f), "ends at byte " + std::to_string(end) + ", before model record 2, state 3, mixture count" + at(end)},
        {changed(0, 3.0f), "ends at byte " + std::to_string(end) + ", before model record 3, state count" + at(end)},
        {good.substr(0, end - 2), "ends at byte " + std::to_string(end - 2) +
                                      ", before model record 2, state 2, variance[12] of component 1" + at(end - 4)},
        {changed(0, 1.0f), "120 bytes follow the last model record, from byte " + std::to_string(end - 120)},
        {good + "x", "1 byte follows the last model record, from byte " + std::to_string(end)},
    };
    for (const refusal &c : cases) {
        writeFile(f.path, c.bytes);
        Outcome o = runReporting([&] { readModelFile(f.path.c_str()); });
        EXPECT_EQ(o.status, 1) << c.error;
        EXPECT_EQ(o.out, c.error);
        EXPECT_EQ(o.file, f.path);
    }

    Outcome folder = runReporting([&] { readModelFile(f.dir.path().c_str()); });
    EXPECT_EQ(folder.out, "cannot be read");
    Outcome missing = runReporting([&] { readModelFile(f.dir.file("none.mod").c_str()); });
    EXPECT_EQ(missing.status, -1);
    EXPECT_EQ(missing.out, "Error: Cannot open \"" + f.dir.file("none.mod") + "\".\n");
}
