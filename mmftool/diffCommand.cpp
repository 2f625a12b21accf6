// mmftool diff A B [--table TABLE] [--tolerance X] [--top N] [--json]: how far two sets or
// model files lie apart, as text or as one JSON document; exit status 1 when they differ
// beyond the tolerance, 2 when they cannot be compared.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "mmftool/command.h"
#include "mmftool/diff.h"
#include "utility/error.h"

namespace {

// The whole word as a number, or false.
bool parseNumber(const char *text, double &value)
{
    char *end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return end != text && *end == 0 && errno == 0 && std::isfinite(value);
}

}  // namespace

int diffCommand(const commandLine &line)
{
    mac2mod::diffOptions options;
    options.table = line.value("--table", "");
    double number = 0;
    if (const char *tolerance = line.value("--tolerance")) {
        if (!parseNumber(tolerance, number) || number < 0)
            return usageError(line, "--tolerance needs a number of at least 0");
        options.tolerance = number;
    }
    if (const char *top = line.value("--top")) {
        if (!parseNumber(top, number) || number < 0 || number > INT_MAX || number != std::floor(number))
            return usageError(line, "--top needs a whole number of at least 0");
        options.top = static_cast<int>(number);
    }
    nlohmann::ordered_json report;
    try {
        mac2mod::diffSide a = mac2mod::diffSide::read(line.args[0], options.table);
        mac2mod::diffSide b = mac2mod::diffSide::read(line.args[1], options.table);
        report = mac2mod::diff(a, b, options);
    } catch (const mac2mod::error &e) {
        // As diff(1) does: 1 means "they differ", so a side that cannot be read is trouble, 2.
        std::fputs(e.message().c_str(), stdout);
        return 2;
    }
    if (line.has("--json"))
        // Names and paths are bytes, not always UTF-8.
        std::printf("%s\n", report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    else
        std::fputs(mac2mod::diffText(report).c_str(), stdout);
    return report["differs"].get<bool>() ? 1 : 0;
}
