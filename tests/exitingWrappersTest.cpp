// Every exiting routine is its throwing twin at the edge: on a failure it prints what the twin
// printed, then the thrown message, and ends the process with the thrown status.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "export/modelFileWriter.h"
#include "hmm/binaryMacro.h"
#include "hmm/modelView.h"
#include "hmm/setIO.h"
#include "hmm/textMacroReader.h"
#include "hmm/textMacroWriter.h"
#include "testSupport.h"
#include "util/utilClass.h"
#include "utility/utility.h"

namespace {

struct Wrapper {
    const char *name;
    std::function<void()> exiting;    // run in a child, which it must end
    std::function<void()> throwing;   // the same failure, thrown in this process
};

}  // namespace

TEST(exitingWrappers, printTheThrownMessageAndExitWithItsStatus)
{
    TempDir dir;
    ScopedCwd cwd(dir.path());   // result2file's fixed names stay in here
    const std::string missing = dir.file("missing.txt"), missingBin = dir.file("missing.bin");
    const std::string noFolder = dir.file("no/file.txt");
    const char *m = missing.c_str(), *mb = missingBin.c_str(), *nf = noFolder.c_str();

    int ints[2], size;
    double doubles[2], gap[] = {0, 1}, a[] = {1, 2}, b[] = {1, 2, 3}, shift, err[2], work[3], diff[3];
    int index;
    std::string text;
    std::vector<int> intList;
    std::vector<float> floatList;
    std::vector<std::string> lines;
    const std::vector<std::string> names{"sil", "ma"};
    candidateRecord bad{};
    bad.status = 3;
    bad.sylNum = MAX_SYL_NUM + 1;
    candidateRecord *arena[] = {&bad};
    utilClass util;
    macroClass set;   // empty: no model to dump or write
    const std::string missingSet = dir.file("missing.mac"), missingBinarySet = dir.file("missing.macb");
    const std::string setOut = dir.file("no/set.mac"), binaryOut = dir.file("no/set.macb");
    const char *ms = missingSet.c_str(), *mbs = missingBinarySet.c_str();

    const std::vector<Wrapper> wrappers = {
        {"fileOpen", [&] { fileOpen(m, "r"); }, [&] { mac2mod::openFile(m, "r"); }},
        {"fileLineCount", [&] { fileLineCount(m); }, [&] { mac2mod::fileLineCount(m); }},
        {"fileSize", [&] { fileSize(m); }, [&] { mac2mod::fileSize(m); }},
        {"fileRead", [&] { fileRead(m, size); }, [&] { mac2mod::fileRead(m, size); }},
        {"fileReadString", [&] { fileReadString(m, text); }, [&] { mac2mod::fileReadString(m, text); }},

        {"intArrayRead", [&] { intArrayRead(m, ints, 2); }, [&] { mac2mod::intArrayRead(m, ints, 2); }},
        {"intArrayRead extension", [&] { intArrayRead("a.dat", ints, 2); },
         [&] { mac2mod::intArrayRead("a.dat", ints, 2); }},
        {"doubleArrayRead", [&] { doubleArrayRead(mb, doubles, 2); },
         [&] { mac2mod::doubleArrayRead(mb, doubles, 2); }},
        {"intArrayReadTxt", [&] { intArrayReadTxt(m, ints, 2); }, [&] { mac2mod::intArrayReadTxt(m, ints, 2); }},
        {"doubleArrayReadTxt", [&] { doubleArrayReadTxt(m, doubles, 2); },
         [&] { mac2mod::doubleArrayReadTxt(m, doubles, 2); }},
        {"intArrayReadBin", [&] { intArrayReadBin(mb, ints, 2); }, [&] { mac2mod::intArrayReadBin(mb, ints, 2); }},
        {"doubleArrayReadBin", [&] { doubleArrayReadBin(mb, doubles, 2); },
         [&] { mac2mod::doubleArrayReadBin(mb, doubles, 2); }},
        {"floatAppend", [&] { floatAppend(1, nf); }, [&] { mac2mod::floatAppend(1, nf); }},
        {"doubleAppend", [&] { doubleAppend(1, nf); }, [&] { mac2mod::doubleAppend(1, nf); }},
        {"floatWrite", [&] { floatWrite(nf, 1); }, [&] { mac2mod::floatWrite(nf, 1); }},
        {"intListRead", [&] { intListRead(m, intList); }, [&] { mac2mod::intListRead(m, intList); }},
        {"floatListRead", [&] { floatListRead(m, floatList); }, [&] { mac2mod::floatListRead(m, floatList); }},
        {"intListWrite", [&] { intListWrite(nf, {1}); }, [&] { mac2mod::intListWrite(nf, {1}); }},
        {"stringListWrite", [&] { stringListWrite(nf, {"a"}); }, [&] { mac2mod::stringListWrite(nf, {"a"}); }},
        {"bufferWrite", [&] { bufferWrite(nf, "a", 1); }, [&] { mac2mod::bufferWrite(nf, "a", 1); }},
        {"lineListRead", [&] { lineListRead(m, lines, '#'); }, [&] { mac2mod::lineListRead(m, lines, '#'); }},
        {"tableRead", [&] { tableRead(m); }, [&] { mac2mod::tableRead(m); }},

        {"matrixCreate", [&] { matrixCreate(-1, 1, 1); }, [&] { mac2mod::matrixCreate(-1, 1, 1); }},
        {"zeroFill", [&] { zeroFill(gap, 2); }, [&] { mac2mod::zeroFill(gap, 2); }},
        {"vectorDistance", [&] { vectorDistance(a, a, 2, 0); }, [&] { mac2mod::vectorDistance(a, a, 2, 0); }},
        {"stretchMatchLS", [&] { stretchMatchLS(a, 2, b, 3, 1, 1, 2, 0, err, err, work, diff, index); },
         [&] { mac2mod::stretchMatchLS(a, 2, b, 3, 1, 1, 2, 0, err, err, work, diff, index); }},
        {"stretchMatch", [&] { stretchMatch(a, 2, b, 3, 1, 1, 2, 0, err, work, index); },
         [&] { mac2mod::stretchMatch(a, 2, b, 3, 1, 1, 2, 0, err, work, index); }},
        {"slideMatch", [&] { slideMatch(a, 2, b, 3, 0, shift, index); },
         [&] { mac2mod::slideMatch(a, 2, b, 3, 0, shift, index); }},
        {"listMatch", [&] { listMatch(names, "a", intList, 9); }, [&] { mac2mod::listMatch(names, "a", intList, 9); }},

        {"sylTime2file", [&] { util.sylTime2file("sylTime.mlf", &bad, names); },
         [&] { mac2mod::sylTime2file("sylTime.mlf", &bad, names); }},
        {"answer2file", [&] { util.answer2file("answer.txt", arena, 1, names); },
         [&] { mac2mod::answer2file("answer.txt", arena, 1, names); }},
        {"result2file", [&] { util.result2file(arena, 1, names); }, [&] { mac2mod::result2file(arena, 1, names); }},
        {"getAnswers", [&] { util.getAnswers(arena, 1, names, 1); }, [&] { mac2mod::getAnswers(arena, 1, names, 1); }},
        {"printCandidates", [&] { util.printCandidates(arena, 1, names); },
         [&] { mac2mod::printCandidates(arena, 1, names); }},

        {"macroClass::read", [&] { set.read(ms, 1); }, [&] { mac2mod::readSet(set, ms); }},
        {"macroClass::readByExtension", [&] { set.readByExtension("set.txt"); },
         [&] { mac2mod::readSet(set, "set.txt"); }},
        {"macroClass::readTextMacro", [&] { set.readTextMacro(ms); }, [&] { readTextMacroFile(set.MMF, ms); }},
        {"macroClass::readBinaryMacro", [&] { set.readBinaryMacro(mbs); },
         [&] { readBinaryMacroFile(set.MMF, mbs); }},
        {"macroClass::writeTextMacro", [&] { set.writeTextMacro(setOut.c_str()); },
         [&] { writeTextMacroFile(set.MMF, setOut.c_str()); }},
        {"macroClass::writeBinaryMacro", [&] { set.writeBinaryMacro(binaryOut.c_str()); },
         [&] { writeBinaryMacroFile(set.MMF, binaryOut.c_str()); }},
        {"macroClass::dumpModel", [&] { set.dumpModel(0, m); }, [&] { dumpModelOf(set.MMF, 0, m); }},
        {"macroClass::findSubstituteModel", [&] { set.findSubstituteModel("sil"); },
         [&] { findSubstituteModelOf(set.MMF, "sil"); }},
        {"macroClass::writeModelFile", [&] { set.writeModelFile("set.mod"); },
         [&] { mac2mod::writeModelFile(set, "ModelNames.txt", "set.mod"); }},
    };

    for (const Wrapper &w : wrappers) {
        SCOPED_TRACE(w.name);
        Outcome thrown = runReporting(w.throwing);
        ASSERT_NE(thrown.status, 0) << "the case does not fail";
        Outcome exited = runCaptured(w.exiting);
        EXPECT_TRUE(exited.exited);
        EXPECT_EQ(exited.status, thrown.status);
        EXPECT_EQ(exited.out, thrown.out);
    }
}
