// mac2mod: converts one macro file (.mac text or .macb binary) into the recogniser's model
// file, in the model order that ModelNames.txt in the working directory gives.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/modelFileName.h"
#include "hmm/macroClass.h"
#include "utility/signalCleanup.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::printf("Usage: %s input.mac\n", argc > 0 ? argv[0] : "mac2mod");
        std::printf("last modified at 20061229\n");
        std::fflush(stdout);
        return -1;
    }
    mac2mod::guardOutputFiles();
    std::string outputPath;
    macroClass myMacro;
    std::printf("Macro --> Model: %s\n", argv[1]);
    std::fflush(stdout);
    myMacro.read(argv[1], 0);
    outputPath = argv[1];
    makeModelFileName(outputPath);
    myMacro.writeModelFile(outputPath);
    return 0;
}
