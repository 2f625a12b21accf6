// The one table of file name extensions: which form a file of the project is read or written
// in, as its last extension says. The readers, the writers, mmftool and the import all choose
// by it.
#pragma once

#include <cstring>

#include "utility/fileUtil.h"

enum class fileForm { none, text, binary, model };

inline fileForm fileFormOf(const char *path)
{
    static constexpr struct {
        const char *extension;
        fileForm form;
    } table[] = {
        {"mac", fileForm::text},    {"MAC", fileForm::text},    // text macro file
        {"macb", fileForm::binary}, {"MACB", fileForm::binary}, // binary macro file
        {"mod", fileForm::model},   {"MOD", fileForm::model},   // the recogniser's model file
    };
    const char *extension = fileExtension(path);
    for (const auto &entry : table)
        if (std::strcmp(extension, entry.extension) == 0)
            return entry.form;
    return fileForm::none;
}
