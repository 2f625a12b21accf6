#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/resource.h>

#include "hmm/macroClass.h"
#include "hmm/textMacroReader.h"
#include "macroText.h"
#include "testSupport.h"
#include "utility/error.h"

using namespace macroText;

namespace {

struct textFile {
    TempDir dir;
    std::string path;
    explicit textFile(const std::string &text) : path(dir.file("set.mac")) { writeFile(path, text); }
};

void readText(macroClass &set, const std::string &text)
{
    textFile file(text);
    set.readTextMacro(file.path.c_str());
}

Outcome failText(const std::string &text)
{
    textFile file(text);
    return runReporting([&] {
        macroClass set;
        readTextMacroFile(set.MMF, file.path.c_str());
    });
}

bool allZero(const void *bytes, size_t size)
{
    const unsigned char *p = static_cast<const unsigned char *>(bytes);
    for (size_t k = 0; k < size; k++)
        if (p[k])
            return false;
    return true;
}

std::string oneModel(const std::string &body)
{
    return header() + "~h \"m\"\n<BEGINHMM>\n" + body;
}

}  // namespace

TEST(textMacroReader, fillsTheSetInFileOrderWithZerosElsewhere)
{
    macroClass set;
    readText(set, header() + model("sil", 5, 2) + model("a-b+c", 3, 3, 7.0f));
    ASSERT_EQ(set.MMF.modelNum, 2);
    EXPECT_EQ(set.MMF.streamNum, 1);
    EXPECT_EQ(set.MMF.vecSize[0], 24);
    EXPECT_STREQ(set.MMF.globalOption, "<VECSIZE> 24 <NULLD> <MFCC_E_D_A> <DIAGC>");

    const hmmModel &sil = set.MMF.model[0];
    EXPECT_STREQ(sil.str, "sil");
    EXPECT_EQ(sil.stateNum, 5);
    // File state 2 is state[0]; its components come in file order.
    const hmmStream &first = sil.state[0].stream[0];
    EXPECT_EQ(first.mixtureNum, 2);
    EXPECT_FLOAT_EQ(sil.state[0].streamWeight[0], 1.0f);
    EXPECT_FLOAT_EQ(first.mixture[0].mixtureWeight, 0.5f);
    EXPECT_FLOAT_EQ(first.mixture[0].mean[0], 2101.0f);
    EXPECT_FLOAT_EQ(first.mixture[1].mean[23], 2224.0f);
    EXPECT_FLOAT_EQ(first.mixture[1].variance[0], 2201.5f);
    EXPECT_FLOAT_EQ(first.mixture[1].gconst, 22010.0f);
    EXPECT_FLOAT_EQ(sil.state[2].stream[0].mixture[0].mean[0], 4101.0f);
    EXPECT_FLOAT_EQ(sil.transProb[0][1], 1.0f);
    EXPECT_FLOAT_EQ(sil.transProb[3][4], 0.25f);

    const hmmModel &other = set.MMF.model[1];
    EXPECT_STREQ(other.str, "a-b+c");
    EXPECT_EQ(other.stateNum, 3);
    EXPECT_EQ(other.state[0].stream[0].mixtureNum, 3);
    EXPECT_FLOAT_EQ(other.transProb[1][2], 0.25f);
    EXPECT_TRUE(allZero(&other.state[1], 2 * sizeof(hmmState)));
    EXPECT_TRUE(allZero(&other.state[0].stream[1], 2 * sizeof(hmmStream)));
    EXPECT_TRUE(allZero(&other.state[0].stream[0].mixture[3], 9 * sizeof(hmmMixture)));
    for (int r = 0; r < MAX_STATE_NUM; r++)
        for (int c = 0; c < MAX_STATE_NUM; c++)
            if (r >= 3 || c >= 3) {
                EXPECT_EQ(other.transProb[r][c], 0.0f) << r << "," << c;
            }
}

TEST(textMacroReader, headerVariants)
{
    macroClass plain, withId, empty;
    readText(plain, header() + model("x"));
    readText(withId, "~o <HMMSETID> some-id\n" + header().substr(3) + model("x"));
    ASSERT_EQ(withId.MMF.modelNum, 1);
    EXPECT_EQ(std::memcmp(plain.MMF.model, withId.MMF.model, sizeof(hmmModel)), 0);
    EXPECT_STREQ(plain.MMF.globalOption, withId.MMF.globalOption);

    readText(empty, header());
    EXPECT_EQ(empty.MMF.modelNum, 0);
    EXPECT_EQ(empty.MMF.vecSize[0], 24);
}

TEST(textMacroReader, namesAndLayout)
{
    macroClass set;
    std::string oneLine = model("sil", 3, 1);
    for (char &c : oneLine)
        if (c == '\n')
            c = ' ';
    readText(set, header() + model("a name with blanks", 3, 1) + oneLine);
    ASSERT_EQ(set.MMF.modelNum, 2);
    EXPECT_STREQ(set.MMF.model[0].str, "a name with blanks");
    EXPECT_STREQ(set.MMF.model[1].str, "sil");
    EXPECT_FLOAT_EQ(set.MMF.model[1].state[0].stream[0].mixture[0].mean[1], 2002.0f);
}

TEST(textMacroReader, mixtureCountsAndHeaders)
{
    macroClass set;
    // <SWEIGHTS> alone: one component of weight 1.0 in every stream, read without a header.
    std::string swOnly = "<NUMSTATES> 3\n" + stateHead(2, {1}, false) + gaussian(5) + transP(3) + "<ENDHMM>\n";
    // Components numbered 1 and 3 fill the first two slots; <RCLASS> is skipped.
    std::string gaps = "<NUMSTATES> 3\n" + stateHead(2, {2}) + "<MIXTURE> 1 0.25\n<RCLASS> 5\n" +
                       gaussian(1) + "<MIXTURE> 3 0.75\n" + gaussian(2) + transP(3) + "<ENDHMM>\n";
    // Fewer blocks than counted: the rest stay zero, and the next state head is the token
    // already read.
    std::string fewer = "<NUMSTATES> 4\n" + stateHead(2, {4}) + "<MIXTURE> 1 1.0\n" + gaussian(1) +
                        stateHead(3, {12}) + components(12, 3) + transP(4) + "<ENDHMM>\n";
    readText(set, header() + "~h \"sw\"\n<BEGINHMM>\n" + swOnly + "~h \"gaps\"\n<BEGINHMM>\n" + gaps +
                      "~h \"fewer\"\n<BEGINHMM>\n" + fewer);
    ASSERT_EQ(set.MMF.modelNum, 3);
    const hmmStream &sw = set.MMF.model[0].state[0].stream[0];
    EXPECT_EQ(sw.mixtureNum, 1);
    EXPECT_EQ(sw.mixture[0].mixtureWeight, 1.0f);
    EXPECT_FLOAT_EQ(sw.mixture[0].mean[0], 5.0f);

    const hmmStream &g = set.MMF.model[1].state[0].stream[0];
    EXPECT_EQ(g.mixture[0].mixtureWeight, 0.25f);
    EXPECT_EQ(g.mixture[1].mixtureWeight, 0.75f);
    EXPECT_FLOAT_EQ(g.mixture[1].mean[0], 2.0f);

    const hmmModel &f = set.MMF.model[2];
    EXPECT_EQ(f.state[0].stream[0].mixtureNum, 4);
    EXPECT_TRUE(allZero(&f.state[0].stream[0].mixture[1], 3 * sizeof(hmmMixture)));
    EXPECT_EQ(f.state[1].stream[0].mixtureNum, 12);
    EXPECT_FLOAT_EQ(f.state[1].stream[0].mixture[11].mean[0], 1203.0f);
    EXPECT_FLOAT_EQ(f.transProb[2][3], 0.25f);
}

TEST(textMacroReader, severalStreams)
{
    macroClass set;
    std::string body = "<NUMSTATES> 3\n" + stateHead(2, {2, 1}) + "<STREAM> 1\n" + components(2, 1) +
                       "<STREAM> 2\n" + components(1, 9) + transP(3) + "<ENDHMM>\n";
    readText(set, header({24, 24}) + "~h \"two\"\n<BEGINHMM>\n" + body);
    const hmmState &state = set.MMF.model[0].state[0];
    EXPECT_EQ(set.MMF.streamNum, 2);
    EXPECT_FLOAT_EQ(state.streamWeight[1], 0.5f);
    EXPECT_EQ(state.stream[0].mixtureNum, 2);
    EXPECT_EQ(state.stream[1].mixtureNum, 1);
    EXPECT_EQ(state.stream[1].mixture[0].mixtureWeight, 1.0f);
    EXPECT_FLOAT_EQ(state.stream[1].mixture[0].mean[0], 9.0f);

    Outcome o = failText(header({24, 24}) + "~h \"two\"\n<BEGINHMM>\n<NUMSTATES> 3\n" + stateHead(2, {1, 1}) +
                         gaussian(1) + gaussian(2) + transP(3) + "<ENDHMM>\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "modelId=0 (two), stateId=2\nstr1=<MEAN>, temp=24, Cannot find \"<STREAM>\"!\n");
}

// A component list without <SWEIGHTS>: the weights are 1.0 and the components are read
// from their own headers, not taken for weights.
TEST(textMacroReader, numMixesWithoutStreamWeights)
{
    macroClass set;
    readText(set, oneModel("<NUMSTATES> 3\n<STATE> 2\n<NUMMIXES> 2\n" + components(2, 1) + transP(3) +
                           "<ENDHMM>\n"));
    const hmmState &state = set.MMF.model[0].state[0];
    EXPECT_EQ(state.streamWeight[0], 1.0f);
    EXPECT_EQ(state.stream[0].mixture[0].mixtureWeight, 0.5f);
    EXPECT_EQ(state.stream[0].mixture[1].mixtureWeight, 0.5f);
    EXPECT_FLOAT_EQ(state.stream[0].mixture[1].mean[0], 201.0f);

    Outcome o = failText(oneModel("<NUMSTATES> 3\n<STATE> 2\n<NUMMIXES> 2\n<FOO> 1\n"));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "ERROR: fail to read <NUMMIXES> or <SWEIGHTS>\nat modelId = 0 (m), stateId = 2\n");
}

TEST(textMacroReader, regressionClassBlocksAreSkipped)
{
    macroClass set;
    readText(set, header() + "~r \"rc\" <BASECLASS> x 1 2\n" + model("a") + "~r \"rc2\"\n" + model("b"));
    ASSERT_EQ(set.MMF.modelNum, 2);
    EXPECT_STREQ(set.MMF.model[1].str, "b");

    Outcome o = failText(header() + model("a") + "~r \"rc\" 1 2 3\n");
    EXPECT_EQ(o.status, 0) << "a ~r block after the last counted model is not read";
}

TEST(textMacroReader, missingGconstKeepsItsTokenAsTheNextHead)
{
    macroClass set;
    std::string noGconst = "<MEAN> 24\n" + values(1) + "<VARIANCE> 24\n" + values(2);
    readText(set, oneModel("<NUMSTATES> 4\n" + stateHead(2, {2}) + "<MIXTURE> 1 0.5\n" + noGconst +
                           "<MIXTURE> 2 0.5\n" + noGconst + stateHead(3, {1}) + noGconst + transP(4) +
                           "<ENDHMM>\n"));
    const hmmModel &m = set.MMF.model[0];
    EXPECT_EQ(m.state[0].stream[0].mixture[1].mixtureWeight, 0.5f);
    EXPECT_FLOAT_EQ(m.state[0].stream[0].mixture[1].variance[0], 2.0f);
    EXPECT_FLOAT_EQ(m.state[1].stream[0].mixture[0].mean[0], 1.0f);
    EXPECT_FLOAT_EQ(m.transProb[2][3], 0.25f);
}

TEST(textMacroReader, keywordMessages)
{
    struct { std::string text; std::string out; } cases[] = {
        {header() + "~h \"m\"\n<BEGIN>\n", "modelId=0, str1=<BEGIN>, Cannot find \"<BEGINHMM>\"!\n"},
        {header() + model("a") + "~h \"\"\n<BEGINHMM>\n", "modelId=1, str1=\", Cannot find \"<BEGINHMM>\"!\n"},
        {"~o\n<STREAMINFO> 1 24\n" + model("a"), "modelId=0, str1=<NUMSTATES>, Cannot find \"<BEGINHMM>\"!\n"},
        {oneModel("<NUMSTATES> 3\n" + stateHead(2, {13})), "mixture num 13 exceeds MAX_MIXTURE_NUM 12\n"},
        {oneModel("<NUMSTATES> 3\n<STATE> 2\n<MEAN> 24\n"),
         "ERROR: fail to read <NUMMIXES> or <SWEIGHTS>\nat modelId = 0 (m), stateId = 2\n"},
        {oneModel("<NUMSTATES> 3\n" + stateHead(2, {1}) + "<MIXTURE> 1 1.0\n" + gaussian(1)),
         "Error: Cannot find \"<MEAN>\"!\nmodelId=0 (m), stateId=2\n"},
        // "%d %e" is one fscanf call: a component number that does not read leaves the weight
        // unread, and it is taken as the keyword before the mean.
        {oneModel("<NUMSTATES> 3\n" + stateHead(2, {2}) + "<MIXTURE> .5\n" + gaussian(1) + "<MIXTURE> 2 .5\n" +
                  gaussian(2) + transP(3) + "<ENDHMM>\n"),
         "Error: Cannot find \"<MEAN>\"!\nmodelId=0 (m), stateId=2\n"},
        {oneModel("<NUMSTATES> 3\n" + stateHead(2, {2}) + "<MIXTURE> - 0.5\n" + gaussian(1)),
         "Error: Cannot find \"<MEAN>\"!\nmodelId=0 (m), stateId=2\n"},
        {oneModel("<NUMSTATES> 3\n" + stateHead(2, {1}) + "<MEAN> 39\n"), "Error: MAX_PARAM_NUM = 24 != 39!\n"},
        {oneModel("<NUMSTATES> 3\n" + stateHead(2, {1}) + "<MEAN> 24\n" + values(1) + "<VARIANCE> 39\n"),
         "Error: MAX_PARAM_NUM =24 != 39!\n"},
        {oneModel("<NUMSTATES> 3\n" + stateHead(2, {1}) + "<MEAN> 24\n" + values(1) + "<VARIANC> 24\n"),
         "Error: Cannot find \"<VARIANCE>\"!\nmodelId=0 (m), stateId=2\n"},
        {oneModel("<NUMSTATES> 3\n" + stateHead(2, {1}) + gaussian(1) + "<ENDHMM>\n"),
         "Error: Cannot find \"<TRANSP>\"!\nat modelId = 0\n"},
        {header() + model("a") + "~h \"b\"\n<BEGINHMM>\n<NUMSTATES> 2\n" + transP(2) + "<END>\n",
         "===================== WARNING: Not reading <ENDHMM>!\nmodelId=1\n"},
    };
    for (const auto &c : cases) {
        Outcome o = failText(c.text);
        EXPECT_EQ(o.status, 1) << c.out;
        EXPECT_EQ(o.out, c.out);
    }
    TempDir dir;
    std::string missing = dir.file("missing.mac");
    Outcome o = runReporting([&] {
        macroClass set;
        readTextMacroFile(set.MMF, missing.c_str());
    });
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error: Cannot open \"" + missing + "\".\n");
}

// Limits of the records are refused before anything is written past them.
TEST(textMacroReader, capacityRefusals)
{
    const std::string longName(50, 'n');
    struct { std::string text; std::string out; } cases[] = {
        {"~o\n<STREAMINFO> 0\n<X> y\n", "Error: stream num 0 is outside 1 to 3!\n"},
        {"~o\n<STREAMINFO> 4 24 24 24 24\n<X> y\n", "Error: stream num 4 is outside 1 to 3!\n"},
        {"~o\n<STREAMINFO> 2 24 25\n<X> y\n", "Error: vecSize[1] = 25 is outside 1 to 24!\n"},
        {"~o\n<STREAMINFO> 1 x\n", "Error: vecSize[0] = 0 is outside 1 to 24!\n"},
        {oneModel("<NUMSTATES> 6\n"), "Error: state num 6 is outside 2 to 5!\nmodelId=0 (m)\n"},
        {oneModel("<NUMSTATES> 1\n"), "Error: state num 1 is outside 2 to 5!\nmodelId=0 (m)\n"},
        {oneModel("<NUMSTATES> 3\n" + stateHead(2, {-1})),
         "Error: mixture num -1 is negative!\nat modelId = 0 (m), stateId = 2\n"},
        {header() + "~h \"" + longName + "\"\n",
         "Error: model name \"" + longName + "\" is longer than 49 characters!\nmodelId=0\n"},
        {header() + "~h \"m\"\n" + std::string(1000, 't') + "\n",
         "Error: a token or line is longer than 999 characters!\nmodelId=0\n"},
        {"~o\n<STREAMINFO> 1 24\n<VECSIZE> " + std::string(1000, 'r') + "\n",
         "Error: a token or line is longer than 999 characters!\n"},
        {"~o\n<STREAMINFO> 1 24\n<VECSIZE> " + std::string(990, 'r') + "\n",
         "Error: the global option line is longer than 999 characters!\n"},
        {header() + model("a") + "~r \"rc\"\n~hx \"b\"\n", "Error: Cannot find \"~h\" after \"~r\"!\nat modelId = 1\n"},
        {header() + model("a") + "\n " + model("b"), "Error: a \"~h\" model header after model 0 does not begin its line!\n"},
    };
    for (const auto &c : cases) {
        Outcome o = failText(c.text);
        EXPECT_EQ(o.status, 1) << c.out;
        EXPECT_EQ(o.out, c.out);
    }
    macroClass set;
    readText(set, header() + model(std::string(49, 'n')));
    EXPECT_EQ(std::strlen(set.MMF.model[0].str), 49u);
}

// The counting pass against fgets, piece by piece, on lines around the 999-character limit.
TEST(textMacroReader, countsHeadersAsFgetsCutsLines)
{
    auto reference = [](FILE *f) {
        char piece[MAX_STR_LEN];
        int count = 0;
        while (!std::feof(f))
            if (std::fgets(piece, MAX_STR_LEN, f) && piece[0] == '~' && piece[1] == 'h')
                count++;
        return count;
    };
    std::mt19937 random(7);
    const std::string pieces[] = {"~h", "~", "h", "\n", "x", std::string(997, 'a'), std::string(998, 'b'), " ~h"};
    for (int trial = 0; trial < 300; trial++) {
        std::string text;
        for (int k = 0; k < 12; k++)
            text += pieces[random() % 8];
        FILE *f = std::tmpfile();
        std::fwrite(text.data(), 1, text.size(), f);
        std::rewind(f);
        int expected = reference(f);
        std::rewind(f);
        headerStarts starts;
        ASSERT_EQ(countModelHeaders(f, &starts), expected) << "trial " << trial;
        ASSERT_EQ(starts.starts().size(), static_cast<size_t>(expected));
        for (headerStarts::start start : starts.starts())
            ASSERT_EQ(text.compare(start.offset, 2, "~h"), 0);
        // Counted in two parts cut at a line start, the same lines in the same places.
        size_t cut = text.find('\n', text.size() / 2);
        if (cut != std::string::npos) {
            headerStarts parts, later;
            std::rewind(f);
            int first = countModelHeaders(f, &parts, static_cast<long>(cut + 1));
            ASSERT_EQ(first + countModelHeaders(f, &later), expected) << "trial " << trial;
            parts.append(later);
            ASSERT_EQ(parts.starts(), starts.starts());
        }
        std::fclose(f);
    }
}

namespace {

// Models of varied shapes, with regression-class blocks and spare white space between some.
std::string variedSet(int modelNum)
{
    std::string text = header();
    for (int m = 0; m < modelNum; m++) {
        if (m % 7 == 3)
            text += "~r \"rc\" 1 2\n";
        text += model("m" + std::to_string(m), 2 + m % 4, 1 + m % 5, static_cast<float>(m));
        if (m % 5 == 1)
            text += "\n  \t\n";
    }
    return text;
}

Outcome readInPieces(const std::string &text, int pieces)
{
    textFile file(text);
    macroClass set;
    Outcome o = runReporting([&] { readTextMacroFile(set.MMF, file.path.c_str(), pieces); });
    if (o.status == 0)
        o.out = "read " + std::to_string(set.MMF.modelNum) + " models\n";
    return o;
}

}  // namespace

// Reading the models in pieces side by side gives exactly the set that one reader gives.
TEST(textMacroReader, piecesGiveTheWholeReadsSet)
{
    textFile file(variedSet(40) + "~h <BEGINHMM>\n<NUMSTATES> 2\n" + transP(2) + "<ENDHMM>\n");
    hmmSet whole{};
    readTextMacroFile(whole, file.path.c_str(), 1);
    ASSERT_EQ(whole.modelNum, 41);
    // A header without a name keeps the name read before it, which only the whole read knows.
    EXPECT_STREQ(whole.model[40].str, "m39");
    for (int pieces : {2, 3, 7, 41}) {
        hmmSet split{};
        readTextMacroFile(split, file.path.c_str(), pieces);
        ASSERT_EQ(split.modelNum, whole.modelNum);
        EXPECT_EQ(std::memcmp(split.model, whole.model, whole.modelNum * sizeof(hmmModel)), 0) << pieces;
        EXPECT_EQ(split.streamNum, whole.streamNum);
        EXPECT_STREQ(split.globalOption, whole.globalOption);
        std::free(split.model);
    }
    std::free(whole.model);
}

// Whatever piece meets a fault, the message is the one for the first fault in the file.
TEST(textMacroReader, piecesReportTheFirstFaultInFileOrder)
{
    std::string text = variedSet(30);
    std::string laterFault = text;
    laterFault.replace(laterFault.rfind("<ENDHMM>"), 8, "<END>");
    std::string firstFault = laterFault;
    firstFault.replace(firstFault.find("~h \"m20\"\n<BEGINHMM>"), 19, "~h \"m20\"\n<BEGIN>");
    std::string junk = text;
    junk.insert(junk.find("~h \"m12\""), "junk\n");
    for (const std::string &bad : {laterFault, firstFault, junk}) {
        Outcome whole = readInPieces(bad, 1);
        EXPECT_EQ(whole.status, 1);
        for (int pieces : {2, 4, 30}) {
            Outcome split = readInPieces(bad, pieces);
            EXPECT_EQ(split.status, whole.status);
            EXPECT_EQ(split.out, whole.out);
        }
    }
    EXPECT_EQ(readInPieces(firstFault, 4).out, "modelId=20, str1=<BEGIN>, Cannot find \"<BEGINHMM>\"!\n");
    EXPECT_EQ(readInPieces(text, 4).out, "read 30 models\n");
}

namespace {
long peakKilobytes()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
long peakBefore = 0;
}  // namespace

TEST(textMacroReader, refusedPiecesLeaveTheModelArrayUntouched)
{
    // 20000 header lines make an array of over 400 MB; the refusal at model 0 must not have
    // touched it, whichever way the file was read. The growth of the peak is measured, since a
    // forked child starts with its parent's.
    std::string text = header();
    for (int m = 0; m < 20000; m++)
        text += "~h\n";
    textFile file(text);
    for (int pieces : {1, 2}) {
        Outcome outcome = runCaptured([&] {
            peakBefore = peakKilobytes();
            macroClass set;
            try {
                readTextMacroFile(set.MMF, file.path.c_str(), pieces);
            } catch (const mac2mod::error &e) {
                std::printf("grown %ld kB\n", peakKilobytes() - peakBefore);
                std::fflush(stdout);
                std::_Exit(e.status());
            }
        });
        EXPECT_EQ(outcome.status, 1);
        size_t at = outcome.out.find("grown ");
        ASSERT_NE(at, std::string::npos) << outcome.out;
        EXPECT_LT(std::atol(outcome.out.c_str() + at + 6), 150 * 1024) << "pieces " << pieces;
    }
}

TEST(textMacroReader, recordsWhereItStopped)
{
    const std::string good = header() + model("a");
    struct { std::string text; std::string token; } cases[] = {
        {good + "~h \"b\"\n<BEGIN>\n", "<BEGIN>"},
        {good + "~h \"b\"\n<BEGINHMM> <NUMSTATES> 3\n" + stateHead(2, {1}) + "<MEAN> 39\n", "39"},
        {good + "~h \"" + std::string(60, 'n') + "\"\n", "\"nn"},
    };
    for (const auto &c : cases) {
        Outcome o = failText(c.text);
        EXPECT_EQ(o.status, 1);
        long offset = o.offset;
        ASSERT_GE(offset, 0) << o.out;
        EXPECT_EQ(c.text.compare(offset, c.token.size(), c.token), 0) << o.out;
        EXPECT_EQ(offset, static_cast<long>(c.text.rfind(c.token)));
    }
}

// A number that does not convert, where no keyword check fails after it, is refused at its
// place instead of being read as 0; where a check fails, that check's message stays.
TEST(textMacroReader, missingNumbersAreRefused)
{
    const std::string component = "<MEAN> 24\n" + values(1) + "<VARIANCE> 24\n" + values(2);
    const std::string shortMean = "<MEAN> 24\n" + values(1, 23) + "<VARIANCE> 24\n" + values(2);
    struct { std::string body, out, at; long after = 0; } cases[] = {
        {"<NUMSTATES> 3\n" + stateHead(2, {1}) + shortMean + transP(3) + "<ENDHMM>\n",
         "Error: a number is missing at modelId = 0 (m), stateId = 2: \"<VARIANCE>\" stands in its place!\n",
         "<VARIANCE>"},
        {"<NUMSTATES> 3\n" + stateHead(2, {2}) + "<MIXTURE> 1\n" + component + "<MIXTURE> 2 0.5\n" +
             component + transP(3) + "<ENDHMM>\n",
         "Error: a number is missing at modelId = 0 (m), stateId = 2: \"<MEAN>\" stands in its place!\n",
         "<MEAN>"},
        {"<NUMSTATES> 2\n<TRANSP> 2\n 0 1\n 0\n<ENDHMM>\n",
         "Error: a number is missing at modelId = 0 (m), <TRANSP>: \"<ENDHMM>\" stands in its place!\n",
         "<ENDHMM>"},
        {"<NUMSTATES> 3\n" + stateHead(2, {1}) + "<MEAN> 24\n" + values(1, 23) + "<VARIANZ> 24\n",
         "Error: Cannot find \"<VARIANCE>\"!\nmodelId=0 (m), stateId=2\n", "<VARIANZ>", 10},
    };
    for (const auto &c : cases) {
        std::string text = oneModel(c.body);
        for (int pieces : {1, 2}) {
            Outcome o = failText(text + (pieces == 2 ? model("n") : ""));
            EXPECT_EQ(o.status, 1);
            EXPECT_EQ(o.out, c.out);
            EXPECT_EQ(o.offset, static_cast<long>(text.find(c.at)) + c.after) << c.out;
        }
    }
}

// Past a few thousand headers the count keeps an evenly spread choice of starts, each with its
// model, and pieces start at those: the set read in pieces is still the whole read's.
TEST(textMacroReader, manyHeadersKeepBoundedStarts)
{
    std::string text = header();
    const size_t first = text.size();
    const std::string small = "<BEGINHMM>\n<NUMSTATES> 2\n" + transP(2) + "<ENDHMM>\n";
    for (int m = 0; m < 9000; m++)
        text += "~h \"m" + std::to_string(m % 10) + "\"\n" + small;
    textFile file(text);
    FILE *f = std::fopen(file.path.c_str(), "r");
    std::fseek(f, static_cast<long>(first), SEEK_SET);
    headerStarts starts;
    ASSERT_EQ(countModelHeaders(f, &starts), 9000);
    std::fclose(f);
    EXPECT_LE(starts.starts().size(), headerStarts::LIMIT);
    const size_t modelBytes = (text.size() - first) / 9000;
    for (headerStarts::start s : starts.starts())
        ASSERT_EQ(static_cast<size_t>(s.offset), first + s.model * modelBytes);
    EXPECT_EQ(starts.nearest(4501).model % 4, 0);

    macroClass whole, split;
    readTextMacroFile(whole.MMF, file.path.c_str(), 1);
    readTextMacroFile(split.MMF, file.path.c_str(), 3);
    ASSERT_EQ(split.MMF.modelNum, 9000);
    EXPECT_EQ(std::memcmp(split.MMF.model, whole.MMF.model, 9000 * sizeof(hmmModel)), 0);
}
