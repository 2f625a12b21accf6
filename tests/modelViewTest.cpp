#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "hmm/macroClass.h"
#include "hmm/modelArray.h"
#include "hmm/modelView.h"
#include "testSupport.h"

namespace {

void makeNamedSet(macroClass &set, const std::vector<std::string> &names)
{
    int n = static_cast<int>(names.size());
    set.MMF.model = allocateModels(n);
    set.MMF.modelNum = n;
    set.MMF.streamNum = 1;
    set.MMF.vecSize[0] = 2;
    for (int m = 0; m < n; m++) {
        std::strcpy(set.MMF.model[m].str, names[m].c_str());
        set.MMF.model[m].stateNum = 2;
    }
}

// Model 1 ("b") has one emitting state, one stream of two values and two components; the
// second component has a LOG_ZERO weight and is dumped all the same.
void makeDumpSet(macroClass &set)
{
    makeNamedSet(set, {"a", "b"});
    hmmModel &b = set.MMF.model[1];
    b.stateNum = 3;
    b.state[0].streamWeight[0] = 1;
    hmmStream &stream = b.state[0].stream[0];
    stream.mixtureNum = 2;
    stream.mixture[0] = {0.25f, {0.5f, -1}, {2, 0.125f}, 2.5f};
    stream.mixture[1] = {-1e10f, {3, 4}, {5, 6}, -7};
    float rows[3][3] = {{0, 1, 0}, {0, 0.6f, 0.4f}, {0, 0, 0}};
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            b.transProb[r][c] = rows[r][c];
}

}  // namespace

TEST(dumpModel, writesEveryParameterAsIndentedText)
{
    macroClass set;
    makeDumpSet(set);
    TempDir dir;
    std::string path = dir.file("dump.txt");
    set.dumpModel(1, path.c_str());
    EXPECT_EQ(readFile(path),
              "\tModel index = 1\n"
              "\tMMF.modelNum = 2\n"
              "\tMMF.streamNum = 1\n"
              "\tMMF.model[1].stateNum = 3\n"
              "\tMMF.model[1].str = b\n"
              "\t\tState index = 0\n"
              "\t\t\tStream index = 0\n"
              "\t\t\t\tstreamWeight[0] = 1.000000\n"
              "\t\t\t\tMixture index = 0\n"
              "\t\t\t\t\tmixtureWeight = 0.250000\n"
              "\t\t\t\t\tgconst = 2.500000\n"
              "\t\t\t\t\tmean = 0.500000 -1.000000 \n"
              "\t\t\t\t\tvariance = 2.000000 0.125000 \n"
              "\t\t\t\tMixture index = 1\n"
              "\t\t\t\t\tmixtureWeight = -10000000000.000000\n"
              "\t\t\t\t\tgconst = -7.000000\n"
              "\t\t\t\t\tmean = 3.000000 4.000000 \n"
              "\t\t\t\t\tvariance = 5.000000 6.000000 \n"
              "\tMMF.model[1].transProb = \n"
              "\t\t0.000000 \t1.000000 \t0.000000 \n"
              "\t\t0.000000 \t0.600000 \t0.400000 \n"
              "\t\t0.000000 \t0.000000 \t0.000000 \n");

    // A model without emitting states, over an earlier dump.
    set.dumpModel(0, path.c_str());
    EXPECT_EQ(readFile(path),
              "\tModel index = 0\n"
              "\tMMF.modelNum = 2\n"
              "\tMMF.streamNum = 1\n"
              "\tMMF.model[0].stateNum = 2\n"
              "\tMMF.model[0].str = a\n"
              "\tMMF.model[0].transProb = \n"
              "\t\t0.000000 \t0.000000 \n"
              "\t\t0.000000 \t0.000000 \n");
}

TEST(dumpModel, refusesIndexOutsideTheSetAndFailedWrites)
{
    macroClass set;
    makeDumpSet(set);
    TempDir dir;
    std::string path = dir.file("dump.txt");
    for (int index : {-1, 2}) {
        Outcome o = runReporting([&] { dumpModelOf(set.MMF, index, path.c_str()); });
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.out, "Error: model index " + std::to_string(index) +
                             " is outside the set of 2 models!\n");
        EXPECT_FALSE(fileExists(path));
    }

    macroClass empty;
    Outcome o = runReporting([&] { dumpModelOf(empty.MMF, 0, path.c_str()); });
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "Error: model index 0 is outside the set of 0 models!\n");

    o = runCaptured([&] {
        limitFileSize(100);
        set.dumpModel(1, path.c_str());
    });
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error: cannot write \"" + path + "\".\n");
    EXPECT_FALSE(fileExists(path));

    std::filesystem::create_directory(path);
    o = runReporting([&] { dumpModelOf(set.MMF, 1, path.c_str()); });
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error: Cannot open \"" + path + "\".\n");

    set.MMF.model[1].state[0].stream[0].mixtureNum = 13;
    o = runReporting([&] { dumpModelOf(set.MMF, 1, dir.file("other.txt").c_str()); });
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "Error: model 1 (b), state 2, stream 1: mixtureNum 13 is outside 0..12!\n");
    EXPECT_FALSE(fileExists(dir.file("other.txt")));
}

TEST(findSubstituteModel, prefersSilenceContextThenAnyContextInArrayOrder)
{
    macroClass set;
    makeNamedSet(set, {"a-b+x", "a-b+sil", "a-b+y", "a+b+sil", "a+silx", "q-r+si", "zz"});
    EXPECT_EQ(set.findSubstituteModel("a-b+c"), 1);
    EXPECT_EQ(set.findSubstituteModel("a-b+"), 1);
    EXPECT_EQ(set.findSubstituteModel("a-b+sil"), 1);
    // The head ends at the first '+': "a+sil" is looked for, and "a+silx" begins with it.
    EXPECT_EQ(set.findSubstituteModel("a+b+c"), 4);
    // "q-r+si" does not begin with "q-r+sil" but does with "q-r+".
    EXPECT_EQ(set.findSubstituteModel("q-r+c"), 5);
    EXPECT_EQ(set.findSubstituteModel("n-o+p"), -1);
    EXPECT_EQ(set.findSubstituteModel("+c"), -1);

    macroClass noSilence;
    makeNamedSet(noSilence, {"a-b+x", "a-b+y"});
    EXPECT_EQ(noSilence.findSubstituteModel("a-b+c"), 0);

    macroClass empty;
    EXPECT_EQ(empty.findSubstituteModel("a-b+c"), -1);
}

TEST(findSubstituteModel, takesModelStringsOfAnyLength)
{
    macroClass set;
    makeNamedSet(set, {std::string(48, 'k') + "+", "aaaa+sil"});
    EXPECT_EQ(set.findSubstituteModel("aaaa+" + std::string(500, 'c')), 1);
    EXPECT_EQ(set.findSubstituteModel(std::string(48, 'k') + "+c"), 0);
    // A head longer than any name can match nothing, and reads no name past its end.
    EXPECT_EQ(set.findSubstituteModel(std::string(300, 'k') + "+c"), -1);
}

TEST(findSubstituteModel, stringWithoutPlusIsAFailure)
{
    macroClass set;
    makeNamedSet(set, {"sil"});
    const char *error = "Error in macroClass::findSubstituteModel(): Cannot find '+' sign!\n";

    Outcome o = runReporting([&] { findSubstituteModelOf(set.MMF, "sil"); });
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, std::string("modelStr=\"sil\"\n") + error);

    std::string longText(400, 'x');
    o = runReporting([&] { findSubstituteModelOf(set.MMF, longText); });
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "modelStr=\"" + longText + "\"\n" + error);

    // The string is text: a '+' after a zero byte is not part of it.
    o = runReporting([&] { findSubstituteModelOf(set.MMF, std::string("a-b\0+c", 6)); });
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, std::string("modelStr=\"a-b\"\n") + error);
}

TEST(getModelNames, replacesTheListWithNamesInArrayOrder)
{
    std::vector<std::string> names = {"old", "older"};
    macroClass empty;
    empty.getModelNames(names);
    EXPECT_TRUE(names.empty());

    std::string longest(MAX_NAME_LEN - 1, 'n');
    macroClass set;
    makeNamedSet(set, {"zz", "a b", longest, ""});
    names = {"old"};
    set.getModelNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"zz", "a b", longest, ""}));
}
