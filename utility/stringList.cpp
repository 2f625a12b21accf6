#include "utility/stringList.h"

#include <cstdio>
#include <cstring>

#include "utility/error.h"

namespace {

// The C library's white-space set in its default locale, independent of any locale set later.
bool isSpaceByte(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int compareKey(const char *key, const std::string &entry, bool prefix)
{
    size_t keyLen = std::strlen(key);
    if (prefix && std::strlen(entry.c_str()) >= keyLen)
        return std::strncmp(key, entry.c_str(), keyLen);
    return std::strcmp(key, entry.c_str());
}

}  // namespace

void listPrint(const std::vector<std::string> &list, const char *name)
{
    if (list.empty())
        std::printf("%s has zero element!\n", name);
    for (size_t i = 0; i < list.size(); i++) {
        std::printf("%s[%zu] = ", name, i);
        std::fwrite(list[i].data(), 1, list[i].size(), stdout);
        std::printf("\n");
    }
    std::fflush(stdout);
}

void listJoin(const std::vector<std::string> &list, const char *separator, std::string &out)
{
    out.clear();
    for (size_t i = 0; i < list.size(); i++) {
        if (i > 0)
            out += separator;
        out += list[i];
    }
}

// Only the first occurrence of the pattern in an entry is tested against matchPos.
void mac2mod::listMatch(const std::vector<std::string> &list, const char *pattern,
                        std::vector<int> &indices, int matchPos)
{
    indices.clear();
    const size_t patternLen = std::strlen(pattern);
    for (size_t i = 0; i < list.size(); i++) {
        const std::string &entry = list[i];
        size_t p = entry.find(pattern, 0, patternLen);
        if (p == std::string::npos)
            continue;
        bool match;
        switch (matchPos) {
        case 0: match = true; break;
        case 1: match = p == 0; break;
        case 2: match = p + patternLen == entry.size(); break;
        case 3: match = p == 0 && entry.size() == patternLen; break;
        default: raisef(1, "Unknown matchPos\n");
        }
        if (match)
            indices.push_back(static_cast<int>(i));
    }
}

void listMatch(const std::vector<std::string> &list, const char *pattern,
               std::vector<int> &indices, int matchPos)
{
    mac2mod::orExit([&] { mac2mod::listMatch(list, pattern, indices, matchPos); });
}

// Bisection over a list in strcmp order. With prefix set, an entry that begins with the key
// counts as equal: the first one the bisection meets is taken, not necessarily the lowest.
void listSearch(const std::vector<std::string> &list, const char *key,
                std::vector<int> &indices, int prefix)
{
    indices.clear();
    int lo = 0, hi = static_cast<int>(list.size()) - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int order = compareKey(key, list[mid], prefix != 0);
        if (order == 0) {
            indices.push_back(mid);
            return;
        }
        if (order < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
}

// All combinations of one string from each group, joined by "-"; the earlier groups vary
// fastest.
void listExpand(const std::vector<std::vector<std::string>> &groups, std::vector<std::string> &out)
{
    out.clear();
    if (groups.empty())
        return;
    out = groups[0];
    for (size_t g = 1; g < groups.size(); g++) {
        std::vector<std::string> expanded;
        expanded.reserve(out.size() * groups[g].size());
        for (const std::string &alternative : groups[g])
            for (const std::string &stem : out)
                expanded.push_back(stem + "-" + alternative);
        out.swap(expanded);
    }
}

// Inserted text is not searched again. An empty search text would match everywhere without
// end: the string is left as it is.
void stringReplaceAll(std::string &s, const std::string &from, const std::string &to)
{
    if (from.empty())
        return;
    for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size()))
        s.replace(pos, from.size(), to);
}

// ASCII letters only; every other byte stays.
void stringToLower(std::string &s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
}

void stringToUpper(std::string &s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
}

void stringTrim(std::string &s)
{
    size_t first = 0;
    while (first < s.size() && isSpaceByte(s[first]))
        first++;
    size_t last = s.size();
    while (last > first && isSpaceByte(s[last - 1]))
        last--;
    s = s.substr(first, last - first);
}

// Runs of non-white-space bytes before the first line end.
int wordCount(const char *text, int len)
{
    int count = 0;
    bool inWord = false;
    for (int i = 0; i < len; i++) {
        bool space = isSpaceByte(text[i]);
        if (!inWord && !space)
            count++;
        inWord = !space;
        if (text[i] == '\n')
            break;
    }
    return count;
}

int isSeparator(char c)
{
    return c == '\0' || c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// A repeating-key XOR: applying it twice with the same key restores the buffer.
void bufferXor(char *buffer, int bufLen, const char *key, int keyLen)
{
    if (keyLen <= 0)
        return;
    for (int i = 0, j = 0; i < bufLen; i++, j = (j + 1) % keyLen)
        buffer[i] = static_cast<char>(buffer[i] ^ key[j]);
}
