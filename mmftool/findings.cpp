#include "mmftool/findings.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "utility/error.h"

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

void lineIndex::add(const char *bytes, size_t n)
{
    for (const char *p = bytes, *end = bytes + n; (p = static_cast<const char *>(std::memchr(p, '\n', end - p)));
         p++)
        ends_.push_back(size_ + (p - bytes));
    size_ += static_cast<long>(n);
}

void lineIndex::place(std::vector<finding> &findings, const std::string &path) const
{
    for (finding &f : findings) {
        if (f.file != path || f.offset < 0 || f.binary)
            continue;
        // Lines are counted from 1, columns from 1 after the line end before the offset.
        size_t before = std::lower_bound(ends_.begin(), ends_.end(), f.offset) - ends_.begin();
        f.line = static_cast<int>(before) + 1;
        f.column = static_cast<int>(f.offset - (before > 0 ? ends_[before - 1] : -1));
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
