// The HTK import: every fixture of tests/htk-fixtures through the library and the three paths
// of mmftool import (.mod with --table; .macb then mac2mod; .mac then mac2mod), the refusals
// with the number and the limit they name, and the forms the fixtures do not cover (several
// streams, adaptation macros, inline options, headerless model files, binary in pieces).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <csignal>
#include <sys/stat.h>

#include "hmm/macroClass.h"
#include "hmm/setIO.h"
#include "htk/exactTextMacro.h"
#include "htk/htkImport.h"
#include "htk/htkSummary.h"
#include "htkWriter.h"
#include "testSupport.h"

namespace {

const std::string fixtures = std::string(MAC2MOD_SOURCE_DIR) + "/tests/htk-fixtures/";
const std::string tool = MMFTOOL_EXE;
const std::string converter = MAC2MOD_EXE;

std::vector<std::string> linesOf(const std::string &path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

struct toolRun {
    int status;
    std::string out, err;
};

// A program run in dir with standard error caught.
toolRun run(const std::string &dir, const std::vector<std::string> &args)
{
    TempDir aside;
    std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$@\" 2>\"$0/stderr\"", aside.path()};
    argv.insert(argv.end(), args.begin(), args.end());
    Outcome o = runProgram(argv, dir);
    EXPECT_TRUE(o.exited);
    return {o.status, o.out, readFile(aside.file("stderr"))};
}

// A fixture copied into a fresh folder.
struct fixture {
    std::string name;
    TempDir dir;
    std::vector<std::string> inputs;

    explicit fixture(const std::string &n) : name(n)
    {
        for (const auto &entry : std::filesystem::directory_iterator(fixtures + n))
            std::filesystem::copy_file(entry.path(), dir.file(entry.path().filename().string()));
        inputs = linesOf(dir.file("inputs"));
    }
    std::vector<std::string> paths() const
    {
        std::vector<std::string> out;
        for (const std::string &in : inputs)
            out.push_back(dir.file(in));
        return out;
    }
    toolRun import(const std::vector<std::string> &tail) const
    {
        std::vector<std::string> args = {tool, "import"};
        args.insert(args.end(), inputs.begin(), inputs.end());
        args.insert(args.end(), tail.begin(), tail.end());
        return run(dir.path(), args);
    }
    std::string expected() const { return readFile(dir.file("expect.mod")); }
};

const char *const positive[] = {"a-text-tmacros",        "b-single-gaussian",     "c-binary",
                                "d-tied-states",         "e-shared-mix-mean-var", "f-split-macros-hmmdefs",
                                "g-pruned-component",    "h-mixedcase-crlf-exp3", "i-binary-tied",
                                "j-loose-text",          "k-zero-weight-in-file"};
const char *const negative[] = {"neg-26-dims", "neg-undefined-macro"};

bool sameRecords(const hmmSet &a, const hmmSet &b)
{
    return a.modelNum == b.modelNum && a.streamNum == b.streamNum &&
           std::memcmp(a.vecSize, b.vecSize, sizeof a.vecSize) == 0 &&
           std::memcmp(a.model, b.model, sizeof(hmmModel) * a.modelNum) == 0;
}

// The models equal but for their GCONSTs and transition probabilities.
bool sameButConstants(hmmModel a, hmmModel b)
{
    for (hmmModel *model : {&a, &b}) {
        std::memset(model->transProb, 0, sizeof model->transProb);
        for (hmmState &state : model->state)
            for (hmmStream &stream : state.stream)
                for (hmmMixture &mixture : stream.mixture)
                    mixture.gconst = 0;
    }
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The message of the import of text as one file named name, or "" when it was accepted.
std::string refusal(const std::string &text, const std::string &name = "set.mmf")
{
    TempDir dir;
    writeFile(dir.file(name), text);
    macroClass set;
    try {
        mac2mod::importHtk(set, {dir.file(name)});
    } catch (const mac2mod::error &e) {
        EXPECT_EQ(set.MMF.model, nullptr);
        EXPECT_EQ(set.MMF.modelNum, 0);
        std::string message = e.message();
        // The place is given relative to the file as named: drop the folder for the tests.
        for (size_t at; (at = message.find(dir.path() + "/")) != std::string::npos;)
            message.erase(at, dir.path().size() + 1);
        return message;
    }
    return "";
}

void importText(macroClass &set, const std::string &text, mac2mod::htkImportSummary *summary = nullptr)
{
    TempDir dir;
    writeFile(dir.file("set.mmf"), text);
    mac2mod::htkImportSummary s;
    mac2mod::importHtk(set, {dir.file("set.mmf")}, s);
    if (summary)
        *summary = s;
}

std::string fixtureText(const std::string &name, const std::string &file = "hmmdefs")
{
    return readFile(fixtures + name + "/" + file);
}

std::string replaceFirst(std::string text, const std::string &from, const std::string &to)
{
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// A small HTK text set: "sil" and "a", one stream of n values, states of the given numbers
// of components, each written as HHEd writes it.
std::string values(int n, float base)
{
    std::string out;
    char buffer[32];
    for (int i = 0; i < n; i++) {
        std::snprintf(buffer, sizeof buffer, " %e", base + 0.125f * i);
        out += buffer;
    }
    return out + "\n";
}
std::string gaussian(int n, float base)
{
    return "<MEAN> " + std::to_string(n) + "\n" + values(n, base) + "<VARIANCE> " + std::to_string(n) + "\n" +
           values(n, 1.0f) + "<GCONST> 1.0e+01\n";
}
std::string htkModel(const std::string &name, int states, int mixtures, int n = 24)
{
    std::string out = "~h \"" + name + "\"\n<BEGINHMM>\n<NUMSTATES> " + std::to_string(states) + "\n";
    for (int i = 2; i < states; i++) {
        out += "<STATE> " + std::to_string(i) + "\n";
        if (mixtures > 1)
            out += "<NUMMIXES> " + std::to_string(mixtures) + "\n";
        for (int k = 1; k <= mixtures; k++) {
            if (mixtures > 1) {
                char header[64];
                std::snprintf(header, sizeof header, "<MIXTURE> %d %e\n", k, 1.0 / mixtures);
                out += header;
            }
            out += gaussian(n, static_cast<float>(i * 10 + k));
        }
    }
    out += "<TRANSP> " + std::to_string(states) + "\n";
    for (int r = 0; r < states; r++) {
        for (int c = 0; c < states; c++)
            out += r < states - 1 && c == r + 1 ? " 1.0" : " 0.0";
        out += "\n";
    }
    return out + "<ENDHMM>\n";
}
std::string htkHeader(int n = 24)
{
    return "~o\n<STREAMINFO> 1 " + std::to_string(n) + "\n<VECSIZE> " + std::to_string(n) +
           "<NULLD><MFCC_D_A><DIAGC>\n";
}
std::string htkSet(int states = 5, int mixtures = 2, int n = 24)
{
    return htkHeader(n) + htkModel("sil", 5, 2, n) + htkModel("a", states, mixtures, n);
}

}  // namespace

// ---- The fixtures, through every path ----

TEST(htkImportFixtures, theLibraryGivesEachFixturesModelFile)
{
    for (const char *name : positive) {
        SCOPED_TRACE(name);
        fixture f(name);
        macroClass set;
        mac2mod::importHtk(set, f.paths());
        ScopedCwd cwd(f.dir.path());
        mac2mod::writeModelFile(set, "ModelNames.txt", f.dir.file("out.mod"));
        EXPECT_EQ(readFile(f.dir.file("out.mod")), f.expected());
    }
}

TEST(htkImportFixtures, importToModWithTable)
{
    for (const char *name : positive) {
        SCOPED_TRACE(name);
        fixture f(name);
        std::filesystem::rename(f.dir.file("ModelNames.txt"), f.dir.file("table.txt"));
        toolRun r = f.import({"out.mod", "--table", "table.txt"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(readFile(f.dir.file("out.mod")), f.expected());
        EXPECT_NE(r.out.find("models: "), std::string::npos);
        EXPECT_NE(r.out.find("wrote: out.mod"), std::string::npos);
    }
}

TEST(htkImportFixtures, importToMacbThenTheConverter)
{
    for (const char *name : positive) {
        SCOPED_TRACE(name);
        fixture f(name);
        toolRun r = f.import({"out.macb"});
        ASSERT_EQ(r.status, 0) << r.err;
        toolRun c = run(f.dir.path(), {converter, "out.macb"});
        ASSERT_EQ(c.status, 0) << c.out;
        EXPECT_EQ(readFile(f.dir.file("out.mod")), f.expected());
    }
}

TEST(htkImportFixtures, importToMacThenTheConverter)
{
    for (const char *name : positive) {
        SCOPED_TRACE(name);
        fixture f(name);
        toolRun r = f.import({"out.mac"});
        ASSERT_EQ(r.status, 0) << r.err;
        toolRun c = run(f.dir.path(), {converter, "out.mac"});
        ASSERT_EQ(c.status, 0) << c.out;
        EXPECT_EQ(readFile(f.dir.file("out.mod")), f.expected());
    }
}

TEST(htkImportFixtures, theTextFormReadsBackToExactlyTheSameRecords)
{
    for (const char *name : positive) {
        SCOPED_TRACE(name);
        fixture f(name);
        macroClass imported;
        mac2mod::importHtk(imported, f.paths());
        mac2mod::writeExactTextMacro(imported, f.dir.file("set.mac"));
        macroClass back;
        mac2mod::readSet(back, f.dir.file("set.mac"));
        EXPECT_TRUE(sameRecords(imported.MMF, back.MMF));
        EXPECT_STREQ(imported.MMF.globalOption, back.MMF.globalOption);
        // And the binary form too.
        mac2mod::writeSet(imported, f.dir.file("set.macb"));
        macroClass binary;
        mac2mod::readSet(binary, f.dir.file("set.macb"));
        EXPECT_TRUE(sameRecords(imported.MMF, binary.MMF));
    }
}

TEST(htkImportFixtures, theNegativeFixturesAreRefusedWithTheirWordsAndNothingWritten)
{
    for (const char *name : negative) {
        SCOPED_TRACE(name);
        fixture f(name);
        for (const char *out : {"out.mod", "out.macb", "out.mac"}) {
            toolRun r = f.import({out});
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            for (const std::string &word : linesOf(f.dir.file("expect.fail")))
                EXPECT_NE(r.err.find(word), std::string::npos) << r.err << " lacks " << word;
            EXPECT_EQ(r.err.rfind("hmmdefs:", 0), 0u) << r.err;
            EXPECT_FALSE(fileExists(f.dir.file(out)));
        }
    }
}

// check takes what import takes: the dry run's summary, or its refusal word for word.
TEST(htkImportFixtures, checkGivesTheDryRunsSummaryOrItsRefusal)
{
    std::vector<const char *> names(std::begin(positive), std::end(positive));
    names.insert(names.end(), std::begin(negative), std::end(negative));
    for (const char *name : names) {
        SCOPED_TRACE(name);
        fixture f(name);
        toolRun dry = f.import({"out.mod", "--dry-run"});
        std::vector<std::string> args = {tool, "check"};
        args.insert(args.end(), f.inputs.begin(), f.inputs.end());
        toolRun c = run(f.dir.path(), args);
        EXPECT_EQ(c.status, dry.status);
        EXPECT_EQ(c.err, dry.err);
        EXPECT_EQ(c.out + (dry.status == 0 ? "checked only (--dry-run): nothing written\n" : ""), dry.out);
    }
    // What check cannot take is named, with what takes it.
    TempDir dir;
    toolRun r = run(dir.path(), {tool, "check", "x.mod"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\"x.mod\" is a model file: mmftool modinfo checks it"), std::string::npos) << r.err;
}

TEST(htkImportFixtures, sameSetsInDifferentFormsGiveTheSameRecords)
{
    const std::vector<std::vector<const char *>> groups = {
        {"a-text-tmacros", "c-binary", "f-split-macros-hmmdefs", "h-mixedcase-crlf-exp3"},
        {"b-single-gaussian", "j-loose-text"},
        {"d-tied-states", "i-binary-tied"},
        {"g-pruned-component", "k-zero-weight-in-file"}};
    for (const auto &group : groups) {
        fixture first(group[0]);
        macroClass reference;
        mac2mod::importHtk(reference, first.paths());
        for (size_t k = 1; k < group.size(); k++) {
            SCOPED_TRACE(group[k]);
            fixture other(group[k]);
            macroClass set;
            mac2mod::importHtk(set, other.paths());
            ASSERT_EQ(set.MMF.modelNum, reference.MMF.modelNum);
            // The models may come in another order. GCONSTs and transitions differ in their last
            // digits: HHEd recomputes the one and keeps the other as logarithms.
            for (int m = 0; m < set.MMF.modelNum; m++) {
                bool found = false;
                for (int r = 0; r < reference.MMF.modelNum && !found; r++)
                    found = sameButConstants(set.MMF.model[m], reference.MMF.model[r]);
                EXPECT_TRUE(found) << set.MMF.model[m].str;
            }
        }
    }
}

// ---- What the import resolves ----

TEST(htkImport, summaryCountsWhatWasResolved)
{
    struct expectation {
        const char *fixture;
        int models, transitions, states, mixtures, means, variances, pruned, zero, gconsts, unreferenced;
    };
    const expectation cases[] = {
        {"a-text-tmacros", 6, 4, 0, 0, 0, 0, 0, 0, 0, 1},
        {"d-tied-states", 16, 15, 45, 0, 0, 0, 0, 0, 0, 0},
        {"e-shared-mix-mean-var", 6, 0, 0, 2, 2, 2, 0, 0, 0, 0},
        {"g-pruned-component", 6, 4, 0, 0, 0, 0, 4, 0, 0, 1},
        {"k-zero-weight-in-file", 6, 4, 0, 0, 0, 0, 0, 4, 0, 1},
        {"j-loose-text", 5, 0, 0, 0, 0, 0, 0, 0, 15, 0},
    };
    for (const expectation &c : cases) {
        SCOPED_TRACE(c.fixture);
        fixture f(c.fixture);
        macroClass set;
        mac2mod::htkImportSummary s;
        mac2mod::importHtk(set, f.paths(), s);
        EXPECT_EQ(s.models, c.models);
        EXPECT_EQ(s.inlinedTransitions, c.transitions);
        EXPECT_EQ(s.inlinedStates, c.states);
        EXPECT_EQ(s.inlinedMixtures, c.mixtures);
        EXPECT_EQ(s.inlinedMeans, c.means);
        EXPECT_EQ(s.inlinedVariances, c.variances);
        EXPECT_EQ(s.prunedComponents, c.pruned);
        EXPECT_EQ(s.zeroWeightComponents, c.zero);
        EXPECT_EQ(s.computedGconsts, c.gconsts);
        EXPECT_EQ(s.unreferencedMacros, c.unreferenced);
    }
}

TEST(htkImport, aMissingGconstIsComputedAsHtkComputesIt)
{
    // Every GCONST of fixture a taken out: the computed ones must be HHEd's, as it printed them.
    std::string text = fixtureText("a-text-tmacros");
    macroClass given;
    importText(given, text);
    std::string stripped;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("<GCONST>", 0) != 0)
            stripped += line + "\n";
    macroClass computed;
    mac2mod::htkImportSummary s;
    importText(computed, stripped, &s);
    EXPECT_EQ(s.computedGconsts, s.components);
    ASSERT_EQ(computed.MMF.modelNum, given.MMF.modelNum);
    int compared = 0;
    for (int m = 0; m < given.MMF.modelNum; m++)
        for (int e = 0; e < given.MMF.model[m].stateNum - 2; e++) {
            const hmmStream &a = given.MMF.model[m].state[e].stream[0];
            const hmmStream &b = computed.MMF.model[m].state[e].stream[0];
            for (int k = 0; k < a.mixtureNum; k++) {
                char printedGiven[32], printedComputed[32];
                std::snprintf(printedGiven, sizeof printedGiven, "%e", a.mixture[k].gconst);
                std::snprintf(printedComputed, sizeof printedComputed, "%e", b.mixture[k].gconst);
                EXPECT_STREQ(printedComputed, printedGiven);
                compared++;
            }
        }
    EXPECT_GT(compared, 30);
}

TEST(htkImport, componentsKeepIndexOrderWithoutGapsAndOneLeftHasWeightOne)
{
    std::string text = htkHeader() + htkModel("sil", 3, 1) +
                       "~h \"a\"\n<BEGINHMM>\n<NUMSTATES> 3\n<STATE> 2\n<NUMMIXES> 4\n"
                       "<MIXTURE> 3 0.5\n" + gaussian(24, 3) + "<MIXTURE> 1 0.5\n" + gaussian(24, 1) +
                       "<MIXTURE> 2 0.000001\n" + gaussian(24, 2) +
                       "<TRANSP> 3\n 0 1 0\n 0 0.5 0.5\n 0 0 0\n<ENDHMM>\n"
                       "~h \"b\"\n<BEGINHMM>\n<NUMSTATES> 3\n<STATE> 2\n<NUMMIXES> 3\n"
                       "<MIXTURE> 2 0.999995\n" + gaussian(24, 7) + "<MIXTURE> 3 0.000005\n" + gaussian(24, 8) +
                       "<TRANSP> 3\n 0 1 0\n 0 0.5 0.5\n 0 0 0\n<ENDHMM>\n";
    macroClass set;
    mac2mod::htkImportSummary s;
    importText(set, text, &s);
    const hmmStream &a = set.MMF.model[1].state[0].stream[0];
    ASSERT_EQ(a.mixtureNum, 2);
    EXPECT_EQ(a.mixture[0].mean[0], 1.0f);   // component 1, then 3
    EXPECT_EQ(a.mixture[1].mean[0], 3.0f);
    EXPECT_EQ(a.mixture[0].mixtureWeight, 0.5f);
    const hmmStream &b = set.MMF.model[2].state[0].stream[0];
    ASSERT_EQ(b.mixtureNum, 1);
    EXPECT_EQ(b.mixture[0].mixtureWeight, 1.0f);
    EXPECT_EQ(b.mixture[0].mean[0], 7.0f);
    EXPECT_EQ(s.zeroWeightComponents, 2);
    EXPECT_EQ(s.prunedComponents, 1 + 1);   // a: index 4; b: index 1
    for (int k = a.mixtureNum; k < MAX_MIXTURE_NUM; k++)
        EXPECT_EQ(a.mixture[k].mean[0], 0.0f);
}

TEST(htkImport, severalStreamsWithWeightsRoundTripThroughHtksTextAndBinaryForms)
{
    // A set of three streams (24, 12 and 3 values) written in HTK's forms.
    TempDir dir;
    macroClass original;
    {
        hmmSet &set = original.MMF;
        set.modelNum = 3;
        set.streamNum = 3;
        set.vecSize[0] = 24;
        set.vecSize[1] = 12;
        set.vecSize[2] = 3;
        set.model = static_cast<hmmModel *>(std::calloc(3, sizeof(hmmModel)));
        const char *names[] = {"sil", "x", "y"};
        for (int m = 0; m < 3; m++) {
            hmmModel &model = set.model[m];
            std::strcpy(model.str, names[m]);
            model.stateNum = 3 + m % 3;
            for (int e = 0; e < model.stateNum - 2; e++)
                for (int s = 0; s < 3; s++) {
                    hmmState &state = model.state[e];
                    state.streamWeight[s] = 0.5f + 0.25f * s;
                    hmmStream &stream = state.stream[s];
                    stream.mixtureNum = 1 + (m + e + s) % 4;
                    for (int k = 0; k < stream.mixtureNum; k++) {
                        hmmMixture &mix = stream.mixture[k];
                        mix.mixtureWeight = stream.mixtureNum == 1 ? 1.0f : 1.0f / stream.mixtureNum;
                        for (int i = 0; i < set.vecSize[s]; i++) {
                            mix.mean[i] = 0.1f * i - m + k / 3.0f;
                            mix.variance[i] = 0.5f + 0.01f * (i + s + e);
                        }
                        mix.gconst = 12.5f + k;
                    }
                }
            for (int r = 0; r < model.stateNum - 1; r++) {
                model.transProb[r][r] = r ? 0.75f : 0;
                model.transProb[r][r + 1] = r ? 0.25f : 1;
            }
        }
    }
    for (bool binary : {false, true})
        for (bool weights : {false, true}) {
            SCOPED_TRACE(std::string(binary ? "binary" : "text") + (weights ? " with weights" : ""));
            htkForm form;
            form.binary = binary;
            form.streamWeights = weights;
            form.transMacros = binary;
            form.digits = 8;   // text that keeps every float
            writeHtk(original.MMF, dir.file("set.mmf"), form);
            macroClass back;
            mac2mod::importHtk(back, {dir.file("set.mmf")});
            ASSERT_EQ(back.MMF.streamNum, 3);
            for (int m = 0; m < 3; m++) {
                hmmModel expected = original.MMF.model[m];
                if (!weights)
                    for (auto &state : expected.state)
                        for (float &w : state.streamWeight)
                            w = 1.0f;
                for (int e = expected.stateNum - 2; e < 3; e++)
                    std::memset(&expected.state[e], 0, sizeof(hmmState));
                if (!weights)
                    for (int e = expected.stateNum - 2; e < 3; e++)
                        for (float &w : expected.state[e].streamWeight)
                            w = 0;
                EXPECT_EQ(std::memcmp(&back.MMF.model[m], &expected, sizeof(hmmModel)), 0) << m;
            }
            EXPECT_STREQ(back.MMF.globalOption, "<VECSIZE> 39<NULLD><MFCC_D_A_0><DIAGC>");
        }
}

// Either byte order, and white space before a binary keyword (a <GCONST> after a line feed
// was once refused), give the set.
TEST(htkImport, binaryFormsReadAsTheSet)
{
    fixture f("e-shared-mix-mean-var");
    macroClass set;
    mac2mod::importHtk(set, f.paths());
    for (bool little : {false, true})
        for (bool spaced : {false, true}) {
            SCOPED_TRACE(std::string(little ? "little" : "big") + (spaced ? ", spaced" : ""));
            htkForm form;
            form.binary = true;
            form.littleEndian = little;
            form.gconstOwnLine = spaced;
            writeHtk(set.MMF, f.dir.file("binary"), form);
            macroClass back;
            mac2mod::importHtk(back, {f.dir.file("binary")});
            EXPECT_TRUE(sameRecords(back.MMF, set.MMF));
        }
}

TEST(htkImport, globalOptionIsTheOptionLineWithTheKindInHtksOrder)
{
    macroClass set;
    importText(set, "~o <HMMSetId> x <DiagC>\n <mfcc_0_a_d_e> <VecSize>\n 24 <NullD>\n" + htkModel("sil", 3, 1));
    EXPECT_STREQ(set.MMF.globalOption, "<VECSIZE> 24<NULLD><MFCC_E_D_A_0><DIAGC>");
    EXPECT_EQ(set.MMF.streamNum, 1);
    EXPECT_EQ(set.MMF.vecSize[0], 24);
}

TEST(htkImport, optionsInsideTheFirstModelFixTheSet)
{
    std::string model = htkModel("sil", 3, 1);
    std::string inlineOptions = replaceFirst(model, "<NUMSTATES> 3", "<VecSize> 24 <FBANK> <NumStates> 3");
    macroClass set;
    importText(set, inlineOptions + htkModel("a", 3, 1));
    EXPECT_EQ(set.MMF.modelNum, 2);
    EXPECT_STREQ(set.MMF.globalOption, "<VECSIZE> 24<NULLD><FBANK><DIAGC>");
    // No options anywhere.
    EXPECT_NE(refusal(model).find("before the global options"), std::string::npos);
}

TEST(htkImport, aModelFileWithoutHeaderIsNamedAfterTheFile)
{
    TempDir dir;
    writeFile(dir.file("macros"), htkHeader());
    std::string body = htkModel("sil", 3, 1);
    writeFile(dir.file("sil"), body.substr(body.find("<BEGINHMM>")));
    writeFile(dir.file("a"), htkHeader() + htkModel("a", 4, 2).substr(htkModel("a", 4, 2).find("<BEGINHMM>")));
    macroClass set;
    mac2mod::importHtk(set, {dir.file("macros"), dir.file("sil"), dir.file("a")});
    ASSERT_EQ(set.MMF.modelNum, 2);
    EXPECT_STREQ(set.MMF.model[0].str, "sil");
    EXPECT_STREQ(set.MMF.model[1].str, "a");
    EXPECT_EQ(set.MMF.model[1].stateNum, 4);
}

TEST(htkImport, skipsAdaptationMacrosDurationsRegressionClassesAndUseClauses)
{
    std::string model = htkModel("a", 3, 2);
    model = replaceFirst(model, "<BEGINHMM>\n", "<BEGINHMM>\n<Use> old\n");
    model = replaceFirst(model, "<MEAN> 24", "<RClass> 3 <MEAN> 24");
    model = replaceFirst(model, "<ENDHMM>", "<Duration> 2 1.0 2.0\n<ENDHMM>");
    std::string text = htkHeader() +
                       "~b \"base\"\n<MMFIdMask> * <Parameters> MIXBASE <NumClasses> 1 <Class> 1 {*.state[2-4].mix[1-2]}\n"
                       "~r \"tree\"\n<BaseClass> ~b \"base\"\n<Node> 1 2 2 3\n<TNode> 2 1 1\n"
                       "~d \"dur\"\n<Duration> 1 3.0\n" +
                       htkModel("sil", 3, 1) + model;
    macroClass set;
    mac2mod::htkImportSummary s;
    importText(set, text, &s);
    EXPECT_EQ(set.MMF.modelNum, 2);
    EXPECT_EQ(s.skippedMacros, 3);
    EXPECT_EQ(s.skippedDurations, 1);
    EXPECT_EQ(set.MMF.model[1].state[0].stream[0].mixtureNum, 2);
}

TEST(htkImport, nestedReferencesAreResolved)
{
    std::string text = htkHeader() + "~u \"mu\"\n<MEAN> 24\n" + values(24, 5) + "~v \"var\"\n<VARIANCE> 24\n" +
                       values(24, 2) + "~m \"mix\"\n~u \"mu\"\n~v \"var\"\n~w \"sw\"\n<SWEIGHTS> 1 0.5\n"
                       "~s \"st\"\n<NUMMIXES> 2\n~w \"sw\"\n<MIXTURE> 1 0.25\n~m \"mix\"\n<MIXTURE> 2 0.75\n" +
                       gaussian(24, 9) + "~t \"tr\"\n<TRANSP> 3\n 0 1 0\n 0 0.5 0.5\n 0 0 0\n" +
                       "~h \"sil\"\n<BEGINHMM>\n<NUMSTATES> 3\n<STATE> 2\n~s \"st\"\n~t \"tr\"\n<ENDHMM>\n";
    macroClass set;
    mac2mod::htkImportSummary s;
    importText(set, text, &s);
    const hmmState &state = set.MMF.model[0].state[0];
    EXPECT_EQ(state.streamWeight[0], 0.5f);
    ASSERT_EQ(state.stream[0].mixtureNum, 2);
    EXPECT_EQ(state.stream[0].mixture[0].mixtureWeight, 0.25f);
    EXPECT_EQ(state.stream[0].mixture[0].mean[0], 5.0f);
    EXPECT_EQ(state.stream[0].mixture[0].variance[0], 2.0f);
    EXPECT_EQ(state.stream[0].mixture[1].mean[0], 9.0f);
    EXPECT_EQ(set.MMF.model[0].transProb[1][2], 0.5f);
    EXPECT_EQ(s.inlinedStates, 1);
    EXPECT_EQ(s.unreferencedMacros, 0);
}

TEST(htkImport, numbersAsStrtofReadsThem)
{
    std::string model = htkModel("sil", 3, 1);
    std::string means = " 1 -0.5 +2.5e-1 1.000000e+000 0x1p-2 1e-45 3.4028235e38 .5";
    for (int i = 8; i < 24; i++)
        means += " 0";
    size_t at = model.find("<MEAN> 24\n") + 10;
    model.replace(at, model.find('\n', at) - at, means);
    macroClass set;
    importText(set, htkHeader() + model);
    const float *mean = set.MMF.model[0].state[0].stream[0].mixture[0].mean;
    const char *texts[] = {"1", "-0.5", "+2.5e-1", "1.000000e+000", "0x1p-2", "1e-45", "3.4028235e38", ".5"};
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(mean[i], std::strtof(texts[i], nullptr)) << texts[i];
}

// ---- Refusals: the message names the cause, the number and the limit ----

TEST(htkImportRefusals, eachNamesItsCause)
{
    const std::string set = htkSet();
    const std::string sixteen = htkHeader() + htkModel("sil", 5, 2) + htkModel("a", 3, 16);
    struct refusalCase {
        const char *what;
        std::string text;
        std::vector<std::string> words;
    };
    const refusalCase cases[] = {
        {"26 dims", fixtureText("neg-26-dims"), {"26", "24"}},
        {"39 dims", htkSet(5, 2, 39), {"39", "24"}},
        {"a mean of 39 values", replaceFirst(set, "<MEAN> 24\n" + values(24, 21.0f), "<MEAN> 39\n" + values(39, 21.0f)),
         {"mean", "39", "24"}},
        {"7 states", htkSet(7, 2), {"7 states", "5"}},
        {"a ~t of 6 states", htkHeader() + "~t \"t6\"\n<TRANSP> 6\n" + values(36, 0.0f) + htkModel("a", 3, 1),
         {"a transition matrix has 6 states, more than the 5 the set holds (entry and exit included)"}},
        {"16 components", sixteen, {"16 components", "12"}},
        {"4 streams", replaceFirst(set, "<STREAMINFO> 1 24", "<STREAMINFO> 4 6 6 6 6"), {"4 streams", "3"}},
        {"undefined macro", fixtureText("neg-undefined-macro"), {"undefined", "~t \"tr9\""}},
        {"model defined twice", set + htkModel("a", 3, 1), {"model \"a\" is defined twice", "set.mmf:"}},
        {"macro defined twice", fixtureText("a-text-tmacros") + "~t \"tr1\"\n<TRANSP> 2\n 0 1\n 0 0\n",
         {"~t \"tr1\" is defined twice"}},
        {"name of 50 characters", htkHeader() + htkModel(std::string(50, 'n'), 3, 1), {"50 characters", "49"}},
        {"full covariance", replaceFirst(set, "<DIAGC>", "<FULLC>"), {"<FULLC>", "diagonal"}},
        {"inverse covariance", replaceFirst(set, "<VARIANCE> 24\n" + values(24, 1.0f), "<INVCOVAR> 1\n 1.0\n"),
         {"<INVCOVAR>", "full covariances"}},
        {"tied mixtures", replaceFirst(set, "<MIXTURE> 1", "<TMIX> pool 0.5 0.5\n<MIXTURE> 1"), {"<TMIX>", "tied-mixture"}},
        {"discrete", replaceFirst(set, "<MIXTURE> 1", "<DPROB> 1 2\n<MIXTURE> 1"), {"<DPROB>", "discrete"}},
        {"discrete kind", replaceFirst(set, "<MFCC_D_A>", "<DISCRETE>"), {"discrete"}},
        {"input transform", replaceFirst(set, "<DIAGC>", "<DIAGC> <InputXform> ~j \"x\""), {"<INPUTXFORM>"}},
        {"neither text nor HTK", "hello, world\n", {"not an HTK model file"}},
        {"a comment", "# trained on 12 hours\n" + set, {"not an HTK model file"}},
        {"weights that do not add up", replaceFirst(set, "<MIXTURE> 1 5.000000e-01", "<MIXTURE> 1 7.000000e-01"),
         {"add up to 1.2"}},
        {"a missing state", replaceFirst(set, "<STATE> 3", "<STATE> 2"), {"state 2 is given twice"}},
        {"macro before the options", "~v \"varFloor1\"\n<VARIANCE> 1 1.0\n" + set, {"before the global options"}},
        {"unknown keyword", replaceFirst(set, "<GCONST>", "<GCONS>"), {"unknown keyword <GCONS>"}},
        {"no models", htkHeader(), {"no model"}},
    };
    for (const refusalCase &c : cases) {
        SCOPED_TRACE(c.what);
        std::string message = refusal(c.text);
        ASSERT_NE(message, "") << "accepted";
        EXPECT_EQ(message.rfind("set.mmf", 0), 0u) << message;
        for (const std::string &word : c.words)
            EXPECT_NE(message.find(word), std::string::npos) << message << " lacks " << word;
        EXPECT_EQ(message.back(), '\n');
    }
}

// Every limit a set breaks, each kind once at its first place with its count of places, the
// first as it is refused alone; import and check say the same.
TEST(htkImportRefusals, everyLimitBrokenIsNamedOnce)
{
    const std::string text = htkHeader(39) + htkModel("sil", 7, 2, 39) + htkModel("a", 3, 16, 39) +
                             htkModel(std::string(50, 'n'), 7, 1, 39) + htkModel("b", 3, 13, 39);
    const std::string alone = refusal(htkSet(5, 2, 39));
    const std::string message = refusal(text);
    ASSERT_EQ(message.substr(0, message.find('\n') + 1), alone);
    struct kind {
        std::string words;
        int places;
    };
    for (const kind &k : std::vector<kind>{{"has 7 states, more than the 5", 2},
                                           {"16 components, more than the 12", 2},
                                           {"model name \"" + std::string(50, 'n') + "\" of 50 characters", 1}}) {
        size_t at = message.find(k.words);
        ASSERT_NE(at, std::string::npos) << message << " lacks " << k.words;
        std::string line = message.substr(message.rfind('\n', at) + 1);
        line = line.substr(0, line.find('\n'));
        EXPECT_EQ(line.rfind("set.mmf:", 0), 0u) << line;
        EXPECT_EQ(line.find(" places)") != std::string::npos, k.places > 1) << line;
        if (k.places > 1) {
            EXPECT_NE(line.find("(the first of " + std::to_string(k.places) + " places)"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 4);

    TempDir dir;
    writeFile(dir.file("set.mmf"), text);
    toolRun i = run(dir.path(), {tool, "import", "set.mmf", "out.macb"});
    toolRun c = run(dir.path(), {tool, "check", "set.mmf"});
    EXPECT_EQ(i.status, 1);
    EXPECT_EQ(i.err, message);
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.err, message);
    EXPECT_FALSE(fileExists(dir.file("out.macb")));
}

TEST(htkImportRefusals, aTextFaultIsPlacedByLineAndColumn)
{
    std::string text = htkSet();
    text = replaceFirst(text, "<NUMSTATES> 5", "<NUMSTATES> 5 <BOGUS>");
    TempDir dir;
    writeFile(dir.file("set.mmf"), text);
    macroClass set;
    try {
        mac2mod::importHtk(set, {dir.file("set.mmf")});
        FAIL() << "accepted";
    } catch (const mac2mod::error &e) {
        EXPECT_EQ(e.message(), dir.file("set.mmf") + ":6:15: unknown keyword <BOGUS>\n");
        EXPECT_EQ(e.file(), dir.file("set.mmf"));
        EXPECT_EQ(e.line(), 6);
        EXPECT_EQ(e.column(), 15);
        EXPECT_EQ(e.offset(), static_cast<long>(text.find("<BOGUS>")));
    }
}

TEST(htkImportRefusals, aBinaryFaultIsPlacedByByte)
{
    std::string bytes = fixtureText("c-binary");
    // The first model's <NUMSTATES> 5 (":\x04\x00\x05") made 7.
    size_t at = bytes.find(std::string(":\x04\x00\x05", 4));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 3] = 7;
    std::string message = refusal(bytes, "hmmdefs");
    EXPECT_EQ(message.rfind("hmmdefs: byte " + std::to_string(at) + ": ", 0), 0u) << message;
    EXPECT_NE(message.find("7 states"), std::string::npos);
}

TEST(htkImportRefusals, aFileCutShortIsRefusedWhereverItEnds)
{
    for (const char *name : {"a-text-tmacros", "c-binary", "d-tied-states", "i-binary-tied"}) {
        std::string whole = fixtureText(name);
        // The end of the last model is the only place where the file may end.
        size_t last = whole.rfind("ENDHMM");
        size_t step = whole.size() / 97 + 1;
        int refused = 0;
        for (size_t cut = 1; cut < whole.size(); cut += step) {
            if (cut > last)
                break;
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            std::string message = refusal(whole.substr(0, cut), "hmmdefs");
            EXPECT_NE(message, "");
            refused++;
        }
        EXPECT_GT(refused, 50);
        std::string message = refusal(whole.substr(0, whole.size() - 40), "hmmdefs");
        EXPECT_NE(message.find("cut short"), std::string::npos) << message;
    }
}

TEST(htkImportRefusals, theSameFileTwiceDefinesItsMacrosTwice)
{
    fixture f("a-text-tmacros");
    macroClass set;
    try {
        mac2mod::importHtk(set, {f.dir.file("hmmdefs"), f.dir.file("hmmdefs")});
        FAIL() << "accepted";
    } catch (const mac2mod::error &e) {
        EXPECT_NE(e.message().find("defined twice (first at " + f.dir.file("hmmdefs") + ":4:1)"), std::string::npos)
            << e.message();
    }
    EXPECT_EQ(set.MMF.model, nullptr);
}

TEST(htkImportRefusals, differingOptionsInALaterFileAreRefusedTheSameAreNot)
{
    fixture f("f-split-macros-hmmdefs");
    writeFile(f.dir.file("again"), fixtureText("f-split-macros-hmmdefs", "macros").substr(0, 60));
    macroClass same;
    writeFile(f.dir.file("options"), "~o <VecSize> 24 <MFCC_D>\n");
    mac2mod::importHtk(same, {f.dir.file("macros"), f.dir.file("options"), f.dir.file("hmmdefs")});
    EXPECT_EQ(same.MMF.modelNum, 6);
    writeFile(f.dir.file("options"), "~o <VecSize> 24 <PLP_D>\n");
    macroClass other;
    EXPECT_THROW(mac2mod::importHtk(other, {f.dir.file("macros"), f.dir.file("options"), f.dir.file("hmmdefs")}),
                 mac2mod::error);
}

// ---- mmftool import ----

TEST(htkImportTool, refusesASetWithoutSilForTheModelFileAndASmallSetForText)
{
    TempDir dir;
    writeFile(dir.file("set.mmf"), replaceFirst(htkSet(), "\"sil\"", "\"silence\""));
    writeFile(dir.file("ModelNames.txt"), "1 a\n");
    toolRun r = run(dir.path(), {tool, "import", "set.mmf", "out.mod"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\"sil\""), std::string::npos) << r.err;
    EXPECT_FALSE(fileExists(dir.file("out.mod")));

    writeFile(dir.file("small.mmf"), htkSet(5, 2, 4));
    r = run(dir.path(), {tool, "import", "small.mmf", "out.mac"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("4 values"), std::string::npos) << r.err;
    EXPECT_FALSE(fileExists(dir.file("out.mac")));
    r = run(dir.path(), {tool, "import", "small.mmf", "out.macb"});
    EXPECT_EQ(r.status, 0) << r.err;
    macroClass back;
    mac2mod::readSet(back, dir.file("out.macb"));
    EXPECT_EQ(back.MMF.vecSize[0], 4);
}

TEST(htkImportTool, dryRunWritesNothingAndUsageErrorsAreStatusTwo)
{
    fixture f("d-tied-states");
    toolRun r = f.import({"out.mod", "--dry-run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("inlined: 45 ~s states"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("models: 16"), std::string::npos) << r.out;
    EXPECT_FALSE(fileExists(f.dir.file("out.mod")));
    EXPECT_EQ(f.import({"out.txt"}).status, 2);
    EXPECT_EQ(f.import({"out.mod", "--table"}).status, 2);
    EXPECT_EQ(run(f.dir.path(), {tool, "import", "out.mod"}).status, 2);
    EXPECT_EQ(f.import({"hmmdefs"}).status, 2);
    EXPECT_EQ(f.import({"out.mac", "--table", "ModelNames.txt"}).status, 2);
}

// A variance of 0 in a model is placed at its line and column in the HTK file, by check and by
// import; --strict makes it fail the import. One in a macro never used is no part of the set.
TEST(htkImportTool, aZeroVarianceIsPlacedInTheHtkFile)
{
    std::string text = htkHeader() + "~v \"floor\"\n<VARIANCE> 24\n" + values(24, 0.0f) + htkModel("sil", 5, 2) +
                       htkModel("a", 5, 2);
    const size_t at = text.find(" 1.250000e+00", text.find("<VARIANCE>", text.find("<MIXTURE> 2", text.find("<STATE> 3", text.find("~h \"a\""))))) + 1;
    text.replace(at, 12, "0.000000e+00");
    const std::string line = std::to_string(std::count(text.begin(), text.begin() + at, '\n') + 1);
    const std::string column = std::to_string(at - text.rfind('\n', at));
    const std::string warning = "set.mmf:" + line + ":" + column +
                                ": warning: model 1 (\"a\"), state 3, component 2: variance[2] is 0, not above 0\n";
    TempDir dir;
    writeFile(dir.file("set.mmf"), text);
    struct toolCase {
        std::vector<std::string> args;
        int status;
        bool written;
    };
    for (const toolCase &c : std::vector<toolCase>{{{"check", "set.mmf"}, 0, false},
                                                   {{"check", "set.mmf", "--strict"}, 1, false},
                                                   {{"import", "set.mmf", "out.macb"}, 0, true},
                                                   {{"import", "set.mmf", "out.macb", "--strict"}, 1, false}}) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        std::filesystem::remove(dir.file("out.macb"));
        std::vector<std::string> args = {tool};
        args.insert(args.end(), c.args.begin(), c.args.end());
        toolRun r = run(dir.path(), args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.out.find(warning), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("floor"), std::string::npos) << r.out;
        EXPECT_EQ(fileExists(dir.file("out.macb")), c.written);
    }
}

TEST(htkImportTool, anOutputOverAnInputIsRefused)
{
    fixture f("a-text-tmacros");
    std::filesystem::copy_file(f.dir.file("hmmdefs"), f.dir.file("set.mac"));
    toolRun r = run(f.dir.path(), {tool, "import", "set.mac", "set.mac"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(f.dir.file("set.mac")), readFile(f.dir.file("hmmdefs")));
}

TEST(htkImportTool, convertWritesTheModelFileInTheOrderOfTable)
{
    fixture f("a-text-tmacros");
    ASSERT_EQ(f.import({"set.macb"}).status, 0);
    std::filesystem::rename(f.dir.file("ModelNames.txt"), f.dir.file("order.txt"));
    toolRun r = run(f.dir.path(), {tool, "convert", "set.macb", "set.mod", "--table", "order.txt"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(readFile(f.dir.file("set.mod")), f.expected());
    EXPECT_EQ(run(f.dir.path(), {tool, "convert", "set.macb", "x.macb", "--table", "order.txt"}).status, 2);
}

// ---- What HTK's loader refuses, takes or changes, and the tool's safety ----

TEST(htkImportRefusals, whatHtksLoaderRefusesIsRefusedWithItsPlace)
{
    const std::string set = htkSet(3, 2);
    const std::string twoStates = "~h \"b\"\n<BEGINHMM>\n<NUMSTATES> 2\n<TRANSP> 2\n 0.0 1.0\n 0.0 0.0\n<ENDHMM>\n";
    const std::string row = "<TRANSP> 3\n 0.0 1.0 0.0\n";
    struct refusalCase {
        const char *what;
        std::string text, place, word;
    };
    const refusalCase cases[] = {
        {"no emitting state", set + twoStates, "set.mmf:", "2 states"},
        {"a probability above 1", replaceFirst(set, row, "<TRANSP> 3\n 0.0 1.5 -0.5\n"), "set.mmf:", "1.5"},
        {"a probability below 0", replaceFirst(set, row, "<TRANSP> 3\n 0.0 -0.5 1.5\n"), "set.mmf:", "-0.5"},
        {"a NaN probability", replaceFirst(set, row, "<TRANSP> 3\n 0.0 nan 1.0\n"), "set.mmf:", "nan"},
        {"a weight above 1", replaceFirst(replaceFirst(set, "<MIXTURE> 1 5.000000e-01", "<MIXTURE> 1 1.5"),
                                          "<MIXTURE> 2 5.000000e-01", "<MIXTURE> 2 -0.5"), "set.mmf:", "1.5"},
        {"a NaN weight", replaceFirst(set, "<MIXTURE> 1 5.000000e-01", "<MIXTURE> 1 nan"), "set.mmf:", "nan"},
    };
    for (const refusalCase &c : cases) {
        SCOPED_TRACE(c.what);
        std::string message = refusal(c.text);
        EXPECT_EQ(message.rfind(c.place, 0), 0u) << message;
        EXPECT_NE(message.find(c.word), std::string::npos) << message;
    }
}

// A state's first stream may come without <STREAM> 1, in a set of several streams too.
TEST(htkImport, aFirstStreamWithoutItsHeaderIsStreamOne)
{
    std::string stream = "<MEAN> 2\n 1.0 2.0\n<VARIANCE> 2\n 1.0 1.0\n";
    auto setOf = [&](const std::string &first) {
        return "~o <STREAMINFO> 2 2 2 <VECSIZE> 4 <USER>\n~h \"a\"\n<BEGINHMM>\n<NUMSTATES> 3\n<STATE> 2\n" + first +
               stream + "<STREAM> 2\n" + stream + "<TRANSP> 3\n 0 1 0\n 0 0.5 0.5\n 0 0 0\n<ENDHMM>\n";
    };
    macroClass given, omitted;
    importText(given, setOf("<STREAM> 1\n"));
    importText(omitted, setOf(""));
    EXPECT_TRUE(sameRecords(given.MMF, omitted.MMF));
    EXPECT_NE(refusal(setOf("<STREAM> 2\n" + stream)), "") << "a stream given twice";
}

// A stream left with one component gets the weight 1.0, as the converter's reader gives it;
// the summary says how many and by how much at most.
TEST(htkImport, loneWeightsSetToOneAreCounted)
{
    mac2mod::htkImportSummary summary;
    macroClass kept, changed;
    importText(kept, htkSet(3, 2), &summary);
    EXPECT_EQ(summary.weightsSetToOne, 0);
    std::string lone = replaceFirst(replaceFirst(htkModel("a", 3, 2), "<MIXTURE> 1 5.000000e-01", "<MIXTURE> 1 0.995"),
                                    "<MIXTURE> 2 5.000000e-01", "<MIXTURE> 2 1.0e-06");
    importText(changed, htkHeader() + htkModel("sil", 5, 2) + lone, &summary);
    EXPECT_EQ(summary.weightsSetToOne, 1);
    EXPECT_EQ(summary.largestWeightChange, 1.0f - 0.995f);
    EXPECT_EQ(changed.MMF.model[1].state[0].stream[0].mixture[0].mixtureWeight, 1.0f);
}

// A device or a pipe named as an HTK file is refused before it is read or opened.
TEST(htkImportTool, aDeviceOrPipeIsRefusedAtOnce)
{
    TempDir dir;
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.mmf"));
    ASSERT_EQ(mkfifo(dir.file("pipe.mmf").c_str(), 0600), 0);
    for (const char *name : {"zero.mmf", "pipe.mmf"}) {
        toolRun r = run(dir.path(), {tool, "import", name, "out.macb"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string(name) + ": cannot read: it is not a regular file (a device or a pipe)\n");
    }
}

// A file-size limit (its signal at the default) ends as the failed write of the file asked
// for; a signal at any moment leaves the earlier file or the finished one, and nothing else.
TEST(htkImportTool, aLimitOrASignalLeavesTheEarlierOutputAndNoTemporary)
{
    TempDir dir;
    std::string text = htkHeader() + htkModel("sil", 5, 2);
    for (int m = 0; m < 1500; m++)
        text += htkModel("m" + std::to_string(m), 5, 2);
    writeFile(dir.file("set.mmf"), text);
    std::string table;
    for (int m = 0; m < 1500; m++)
        table += std::to_string(m + 1) + " m" + std::to_string(m) + "\n";
    writeFile(dir.file("ModelNames.txt"), table);
    const std::string kept = " set.mmf ModelNames.txt out.mod out.macb out.mac ";
    for (const char *out : {"out.mod", "out.macb", "out.mac"}) {
        SCOPED_TRACE(out);
        writeFile(dir.file(out), "earlier");
        toolRun r = run(dir.path(), {"/bin/sh", "-c", "trap - XFSZ; ulimit -f 1; exec \"$@\"", "sh", tool, "import",
                                     "set.mmf", out});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Error: cannot write \"" + std::string(out) + "\".\n");
        EXPECT_EQ(readFile(dir.file(out)), "earlier");
        for (int signal : {SIGTERM, SIGINT, SIGHUP})
            for (const char *delay : {"0.02", "0.1", "0.3"}) {
                std::string script = "\"$@\" >/dev/null & sleep " + std::string(delay) + "; kill -" +
                                     std::to_string(signal) + " $!; wait $!";
                run(dir.path(), {"/bin/sh", "-c", script, "sh", tool, "import", "set.mmf", out});
                for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
                    EXPECT_NE(kept.find(" " + entry.path().filename().string() + " "), std::string::npos)
                        << entry.path();
                std::string now = readFile(dir.file(out));
                EXPECT_TRUE(now == "earlier" || now.size() > 100000u) << now.size();
            }
    }
}
