#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "hmm/macroClass.h"
#include "hmm/binaryMacro.h"
#include "hmm/modelArray.h"
#include "testSupport.h"
#include "utility/byteOrder.h"

namespace {

// A binary macro file spelled out field by field, independently of the writer.
struct fileBytes {
    std::string bytes;

    fileBytes &i32(int32_t value)
    {
        unsigned char b[4];
        putLE32(b, static_cast<uint32_t>(value));
        bytes.append(reinterpret_cast<char *>(b), 4);
        return *this;
    }
    fileBytes &f32(float value) { return i32(static_cast<int32_t>(floatBits(value))); }
    fileBytes &name(const std::string &text)
    {
        std::string field = text;
        field.resize(MAX_NAME_LEN, '\0');
        bytes += field;
        return *this;
    }
    fileBytes &zeros(size_t n)
    {
        bytes.append(n, '\0');
        return *this;
    }
};

float floatAt(const std::string &bytes, size_t offset)
{
    return bitsFloat(getLE32(reinterpret_cast<const unsigned char *>(bytes.data()) + offset));
}

// Distinct values for mixture l of state j, so that a misplaced field shows.
void fillMixture(hmmMixture &mixture, int j, int l, int vecSize)
{
    float base = 1000.0f * j + 100.0f * l;
    mixture.mixtureWeight = 0.5f;
    for (int m = 0; m < vecSize; m++) {
        mixture.mean[m] = base + m;
        mixture.variance[m] = base + 50 + m;
    }
    mixture.mean[MAX_PARAM_NUM - 1] = -7.5f;   // beyond vecSize: stored as it stands
    mixture.gconst = base + 99;
}

// The matching bytes of fillMixture.
void spellMixture(fileBytes &file, int j, int l, int vecSize)
{
    float base = 1000.0f * j + 100.0f * l;
    file.f32(0.5f);
    for (int m = 0; m < MAX_PARAM_NUM; m++)
        file.f32(m == MAX_PARAM_NUM - 1 ? -7.5f : m < vecSize ? base + m : 0.0f);
    for (int m = 0; m < MAX_PARAM_NUM; m++)
        file.f32(m < vecSize ? base + 50 + m : 0.0f);
    file.f32(base + 99);
}

// One model "sil": one stream of 13 values, five states, two mixtures in each emitting state,
// every transProb entry set to 10 r + c.
void makeSilSet(macroClass &set)
{
    set.MMF.modelNum = 1;
    set.MMF.streamNum = 1;
    set.MMF.vecSize[0] = 13;
    set.MMF.model = allocateModels(1);
    hmmModel &sil = set.MMF.model[0];
    std::strcpy(sil.str, "sil");
    sil.stateNum = 5;
    for (int j = 0; j < 3; j++) {
        sil.state[j].streamWeight[0] = 1.0f + j;
        sil.state[j].stream[0].mixtureNum = 2;
        for (int l = 0; l < 2; l++)
            fillMixture(sil.state[j].stream[0].mixture[l], j, l, 13);
    }
    for (int r = 0; r < MAX_STATE_NUM; r++)
        for (int c = 0; c < MAX_STATE_NUM; c++)
            sil.transProb[r][c] = 10.0f * r + c;
}

fileBytes silFile()
{
    fileBytes file;
    file.i32(1).i32(1).i32(13).name("sil").i32(5);
    for (int j = 0; j < 3; j++) {
        file.f32(1.0f + j).i32(2);
        for (int l = 0; l < 2; l++)
            spellMixture(file, j, l, 13);
    }
    for (int i = 0; i < 25; i++)
        file.f32(10.0f * (i / 5) + i % 5);
    return file;
}

std::string written(macroClass &set, const std::string &path)
{
    set.writeBinaryMacro(path.c_str());
    return readFile(path);
}

}  // namespace

TEST(binaryMacro, emptySetIsTwelveBytesAndReadsBack)
{
    TempDir dir;
    std::string path = dir.file("empty.macb");
    macroClass set;
    set.MMF.streamNum = 1;
    set.MMF.vecSize[0] = 13;
    EXPECT_EQ(written(set, path), fileBytes().i32(0).i32(1).i32(13).bytes);

    macroClass back;
    back.readBinaryMacro(path.c_str());
    EXPECT_EQ(back.MMF.modelNum, 0);
    EXPECT_EQ(back.MMF.streamNum, 1);
    EXPECT_EQ(back.MMF.vecSize[0], 13);
    EXPECT_STREQ(back.MMF.globalOption, "");
}

TEST(binaryMacro, oneModelFileHasTheFieldLayout)
{
    TempDir dir;
    std::string path = dir.file("sil.macb");
    macroClass set;
    makeSilSet(set);
    std::string bytes = written(set, path);

    ASSERT_EQ(bytes.size(), 1390u);   // 12 + 54 + 3 * (4 + 4 + 2 * 200) + 100
    EXPECT_EQ(bytes, silFile().bytes);
    EXPECT_EQ(bytes.substr(12, 50), std::string("sil") + std::string(47, '\0'));
    EXPECT_EQ(bytes.substr(62, 4), std::string("\x05\0\0\0", 4));   // stateNum at byte 50 of the block
    EXPECT_EQ(floatAt(bytes, 74 + 4 + 4 * 23), -7.5f);              // mean slot 23 of vecSize 13
    EXPECT_EQ(floatAt(bytes, 1290 + 4 * 24), 44.0f);                // transProb[4][4] last
}

TEST(binaryMacro, transitionRunIsTheFirstNTimesNEntriesRowByRow)
{
    TempDir dir;
    std::string path = dir.file("three.macb");
    macroClass set;
    set.MMF.modelNum = 1;
    set.MMF.streamNum = 1;
    set.MMF.vecSize[0] = 1;
    set.MMF.model = allocateModels(1);
    hmmModel &model = set.MMF.model[0];
    std::strcpy(model.str, "a");
    model.stateNum = 3;
    for (int r = 0; r < MAX_STATE_NUM; r++)
        for (int c = 0; c < MAX_STATE_NUM; c++)
            model.transProb[r][c] = 1.0f + 10.0f * r + c;

    fileBytes expected;
    expected.i32(1).i32(1).i32(1).name("a").i32(3).f32(0).i32(0);
    for (float value : {1, 2, 3, 4, 5, 11, 12, 13, 14})
        expected.f32(value);
    EXPECT_EQ(written(set, path), expected.bytes);

    macroClass back;
    back.readBinaryMacro(path.c_str());
    const hmmModel &read = back.MMF.model[0];
    for (int c = 0; c < MAX_STATE_NUM; c++) {
        EXPECT_EQ(read.transProb[0][c], 1.0f + c);
        EXPECT_EQ(read.transProb[1][c], c < 4 ? 11.0f + c : 0.0f);
        EXPECT_EQ(read.transProb[2][c], 0.0f);
    }
}

namespace {

// A set of modelNum models of random values with every count shape the records hold.
void makeRandomSet(macroClass &set, int modelNum)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-100, 100);
    set.MMF.modelNum = modelNum;
    set.MMF.streamNum = 2;
    set.MMF.vecSize[0] = 13;
    set.MMF.vecSize[1] = 24;
    set.MMF.model = allocateModels(modelNum);
    for (int i = 0; i < modelNum; i++) {
        hmmModel &model = set.MMF.model[i];
        std::snprintf(model.str, MAX_NAME_LEN, "m%d+%s", i, std::string(40, 'x').c_str());
        model.stateNum = 2 + i % 4;
        for (int j = 0; j < model.stateNum - 2; j++)
            for (int k = 0; k < 2; k++) {
                model.state[j].streamWeight[k] = value(random);
                hmmStream &stream = model.state[j].stream[k];
                stream.mixtureNum = (i * 5 + j + k) % (MAX_MIXTURE_NUM + 1);
                for (int l = 0; l < stream.mixtureNum; l++) {
                    hmmMixture &mixture = stream.mixture[l];
                    mixture.mixtureWeight = value(random);
                    for (int m = 0; m < MAX_PARAM_NUM; m++) {
                        mixture.mean[m] = value(random);
                        mixture.variance[m] = value(random);
                    }
                    mixture.gconst = value(random);
                }
            }
        // The exit row stays zero: the run does not carry it.
        for (int r = 0; r < model.stateNum - 1; r++)
            for (int c = 0; c < model.stateNum; c++)
                model.transProb[r][c] = value(random);
    }
    hmmMixture &odd = set.MMF.model[3].state[0].stream[0].mixture[0];
    odd.mean[0] = -0.0f;
    odd.mean[1] = std::numeric_limits<float>::quiet_NaN();
    odd.mean[2] = -std::numeric_limits<float>::infinity();
}

}  // namespace

// 500 models make an array large enough for the reader to populate its pages from a second
// thread while it reads.
TEST(binaryMacro, writeReadWriteGivesTheSameSetAndBytes)
{
    for (int modelNum : {6, 500}) {
        SCOPED_TRACE(modelNum);
        macroClass set;
        makeRandomSet(set, modelNum);
        TempDir dir;
        std::string first = written(set, dir.file("a.macb"));
        macroClass back;
        back.readBinaryMacro(dir.file("a.macb").c_str());
        ASSERT_EQ(back.MMF.modelNum, modelNum);
        EXPECT_EQ(back.MMF.streamNum, 2);
        EXPECT_EQ(back.MMF.vecSize[0], 13);
        EXPECT_EQ(back.MMF.vecSize[1], 24);
        for (int i = 0; i < modelNum; i++)
            ASSERT_EQ(std::memcmp(&back.MMF.model[i], &set.MMF.model[i], sizeof(hmmModel)), 0) << i;
        EXPECT_EQ(written(back, dir.file("b.macb")), first);
    }
}

// A large file cut short is refused with the reader's message while the second thread may
// still be populating the array.
TEST(binaryMacro, largeFileCutShortIsRefusedLikeASmallOne)
{
    macroClass set;
    makeRandomSet(set, 500);
    TempDir dir;
    std::string bytes = written(set, dir.file("a.macb"));
    const std::string path = dir.file("cut.macb");
    writeFile(path, bytes.substr(0, bytes.size() - 10));
    Outcome o = runReporting([&] {
        macroClass back;
        readBinaryMacroFile(back.MMF, path.c_str());
    });
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out.rfind("Error: \"" + path + "\" ends before its last field: ", 0), 0u) << o.out;
}

TEST(binaryMacro, malformedFilesAreRefusedWithStatusOne)
{
    std::string sil = silFile().bytes;
    // Two models, the second with its stateNum at byte 12 + 70 + 50.
    auto withSecondState = [](int stateNum) {
        fileBytes file;
        file.i32(2).i32(1).i32(4).name("a").i32(2).zeros(16).name("b").i32(stateNum).zeros(100);
        return file.bytes;
    };
    auto withMixtureNum = [](int mixtureNum) {
        fileBytes file;
        file.i32(1).i32(1).i32(4).name("a").i32(3).f32(1).i32(mixtureNum).zeros(2600);
        return file.bytes;
    };
    struct refusal {
        std::string bytes;
        std::string message;   // after "Error: \"path\""
        long at;               // the offending field's offset, as the reader records it
    };
    std::vector<refusal> cases = {
        {sil.substr(0, 2), " ends before its last field: 4 bytes wanted at byte 0.", 0},
        {sil.substr(0, 10), " ends before its last field: 4 bytes wanted at byte 8.", 8},
        {sil.substr(0, 12 + 60), ": modelNum is 1, but the file has room for at most 0 models.", 0},
        {sil.substr(0, 112), " ends before its last field: 400 bytes wanted at byte 74.", 74},
        {sil.substr(0, 1389), " ends before its last field: 100 bytes wanted at byte 1290.", 1290},
        {fileBytes().i32(-1).i32(1).i32(4).bytes, ": modelNum is -1, below 0.", 0},
        {fileBytes().i32(2000000000).i32(1).i32(4).zeros(200).bytes,
         ": modelNum is 2000000000, but the file has room for at most 2 models.", 0},
        {fileBytes().i32(0).i32(0).bytes, ": streamNum is 0, not in 1 to 3.", 4},
        {fileBytes().i32(0).i32(4).zeros(16).bytes, ": streamNum is 4, not in 1 to 3.", 4},
        {fileBytes().i32(0).i32(2).i32(24).i32(0).bytes, ": vecSize is 0, not in 1 to 24.", 12},
        {fileBytes().i32(0).i32(1).i32(25).bytes, ": vecSize is 25, not in 1 to 24.", 8},
        {withSecondState(1), ": stateNum of model 1 is 1, not in 2 to 5.", 12 + 70 + 50},
        {withSecondState(6), ": stateNum of model 1 is 6, not in 2 to 5.", 12 + 70 + 50},
        {withMixtureNum(-1), ": mixtureNum of model 0 is -1, not in 0 to 12.", 12 + 54 + 4},
        {withMixtureNum(13), ": mixtureNum of model 0 is 13, not in 0 to 12.", 12 + 54 + 4},
        {fileBytes().i32(1).i32(1).i32(4).bytes + std::string(50, 'x') + fileBytes().i32(2).zeros(16).bytes,
         ": the name of model 0 has no terminating zero.", 12},
    };
    TempDir dir;
    std::string path = dir.file("bad.macb");
    for (const refusal &c : cases) {
        SCOPED_TRACE(c.message);
        writeFile(path, c.bytes);
        Outcome o = runReporting([&] {
            macroClass set;
            readBinaryMacroFile(set.MMF, path.c_str());
        });
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.out + o.file + "@" + std::to_string(o.offset) + "\n", "Error: \"" + path + "\"" + c.message + "\n" + path + "@" +
                             std::to_string(c.at) + "\n");
    }
}

TEST(binaryMacro, fileErrorsEndWithMinusOneAndLeaveNoPartialFile)
{
    TempDir dir;
    macroClass set;
    makeSilSet(set);

    std::string path = dir.file("limited.macb");
    Outcome full = runCaptured([&] {
        limitFileSize(1000);
        set.writeBinaryMacro(path.c_str());
    });
    EXPECT_EQ(full.status, -1);
    EXPECT_EQ(full.out, "Error: cannot write \"" + path + "\".\n");
    EXPECT_FALSE(fileExists(path));

    std::string folder = dir.file("folder.macb");
    std::filesystem::create_directory(folder);
    Outcome notOpened = runReporting([&] { writeBinaryMacroFile(set.MMF, folder.c_str()); });
    EXPECT_EQ(notOpened.status, -1);
    EXPECT_EQ(notOpened.out, "Error: Cannot open \"" + folder + "\".\n");

    Outcome unreadable = runReporting([&] {
        macroClass back;
        readBinaryMacroFile(back.MMF, folder.c_str());
    });
    EXPECT_EQ(unreadable.status, -1);
    EXPECT_EQ(unreadable.out, "Error: cannot read \"" + folder + "\".\n");

    std::string missing = dir.file("missing.macb");
    Outcome notFound = runReporting([&] {
        macroClass back;
        readBinaryMacroFile(back.MMF, missing.c_str());
    });
    EXPECT_EQ(notFound.status, -1);
    EXPECT_EQ(notFound.out, "Error: Cannot open \"" + missing + "\".\n");
}

// A set built by hand with more components than a stream holds would overrun the writer's
// run buffer: it is refused before the file is opened.
TEST(binaryMacro, writerRefusesCountsBeyondTheRecords)
{
    TempDir dir;
    macroClass set;
    makeSilSet(set);
    set.MMF.model[0].state[1].stream[0].mixtureNum = MAX_MIXTURE_NUM + 1;
    const std::string path = dir.file("over.macb");
    Outcome o = runReporting([&] { writeBinaryMacroFile(set.MMF, path.c_str()); });
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "Error: model 0 (sil), state 3, stream 1: mixtureNum 13 is outside 0..12!\n");
    EXPECT_FALSE(fileExists(path));
}

TEST(binaryMacro, readPicksTheBinaryReaderByExtensionAndFlagSortsAndPrepares)
{
    TempDir dir;
    fileBytes file;
    file.i32(2).i32(1).i32(1);
    file.name("b").i32(2).f32(0.5f).f32(0).f32(0).f32(1);
    file.name("a").i32(2).f32(1).f32(0).f32(0).f32(0.5f);
    for (const char *name : {"set.macb", "set.MACB"})
        writeFile(dir.file(name), file.bytes);

    macroClass plain;
    plain.read(dir.file("set.macb").c_str(), 0);
    EXPECT_STREQ(plain.MMF.model[0].str, "b");
    EXPECT_EQ(plain.MMF.model[0].transProb[0][0], 0.5f);

    macroClass prepared;
    prepared.read(dir.file("set.MACB").c_str(), 1);
    EXPECT_STREQ(prepared.MMF.model[0].str, "a");
    EXPECT_EQ(prepared.MMF.model[0].transProb[0][0], 0.0f);
    EXPECT_EQ(prepared.MMF.model[1].transProb[0][0], -0.6931471824645996f);
    // The run of a two-state model ends in row 0, outside the block that is prepared.
    EXPECT_EQ(prepared.MMF.model[0].transProb[0][3], 0.5f);
    EXPECT_EQ(prepared.MMF.model[1].transProb[0][3], 1.0f);
}
