#include "mmftool/findings.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "utility/error.h"
#include "utility/fileUtil.h"

void findingList::add(finding f, long vector)
{
    if (vector >= 0 && vector == vector_ && findings_.back().check == f.check) {
        more_++;
        return;
    }
    close();
    findings_.push_back(std::move(f));
    vector_ = vector;
}

void findingList::close()
{
    if (more_ > 0)
        findings_.back().message += formatted(", and so %s %d more of the vector", more_ == 1 ? "is" : "are", more_);
    more_ = 0;
    vector_ = -1;
}

std::vector<finding> findingList::take()
{
    close();
    return std::move(findings_);
}

std::string shownValue(float value)
{
    return std::isnan(value) ? "nan" : formatted("%.9g", value);
}

void placeInLines(std::vector<finding> &findings, const std::string &path)
{
    std::vector<finding *> placed;
    for (finding &f : findings)
        if (f.file == path && f.offset >= 0 && !f.binary)
            placed.push_back(&f);
    if (placed.empty())
        return;
    std::sort(placed.begin(), placed.end(), [](const finding *a, const finding *b) { return a->offset < b->offset; });
    uniqueFile stream(std::fopen(path.c_str(), "rb"));
    if (!stream)
        mac2mod::raisef(-1, "Error: Cannot open \"%s\".\n", path.c_str());
    long at = 0;
    int line = 1, column = 1;
    for (finding *f : placed) {
        for (int c; at < f->offset && (c = std::getc(stream.get())) != EOF; at++) {
            column = c == '\n' ? 1 : column + 1;
            line += c == '\n';
        }
        f->line = line;
        f->column = column;
    }
}

void sortFindings(std::vector<finding> &findings)
{
    auto key = [](const finding &f) { return f.offset < 0 ? LONG_MAX : f.offset; };
    std::stable_sort(findings.begin(), findings.end(),
                     [&](const finding &a, const finding &b) { return key(a) < key(b); });
}

void printFindings(const std::vector<finding> &findings)
{
    for (const finding &f : findings) {
        if (f.offset < 0)
            std::printf("%s: warning: %s\n", f.file.c_str(), f.message.c_str());
        else if (f.binary)
            std::printf("%s: byte %ld: warning: %s\n", f.file.c_str(), f.offset, f.message.c_str());
        else
            std::printf("%s:%d:%d: warning: %s\n", f.file.c_str(), f.line, f.column, f.message.c_str());
    }
}

nlohmann::ordered_json findingsJson(const std::vector<finding> &findings)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const finding &f : findings) {
        nlohmann::ordered_json one = {{"file", f.file}, {"severity", "warning"}, {"check", f.check}, {"message", f.message}};
        if (f.offset >= 0 && f.binary)
            one["byte"] = f.offset;
        else if (f.offset >= 0)
            one.update({{"line", f.line}, {"column", f.column}, {"byte", f.offset}});
        list.push_back(std::move(one));
    }
    return list;
}
