// mmftool check's and modinfo's warnings: what converts but would hurt the recogniser, each
// at the place in the file where the offending value or keyword stands.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "hmm/setIO.h"
#include "macroText.h"
#include "mmftool/lint.h"
#include "testSupport.h"

using namespace macroText;

namespace {

// sil, one emitting state of two components: weights 0.5, means 101.. and 201.., variances
// 101.5.. and 201.5.., gconsts 1010 and 2010.
std::string silText()
{
    return header() + "~h \"sil\"\n<BEGINHMM>\n<NUMSTATES> 3\n" + stateHead(2, {2}) + components(2, 1) +
           transP(3) + "<ENDHMM>\n";
}

// "FILE:LINE:COLUMN: " of the last occurrence of anchor in text; "FILE: " for an empty anchor.
std::string placeOf(const std::string &file, const std::string &text, const std::string &anchor)
{
    if (anchor.empty())
        return file + ": ";
    size_t offset = text.rfind(anchor);
    EXPECT_NE(offset, std::string::npos) << anchor;
    offset = text.find_first_not_of(' ', offset);
    size_t lineStart = text.rfind('\n', offset - 1);
    lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
    int line = 1;
    for (size_t k = 0; k < offset; k++)
        line += text[k] == '\n';
    return file + ":" + std::to_string(line) + ":" + std::to_string(offset - lineStart + 1) + ": ";
}

std::vector<std::string> warnings(const std::string &out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.find(": warning: ") != std::string::npos)
            lines.push_back(line);
    return lines;
}

Outcome tool(const TempDir &dir, const std::vector<std::string> &args)
{
    std::vector<std::string> argv = {MMFTOOL_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, dir.path());
}

struct expected {
    std::string anchor;   // where the warning points, last occurrence in the file; "" for none
    std::string message;
};

void expectWarnings(const std::string &file, const std::string &text, const std::string &out,
                    const std::vector<expected> &wanted)
{
    std::vector<std::string> lines;
    for (const expected &w : wanted)
        lines.push_back(placeOf(file, text, w.anchor) + "warning: " + w.message);
    EXPECT_EQ(warnings(out), lines) << text;
}

const std::string state = "model 0 (\"sil\"), state 2";

}  // namespace

TEST(lint, textWarningsPointAtTheValueOrKeyword)
{
    struct change {
        std::string from, to;
        std::vector<expected> wanted;
    };
    const std::string twoMore = ", and so are 2 more of the vector";
    const std::vector<change> changes = {
        {"", "", {}},
        {" 1.030000e+02", " nan", {{" nan", state + ", component 1: mean[2] is nan"}}},
        {" 1.025000e+02 1.035000e+02 1.045000e+02", " -0.0 0 -inf",
         {{" -0.0", state + ", component 1: variance[1] is -0, not above 0, and so is 1 more of the vector"},
          {"-inf", state + ", component 1: variance[3] is -inf"}}},
        {"<MIXTURE> 2 5.000000e-01", "<MIXTURE> 2 -5.000000e-01",
         {{"<NUMMIXES>", state + ": the mixture weights sum to 0, not 1"},
          {"-5.0", state + ", component 2: the weight is -0.5, below 0"}}},
        {"<NUMMIXES> 2", "<NUMMIXES> 3",
         {{"<NUMMIXES>", state + ": <NUMMIXES> counts 3 components, the file gives 2; the missing ones are "
                                 "written as weight 0 (log -inf) with zero mean and variance"}}},
        {" 1.010000e+03", " inf", {{" inf", state + ", component 1: the gconst is inf"}}},
        {" 7.500000e-01", " nan", {{" nan", "model 0 (\"sil\"): transP[1][1] is nan"}}},
        {"~h \"sil\"", "~h \"s\"", {{"", "no model is named \"sil\", which the converter writes first"}}},
        {"<ENDHMM>\n", "<ENDHMM>\n~h \"sil\" <BEGINHMM> <NUMSTATES> 2 " + transP(2) + "<ENDHMM>\n",
         {{"~h", "model 1 is named \"sil\", as model 0 is"}}},
    };
    TempDir dir;
    for (const change &c : changes) {
        std::string text = silText();
        if (!c.from.empty())
            text.replace(text.find(c.from), c.from.size(), c.to);
        writeFile(dir.file("set.mac"), text);
        Outcome o = tool(dir, {"check", "set.mac"});
        EXPECT_EQ(o.status, 0);
        expectWarnings("set.mac", text, o.out, c.wanted);
    }
}

// Every way the reader's lookahead takes a token early: <NUMMIXES> without <SWEIGHTS>,
// <RCLASS>, a component without <GCONST> before the next stream's head in place of a counted
// component, two streams, several values on a line. A walk that lost its step anywhere would
// put the last value elsewhere.
TEST(lint, textPlacesFollowTheReadersLookahead)
{
    const std::string noGconst = gaussian(1).substr(0, gaussian(1).find("<GCONST>"));
    const std::string text = header({24, 24}) + "~h \"sil\"\n<BEGINHMM> <NUMSTATES> 3\n<STATE> 2 <NUMMIXES> 3 1\n"
                             "<STREAM> 1\n<MIXTURE> 1 0.5\n" + gaussian(5) + "<MIXTURE> 2 0.25 <RCLASS> 3\n" +
                             noGconst + "<STREAM> 2\n<MEAN> 24\n nan" + noGconst.substr(23) + "<TRANSP> 3\n 0 1 0\n 0 0.5 0.5\n 0 0\tnan\n"
                             "<ENDHMM>\n";
    TempDir dir;
    writeFile(dir.file("set.mac"), text);
    Outcome o = tool(dir, {"check", "set.mac"});
    EXPECT_EQ(o.status, 0) << o.out;
    const std::string stream = state + ", stream 1: ";
    expectWarnings("set.mac", text, o.out,
                   {{"<NUMMIXES>", stream + "<NUMMIXES> counts 3 components, the file gives 2; the missing ones are "
                                            "written as weight 0 (log -inf) with zero mean and variance"},
                    {"<NUMMIXES>", stream + "the mixture weights sum to 0.75, not 1"},
                    {" nan", state + ", stream 2, component 1: mean[0] is nan"},
                    {"nan", "model 0 (\"sil\"): transP[2][2] is nan"}});
}

// A front end that read the set before (without a watch) gets from lintAll what check, which
// watched the one read, reports; and a file that no longer holds the set is refused.
TEST(lint, aSetReadBeforeIsReadAgainWithTheChecksWatching)
{
    std::string text = silText();
    text.replace(text.find(" 1.030000e+02"), 13, " nan");
    TempDir dir;
    writeFile(dir.file("set.mac"), text);
    writeFile(dir.file("table"), "1 x\n");
    macroClass first;
    mac2mod::readSet(first, dir.file("set.mac"));
    mac2mod::writeSet(first, dir.file("set.macb"));
    for (const char *name : {"set.mac", "set.macb"}) {
        const std::string path = dir.file(name), table = dir.file("table");
        const bool binary = path.back() == 'b';
        macroClass watched, before;
        std::unique_ptr<setWatch> watch = watchSet(watched.MMF, path, binary);
        mac2mod::readSet(watched, path, watch.get());
        std::vector<finding> once = lintAll(watched.MMF, watch->finish(), table.c_str());
        mac2mod::readSet(before, path);
        std::vector<finding> again = lintAll(before, path, binary, table.c_str());
        EXPECT_EQ(findingsJson(again).dump(), findingsJson(once).dump());
        EXPECT_EQ(once.size(), 2u) << findingsJson(once).dump();
        if (!binary) {
            EXPECT_EQ(placeOf(path, text, " nan"), path + ":" + std::to_string(once.at(0).line) + ":" +
                                                       std::to_string(once.at(0).column) + ": ");
        }
        writeFile(path, binary ? std::string(4, '\0') : header());
        EXPECT_THROW(lintAll(before, path, binary, nullptr), mac2mod::error);
    }
}

TEST(lint, binaryWarningsNameTheirByte)
{
    // sil as in silText: the name at byte 12, the state's mixtureNum at 70, component 1 from
    // byte 74 (its means from 78), component 2 from 274, the transition run from 474 to 510.
    std::string text = silText();
    text.replace(text.find(" 1.030000e+02"), 13, " nan");
    text.replace(text.find("<MIXTURE> 2 5.000000e-01"), 24, "<MIXTURE> 2 5.100000e-01");
    TempDir dir;
    writeFile(dir.file("set.mac"), text);
    ASSERT_EQ(tool(dir, {"convert", "set.mac", "set.macb"}).status, 0);
    writeFile(dir.file("set.macb"), readFile(dir.file("set.macb")) + "xyz");
    Outcome o = tool(dir, {"check", "set.macb"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(warnings(o.out), (std::vector<std::string>{
                                   "set.macb: byte 70: warning: " + state + ": the mixture weights sum to 1.00999999, not 1",
                                   "set.macb: byte 86: warning: " + state + ", component 1: mean[2] is nan",
                                   "set.macb: byte 510: warning: 3 bytes after the last model, which no reader takes",
                               }));
}

TEST(lint, tableIsCheckedAsTheConverterReadsIt)
{
    const std::string longName(20, 'n');
    const std::string set = header() + model("sil", 3, 2) + model("a", 3, 2) + model(longName, 3, 2);
    const std::string noEntry = "no entry of \"t.txt\" is left for model 2 (\"" + longName + "\")";
    struct table {
        std::string text;
        std::vector<expected> tableWarnings;
        std::vector<expected> setWarnings;
    };
    const std::vector<table> tables = {
        {"1 a\n2 " + longName + "\n",
         {{longName, "the name \"" + longName + "\" has 20 characters; a table name holds at most 19"}}, {}},
        {"1 a\n2 " + longName + "\n3 b\n4 c\n",
         {{longName, "the name \"" + longName + "\" has 20 characters; a table name holds at most 19"},
          {"3 b", "the converter never reads the table from here on (2 more entries): the set has 3 models, so it "
                  "reads the first 2 entries"}},
         {}},
        {"1 a\n2 " + longName + "\n\n  #\n",
         {{longName, "the name \"" + longName + "\" has 20 characters; a table name holds at most 19"},
          {"#", "the converter never reads the table from here on (0 more entries): the set has 3 models, so it "
                "reads the first 2 entries"}},
         {}},
        {"1 a\n2 sil\n",
         {{"sil", "\"sil\" is listed: the converter writes the first model named \"sil\" before the entries by "
                  "itself, so this entry serves only a second model of that name"},
          {"sil", "no model named \"sil\" is left for entry 2: other entries took them"}},
         {{"~h \"n", noEntry}}},
        {"1 a\n2 b\n", {{"b", "no model is named \"b\" (entry 2)"}}, {{"~h \"n", noEntry}}},
        {"1 a\n  x 2 b\n",
         {{"x", "entry 2 is not a number and a name, of the 2 the set needs: the converter gives it and the 0 "
                "after it the name \"a\" of the entry before"}},
         {{"~h \"n", noEntry}}},
        {"1 a\n", {{"", "the table ends before entry 2, of the 2 the set needs: the converter gives it and the 0 "
                        "after it the name \"a\" of the entry before"}},
         {{"~h \"n", noEntry}}},
    };
    TempDir dir;
    writeFile(dir.file("set.mac"), set);
    for (const table &t : tables) {
        writeFile(dir.file("t.txt"), t.text);
        Outcome o = tool(dir, {"check", "set.mac", "--table", "t.txt"});
        EXPECT_EQ(o.status, 0);
        std::vector<std::string> lines;
        for (const expected &w : t.setWarnings)
            lines.push_back(placeOf("set.mac", set, w.anchor) + "warning: " + w.message);
        for (const expected &w : t.tableWarnings)
            lines.push_back((w.anchor.empty() ? "t.txt:2:1: " : placeOf("t.txt", t.text, w.anchor)) + "warning: " +
                            w.message);
        EXPECT_EQ(warnings(o.out), lines) << t.text;
    }
    Outcome o = tool(dir, {"check", "set.mac", "--table", "none.txt"});
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error: Cannot open \"none.txt\".\n");
}

TEST(lint, strictFailsOnAnyWarningAndJsonHoldsThemAll)
{
    std::string text = silText();
    text.replace(text.find(" 1.030000e+02"), 13, " nan");
    TempDir dir;
    writeFile(dir.file("bad.mac"), text);
    writeFile(dir.file("good.mac"), silText());
    writeFile(dir.file("t.txt"), "1 a\n");
    Outcome plain = tool(dir, {"check", "bad.mac", "--table", "t.txt"});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(tool(dir, {"check", "--strict", "bad.mac"}).status, 1);
    EXPECT_EQ(tool(dir, {"check", "--strict", "good.mac"}).status, 0);

    Outcome o = tool(dir, {"check", "--json", "--strict", "bad.mac", "--table", "t.txt"});
    EXPECT_EQ(o.status, 1);
    nlohmann::json document = nlohmann::json::parse(o.out);
    EXPECT_EQ(document["models"], 1);
    EXPECT_EQ(document["vectorSizes"], nlohmann::json::array({24}));
    std::vector<std::string> lines;
    for (const nlohmann::json &f : document["findings"]) {
        std::string place = f.contains("line")
                                ? ":" + std::to_string(f["line"].get<int>()) + ":" + std::to_string(f["column"].get<int>())
                                : "";
        lines.push_back(f["file"].get<std::string>() + place + ": warning: " + f["message"].get<std::string>());
    }
    EXPECT_EQ(lines, warnings(plain.out));
    EXPECT_EQ(lines.size(), 2u);
}

TEST(lint, modinfoWarnsOfValuesThatHurt)
{
    // sil of two counted components, one given: the model file's sil record holds M = 2 at
    // value 2, the log weights at 5 and 6, component 2's variances from value 79.
    std::string text = silText();
    text.replace(text.find("<MIXTURE> 2"), text.find("<TRANSP>") - text.find("<MIXTURE> 2"), "");
    text.replace(text.find(" 1.030000e+02"), 13, " nan");
    TempDir dir;
    writeFile(dir.file("set.mac"), text);
    writeFile(dir.file("ModelNames.txt"), "");
    ASSERT_EQ(runProgram({MAC2MOD_EXE, "set.mac"}, dir.path()).status, 0);
    Outcome o = tool(dir, {"modinfo", "set.mod"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(warnings(o.out), (std::vector<std::string>{
                                   "set.mod: byte 24: warning: record 0 (\"sil\"), state 2, component 2: the log weight is -inf",
                                   "set.mod: byte 36: warning: record 0 (\"sil\"), state 2, component 1: mean[2] is nan",
                                   "set.mod: byte 316: warning: record 0 (\"sil\"), state 2, component 2: variance[0] is 0, "
                                   "not above 0, and so are 23 more of the vector",
                               }));
}
