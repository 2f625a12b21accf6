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
    // States as HTK numbers them, components from 1; records by number without a table.
    EXPECT_EQ(file.describe(2), "record 0 (\"sil\"), state 2: the component count");
    EXPECT_EQ(file.describe(4), "record 0 (\"sil\"), state 2, component 2: the scaled weight");
    EXPECT_EQ(file.describe(5), "record 0 (\"sil\"), state 2, component 1: the log weight");
    EXPECT_EQ(file.describe(7 + 13), "record 0 (\"sil\"), state 2, component 1: variance[0]");
    EXPECT_EQ(file.describe(7 + 26 + 12), "record 0 (\"sil\"), state 2, component 2: mean[12]");
    EXPECT_EQ(file.describe(b.at), "record 1: the count of emitting states");
    EXPECT_EQ(file.describe(a.at), "record 2: the count of emitting states");
    EXPECT_EQ(file.describe(a.states[0].at + 3 + 13 + 4), "record 2, state 2, component 1: variance[4]");
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
        // A whole count past a capacity in the wording of every other message of it.
        {changed(1, 25.0f), "vector size 25 (the model file's header at byte 4): the set holds vectors of 1 to 24 values"},
        {changed(1, 0.0f), "vector size 0 (the model file's header at byte 4): the set holds vectors of 1 to 24 values"},
        {changed(2, 13.0f), "record 0 (\"sil\"), state 2 at byte 8: 13 components, more than the 12 the set holds"},
        {changed(2, 2.5f), "record 0 (\"sil\"), state 2: the component count at byte 8 is 2.5, not a whole number from 0 to 12"},
        {changed(aAt, 4.0f), "record 2" + at(4 * aAt) + " has 6 states, more than the 5 the set holds (entry and exit included)"},
        {changed(aAt, -1.0f), "record 2: the count of emitting states" + at(4 * aAt) + " is -1, not a whole number from 0 to 3"},
        {changed(aAt, 2.0f), "ends at byte " + std::to_string(end) + ", before record 2, state 3: the component count" + at(end)},
        {changed(0, 3.0f), "ends at byte " + std::to_string(end) + ", before record 3: the count of emitting states" + at(end)},
        {good.substr(0, end - 2), "ends at byte " + std::to_string(end - 2) +
                                      ", before record 2, state 2, component 1: variance[12]" + at(end - 4)},
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

TEST(modelFileReader, namesTheRecordsByTheTableGiven)
{
    writtenFile f;
    const std::string table = f.dir.file("ModelNames.txt"), none = f.dir.file("none.txt");
    modelFile file = readModelFile(f.path.c_str(), table.c_str());
    EXPECT_EQ(file.names, (std::vector<std::string>{"sil", "b", "a"}));
    const modelFileState &a = file.records[2].states[0];
    EXPECT_EQ(file.describe(a.at + 3 + 13 + 4), "record 2 (\"a\"), state 2, component 1: variance[4]");

    // A fault names the records by the table, or by number when the table does not open; a
    // file that reads gets the table's own error.
    const std::string good = f.bytes;
    struct read {
        std::string bytes;
        std::string table;
        int status;
        std::string out;
    };
    for (const read &c : std::vector<read>{
             {good.substr(0, good.size() - 2), table, 1, "(\"a\"), state 2, component 1: variance[12]"},
             {good.substr(0, good.size() - 2), none, 1, "record 2, state 2, component 1: variance[12]"},
             {good, none, -1, "Error: Cannot open \"" + none + "\".\n"},
         }) {
        writeFile(f.path, c.bytes);
        Outcome o = runReporting([&] { readModelFile(f.path.c_str(), c.table.c_str()); });
        EXPECT_EQ(o.status, c.status) << c.out;
        EXPECT_NE(o.out.find(c.out), std::string::npos) << o.out;
        EXPECT_EQ(o.file, c.status == 1 ? f.path : none);
    }
}
