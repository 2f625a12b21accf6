// The converter as a user runs it: a process, its standard output, its status and its files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "driver/modelFileName.h"
#include "hmm/macroClass.h"
#include "hmm/modelArray.h"
#include "macroText.h"
#include "modelFileCheck.h"
#include "testSupport.h"

namespace {

const std::string exe = MAC2MOD_EXE;
const std::string usage = "Usage: " + exe + " input.mac\nlast modified at 20061229\n";

// Every model file a run writes must read back consistent to its last byte.
Outcome convert(const std::string &dir, const std::string &input)
{
    Outcome o = runProgram({exe, input}, dir);
    std::string output = input;
    makeModelFileName(output);
    if (o.status == 0) {
        EXPECT_TRUE(consistentModelFile(dir + "/" + output));
    }
    return o;
}

std::string threeModels()
{
    return macroText::header() + macroText::model("sil", 5, 1) + macroText::model("a", 5, 2) +
           macroText::model("b", 3, 2);
}

}  // namespace

TEST(mac2mod, convertsTextSetNextToItsInput)
{
    TempDir dir;
    std::filesystem::create_directory(dir.file("my.models"));
    writeFile(dir.file("my.models/set.MAC"), threeModels());
    writeFile(dir.file("ModelNames.txt"), "1 b\n2 a\n");
    Outcome o = convert(dir.path(), "my.models/set.MAC");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "Macro --> Model: my.models/set.MAC\n");
    std::string bytes = readFile(dir.file("my.models/set.mod"));
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x00\x00\x00\x40\x00\x00\xc0\x41", 8));
    // sil's first state (one mixture of weight 1.0), then b with one emitting state.
    EXPECT_EQ(bytes.substr(12, 4), std::string("\x80\x96\x18\x4b", 4));
    const size_t silSize = 4 * (1 + 1 * (2 + 48));
    EXPECT_EQ(bytes.substr(8 + silSize, 4), std::string("\x00\x00\x80\x3f", 4));
    EXPECT_EQ(bytes.size(), 8 + silSize + (4 + 4 * (1 + 2 * 50)) + (4 + 3 * 4 * (1 + 2 * 50)));

    // The same set in the set's own order gives another file; an earlier one is replaced.
    writeFile(dir.file("ModelNames.txt"), "1 a\n2 b\n3 surplus\n");
    EXPECT_EQ(convert(dir.path(), "my.models/set.MAC").status, 0);
    EXPECT_NE(readFile(dir.file("my.models/set.mod")), bytes);
}

TEST(mac2mod, convertsBinarySet)
{
    TempDir dir;
    {
        macroClass set;
        set.MMF.modelNum = 3;
        set.MMF.streamNum = 1;
        set.MMF.vecSize[0] = 13;
        set.MMF.model = allocateModels(3);
        const char *names[] = {"sil", "x", "y"};
        for (int m = 0; m < 3; m++) {
            std::strcpy(set.MMF.model[m].str, names[m]);
            set.MMF.model[m].stateNum = 3;
            set.MMF.model[m].state[0].stream[0].mixtureNum = 1;
            set.MMF.model[m].state[0].stream[0].mixture[0].mixtureWeight = 0.5f;
        }
        set.writeBinaryMacro(dir.file("a.b.macb").c_str());
    }
    writeFile(dir.file("ModelNames.txt"), "1 x\n2 y\n");
    Outcome o = convert(dir.path(), "a.b.macb");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "Macro --> Model: a.b.macb\n");
    std::string bytes = readFile(dir.file("a.b.mod"));
    EXPECT_EQ(bytes.substr(4, 4), std::string("\x00\x00\x50\x41", 4));   // V = 13
    EXPECT_EQ(bytes.substr(16, 4), std::string("\x18\x72\x31\xbf", 4));  // ln 0.5
}

TEST(mac2mod, argumentAndExtensionErrors)
{
    TempDir dir;
    for (auto args : {std::vector<std::string>{exe}, std::vector<std::string>{exe, "a.mac", "b.mac"}}) {
        Outcome o = runProgram(args, dir.path());
        EXPECT_EQ(o.status, -1);
        EXPECT_EQ(o.out, usage);
    }
    for (std::string input : {"model", "set.Mac", "set.Macb", "my.dir/set", "set.mod"}) {
        Outcome o = convert(dir.path(), input);
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.out, "Macro --> Model: " + input + "\nError in reading \"" + input +
                             "\": The only allowed extension are \"mac\" and \"macb\".\n");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(mac2mod, fileErrors)
{
    TempDir dir;
    Outcome o = convert(dir.path(), "none.mac");
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Macro --> Model: none.mac\nError: Cannot open \"none.mac\".\n");

    writeFile(dir.file("set.mac"), threeModels());
    o = convert(dir.path(), "set.mac");
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Macro --> Model: set.mac\nError: Cannot open \"ModelNames.txt\".\n");

    writeFile(dir.file("ModelNames.txt"), "1 a\n2 c\n");
    o = convert(dir.path(), "set.mac");
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Macro --> Model: set.mac\nError: can not find model name \"b\" in \"ModelNames.txt\"\n");
    EXPECT_FALSE(fileExists(dir.file("set.mod")));

    writeFile(dir.file("ModelNames.txt"), "1 a\n2 b\n");
    std::filesystem::create_directory(dir.file("set.mod"));
    o = convert(dir.path(), "set.mac");
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Macro --> Model: set.mac\nError: fail to open Halvern file [set.mod]\n");
    std::filesystem::remove(dir.file("set.mod"));

    o = runProgram({exe, "set.mac"}, dir.path(), 1000);
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Macro --> Model: set.mac\nError: cannot write \"set.mod\".\n");
    EXPECT_FALSE(fileExists(dir.file("set.mod")));
    // The converter ignores the limit's signal itself: the same end where it is not ignored.
    o = runProgram({"/bin/sh", "-c", "trap - XFSZ; ulimit -f 1; exec " + exe + " set.mac"}, dir.path());
    EXPECT_EQ(o.out, "Macro --> Model: set.mac\nError: cannot write \"set.mod\".\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);

    writeFile(dir.file("empty.mac"), macroText::header());
    o = convert(dir.path(), "empty.mac");
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Macro --> Model: empty.mac\nError: no model to write to the Halvern file [empty.mod]\n");

    writeFile(dir.file("bad.mac"), macroText::header() + "~h \"a\"\n<BEGIN>\n");
    o = convert(dir.path(), "bad.mac");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "Macro --> Model: bad.mac\nmodelId=0, str1=<BEGIN>, Cannot find \"<BEGINHMM>\"!\n");
}

// The shipped example in both forms gives one and the same model file.
TEST(mac2mod, shippedExampleConverts)
{
    TempDir dir;
    for (const char *name : {"example.mac", "example.macb", "ModelNames.txt"})
        std::filesystem::copy_file(std::string(MAC2MOD_SOURCE_DIR) + "/examples/" + name, dir.file(name));
    Outcome o = convert(dir.path(), "example.mac");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "Macro --> Model: example.mac\n");
    std::string fromText = readFile(dir.file("example.mod"));
    EXPECT_EQ(fromText.size(), 5676u);
    o = convert(dir.path(), "example.macb");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(readFile(dir.file("example.mod")), fromText);
}

TEST(makeModelFileName, replacesTheLastExtension)
{
    for (auto [in, out] : {std::pair<std::string, std::string>{"set.mac", "set.mod"},
                           {"data/HMM.MACB", "data/HMM.mod"},
                           {"a.b.mac", "a.b.mod"},
                           {"model", "model.mod"},
                           {"dir.v2/set", "dir.mod"}}) {
        std::string path = in;
        makeModelFileName(path);
        EXPECT_EQ(path, out);
    }
}

// Inputs that are not regular files end at once with a message naming them.
TEST(mac2mod, inputsThatAreNotRegularFiles)
{
    TempDir dir;
    writeFile(dir.file("ModelNames.txt"), "1 a\n2 b\n");
    std::filesystem::create_directory(dir.file("folder.mac"));
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.mac"));
    ASSERT_EQ(mkfifo(dir.file("pipe.mac").c_str(), 0600), 0);
    const std::string notRegular = "\" is not a regular file, and a text macro file is read twice.\n";
    struct { const char *input; int status; std::string out; } cases[] = {
        {"folder.mac", -1, "Error: Cannot open \"folder.mac\".\n"},
        {"zero.mac", 1, "Error: \"zero.mac" + notRegular},
        {"pipe.mac", 1, "Error: \"pipe.mac" + notRegular},
    };
    for (const auto &c : cases) {
        Outcome o = convert(dir.path(), c.input);
        EXPECT_EQ(o.status, c.status) << c.input;
        EXPECT_EQ(o.out, std::string("Macro --> Model: ") + c.input + "\n" + c.out);
    }
    writeFile(dir.file("set.mac"), threeModels());
    std::filesystem::remove(dir.file("ModelNames.txt"));
    std::filesystem::create_directory(dir.file("ModelNames.txt"));
    Outcome o = convert(dir.path(), "set.mac");
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Macro --> Model: set.mac\nError: Cannot open \"ModelNames.txt\".\n");
}
