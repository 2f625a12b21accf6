// mmftool diff as a user runs it: conversions compared with their sources show nothing, one
// changed value is found at its place, and sets of other shapes are named.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "export/modelFileReader.h"
#include "hmm/macroClass.h"
#include "macroText.h"
#include "testSupport.h"
#include "utility/byteOrder.h"

namespace {

using json = nlohmann::json;
const std::string htkCase = std::string(MAC2MOD_SOURCE_DIR) + "/tests/htk-fixtures/f-split-macros-hmmdefs/";

// A folder holding the example set and an HTK set with their tables, and mmftool run in it.
struct diffWorkspace {
    TempDir dir;

    diffWorkspace()
    {
        namespace fs = std::filesystem;
        for (const char *name : {"example.mac", "example.macb", "ModelNames.txt"})
            fs::copy_file(std::string(MAC2MOD_SOURCE_DIR) + "/examples/" + name, dir.file(name));
        fs::create_directory(dir.file("htk"));
        for (const char *name : {"macros", "hmmdefs", "ModelNames.txt"})
            fs::copy_file(htkCase + name, dir.file("htk/") + name);
    }
    Outcome run(std::vector<std::string> args) const
    {
        args.insert(args.begin(), MMFTOOL_EXE);
        return runProgram(args, dir.path());
    }
    json runJson(std::vector<std::string> args) const
    {
        args.push_back("--json");
        return json::parse(run(args).out);
    }
};

TEST(mmftoolDiff, conversionsShowNoDifference)
{
    diffWorkspace w;
    ASSERT_EQ(w.run({"convert", "example.mac", "example.mod", "--table", "ModelNames.txt"}).status, 0);
    ASSERT_EQ(w.run({"convert", "example.mac", "copy.macb"}).status, 0);
    for (const char *out : {"htk/exact.mac", "htk/set.macb"})
        ASSERT_EQ(w.run({"import", "htk/macros", "htk/hmmdefs", out}).status, 0);
    ASSERT_EQ(w.run({"import", "htk/macros", "htk/hmmdefs", "htk/set.mod", "--table", "htk/ModelNames.txt"}).status, 0);
    const struct {
        std::string a, b, table;
        long components;
    } cases[] = {
        {"example.mac", "example.mac", "", 36},
        {"example.mac", "copy.macb", "", 36},
        {"example.macb", "example.mac", "", 36},
        {"example.mac", "example.mod", "ModelNames.txt", 28},   // sil's first state only
        {"example.mod", "example.mac", "ModelNames.txt", 28},
        {"htk/macros,htk/hmmdefs", "htk/exact.mac", "", 37},
        {"htk/macros,htk/hmmdefs", "htk/set.macb", "", 37},
        {"htk/macros,htk/hmmdefs", "htk/set.mod", "htk/ModelNames.txt", 31},
        {"htk/exact.mac", "htk/set.mod", "htk/ModelNames.txt", 31},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.a + " against " + c.b);
        std::vector<std::string> args = {"diff", c.a, c.b};
        if (!c.table.empty())
            args.insert(args.end(), {"--table", c.table});
        Outcome text = w.run(args);
        EXPECT_EQ(text.status, 0);
        EXPECT_NE(text.out.find("\nno difference beyond tolerance 0\n"), std::string::npos) << text.out;
        json report = w.runJson(args);
        EXPECT_FALSE(report["differs"].get<bool>());
        EXPECT_EQ(report["compared"]["components"], c.components);
        EXPECT_EQ(report["largest"]["meanShift"], 0);
        EXPECT_EQ(report["largest"]["divergence"], 0);
    }
}

// Mean v of mixture k in state e of record r, changed by 1 %; returns the mean's old value.
float changeMean(const std::string &path, int r, int e, int k, int v)
{
    std::string bytes = readFile(path);
    modelFile file = readModelFile(path.c_str());
    const modelFileState &state = file.records[r].states[e];
    const size_t index = state.at + 1 + 2 * state.mixtureNum + 2 * file.vecSize * k + v;
    EXPECT_EQ(file.values[index], file.mean(state, k, v));
    putLE32(reinterpret_cast<unsigned char *>(&bytes[4 * index]), floatBits(file.values[index] * 1.01f));
    writeFile(path, bytes);
    return file.values[index];
}

TEST(mmftoolDiff, oneChangedMeanIsFoundAtItsPlace)
{
    diffWorkspace w;
    ASSERT_EQ(w.run({"import", "htk/macros", "htk/hmmdefs", "htk/set.mod", "--table", "htk/ModelNames.txt"}).status, 0);
    // Record 2 is the table's second entry, "i-s+a"; state 3 as HTK numbers it, component 2, dimension 5.
    changeMean(w.dir.file("htk/set.mod"), 2, 1, 1, 4);
    const std::vector<std::string> args = {"diff", "htk/macros,htk/hmmdefs", "htk/set.mod", "--table", "htk/ModelNames.txt"};
    Outcome text = w.run(args);
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.out.find("at model \"i-s+a\" (A 2, B 2), state 3, stream 1, component 2, dimension 5\n"),
              std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\nA and B differ\n"), std::string::npos);

    json report = w.runJson(args);
    EXPECT_TRUE(report["differs"].get<bool>());
    EXPECT_EQ(report["beyondTolerance"]["components"], 1);
    const json &worst = report["worst"]["meanShift"];
    ASSERT_EQ(worst.size(), 1u);
    EXPECT_EQ(worst[0]["model"], "i-s+a");
    EXPECT_EQ(worst[0]["state"], 3);
    EXPECT_EQ(worst[0]["component"], 2);
    EXPECT_EQ(worst[0]["dimension"], 5);
    EXPECT_EQ(report["worst"]["divergence"].size(), 1u);
    EXPECT_EQ(report["worst"]["logVarianceRatio"].size(), 0u);
    EXPECT_GT(report["profile"][0]["dimensions"][4]["meanShiftRms"].get<double>(), 0);
    EXPECT_EQ(report["profile"][0]["dimensions"][3]["meanShiftRms"], 0);

    // Within a tolerance above the shift, nothing differs.
    std::vector<std::string> tolerant = args;
    tolerant.insert(tolerant.end(), {"--tolerance", "1"});
    EXPECT_EQ(w.run(tolerant).status, 0);
}

TEST(mmftoolDiff, otherShapesAreNamed)
{
    using namespace macroText;
    diffWorkspace w;
    writeFile(w.dir.file("a.mac"), header() + model("sil", 5, 2) + model("a", 3, 2, 2.0f) + model("0", 3, 2, 3.0f));
    const struct {
        std::string b, list, field;
    } cases[] = {
        {header() + model("sil", 5, 2) + model("a", 3, 2, 2.0f), "onlyInA", ""},
        {header() + model("sil", 5, 2) + model("a", 3, 2, 2.0f) + model("0", 3, 2, 3.0f) + model("b"), "onlyInB", ""},
        {header() + model("sil", 5, 2) + model("a", 3, 3, 2.0f) + model("0", 3, 2, 3.0f), "structureDiffers", "mixtures"},
        {header() + model("sil", 5, 2) + model("a", 5, 2, 2.0f) + model("0", 3, 2, 3.0f), "structureDiffers", "states"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.list + " " + c.field);
        writeFile(w.dir.file("b.mac"), c.b);
        Outcome run = w.run({"diff", "a.mac", "b.mac", "--json"});
        EXPECT_EQ(run.status, 1);
        json report = json::parse(run.out, nullptr, false);
        ASSERT_FALSE(report.is_discarded()) << run.out;
        ASSERT_EQ(report[c.list].size(), 1u) << run.out;
        if (!c.field.empty()) {
            EXPECT_EQ(report[c.list][0]["field"], c.field);
        }
    }
    macroClass set;
    set.readBinaryMacro(w.dir.file("example.macb").c_str());
    set.MMF.vecSize[0] = 12;
    set.writeBinaryMacro(w.dir.file("short.macb").c_str());
    json report = json::parse(w.run({"diff", "example.macb", "short.macb", "--json"}).out);
    EXPECT_EQ(report["setStructure"], json::parse(R"([{"field": "vectorSize", "stream": 1, "a": 24, "b": 12}])"));
    EXPECT_EQ(report["compared"]["models"], 0);
}

TEST(mmftoolDiff, degenerateValuesAndWrongCommandLines)
{
    diffWorkspace w;
    macroClass set;
    set.readBinaryMacro(w.dir.file("example.macb").c_str());
    set.MMF.model[1].state[0].stream[0].mixture[0].variance[2] = 0;
    set.writeBinaryMacro(w.dir.file("zero.macb").c_str());
    set.MMF.model[1].state[0].stream[0].mixture[0].mean[2] += 1;
    set.writeBinaryMacro(w.dir.file("moved.macb").c_str());
    Outcome run = w.run({"diff", "zero.macb", "moved.macb", "--json"});
    EXPECT_EQ(run.status, 1);
    json report = json::parse(run.out);   // no NaN or infinity in it
    EXPECT_TRUE(report["largest"]["meanShift"].is_null());
    EXPECT_EQ(report["worst"]["meanShift"][0]["dimension"], 3);
    EXPECT_GT(report["undefined"].get<long>(), 0);
    EXPECT_EQ(w.run({"diff", "zero.macb", "zero.macb"}).status, 0);   // the same values: no difference

    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"diff", "example.mac"}, {"diff", "example.mac", "example.mac", "--top", "x"},
             {"diff", "example.mac", "example.mac", "--tolerance", "-1"}, {"diff", "example.mac", "example.mac", "--tolerance", "nan"}})
        EXPECT_EQ(w.run(args).status, 2);
    run = w.run({"diff", "example.mac", "missing.mod"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "Error: Cannot open \"missing.mod\".\n");
    writeFile(w.dir.file("short.mod"), std::string(8, '\0'));
    run = w.run({"diff", "short.mod", "example.mac"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out.rfind("\"short.mod\": ", 0), 0u) << run.out;
    EXPECT_EQ(run.out.back(), '\n');
}

}  // namespace
