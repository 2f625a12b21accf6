// mmftool as a user runs it: its outputs on both channels, its statuses and its files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "export/modelFileReader.h"
#include "hmm/macroClass.h"
#include "hmm/modelArray.h"
#include "macroText.h"
#include "modelFileCheck.h"
#include "testSupport.h"
#include "utility/byteOrder.h"

using namespace macroText;

namespace {

const std::string tool = MMFTOOL_EXE;
const std::string examples = std::string(MAC2MOD_SOURCE_DIR) + "/examples/";

struct toolRun {
    int status;
    std::string out;
    std::string err;
};

// A working folder, and a run of mmftool in it with standard error caught and the temporary
// folder pointed at a place of its own.
struct workspace {
    TempDir dir;
    TempDir aside;   // standard error and the tool's temporary files

    std::string file(const std::string &name) const { return dir.file(name); }

    toolRun run(const std::vector<std::string> &args) const
    {
        std::vector<std::string> argv = {
            "/bin/sh", "-c", "TMPDIR=\"$0\" exec \"$@\" 2>\"$0/stderr\"", aside.path(), tool};
        argv.insert(argv.end(), args.begin(), args.end());
        Outcome o = runProgram(argv, dir.path());
        EXPECT_TRUE(o.exited);
        std::string err = readFile(aside.file("stderr"));
        std::filesystem::remove(aside.file("stderr"));
        return {o.status, o.out, err};
    }

    // Nothing left in the temporary folder.
    bool asideEmpty() const { return std::filesystem::is_empty(aside.path()); }

    void copyExample(const std::string &name) const
    {
        std::filesystem::copy_file(examples + name, file(name));
    }
};

// Line and column (from 1) of a byte offset in text.
std::string lineAndColumn(const std::string &text, size_t offset)
{
    size_t line = 1, lineStart = 0;
    for (size_t k = 0; k < offset; k++)
        if (text[k] == '\n') {
            line++;
            lineStart = k + 1;
        }
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

// sil with three emitting states, "a" with one and a one-state model named "0", one-stream,
// two components in every state: a set whose text reads back as the writer writes it.
std::string smallSet()
{
    return header() + model("sil", 5, 2) + model("a", 3, 2, 2.0f) + model("0", 3, 2, 3.0f);
}

}  // namespace

TEST(mmftool, helpAndCommandLineErrors)
{
    workspace w;
    toolRun r = w.run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: mmftool SUBCOMMAND ARGUMENTS\n", 0), 0u);
    for (const char *synopsis : {"check FILE... [--table TABLE] [--strict] [--json]\n",
                                 "convert IN OUT [--prepare] [--table TABLE]\n", "dump FILE MODEL OUT\n",
                                 "names FILE [--sorted] [--table]\n", "modinfo FILE.mod [--table TABLE] [SET TABLE]\n"})
        EXPECT_NE(r.out.find(std::string("  mmftool ") + synopsis), std::string::npos) << synopsis;
    EXPECT_EQ(r.err, "");

    r = w.run({"names", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: mmftool names FILE [--sorted] [--table]\nPrints the model names", 0), 0u);

    r = w.run({});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("Usage: mmftool SUBCOMMAND ARGUMENTS\n", 0), 0u);
    r = w.run({"frobnicate", "set.mac"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("mmftool: unknown subcommand \"frobnicate\"\nUsage: mmftool SUBCOMMAND", 0), 0u);

    const std::string checkSynopsis = "FILE... [--table TABLE] [--strict] [--json]\n";
    const std::string modinfoSynopsis = "FILE.mod [--table TABLE] [SET TABLE]\n";
    struct misuse {
        std::vector<std::string> args;
        std::string err;
    };
    for (const misuse &m : std::vector<misuse>{
             {{"check"}, "mmftool check: wrong number of arguments\nUsage: mmftool check " + checkSynopsis},
             {{"check", "a.mac", "b.mac"}, "mmftool check: a .mac or .macb file is checked alone\nUsage: mmftool check " + checkSynopsis},
             {{"check", "a.mac", "--table"},
              "mmftool check: option \"--table\" needs a value\nUsage: mmftool check " + checkSynopsis},
             {{"names", "a.mac", "--bogus"},
              "mmftool names: unknown option \"--bogus\"\nUsage: mmftool names FILE [--sorted] [--table]\n"},
             {{"dump", "a.mac", "--sorted", "0", "out.txt"},
              "mmftool dump: unknown option \"--sorted\"\nUsage: mmftool dump FILE MODEL OUT\n"},
             {{"modinfo", "a.mod", "a.mac"}, "mmftool modinfo: SET needs its TABLE\nUsage: mmftool modinfo " + modinfoSynopsis},
             {{"modinfo", "a.mod", "--table", "t.txt", "a.mac", "t.txt"},
              "mmftool modinfo: TABLE is given twice: after SET, and as --table\nUsage: mmftool modinfo " + modinfoSynopsis},
             {{"convert", "a.mac", "b.txt"},
              "mmftool convert: OUT must end in .mac, .macb or .mod\nUsage: mmftool convert IN OUT [--prepare] [--table TABLE]\n"},
             {{"convert", "a.mac", "b.macb", "--table", "t.txt"},
              "mmftool convert: --table is for a .mod OUT only\nUsage: mmftool convert IN OUT [--prepare] [--table TABLE]\n"},
         }) {
        r = w.run(m.args);
        EXPECT_EQ(r.status, 2) << m.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, m.err);
    }
    EXPECT_TRUE(std::filesystem::is_empty(w.dir.path()));
}

TEST(mmftool, checkSummarisesASet)
{
    workspace w;
    w.copyExample("example.mac");
    w.copyExample("example.macb");
    const std::string body =
        "models: 5\nstreams: 1\nvector sizes: 24\nglobal option: GLOBAL\n"
        "models by number of states:\n  5 states: 5\n"
        "streams by number of components:\n  1 component: 3\n  2 components: 6\n  3 components: 3\n  4 components: 3\n";
    toolRun r = w.run({"check", "example.mac"});
    EXPECT_EQ(r.status, 0);
    std::string text = body;
    text.replace(text.find("GLOBAL"), 6, "<VECSIZE> 24 <NULLD> <MFCC_0_D_A> <DIAGC>");
    EXPECT_EQ(r.out, "example.mac: text macro file\n" + text);
    EXPECT_EQ(r.err, "");
    r = w.run({"check", "example.macb"});
    EXPECT_EQ(r.status, 0);
    std::string binary = body;
    binary.replace(binary.find("GLOBAL"), 6, "(none)");
    EXPECT_EQ(r.out, "example.macb: binary macro file\n" + binary);

    writeFile(w.file("dup.MAC"), header({24, 24}) +
                                     "~h \"b\"\n<BEGINHMM>\n<NUMSTATES> 3\n" + stateHead(2, {2, 1}) +
                                     "<STREAM> 1\n" + components(2, 1) + "<STREAM> 2\n" + components(1, 5) +
                                     transP(3) + "<ENDHMM>\n~h \"b\"\n<BEGINHMM>\n<NUMSTATES> 2\n" + transP(2) +
                                     "<ENDHMM>\n");
    r = w.run({"check", "dup.MAC"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "dup.MAC: text macro file\nmodels: 2\nstreams: 2\nvector sizes: 24 24\n"
                     "global option: <VECSIZE> 48 <NULLD> <MFCC_E_D_A> <DIAGC>\n"
                     "models by number of states:\n  2 states: 1\n  3 states: 1\n"
                     "streams by number of components:\n  1 component: 1\n  2 components: 1\n"
                     "duplicate names:\n  \"b\": models 0 1\n"
                     "dup.MAC:35:1: warning: model 1 is named \"b\", as model 0 is\n"
                     "dup.MAC: warning: no model is named \"sil\", which the converter writes first\n");
}

TEST(mmftool, checkShowsWhereATextReadStopped)
{
    const std::string good = header() + model("a");
    const std::string noEnd = good.substr(0, good.rfind("<ENDHMM>"));
    struct stop {
        std::string text;
        std::string message;   // the reader's own
        size_t offset;
        std::string shown;
    };
    const std::string longName = "~h \"" + std::string(60, 'n') + "\"\n";
    const std::string meanSize = good + "~h \"b\"\n<BEGINHMM> <NUMSTATES> 3\n" + stateHead(2, {1}) + "<MEAN> 39\n";
    const std::string control = good + "~h \"b\"\n<BEGIN\x01>\n";
    const std::vector<stop> stops = {
        {good + "~h \"b\"\n  <BEGIN>\n", "modelId=1, str1=<BEGIN>, Cannot find \"<BEGINHMM>\"!\n",
         good.size() + 9, "<BEGIN>"},
        {meanSize, "Error: MAX_PARAM_NUM = 24 != 39!\n", meanSize.rfind("39"), "39"},
        {good + longName, "Error: model name \"" + std::string(60, 'n') + "\" is longer than 49 characters!\nmodelId=1\n",
         good.size() + 3, "\"" + std::string(39, 'n') + "..."},
        {noEnd, "===================== WARNING: Not reading <ENDHMM>!\nmodelId=0\n", noEnd.size(), "end of file"},
        {control, "modelId=1, str1=<BEGIN\x01>, Cannot find \"<BEGINHMM>\"!\n", control.rfind("<BEGIN"),
         "<BEGIN\\x01>"},
    };
    workspace w;
    for (const stop &s : stops) {
        writeFile(w.file("bad.mac"), s.text);
        toolRun r = w.run({"check", "bad.mac"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, s.message + "Stopped at " + lineAndColumn(s.text, s.offset) + " of \"bad.mac\": " +
                             s.shown + "\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST(mmftool, checkShowsWhereABinaryReadStopped)
{
    // sil with one emitting state of one mixture (298 bytes from byte 12), then "a" with none,
    // whose stateNum is at byte 360 and whose transition run is at 364.
    TempDir made;
    std::string good;
    {
        macroClass set;
        set.MMF.modelNum = 2;
        set.MMF.streamNum = 1;
        set.MMF.vecSize[0] = 24;
        set.MMF.model = allocateModels(2);
        std::strcpy(set.MMF.model[0].str, "sil");
        set.MMF.model[0].stateNum = 3;
        set.MMF.model[0].state[0].stream[0].mixtureNum = 1;
        std::strcpy(set.MMF.model[1].str, "a");
        set.MMF.model[1].stateNum = 2;
        set.MMF.model[1].transProb[0][0] = 1.0f;
        set.writeBinaryMacro(made.file("good.macb").c_str());
        good = readFile(made.file("good.macb"));
    }
    ASSERT_EQ(good.size(), 380u);
    std::string badState = good;
    badState[360] = 7;
    std::string hugeCount = good;
    hugeCount[3] = 0x10;

    struct stop {
        std::string bytes;
        std::string message;   // after "Error: \"bad.macb\""
        std::string place;
    };
    const std::vector<stop> stops = {
        {badState, ": stateNum of model 1 is 7, not in 2 to 5.", "byte 360 of \"bad.macb\": 07 00 00 00"},
        {good.substr(0, 362), " ends before its last field: 4 bytes wanted at byte 360.",
         "byte 360 of \"bad.macb\": 02 00, then end of file"},
        {good.substr(0, 372), " ends before its last field: 16 bytes wanted at byte 364.",
         "byte 364 of \"bad.macb\": 00 00 80 3f"},
        {good.substr(0, 364), " ends before its last field: 16 bytes wanted at byte 364.",
         "byte 364 of \"bad.macb\": end of file"},
        {hugeCount, ": modelNum is 268435458, but the file has room for at most 5 models.",
         "byte 0 of \"bad.macb\": 02 00 00 10"},
    };
    workspace w;
    for (const stop &s : stops) {
        writeFile(w.file("bad.macb"), s.bytes);
        toolRun r = w.run({"check", "bad.macb"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "Error: \"bad.macb\"" + s.message + "\nStopped at " + s.place + "\n");
    }
}

TEST(mmftool, failuresBeforeAnyReadKeepTheLibraryMessageAlone)
{
    workspace w;
    toolRun r = w.run({"check", "none.mac"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, "Error: Cannot open \"none.mac\".\n");
    // Any other name is read as HTK model files: one that is none is named so, with what reads it.
    writeFile(w.file("set.txt"), "1 2 3\n");
    r = w.run({"check", "set.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("set.txt:1:1: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\"set.txt\" is not an HTK model file"), std::string::npos) << r.err;
}

TEST(mmftool, convertBetweenTextAndBinary)
{
    workspace w;
    writeFile(w.file("set.mac"), smallSet());
    ASSERT_EQ(w.run({"convert", "set.mac", "set.macb"}).status, 0);
    ASSERT_EQ(w.run({"convert", "set.macb", "back.MAC"}).status, 0);
    toolRun r = w.run({"convert", "back.MAC", "again.MACB"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(w.file("again.MACB")), readFile(w.file("set.macb")));
    // A binary file holds no global option line; the text gets one made from the sizes.
    EXPECT_NE(readFile(w.file("back.MAC")).find("\n<VECSIZE> 24 <NULLD> <USER> <DIAGC>\n~h \"sil\"\n"),
              std::string::npos);

    // What the library reads from the text is what was written as binary; --prepare sorts
    // and prepares first.
    ASSERT_EQ(w.run({"convert", "--prepare", "set.mac", "prepared.macb"}).status, 0);
    for (auto [written, flag] : {std::pair<const char *, int>{"set.macb", 0}, {"prepared.macb", 1}}) {
        macroClass expected, got;
        expected.read(w.file("set.mac").c_str(), flag);
        got.read(w.file(written).c_str(), 0);
        ASSERT_EQ(got.MMF.modelNum, 3);
        for (int m = 0; m < 3; m++)
            EXPECT_EQ(std::memcmp(&got.MMF.model[m], &expected.MMF.model[m], sizeof(hmmModel)), 0) << written << m;
    }

    w.copyExample("example.macb");
    r = w.run({"convert", "example.macb", "example.mac"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "mmftool convert: warning: \"example.mac\" has streams of one component, written with a "
                     "<MIXTURE> header that the text reader does not take back\n");

    std::string before = readFile(w.file("set.mac"));
    r = w.run({"convert", "set.mac", "./set.mac"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mmftool convert: \"./set.mac\" is the input file; write to another file\n");
    EXPECT_EQ(readFile(w.file("set.mac")), before);

    r = w.run({"convert", "set.mac", "missing/out.macb"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, "Error: Cannot open \"missing/out.macb\".\n");
    r = w.run({"convert", "none.macb", "out.mac"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, "Error: Cannot open \"none.macb\".\n");
    EXPECT_FALSE(fileExists(w.file("out.mac")));
}

TEST(mmftool, dumpOneModelByNameOrIndex)
{
    workspace w;
    writeFile(w.file("set.mac"), smallSet());
    macroClass set;
    set.readTextMacro(w.file("set.mac").c_str());
    for (int m : {1, 2})
        set.dumpModel(m, w.file("expected" + std::to_string(m)).c_str());

    EXPECT_EQ(w.run({"dump", "set.mac", "a", "byName.txt"}).status, 0);
    EXPECT_EQ(readFile(w.file("byName.txt")), readFile(w.file("expected1")));
    EXPECT_EQ(w.run({"dump", "set.mac", "1", "byIndex.txt"}).status, 0);
    EXPECT_EQ(readFile(w.file("byIndex.txt")), readFile(w.file("expected1")));
    // A name is looked up before an index: "0" is the model of that name, at index 2.
    EXPECT_EQ(w.run({"dump", "set.mac", "0", "named0.txt"}).status, 0);
    EXPECT_EQ(readFile(w.file("named0.txt")), readFile(w.file("expected2")));

    for (const char *missing : {"b", "3", "-1", "99999999999999999999"}) {
        toolRun r = w.run({"dump", "set.mac", "--", missing, "none.txt"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "mmftool dump: \"set.mac\" holds no model named \"" + std::string(missing) +
                             "\", nor one of that index (0 to 2)\n");
        EXPECT_FALSE(fileExists(w.file("none.txt")));
    }
}

TEST(mmftool, namesMakeATableTheConverterTakes)
{
    workspace w;
    writeFile(w.file("set.mac"), header() + model("b", 3, 2) + model("sil", 3, 2) + model("a", 3, 2) +
                                     model("sil", 4, 2) + model("c", 3, 2));
    EXPECT_EQ(w.run({"names", "set.mac"}).out, "b\nsil\na\nsil\nc\n");
    EXPECT_EQ(w.run({"names", "set.mac", "--sorted"}).out, "a\nb\nc\nsil\nsil\n");
    // The first sil is left out; a second one needs its own entry.
    toolRun r = w.run({"names", "set.mac", "--table"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1 b\n2 a\n3 sil\n4 c\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(w.run({"names", "--sorted", "set.mac", "--table"}).out, "1 a\n2 b\n3 c\n4 sil\n");

    writeFile(w.file("ModelNames.txt"), r.out);
    Outcome converted = runProgram({MAC2MOD_EXE, "set.mac"}, w.dir.path());
    ASSERT_EQ(converted.status, 0) << converted.out;
    r = w.run({"modinfo", "set.mod", "set.mac", "ModelNames.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"set.mod\" is what the converter writes for \"set.mac\" with \"ModelNames.txt\"\n"),
              std::string::npos);

    writeFile(w.file("odd.mac"), header() + model("a b", 3, 2) + model("c", 3, 2));
    EXPECT_EQ(w.run({"names", "odd.mac"}).out, "a b\nc\n");
    r = w.run({"names", "odd.mac", "--table"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "mmftool names: warning: the set has no model named \"sil\", which the converter needs\n"
                     "mmftool names: the model name \"a b\" cannot stand in a table: it is empty or holds white space\n");
}

TEST(mmftool, modinfoNamesRecordsAsTheInputsAllow)
{
    workspace w;
    for (const char *name : {"example.mac", "ModelNames.txt"})
        w.copyExample(name);
    ASSERT_EQ(runProgram({MAC2MOD_EXE, "example.mac"}, w.dir.path()).status, 0);
    // Record 2 ("a"), state 3, component 1: its first variance made 0.
    modelFile layout = readModelFile(w.file("example.mod").c_str());
    const modelFileState &state = layout.records[2].states[1];
    const size_t index = state.at + 1 + 2 * state.mixtureNum + 24;
    std::string bytes = readFile(w.file("example.mod"));
    putLE32(reinterpret_cast<unsigned char *>(&bytes[4 * index]), floatBits(0.0f));
    writeFile(w.file("example.mod"), bytes);
    const std::string at = "example.mod: byte " + std::to_string(4 * index) + ": warning: ";
    struct naming {
        std::vector<std::string> args;
        std::string warning;
    };
    for (const naming &c : std::vector<naming>{
             {{"modinfo", "example.mod"}, at + "record 2, state 3, component 1: variance[0] is 0, not above 0\n"},
             {{"modinfo", "example.mod", "--table", "ModelNames.txt"},
              at + "record 2 (\"a\"), state 3, component 1: variance[0] is 0, not above 0\n"},
             {{"modinfo", "example.mod", "example.mac", "ModelNames.txt"},
              at + "record 2 (\"a\"), state 3, component 1: variance[0] is 0, not above 0\n"},
         }) {
        toolRun r = w.run(c.args);
        EXPECT_NE(r.out.find(c.warning), std::string::npos) << r.out;
    }
    // A file cut short names the record it ends in by the table, in modinfo and in diff.
    writeFile(w.file("example.mod"), bytes.substr(0, 4 * index));
    const std::string cut = "\"example.mod\": ends at byte " + std::to_string(4 * index) +
                            ", before record 2 (\"a\"), state 3, component 1: variance[0] at byte " +
                            std::to_string(4 * index) + "\n";
    toolRun r = w.run({"modinfo", "example.mod", "--table", "ModelNames.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mmftool modinfo: " + cut);
    r = w.run({"diff", "example.mod", "example.mac", "--table", "ModelNames.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, cut);
}

TEST(mmftool, modinfoChecksAndComparesModelFiles)
{
    workspace w;
    for (const char *name : {"example.mac", "ModelNames.txt"})
        w.copyExample(name);
    ASSERT_EQ(runProgram({MAC2MOD_EXE, "example.mac"}, w.dir.path()).status, 0);
    const std::string summary =
        "example.mod: model file of 5676 bytes\nmodels: 5, sil and 4 after it\nvector size: 24\n"
        "model records by number of emitting states:\n  3 states: 4\n"
        "states by number of mixtures, sil's included:\n  1 mixture: 3\n  2 mixtures: 6\n  3 mixtures: 3\n  4 mixtures: 1\n";
    const std::string match = "\"example.mod\" is what the converter writes for \"example.mac\" with \"ModelNames.txt\"\n";
    toolRun r = w.run({"modinfo", "example.mod"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, summary);
    // The shipped model file is what the converter writes today.
    r = w.run({"modinfo", "example.mod", "example.mac", "ModelNames.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, summary + match);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(w.asideEmpty());

    // One mean changed: record 2 is "a", the second entry of the table, and model 1 of the set.
    const std::string good = readFile(w.file("example.mod"));
    modelFile layout = readModelFile(w.file("example.mod").c_str());
    const modelFileState &state = layout.records[2].states[1];
    size_t index = state.at + 1 + 2 * state.mixtureNum + 3;
    std::string changed = good;
    putLE32(reinterpret_cast<unsigned char *>(&changed[4 * index]), floatBits(0.5f));
    writeFile(w.file("example.mod"), changed);
    r = w.run({"modinfo", "example.mod", "example.mac", "ModelNames.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, summary);
    const std::string expectedStart =
        "mmftool modinfo: \"example.mod\" differs from what the converter writes for \"example.mac\" with "
        "\"ModelNames.txt\", first at byte " + std::to_string(4 * index) +
        ", record 2 (\"a\"), state 3, component 1: mean[3] (model 1 of \"example.mac\"): 0.5 (3f000000) in the file, ";
    EXPECT_EQ(r.err.substr(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(r.err.substr(r.err.size() - 10), " expected\n");

    writeFile(w.file("example.mod"), good + "x");
    r = w.run({"modinfo", "example.mod"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "mmftool modinfo: \"example.mod\": 1 byte follows the last model record, from byte 5676\n");

    // The library's messages and statuses; no temporary file is left behind. The table names
    // the records, so one that cannot be opened stops the read.
    writeFile(w.file("example.mod"), good);
    r = w.run({"modinfo", "example.mod", "example.mac", "none.txt"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, "Error: Cannot open \"none.txt\".\n");
    writeFile(w.file("short.txt"), "1 k-a+i\n2 a\n3 i\n");
    r = w.run({"modinfo", "example.mod", "example.mac", "short.txt"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, summary + "Error: can not find model name \"sp\" in \"ModelNames.txt\"\n");
    EXPECT_TRUE(w.asideEmpty());
    r = w.run({"modinfo", "none.mod"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, "Error: Cannot open \"none.mod\".\n");
}
