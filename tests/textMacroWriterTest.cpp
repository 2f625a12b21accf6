#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "hmm/macroClass.h"
#include "hmm/modelArray.h"
#include "hmm/textMacroReader.h"
#include "hmm/textMacroWriter.h"
#include "testSupport.h"

namespace {

void makeSet(macroClass &set, int modelNum, std::vector<int> vecSize, const char *globalOption)
{
    set.MMF.model = allocateModels(modelNum);
    set.MMF.modelNum = modelNum;
    set.MMF.streamNum = static_cast<int>(vecSize.size());
    for (size_t s = 0; s < vecSize.size(); s++)
        set.MMF.vecSize[s] = vecSize[s];
    std::strcpy(set.MMF.globalOption, globalOption);
}

hmmModel &makeModel(macroClass &set, int m, const char *name, int stateNum)
{
    hmmModel &model = set.MMF.model[m];
    std::strcpy(model.str, name);
    model.stateNum = stateNum;
    return model;
}

void setMixture(hmmStream &stream, int k, float weight, std::initializer_list<float> mean,
                std::initializer_list<float> variance, float gconst)
{
    hmmMixture &mixture = stream.mixture[k];
    mixture.mixtureWeight = weight;
    std::copy(mean.begin(), mean.end(), mixture.mean);
    std::copy(variance.begin(), variance.end(), mixture.variance);
    mixture.gconst = gconst;
}

void setRows(hmmModel &model, std::initializer_list<std::initializer_list<float>> rows)
{
    int r = 0;
    for (const auto &row : rows)
        std::copy(row.begin(), row.end(), model.transProb[r++]);
}

std::string writtenText(macroClass &set)
{
    TempDir dir;
    std::string path = dir.file("out.mac");
    set.writeTextMacro(path.c_str());
    return readFile(path);
}

// What a float becomes after "%e" on the way out and "%e" on the way back in.
float throughText(float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%e", value);
    return std::strtof(text, nullptr);
}

}  // namespace

TEST(textMacroWriter, oneStreamSetIsWrittenInFixedLayout)
{
    macroClass set;
    makeSet(set, 3, {2}, "<VECSIZE> 2<NULLD><MFCC_E><DIAGC>");

    hmmModel &a = makeModel(set, 0, "a-b+c", 3);
    a.state[0].streamWeight[0] = 0.8f;   // not written: every stream weight goes out as 1.0
    hmmStream &three = a.state[0].stream[0];
    three.mixtureNum = 3;
    setMixture(three, 0, 0.5f, {1, -2}, {0.25f, 4}, 3.5f);
    setMixture(three, 1, 0.0f, {7, 7}, {7, 7}, 7);   // weight 0: left out, number 2 unused
    setMixture(three, 2, 0.5f, {0.125f, 10}, {1, 2}, -1.5f);
    setRows(a, {{0, 1, 0}, {0, 0.75f, 0.25f}, {0, 0, 0}});

    setRows(makeModel(set, 1, "sil", 2), {{0, 1}, {0, 0}});

    hmmModel &x = makeModel(set, 2, "x", 3);
    x.state[0].stream[0].mixtureNum = 1;
    setMixture(x.state[0].stream[0], 0, 1, {0, 1e-3f}, {1e5f, 1}, 0);
    setRows(x, {{0, 1, 0}, {0, 0.5f, 0.5f}, {0, 0, 0}});

    EXPECT_EQ(writtenText(set),
              "~o\n"
              "<STREAMINFO> 1 2\n"
              "<VECSIZE> 2<NULLD><MFCC_E><DIAGC>\n"
              "~h \"a-b+c\"\n"
              "<BEGINHMM>\n"
              "<NUMSTATES> 3\n"
              "<STATE> 2\n"
              "<NUMMIXES> 3\n"
              "<SWEIGHTS> 1 1.000000e+00\n"
              "<MIXTURE> 1 5.000000e-01\n"
              "<MEAN> 2\n"
              " 1.000000e+00 -2.000000e+00\n"
              "<VARIANCE> 2\n"
              " 2.500000e-01 4.000000e+00\n"
              "<GCONST> 3.500000e+00\n"
              "<MIXTURE> 3 5.000000e-01\n"
              "<MEAN> 2\n"
              " 1.250000e-01 1.000000e+01\n"
              "<VARIANCE> 2\n"
              " 1.000000e+00 2.000000e+00\n"
              "<GCONST> -1.500000e+00\n"
              "<TRANSP> 3\n"
              " 0.000000e+00 1.000000e+00 0.000000e+00\n"
              " 0.000000e+00 7.500000e-01 2.500000e-01\n"
              " 0.000000e+00 0.000000e+00 0.000000e+00\n"
              "<ENDHMM>\n"
              "~h \"sil\"\n"
              "<BEGINHMM>\n"
              "<NUMSTATES> 2\n"
              "<TRANSP> 2\n"
              " 0.000000e+00 1.000000e+00\n"
              " 0.000000e+00 0.000000e+00\n"
              "<ENDHMM>\n"
              "~h \"x\"\n"
              "<BEGINHMM>\n"
              "<NUMSTATES> 3\n"
              "<STATE> 2\n"
              "<NUMMIXES> 1\n"
              "<SWEIGHTS> 1 1.000000e+00\n"
              "<MIXTURE> 1 1.000000e+00\n"
              "<MEAN> 2\n"
              " 0.000000e+00 1.000000e-03\n"
              "<VARIANCE> 2\n"
              " 1.000000e+05 1.000000e+00\n"
              "<GCONST> 0.000000e+00\n"
              "<TRANSP> 3\n"
              " 0.000000e+00 1.000000e+00 0.000000e+00\n"
              " 0.000000e+00 5.000000e-01 5.000000e-01\n"
              " 0.000000e+00 0.000000e+00 0.000000e+00\n"
              "<ENDHMM>\n");
}

TEST(textMacroWriter, severalStreamsGetStreamHeadsAndWeightsOnTheirOwnLine)
{
    macroClass set;
    makeSet(set, 1, {1, 2}, "<VECSIZE> 3<NULLD><USER>");
    hmmModel &m = makeModel(set, 0, "m", 3);
    m.state[0].streamWeight[0] = 0.3f;
    m.state[0].streamWeight[1] = 0.7f;
    m.state[0].stream[0].mixtureNum = 2;
    setMixture(m.state[0].stream[0], 0, 0.25f, {1}, {2}, 3);
    setMixture(m.state[0].stream[0], 1, 0.75f, {-1}, {0.5f}, 4);
    m.state[0].stream[1].mixtureNum = 1;
    setMixture(m.state[0].stream[1], 0, 1, {5, 6}, {7, 8}, 9);
    setRows(m, {{0, 1, 0}, {0, 0.5f, 0.5f}, {0, 0, 0}});

    EXPECT_EQ(writtenText(set),
              "~o\n"
              "<STREAMINFO> 2 1 2\n"
              "<VECSIZE> 3<NULLD><USER>\n"
              "~h \"m\"\n"
              "<BEGINHMM>\n"
              "<NUMSTATES> 3\n"
              "<STATE> 2\n"
              "<NUMMIXES> 2 1\n"
              "<SWEIGHTS> 2\n"
              " 1.000000e+00 1.000000e+00\n"
              "<STREAM> 1\n"
              "<MIXTURE> 1 2.500000e-01\n"
              "<MEAN> 1\n"
              " 1.000000e+00\n"
              "<VARIANCE> 1\n"
              " 2.000000e+00\n"
              "<GCONST> 3.000000e+00\n"
              "<MIXTURE> 2 7.500000e-01\n"
              "<MEAN> 1\n"
              " -1.000000e+00\n"
              "<VARIANCE> 1\n"
              " 5.000000e-01\n"
              "<GCONST> 4.000000e+00\n"
              "<STREAM> 2\n"
              "<MIXTURE> 1 1.000000e+00\n"
              "<MEAN> 2\n"
              " 5.000000e+00 6.000000e+00\n"
              "<VARIANCE> 2\n"
              " 7.000000e+00 8.000000e+00\n"
              "<GCONST> 9.000000e+00\n"
              "<TRANSP> 3\n"
              " 0.000000e+00 1.000000e+00 0.000000e+00\n"
              " 0.000000e+00 5.000000e-01 5.000000e-01\n"
              " 0.000000e+00 0.000000e+00 0.000000e+00\n"
              "<ENDHMM>\n");
}

TEST(textMacroWriter, emptySetGivesOnlyTheHeaderLines)
{
    macroClass empty;
    makeSet(empty, 0, {24, 24, 24}, "");   // not read from text: no global-option line
    EXPECT_EQ(writtenText(empty), "~o\n<STREAMINFO> 3 24 24 24\n\n");

    macroClass neverRead;
    EXPECT_EQ(writtenText(neverRead), "~o\n<STREAMINFO> 0\n\n");
}

namespace {

// Two streams of 24 values, models of 2 to 5 states, streams of 0 or 2 to 12 components,
// values of many magnitudes and signs.
void makeReadableSet(macroClass &set)
{
    makeSet(set, 4, {24, 24}, "<VECSIZE> 48<NULLD><MFCC_D_A_Z_0><DIAGC>");
    unsigned seed = 1;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        int bits = static_cast<int>(seed >> 1);
        return static_cast<float>((bits % 20001 - 10000) * std::pow(10.0, bits % 9 - 6));
    };
    const char *names[] = {"sil", "a-b+c", "long name with blanks", "z"};
    for (int m = 0; m < 4; m++) {
        hmmModel &model = makeModel(set, m, names[m], m + 2);
        for (int e = 0; e < model.stateNum - 2; e++)
            for (int s = 0; s < 2; s++) {
                hmmStream &stream = model.state[e].stream[s];
                // Only a last stream may be empty: the reader takes the head of the
                // stream after an empty one for the head it has already read.
                stream.mixtureNum = s == 1 && (m + e) % 2 == 0 ? 0 : 2 + (5 * m + 3 * e + s) % 11;
                for (int k = 0; k < stream.mixtureNum; k++) {
                    hmmMixture &mixture = stream.mixture[k];
                    mixture.mixtureWeight = 0.01f + std::fabs(next());
                    for (int i = 0; i < 24; i++) {
                        mixture.mean[i] = next();
                        mixture.variance[i] = std::fabs(next());
                    }
                    mixture.gconst = next();
                }
            }
        for (int r = 0; r < model.stateNum; r++)
            for (int c = 0; c < model.stateNum; c++)
                model.transProb[r][c] = std::fabs(next());
    }
}

// Runs check on the set read back from what set was written as; a refusal is the outcome.
Outcome readBack(macroClass &set, const std::function<void(const hmmSet &)> &check)
{
    TempDir dir;
    std::string path = dir.file("set.mac");
    set.writeTextMacro(path.c_str());
    return runReporting([&] {
        macroClass back;
        readTextMacroFile(back.MMF, path.c_str());
        check(back.MMF);
    });
}

void expectSameMixture(const hmmMixture &got, const hmmMixture &want)
{
    EXPECT_EQ(got.mixtureWeight, throughText(want.mixtureWeight));
    EXPECT_EQ(got.gconst, throughText(want.gconst));
    for (int i = 0; i < MAX_PARAM_NUM; i++) {
        EXPECT_EQ(got.mean[i], throughText(want.mean[i])) << "element " << i;
        EXPECT_EQ(got.variance[i], throughText(want.variance[i])) << "element " << i;
    }
}

}  // namespace

TEST(textMacroWriter, setWithinReaderLimitsReadsBackWithUnitStreamWeights)
{
    macroClass set;
    makeReadableSet(set);
    const hmmSet &want = set.MMF;
    Outcome o = readBack(set, [&](const hmmSet &got) {
        ASSERT_EQ(got.modelNum, want.modelNum);
        EXPECT_EQ(got.streamNum, 2);
        EXPECT_EQ(got.vecSize[0], 24);
        EXPECT_EQ(got.vecSize[1], 24);
        EXPECT_STREQ(got.globalOption, want.globalOption);
        for (int m = 0; m < want.modelNum; m++) {
            const hmmModel &g = got.model[m], &w = want.model[m];
            SCOPED_TRACE("model " + std::to_string(m));
            EXPECT_STREQ(g.str, w.str);
            ASSERT_EQ(g.stateNum, w.stateNum);
            for (int e = 0; e < w.stateNum - 2; e++)
                for (int s = 0; s < 2; s++) {
                    EXPECT_EQ(g.state[e].streamWeight[s], 1.0f);
                    ASSERT_EQ(g.state[e].stream[s].mixtureNum, w.state[e].stream[s].mixtureNum);
                    for (int k = 0; k < w.state[e].stream[s].mixtureNum; k++)
                        expectSameMixture(g.state[e].stream[s].mixture[k],
                                          w.state[e].stream[s].mixture[k]);
                }
            for (int r = 0; r < w.stateNum; r++)
                for (int c = 0; c < w.stateNum; c++)
                    EXPECT_EQ(g.transProb[r][c], throughText(w.transProb[r][c]));
        }
    });
    EXPECT_EQ(o.out, "");
    EXPECT_TRUE(o.exited);
    EXPECT_EQ(o.status, 0);
}

TEST(textMacroWriter, zeroWeightComponentLeavesItsSlotEmptyOnReadBack)
{
    macroClass set;
    makeReadableSet(set);
    hmmStream &stream = set.MMF.model[1].state[0].stream[1];
    ASSERT_GE(stream.mixtureNum, 3);
    stream.mixture[1].mixtureWeight = 0;
    const hmmMixture written0 = stream.mixture[0], written2 = stream.mixture[2];
    const int count = stream.mixtureNum;

    Outcome o = readBack(set, [&](const hmmSet &got) {
        const hmmStream &back = got.model[1].state[0].stream[1];
        EXPECT_EQ(back.mixtureNum, count);
        expectSameMixture(back.mixture[0], written0);
        expectSameMixture(back.mixture[1], written2);
        // The last slot has nothing left to fill it.
        const hmmMixture zero{};
        EXPECT_EQ(std::memcmp(&back.mixture[count - 1], &zero, sizeof zero), 0);
    });
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.status, 0);
}

TEST(textMacroWriter, oneComponentStreamIsWrittenWithAHeaderTheReaderRefuses)
{
    macroClass set;
    makeReadableSet(set);
    hmmStream &stream = set.MMF.model[1].state[0].stream[0];
    stream.mixtureNum = 1;
    stream.mixture[0].mixtureWeight = 1;

    Outcome o = readBack(set, [](const hmmSet &) {});
    EXPECT_EQ(o.out, "Error: Cannot find \"<MEAN>\"!\nmodelId=1 (a-b+c), stateId=2\n");
    EXPECT_EQ(o.status, 1);
}

TEST(textMacroWriter, failedWritesLeaveNoFileAndEndWithMinusOne)
{
    macroClass set;
    makeReadableSet(set);
    TempDir dir;

    std::string full = dir.file("full.mac");
    Outcome o = runCaptured([&] {
        limitFileSize(4096);
        set.writeTextMacro(full.c_str());
    });
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error: cannot write \"" + full + "\".\n");
    EXPECT_FALSE(fileExists(full));

    std::string folder = dir.file("folder.mac");
    std::filesystem::create_directory(folder);
    o = runReporting([&] { writeTextMacroFile(set.MMF, folder.c_str()); });
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error: Cannot open \"" + folder + "\".\n");
}

TEST(textMacroWriter, countsBeyondCapacityAreRefusedBeforeAnyOutput)
{
    struct Case {
        std::function<void(hmmSet &)> spoil;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[](hmmSet &s) { s.streamNum = 4; }, "Error: streamNum 4 is outside 0..3!\n"},
        {[](hmmSet &s) { s.vecSize[1] = 25; }, "Error: vecSize[1] = 25 is outside 0..24!\n"},
        {[](hmmSet &s) { s.model[2].stateNum = 6; },
         "Error: model 2 (long name with blanks): stateNum 6 is outside 0..5!\n"},
        {[](hmmSet &s) { s.model[3].state[2].stream[1].mixtureNum = 13; },
         "Error: model 3 (z), state 4, stream 2: mixtureNum 13 is outside 0..12!\n"},
        {[](hmmSet &s) { s.model[1].state[0].stream[0].mixtureNum = -1; },
         "Error: model 1 (a-b+c), state 2, stream 1: mixtureNum -1 is outside 0..12!\n"},
    };
    TempDir dir;
    std::string path = dir.file("out.mac");
    for (const Case &c : cases) {
        macroClass set;
        makeReadableSet(set);
        c.spoil(set.MMF);
        Outcome o = runReporting([&] { writeTextMacroFile(set.MMF, path.c_str()); });
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.out, c.message);
        EXPECT_FALSE(fileExists(path));
    }
}

// The numbers are printf's digits for every kind of float: negative zero, subnormals, the
// edges of the range, infinities and NaNs of both signs, in both text forms.
TEST(textMacroWriter, everyKindOfFloatIsWrittenAsPrintfWritesIt)
{
    const float specials[] = {-0.0f, 1e-45f, -1.17549421e-38f, 1.17549435e-38f, 3.40282347e38f, -1e-3f,
                              0.1f, 123456.5f, 9.9999995e-5f, INFINITY, -INFINITY, NAN, -NAN, 8388609.0f};
    const int n = static_cast<int>(sizeof specials / sizeof specials[0]);
    ASSERT_LE(n, MAX_PARAM_NUM);
    macroClass set;
    makeSet(set, 1, {MAX_PARAM_NUM}, "<VECSIZE> 24<NULLD><USER><DIAGC>");
    hmmModel &model = makeModel(set, 0, "a", 3);
    hmmMixture &mixture = model.state[0].stream[0].mixture[0];
    model.state[0].stream[0].mixtureNum = 1;
    mixture.mixtureWeight = 1;
    std::copy(specials, specials + n, mixture.mean);
    std::string converter = " ", exact = " ";
    char text[64];
    for (int i = 0; i < MAX_PARAM_NUM; i++) {
        std::snprintf(text, sizeof text, " %e", static_cast<double>(mixture.mean[i]));
        converter += text;
        std::snprintf(text, sizeof text, " %.9g", static_cast<double>(mixture.mean[i]));
        exact += text;
    }
    TempDir dir;
    writeTextMacroWalk(set.MMF, dir.file("exact.mac").c_str(), textDialect::exact);
    EXPECT_NE(writtenText(set).find("<MEAN> 24\n" + converter.substr(1) + "\n"), std::string::npos);
    EXPECT_NE(readFile(dir.file("exact.mac")).find("<MEAN> 24\n" + exact.substr(1) + "\n"), std::string::npos);
}
