// The scanner must agree with fscanf on every input: result, value and the position after
// each conversion. These tests run both side by side on the same bytes.
#include <gtest/gtest.h>

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
