// Where a macro file reader stopped on malformed input: the readers record it just before they
// report, so that a tool can show the place beneath the reader's own message. The converter
// never looks at it.
#pragma once

#include <string>

struct readPosition {
    std::string path;    // empty: no reader has stopped on malformed input
    long offset = -1;    // of the offending token (text) or field (binary), from the file's start
    bool binary = false;
};

const readPosition &lastReadPosition();
void setReadPosition(const char *path, long offset, bool binary);
