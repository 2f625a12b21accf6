// For tests that produce model files: the file reads back consistent to its last byte.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "export/modelFileReader.h"

inline ::testing::AssertionResult consistentModelFile(const std::string &path)
{
    modelFile file;
    std::string error;
    if (readModelFile(path.c_str(), file, error))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << path << ": " << error;
}
