// Fatal-error reporting, opening files, and small file and console services.
// The global routines that can fail print their message on standard output and end the
// process; their twins in namespace mac2mod throw the same message and status as
// mac2mod::error instead.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

constexpr int MAX_STR_LEN = 1000;

// Prints "Error: ", the message as plain text and a line end, then ends with status -1.
[[noreturn]] void errorExit(const char *message);
// fopen, or "Error: Cannot open \"path\"." and status -1. Never returns null. The readers
// below fail the same way on a file that opens but cannot be read (a folder).
FILE *fileOpen(const char *path, const char *mode);
// Lines as fgets cuts them into pieces of at most MAX_STR_LEN - 1 characters; a piece that
// fills the buffer is counted and warned about. A last line without a line end is not counted.
int fileLineCount(const char *path);
int fileSize(const char *path);
int streamSize(FILE *stream);
// The text after the last '.' anywhere in the path (directories included), or "".
const char *fileExtension(const char *path);
char *fileExtension(char *path);
// Cuts trailing blanks, tabs, carriage returns and line ends.
void lineTrim(char *line);
char *fileRead(const char *path, int &size);   // malloc'd; the caller frees it
void fileReadString(const char *path, std::string &text);
int returnWait();
void secondsWait(int seconds);

// A stream that is closed when its owner goes.
struct fileCloser {
    void operator()(FILE *stream) const { std::fclose(stream); }
};
using uniqueFile = std::unique_ptr<FILE, fileCloser>;

namespace mac2mod {
// fopen, or the error "Error: Cannot open \"path\".", status -1. Never returns null.
FILE *openFile(const char *path, const char *mode);
// A file whose bytes are read. fopen gives a folder as a stream for reading, but one whose
// reads fail and whose end lies at no real size: it fails as a file that cannot be opened.
uniqueFile openData(const char *path, const char *mode);

// The 1-based line and column (in bytes) of offset: in the text at bytes (at least offset
// long), or in a file; false, with nothing set, when the file cannot be read as far.
void placeInText(const char *bytes, long offset, int &line, int &column);
bool placeInFile(const char *path, long offset, int &line, int &column);
int fileLineCount(const char *path);
int fileSize(const char *path);
char *fileRead(const char *path, int &size);
void fileReadString(const char *path, std::string &text);
}  // namespace mac2mod
