// The scanner must agree with fscanf on every input: result, value and the position after
// each conversion. These tests run both side by side on the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "hmm/macroScanner.h"
#include "utility/byteOrder.h"

namespace {

enum class op { token, integer, real, name, rest };

FILE *streamOf(const std::string &text)
{
    FILE *f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

// Runs the same conversions through fscanf and the scanner and reports the first difference.
std::string compare(const std::string &text, const std::vector<op> &ops, size_t bufferSize)
{
    FILE *ref = streamOf(text);
    FILE *mine = streamOf(text);
    macroScanner scanner(mine, bufferSize);
    std::string difference;
    for (size_t k = 0; k < ops.size() && difference.empty(); k++) {
        bool refOk = false, myOk = false;
        std::string refText = "unchanged", myText = "unchanged";
        uint32_t refBits = 7, myBits = 7;
        char refBuf[1000] = "unchanged", myBuf[1000] = "unchanged";
        switch (ops[k]) {
        case op::token:
            refOk = std::fscanf(ref, "%999s", refBuf) == 1;
            myOk = scanner.token(myBuf, sizeof myBuf) == macroScanner::ok;
            break;
        case op::name:
            refOk = std::fscanf(ref, " \"%999[^\"]\"", refBuf) == 1;
            myOk = scanner.quotedName(myBuf, sizeof myBuf) == macroScanner::ok;
            break;
        case op::rest:
            refOk = std::fscanf(ref, " %999[^\n]", refBuf) == 1;
            myOk = scanner.restOfLine(myBuf, sizeof myBuf) == macroScanner::ok;
            break;
        case op::integer: {
            int refValue = 7, myValue = 7;
            refOk = std::fscanf(ref, "%d", &refValue) == 1;
            myOk = scanner.integer(myValue) == macroScanner::ok;
            refBits = static_cast<uint32_t>(refValue);
            myBits = static_cast<uint32_t>(myValue);
            break;
        }
        case op::real: {
            float refValue = 7, myValue = 7;
            refOk = std::fscanf(ref, "%e", &refValue) == 1;
            myOk = scanner.real(myValue) == macroScanner::ok;
            refBits = floatBits(refValue);
            myBits = floatBits(myValue);
            break;
        }
        }
        refText = refBuf;
        myText = myBuf;
        long refPos = std::ftell(ref);
        if (refOk != myOk || refBits != myBits || refText != myText || refPos != scanner.offset())
            difference = "conversion " + std::to_string(k) + " of type " +
                         std::to_string(static_cast<int>(ops[k])) + " on \"" + text +
                         "\": fscanf ok=" + std::to_string(refOk) + " bits=" + std::to_string(refBits) +
                         " text=" + refText + " pos=" + std::to_string(refPos) +
                         "; scanner ok=" + std::to_string(myOk) + " bits=" + std::to_string(myBits) +
                         " text=" + myText + " pos=" + std::to_string(scanner.offset());
    }
    std::fclose(ref);
    std::fclose(mine);
    return difference;
}

void expectAgreement(const std::vector<std::string> &inputs, op kind)
{
    for (const std::string &input : inputs)
        for (size_t bufferSize : {size_t(1) << 20, size_t(3)})
            EXPECT_EQ(compare(input, {kind, kind, op::token}, bufferSize), "");
}

}  // namespace

TEST(macroScanner, realsAgreeWithFscanf)
{
    expectAgreement({"1.5", "-2.0e-03", "1.000000e+000", "+.5e-3x", ".5", "5.", "-0", "1e", "1ex",
                     "1e+x", "1e+", "1e+-5", "1e5e", "1.5.3", ".", "..", "-", "+", "-x", "e5", ".e5",
                     "inf", "INFINITY", "-inf", "infx", "infinit", "infinityx", "infix", "inx", "IN",
                     "nan", "-nan", "NaN(1)", "nax", "0x", "0X", "0x.", "0x.p1", "0x1p3", "0x1p",
                     "0x1P+", "0xg", "0xx", "-0x", "0xp3", "0x1e3", "0x1.8p-1", "00x1", "1,5",
                     "1e99", "3.5e38", "1e-50", "1e-40", "1e-45", "7e-46", "1e0005", "",
                     "   ", "\n\t 7", "<MEAN>", "12abc", "1" + std::string(300, '0'),
                     "0." + std::string(300, '0') + "1", "2.5 3.5\n-4.25e+01", "16777217", "16777219", "-1.6777217e7",
                     "3.0000001192092896e-1"},
                    op::real);
}

TEST(macroScanner, integersAgreeWithFscanf)
{
    expectAgreement({"1", "-", "+5", "-x", "--1", "+-3", "4294967297", "99999999999999999999",
                     "-2147483649", "2147483648", "-9223372036854775809", "0x10", " 12abc", "", "x",
                     "24\n<VARIANCE>", "007", std::string(40, '9')},
                    op::integer);
}

TEST(macroScanner, textConversionsAgreeWithFscanf)
{
    expectAgreement({"~h \"sil\"", "\"a b\"", "\"\"", "x\"a\"", " \"unterminated", "\"",
                     "\"line\nbreak\" <BEGINHMM>", "\"a\"\"b\""},
                    op::name);
    expectAgreement({"<DIAGC> <NULLD> <USER>\n~h", "tok\n\n  rest of line  \nnext", "a", "", "a\n"},
                    op::rest);
    expectAgreement({"~o <STREAMINFO> 1 24", "", " \t\n", std::string("a\0b c", 5), "\xff\x80 x"},
                    op::token);
}

TEST(macroScanner, tooLongFieldsAreReportedNotStored)
{
    FILE *f = streamOf(std::string(999, 'a') + " " + std::string(1000, 'b') + " \"" +
                       std::string(1000, 'c') + "\"");
    macroScanner scanner(f);
    char buf[1000];
    EXPECT_EQ(scanner.token(buf, sizeof buf), macroScanner::ok);
    EXPECT_EQ(std::strlen(buf), 999u);
    std::strcpy(buf, "kept");
    EXPECT_EQ(scanner.token(buf, sizeof buf), macroScanner::tooLong);
    EXPECT_STREQ(buf, "kept");
    std::fclose(f);

    f = streamOf("\"" + std::string(1000, 'c') + "\"");
    macroScanner names(f);
    EXPECT_EQ(names.quotedName(buf, sizeof buf), macroScanner::tooLong);
    std::fclose(f);
}

// Random mixtures of the format's pieces, run through random conversion sequences.
TEST(macroScanner, generatedInputsAgreeWithFscanf)
{
    const std::vector<std::string> pieces = {
        "1", "-2.5", "3.000000e+00", "-1.234567e-05", "+7", ".5", "5.", "e", "E", "x", "0x", "0x1p",
        "inf", "nan", "in", "infinity", "-", "+", ".", "<MEAN>", "24", "~h", "\"", "\"a b\"", "abc",
        "1e", "1e+", "99999999999", "\n", " ", "\t", "  ", "\r\n", "0", "00", "p", "9e99", "1e-45"};
    std::mt19937 random(12345);
    for (int trial = 0; trial < 4000; trial++) {
        std::string text;
        int n = 1 + static_cast<int>(random() % 12);
        for (int k = 0; k < n; k++)
            text += pieces[random() % pieces.size()];
        std::vector<op> ops;
        for (int k = 0; k < 6; k++)
            ops.push_back(static_cast<op>(random() % 5));
        std::string difference = compare(text, ops, trial % 2 ? 2 : 1 << 20);
        ASSERT_EQ(difference, "");
    }
}

// Decimal numbers of every length and exponent, as a model file holds them and beyond.
TEST(macroScanner, generatedDecimalsAgreeWithFscanf)
{
    std::mt19937 random(99);
    for (int trial = 0; trial < 20000; trial++) {
        std::string text;
        for (int n = 0; n < 8; n++) {
            char buf[64];
            switch (random() % 3) {
            case 0:
                std::snprintf(buf, sizeof buf, "%e", std::ldexp(static_cast<double>(random()) / 4294967296.0, static_cast<int>(random() % 200) - 100) * (random() % 2 ? 1 : -1));
                break;
            case 1:
                std::snprintf(buf, sizeof buf, "%.*g", static_cast<int>(1 + random() % 20), static_cast<double>(random()) * std::pow(10.0, static_cast<int>(random() % 90) - 45));
                break;
            default: {
                std::string digits;
                for (int d = static_cast<int>(random() % 25); d >= 0; d--)
                    digits += static_cast<char>('0' + random() % 10);
                digits.insert(random() % (digits.size() + 1), ".");
                std::snprintf(buf, sizeof buf, "%se%d", digits.c_str(), static_cast<int>(random() % 80) - 40);
            }
            }
            text += buf;
            text += random() % 2 ? " " : "\n";
        }
        ASSERT_EQ(compare(text, std::vector<op>(8, op::real), 1 << 20), "");
    }
}

// The run of reals the reader takes in one call, as the reader drives it: printed values in
// one go, anything else one at a time; every value, result and position as fscanf has them.
TEST(macroScanner, printedRunsAgreeWithFscanf)
{
    std::mt19937 random(2024);
    const std::vector<std::string> odd = {"1e5",   "+1.000000E+00", "-0.000000e-00", "1.0000000e+00",
                                          "nan",   "-inf",          "1.234567e+99",  "9.999999e-46",
                                          "x",     "1.234567e+1",   "1.234567e+012", "1.23456e+01",
                                          "0x1p3", "1.000000e+00x", "-.500000e+00",  "1.234567f+01",
                                          "1.23456:e+00", "1/234567e+00", "1.234567e+0/", "1.234567e,01"};
    for (int trial = 0; trial < 3000; trial++) {
        std::string text;
        const int count = 1 + static_cast<int>(random() % 30);
        for (int n = 0; n < count; n++) {
            char buf[64];
            if (random() % 8 == 0)
                std::snprintf(buf, sizeof buf, "%s", odd[random() % odd.size()].c_str());
            else
                std::snprintf(buf, sizeof buf, "%e", std::ldexp(static_cast<double>(random()) / 4294967296.0, static_cast<int>(random() % 160) - 80) * (random() % 2 ? 1 : -1));
            text += buf;
            text += random() % 4 ? " " : random() % 2 ? "\n" : "\t ";
        }
        for (size_t bufferSize : {size_t(1) << 20, size_t(17)}) {
            SCOPED_TRACE(text);
            FILE *ref = streamOf(text);
            FILE *mine = streamOf(text);
            macroScanner scanner(mine, bufferSize);
            std::vector<float> mineValues(count, 7.0f), refValues(count, 7.0f);
            for (int v = 0;;) {
                const int run = scanner.printedReals(mineValues.data() + v, count - v);
                for (int k = v; k < v + run; k++)
                    ASSERT_EQ(std::fscanf(ref, "%e", &refValues[k]), 1);
                v += run;
                ASSERT_EQ(std::ftell(ref), scanner.offset());
                if (v == count)
                    break;
                const bool refOk = std::fscanf(ref, "%e", &refValues[v]) == 1;
                ASSERT_EQ(refOk, scanner.real(mineValues[v]) == macroScanner::ok);
                ASSERT_EQ(std::ftell(ref), scanner.offset());
                v++;
            }
            for (int k = 0; k < count; k++)
                ASSERT_EQ(floatBits(refValues[k]), floatBits(mineValues[k])) << k;
            std::fclose(ref);
            std::fclose(mine);
        }
    }
}

namespace {

// A positive decimal: its significant digits, and the power of ten of the last one.
struct decimal {
    std::string digits;
    int power;
};

// x to the given number of significant digits, as "%e" rounds it (exactly, with enough).
decimal decimalOf(double x, int significant)
{
    char buf[200];
    std::snprintf(buf, sizeof buf, "%.*e", significant - 1, x);
    const char *e = std::strchr(buf, 'e');
    decimal d{std::string(static_cast<const char *>(buf), e), std::atoi(e + 1) - (significant - 1)};
    if (significant > 1)
        d.digits.erase(1, 1);
    return d;
}

// The decimal one unit of its last digit above (step 1) or below (step -1).
decimal stepped(decimal d, int step)
{
    for (size_t k = d.digits.size(); k-- > 0;) {
        char &digit = d.digits[k];
        if (digit != (step > 0 ? '9' : '0')) {
            digit = static_cast<char>(digit + step);
            return d;
        }
        digit = step > 0 ? '0' : '9';
    }
    d.digits.insert(0, "1");
    return d;
}

std::string scientific(const decimal &d)
{
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "e%+03d", d.power + static_cast<int>(d.digits.size()) - 1);
    return d.digits.substr(0, 1) + "." + d.digits.substr(1) + exponent;
}

std::string plain(const decimal &d)
{
    if (d.power >= 0)
        return d.digits + std::string(d.power, '0');
    const int point = static_cast<int>(d.digits.size()) + d.power;
    if (point <= 0)
        return "0." + std::string(-point, '0') + d.digits;
    return d.digits.substr(0, point) + "." + d.digits.substr(point);
}

// Reads the values of text, one space after each, with real() alone or, as the text reader
// does, in runs of printedReals() with real() between them; returns how many differ from
// strtof (value, success, or the place where the read ended) and the first of them.
std::string differencesFromStrtof(const std::string &text, bool inRuns)
{
    std::vector<size_t> ends;
    for (size_t k = text.find(' '); k != std::string::npos; k = text.find(' ', k + 1))
        ends.push_back(k);
    FILE *f = streamOf(text);
    macroScanner scanner(f);
    std::vector<float> values(ends.size(), 7.0f);
    std::vector<bool> read(ends.size());
    std::vector<long> offsets(ends.size(), -1);
    for (size_t v = 0; v < ends.size();) {
        if (inRuns) {
            const int run = scanner.printedReals(values.data() + v, static_cast<int>(ends.size() - v));
            for (int k = 0; k < run; k++)
                read[v++] = true;
            if (run > 0)
                offsets[v - 1] = scanner.offset();
            if (v == ends.size())
                break;
        }
        read[v] = scanner.real(values[v]) == macroScanner::ok;
        offsets[v++] = scanner.offset();
    }
    std::fclose(f);
    std::string first;
    int differences = 0;
    for (size_t v = 0, start = 0; v < ends.size(); start = ends[v++] + 1) {
        const std::string number = text.substr(start, ends[v] - start);
        const float expected = std::strtof(number.c_str(), nullptr);
        const bool offsetDiffers = offsets[v] >= 0 && offsets[v] != static_cast<long>(ends[v]);
        if (!read[v] || floatBits(values[v]) != floatBits(expected) || offsetDiffers) {
            if (differences++ == 0)
                first = number + " read as " + std::to_string(floatBits(values[v])) + ", strtof " +
                        std::to_string(floatBits(expected)) + (offsetDiffers ? ", ends elsewhere" : "");
        }
    }
    return differences ? std::to_string(differences) + " differ, first " + first : "";
}

}  // namespace

// The halfway points between adjacent floats, and the decimals one unit of the last digit
// beside them, for every decimal exponent a float has (and the one below, where the halfway
// point between 0 and the least subnormal lies): as "%e" prints them (seven digits),
// with sixteen digits (the most the fast conversion takes, where a double rounded to the
// halfway point can hide which side the decimal is on) and exactly; each in scientific and
// in plain notation.
TEST(macroScanner, nearHalfwayDecimalsReadAsStrtof)
{
    std::mt19937 random(7);
    for (int significant : {7, 16, 0}) {
        std::string scientificText, plainText;
        for (int exponent = -46; exponent <= 38; exponent++) {
            // The floats of [10^exponent, 10^(exponent + 1)); the greatest one's successor is inf.
            const uint32_t low = floatBits(std::strtof(("1e" + std::to_string(exponent)).c_str(), nullptr));
            const uint32_t high = floatBits(std::strtof(("1e" + std::to_string(exponent + 1)).c_str(), nullptr));
            for (int k = 0; k < 60; k++) {
                const float below = bitsFloat(low + static_cast<uint32_t>(random() % (high - low)));
                const double halfway = below + std::ldexp(0.5, std::max(std::ilogb(below), -126) - 23);
                decimal d = decimalOf(halfway, significant ? significant : 160);
                while (!significant && d.digits.size() > 1 && d.digits.back() == '0') {
                    d.digits.pop_back();
                    d.power++;
                }
                const char *sign = k % 2 ? "-" : "";
                for (const decimal &near : {stepped(d, -1), d, stepped(d, 1)}) {
                    scientificText += sign + scientific(near) + " ";
                    plainText += sign + plain(near) + " ";
                }
            }
        }
        for (bool inRuns : {false, true}) {
            SCOPED_TRACE(std::to_string(significant) + " digits" + (inRuns ? ", in runs" : ""));
            EXPECT_EQ(differencesFromStrtof(scientificText, inRuns), "");
            EXPECT_EQ(differencesFromStrtof(plainText, inRuns), "");
        }
    }
}
