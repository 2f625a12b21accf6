#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "export/modelFileWriter.h"
#include "export/nameTable.h"
#include "hmm/macroClass.h"
#include "hmm/modelArray.h"
#include "modelFileCheck.h"
#include "testSupport.h"
#include "utility/error.h"
#include "utility/byteOrder.h"

namespace {

// A set of one-stream models; model m has stateNum states and, in each emitting state e,
// mixtures components of weight 1/mixtures whose values tell m, e, k and v apart.
void makeSet(macroClass &set, const std::vector<std::string> &names, int vecSize, int stateNum = 5,
             int mixtures = 2)
{
    set.MMF.modelNum = static_cast<int>(names.size());
    set.MMF.streamNum = 1;
    set.MMF.vecSize[0] = vecSize;
    set.MMF.model = allocateModels(set.MMF.modelNum);
    for (int m = 0; m < set.MMF.modelNum; m++) {
        hmmModel &model = set.MMF.model[m];
        std::strcpy(model.str, names[m].c_str());
        model.stateNum = stateNum;
        for (int e = 0; e < stateNum - 2; e++) {
            hmmStream &stream = model.state[e].stream[0];
            stream.mixtureNum = mixtures;
            for (int k = 0; k < mixtures; k++) {
                stream.mixture[k].mixtureWeight = 1.0f / mixtures;
                for (int v = 0; v < MAX_PARAM_NUM; v++) {
                    stream.mixture[k].mean[v] = m * 1000 + e * 100 + k * 10 + v * 0.25f;
                    stream.mixture[k].variance[v] = -stream.mixture[k].mean[v];
                }
            }
        }
    }
}

std::vector<float> floatsOf(const std::string &bytes)
{
    std::vector<float> values(bytes.size() / 4);
    for (size_t k = 0; k < values.size(); k++)
        values[k] = bitsFloat(getLE32(reinterpret_cast<const unsigned char *>(bytes.data()) + 4 * k));
    return values;
}

std::string hex4(const std::string &bytes, size_t offset)
{
    char buf[16];
    const unsigned char *p = reinterpret_cast<const unsigned char *>(bytes.data()) + offset;
    std::snprintf(buf, sizeof buf, "%02x %02x %02x %02x", p[0], p[1], p[2], p[3]);
    return buf;
}

struct folder {
    TempDir dir;
    std::string table = dir.file("ModelNames.txt");
    std::string output = dir.file("set.mod");
};

}  // namespace

TEST(modelFileWriter, layoutOfHeaderSilAndModelRecords)
{
    macroClass set;
    makeSet(set, {"sil", "a", "b"}, 24, 5, 2);
    set.MMF.model[0].state[0].stream[0].mixture[0].mixtureWeight = 1.0f;
    set.MMF.model[1].state[0].stream[0].mixture[0].mixtureWeight = 1.0f;
    set.MMF.model[1].state[0].stream[0].mixture[1].mixtureWeight = 0.0f;
    folder f;
    writeFile(f.table, "1 a\n2 b\n");
    writeModelFileOf(set.MMF, f.table.c_str(), f.output.c_str());
    EXPECT_TRUE(consistentModelFile(f.output));
    std::string bytes = readFile(f.output);

    EXPECT_EQ(hex4(bytes, 0), "00 00 00 40");   // 2.0 models after sil
    EXPECT_EQ(hex4(bytes, 4), "00 00 c0 41");   // V = 24
    // sil: M, weights x 1e7, logs, then means and variances; its other states are not written.
    EXPECT_EQ(hex4(bytes, 8), "00 00 00 40");
    EXPECT_EQ(hex4(bytes, 12), "80 96 18 4b");   // 1.0 x 10000000
    EXPECT_EQ(hex4(bytes, 20), "00 00 00 00");   // ln 1
    EXPECT_EQ(hex4(bytes, 24), "18 72 31 bf");   // ln 0.5
    const size_t silSize = 4 * (1 + 2 * (2 + 2 * 24));
    std::vector<float> v = floatsOf(bytes);
    EXPECT_FLOAT_EQ(v[7], 0.0f);
    EXPECT_FLOAT_EQ(v[7 + 24], -0.0f);
    EXPECT_FLOAT_EQ(v[7 + 48], 10.0f);

    size_t a = 8 + silSize;
    EXPECT_EQ(hex4(bytes, a), "00 00 40 40");      // 3 emitting states
    EXPECT_EQ(hex4(bytes, a + 8), "00 50 c3 47");  // 1.0 x 100000
    EXPECT_EQ(hex4(bytes, a + 12), "00 00 00 00"); // weight 0 is written as 0 ...
    EXPECT_TRUE(std::isinf(v[(a + 20) / 4]) && v[(a + 20) / 4] < 0);   // ... and ln 0
    const size_t modelSize = 4 + 3 * (4 * (1 + 2 * (2 + 2 * 24)));
    EXPECT_EQ(bytes.size(), 8 + silSize + 2 * modelSize);
    EXPECT_FLOAT_EQ(v[(a + modelSize + 4 + 4 * 5) / 4], 2000.0f);   // b's first mean
}

TEST(modelFileWriter, tableOrderDecidesAndOnlyTheFirstStreamIsWritten)
{
    macroClass set;
    makeSet(set, {"b", "sil", "a"}, 13, 3, 1);
    set.MMF.streamNum = 2;
    set.MMF.vecSize[1] = 24;
    set.MMF.model[2].state[0].stream[1].mixtureNum = 5;
    folder f;
    writeFile(f.table, "7 b\n3 a\n1 surplus\n2 entries\n");
    writeModelFileOf(set.MMF, f.table.c_str(), f.output.c_str());
    EXPECT_TRUE(consistentModelFile(f.output));
    std::vector<float> v = floatsOf(readFile(f.output));
    ASSERT_EQ(v.size(), 2 + 29 + 2 * 30u);
    EXPECT_EQ(v[0], 2.0f);
    EXPECT_EQ(v[1], 13.0f);
    EXPECT_EQ(v[2 + 3], 1000.0f);               // sil is model 1 of the set
    EXPECT_EQ(v[2 + 29], 1.0f);                 // then b (model 0), one emitting state
    EXPECT_EQ(v[2 + 29 + 4], 0.0f);
    EXPECT_EQ(v[2 + 29 + 30], 1.0f);            // then a (model 2), first stream only
    EXPECT_EQ(v[2 + 29 + 30 + 4], 2000.0f);
}

// Enough models for several batches encoded side by side: each record is still the model
// its table entry names, in table order, and the file ends after the last one.
TEST(modelFileWriter, manyModelsComeOutInTableOrder)
{
    const int modelNum = 1000;
    std::vector<std::string> names = {"sil"};
    std::string table;
    for (int m = 1; m < modelNum; m++) {
        names.push_back("m" + std::to_string(m));
        table += std::to_string(m) + " m" + std::to_string(modelNum - m) + "\n";
    }
    macroClass set;
    makeSet(set, names, 4, 3, 1);
    folder f;
    writeFile(f.table, table);
    writeModelFileOf(set.MMF, f.table.c_str(), f.output.c_str());
    std::vector<float> v = floatsOf(readFile(f.output));
    const size_t silFloats = 1 + (2 + 2 * 4), modelFloats = 1 + silFloats;
    ASSERT_EQ(v.size(), 2 + silFloats + (modelNum - 1) * modelFloats);
    for (int j = 1; j < modelNum; j++)   // the first mean of the model in table entry j
        ASSERT_EQ(v[2 + silFloats + (j - 1) * modelFloats + 4], (modelNum - j) * 1000.0f) << j;
}

TEST(modelFileWriter, refusals)
{
    folder f;
    auto attempt = [&](const std::vector<std::string> &names, const std::string &table) {
        writeFile(f.table, table);
        return runReporting([&] {
            macroClass set;
            makeSet(set, names, 24);
            writeModelFileOf(set.MMF, f.table.c_str(), f.output.c_str());
        });
    };
    const std::string notFound = "Error: can not find model name ";
    Outcome o = attempt({"sil", "a", "b"}, "1 a\n2 B\n");
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, notFound + "\"b\" in \"ModelNames.txt\"\n");
    // Two models of one name, or a name listed twice: some model is left without an entry,
    // rather than an entry repeating another model.
    o = attempt({"sil", "a", "a"}, "1 a\n2 b\n");
    EXPECT_EQ(o.out, notFound + "\"a\" in \"ModelNames.txt\"\n");
    o = attempt({"sil", "a", "b"}, "1 a\n2 a\n");
    EXPECT_EQ(o.out, notFound + "\"b\" in \"ModelNames.txt\"\n");
    o = attempt({"a", "b"}, "1 a\n");   // no model named sil
    EXPECT_EQ(o.out, notFound + "\"b\" in \"ModelNames.txt\"\n");
    // A table too short repeats its last name, so the model it lacks is not found.
    o = attempt({"sil", "a", "b", "c"}, "1 a\n2 b\n");
    EXPECT_EQ(o.out, notFound + "\"c\" in \"ModelNames.txt\"\n");
    // A second model of a name takes over its entry, and an entry is left for no model: it
    // would repeat another model's record.
    o = attempt({"x", "x", "sil", "a"}, "1 x\n2 a\n\n3 q\n");
    EXPECT_EQ(o.out, "Error: \"q\" at line 4 of \"ModelNames.txt\" matches no model of the set\n");
    o = attempt({"x", "y", "x"}, "1 x\n2 y\n");
    EXPECT_EQ(o.out, "Error: no model is named \"sil\", the first record of the Halvern file [" + f.output + "]\n");
    EXPECT_FALSE(fileExists(f.output));

    // Counts a set built by hand may hold beyond the records, refused before any output.
    o = runReporting([&] {
        macroClass set;
        makeSet(set, {"sil", "a"}, 24);
        set.MMF.vecSize[0] = 30;
        writeModelFileOf(set.MMF, f.table.c_str(), f.output.c_str());
    });
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "Error: vecSize[0] = 30 is outside 0..24!\n");
    EXPECT_FALSE(fileExists(f.output));

    o = attempt({}, "");
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error: no model to write to the Halvern file [" + f.output + "]\n");

    std::remove(f.table.c_str());
    o = runReporting([&] {
        macroClass set;
        makeSet(set, {"sil"}, 24);
        writeModelFileOf(set.MMF, f.table.c_str(), f.output.c_str());
    });
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error: Cannot open \"" + f.table + "\".\n");
}

TEST(modelFileWriter, failedWritesLeaveNoTruncatedFileAndKeepAnOldOne)
{
    folder f;
    writeFile(f.table, "1 a\n");
    writeFile(f.output, "an earlier model file");
    Outcome o = runCaptured([&] {
        limitFileSize(1000);
        macroClass set;
        makeSet(set, {"sil", "a"}, 24);
        mac2mod::orExit([&] { writeModelFileOf(set.MMF, f.table.c_str(), f.output.c_str()); });
    });
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error: cannot write \"" + f.output + "\".\n");
    EXPECT_EQ(readFile(f.output), "an earlier model file");
    size_t files = 0;   // no temporary file is left beside the output
    for (const auto &entry : std::filesystem::directory_iterator(f.dir.path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 2u);

    for (const std::string &bad : {f.dir.file("folder.mod"), f.dir.file("missing/set.mod")}) {
        std::filesystem::create_directory(f.dir.file("folder.mod"));
        o = runReporting([&] {
            macroClass set;
            makeSet(set, {"sil", "a"}, 24);
            writeModelFileOf(set.MMF, f.table.c_str(), bad.c_str());
        });
        EXPECT_EQ(o.status, -1);
        EXPECT_EQ(o.out, "Error: fail to open Halvern file [" + bad + "]\n");
    }
}

TEST(nameTable, entriesAndUnreadableOnes)
{
    TempDir dir;
    std::string path = dir.file("ModelNames.txt");
    writeFile(path, "1 a\n2 " + std::string(300, 'x') + "\n\n  3\tc 4 d\n");
    EXPECT_EQ(readNameTable(path.c_str(), 5),
              (std::vector<std::string>{"sil", "a", std::string(300, 'x'), "c", "d"}));
    // A line whose number does not read stops every later entry at it.
    writeFile(path, "1 a\nx b\n3 c\n");
    EXPECT_EQ(readNameTable(path.c_str(), 4), (std::vector<std::string>{"sil", "a", "a", "a"}));
    writeFile(path, "z\n");
    EXPECT_EQ(readNameTable(path.c_str(), 2), (std::vector<std::string>{"sil", ""}));
    // A name longer than any model's is not held whole, and the entry after it still reads.
    writeFile(path, "1 " + std::string(3000000, 'y') + "\n2 b\n");
    std::vector<std::string> kept = readNameTable(path.c_str(), 3);
    EXPECT_EQ(kept[1], std::string(MAX_STR_LEN, 'y'));
    EXPECT_EQ(kept[2], "b");
}

// The window of open entries: an entry taken inside it stays and a second model of its name
// takes it over; one taken at an end leaves it.
TEST(nameTable, modelsTakeEntriesThroughTheWindow)
{
    struct {
        std::vector<std::string> table;
        std::vector<const char *> names;
        std::vector<int> entryModel, withoutEntry;
    } cases[] = {
        {{"sil", "x", "a", "x"}, {"x", "sil", "x", "a"}, {1, 2, 3, -1}, {}},
        {{"sil", "a", "b"}, {"sil", "a", "b"}, {0, 1, 2}, {}},
        {{"sil", "b", "a"}, {"a", "sil", "b"}, {1, 2, 0}, {}},
        {{"sil", "a", "x", "a"}, {"sil", "a", "x", "a"}, {0, 1, 2, 3}, {}},
        {{"sil", "x", "a"}, {"x", "x", "sil", "a"}, {2, 1, 3}, {}},
        {{"sil", "a", "b"}, {"b", "a", "b"}, {-1, 1, 0}, {2}},
        {{"sil", "a"}, {"a", "b"}, {-1, 0}, {1}},
    };
    for (const auto &c : cases) {
        tableMatch match = matchTable(c.table, c.names);
        EXPECT_EQ(match.entryModel, c.entryModel);
        EXPECT_EQ(match.modelsWithoutEntry, c.withoutEntry);
    }
}
