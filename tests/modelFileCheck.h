// For tests that produce model files: the file reads back consistent to its last byte.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "export/modelFileReader.h"
#include "utility/error.h"

inline ::testing::AssertionResult consistentModelFile(const std::string &path)
{
    try {
        readModelFile(path.c_str());
        return ::testing::AssertionSuccess();
    } catch (const mac2mod::error &e) {
        return ::testing::AssertionFailure() << path << ": " << e.message();
    }
}
