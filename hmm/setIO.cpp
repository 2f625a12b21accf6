#include "hmm/setIO.h"

#include <cstdlib>

#include "export/modelFileWriter.h"
#include "hmm/binaryMacro.h"
#include "hmm/fileForm.h"
#include "hmm/textMacroReader.h"
#include "hmm/textMacroWriter.h"
#include "utility/fileUtil.h"

namespace mac2mod {

namespace {

// The macro file forms; a model file is no set to read or write here.
enum class form { text, binary, other };

form formOf(const std::string &path)
{
    switch (fileFormOf(path.c_str())) {
    case fileForm::text: return form::text;
    case fileForm::binary: return form::binary;
    default: return form::other;
    }
}

// Line and column of e's offset in its text file.
void placeInLines(error &e)
{
    int line, column;
    if (!e.file().empty() && placeInFile(e.file().c_str(), e.offset(), line, column))
        e.atLine(line, column);
}

// Memory that could not be had is reported as the other failures are.
template <class F>
void reporting(F f)
{
    try {
        f();
    } catch (const std::bad_alloc &) {
        throw outOfMemory();
    }
}

void empty(macroClass &set)
{
    std::free(set.MMF.model);
    set.MMF = hmmSet{};
}

}  // namespace

void readSet(macroClass &set, const std::string &path)
{
    readSet(set, path, nullptr);
}

void readSet(macroClass &set, const std::string &path, fieldObserver *observer)
{
    form f = formOf(path);
    if (f == form::other)
        raisef(1, "Error in reading \"%s\": The only allowed extension are \"mac\" and \"macb\".\n",
               path.c_str());
    empty(set);
    try {
        reporting([&] {
            if (f == form::binary)
                readBinaryMacroFile(set.MMF, path.c_str(), observer);
            else
                readTextMacroFile(set.MMF, path.c_str(), 0, observer);
        });
    } catch (error &e) {
        empty(set);
        e.at(path);
        if (f == form::text)
            placeInLines(e);
        throw;
    }
}

void writeSet(const macroClass &set, const std::string &path)
{
    switch (formOf(path)) {
    case form::binary: return reporting([&] { writeBinaryMacroFile(set.MMF, path.c_str()); });
    case form::text: return reporting([&] { writeTextMacroFile(set.MMF, path.c_str()); });
    case form::other: break;
    }
    raisef(1, "Error in writing \"%s\": The only allowed extension are \"mac\" and \"macb\".\n",
           path.c_str());
}

void writeModelFile(const macroClass &set, const std::string &tablePath, const std::string &outputPath)
{
    reporting([&] { writeModelFileOf(set.MMF, tablePath.c_str(), outputPath.c_str()); });
}

}  // namespace mac2mod
