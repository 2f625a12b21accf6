// Array files (text or raw binary, chosen by the extension txt/TXT or bin/BIN), value logs,
// lists and tab-separated tables.
//
//   int array, text:     "1 2\n3\n"                  (any white space between values)
//   int array, binary:   count x 4-byte little-endian integers, nothing else
//   value log:           one "%f\n" (float) or "%lf\n" (double) line per append
//   table:               one row per line, fields separated by a tab
//
// The array readers fill at most count elements: what the file does not give keeps its old
// value. Any other extension than txt/TXT/bin/BIN is refused (status 1). lineListRead keeps
// empty lines as empty strings; a line starting with the comment character is left out.
// The writers check every write: a failed one removes the partial file (an append restores
// the log as it was) and fails with "Error: cannot write ..." and status -1.
//
// The global routines print a failure's message on standard output and end the process with
// its status; their twins in namespace mac2mod throw it as mac2mod::error.
#pragma once

#include <string>
#include <vector>

void intArrayRead(const char *path, int *values, int count);
void doubleArrayRead(const char *path, double *values, int count);
void intArrayReadTxt(const char *path, int *values, int count);
void doubleArrayReadTxt(const char *path, double *values, int count);
void intArrayReadBin(const char *path, int *values, int count);
void doubleArrayReadBin(const char *path, double *values, int count);
void floatAppend(float value, const char *path);
void doubleAppend(double value, const char *path);
void floatWrite(const char *path, float value);
void intListRead(const char *path, std::vector<int> &list);
void floatListRead(const char *path, std::vector<float> &list);
void intListWrite(const char *path, const std::vector<int> &list);
void stringListWrite(const char *path, const std::vector<std::string> &list);
void bufferWrite(const char *path, const char *bytes, int size);
void lineListRead(const char *path, std::vector<std::string> &lines, char commentChar);
std::vector<std::vector<std::string>> tableRead(const char *path);
void stringSplit(const std::string &text, char delimiter, std::vector<std::string> &fields);

namespace mac2mod {
void intArrayRead(const char *path, int *values, int count);
void doubleArrayRead(const char *path, double *values, int count);
void intArrayReadTxt(const char *path, int *values, int count);
void doubleArrayReadTxt(const char *path, double *values, int count);
void intArrayReadBin(const char *path, int *values, int count);
void doubleArrayReadBin(const char *path, double *values, int count);
void floatAppend(float value, const char *path);
void doubleAppend(double value, const char *path);
void floatWrite(const char *path, float value);
void intListRead(const char *path, std::vector<int> &list);
void floatListRead(const char *path, std::vector<float> &list);
void intListWrite(const char *path, const std::vector<int> &list);
void stringListWrite(const char *path, const std::vector<std::string> &list);
void bufferWrite(const char *path, const char *bytes, int size);
void lineListRead(const char *path, std::vector<std::string> &lines, char commentChar);
std::vector<std::vector<std::string>> tableRead(const char *path);
}  // namespace mac2mod
