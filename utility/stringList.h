// Editing strings, counting words, masking buffers, and working on lists of strings.
#pragma once

#include <string>
#include <vector>

void listPrint(const std::vector<std::string> &list, const char *name);
void listJoin(const std::vector<std::string> &list, const char *separator, std::string &out);
// matchPos: 0 anywhere, 1 at the start, 2 at the end, 3 the whole entry. Any other value,
// met at an entry that holds the pattern, is "Unknown matchPos" with status 1: printed, and
// the process ends.
void listMatch(const std::vector<std::string> &list, const char *pattern,
               std::vector<int> &indices, int matchPos);
void listSearch(const std::vector<std::string> &list, const char *key,
                std::vector<int> &indices, int prefix);
void listExpand(const std::vector<std::vector<std::string>> &groups, std::vector<std::string> &out);
void stringReplaceAll(std::string &s, const std::string &from, const std::string &to);
void stringToLower(std::string &s);
void stringToUpper(std::string &s);
void stringTrim(std::string &s);
int wordCount(const char *text, int len);
int isSeparator(char c);
void bufferXor(char *buffer, int bufLen, const char *key, int keyLen);

namespace mac2mod {
// listMatch whose unknown matchPos is thrown as mac2mod::error.
void listMatch(const std::vector<std::string> &list, const char *pattern,
               std::vector<int> &indices, int matchPos);
}  // namespace mac2mod
