#include "htk/htkSource.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "htk/htkReal.h"
#include "utility/byteOrder.h"
#include "utility/fileUtil.h"

namespace mac2mod::htk {

namespace {

// Zero bytes after the file, so that the fast number paths may read a little past its end.
constexpr size_t PADDING = 32;

}  // namespace

source::source(const std::string &path) : path_(path), bytes_(path, PADDING)
{
    data_ = bytes_.data();
    size_ = bytes_.size();
}

source::source(const std::string &path, const void *bytes, size_t size)
    : path_(path), bytes_(bytes, size, PADDING)
{
    data_ = bytes_.data();
    size_ = bytes_.size();
}

size_t source::modelHeaderBound(size_t *likely) const
{
    size_t count = 0, headers = 0;
    const char *p = data_;
    const char *end = p + size_;
    while ((p = static_cast<const char *>(std::memchr(p, '~', static_cast<size_t>(end - p)))) != nullptr) {
        p++;
        if (p < end && (*p == 'h' || *p == 'H')) {
            count++;
            headers += p + 1 < end && (isSpace(static_cast<unsigned char>(p[1])) || p[1] == '"') ? 1 : 0;
        }
    }
    if (likely)
        *likely = headers;
    return count;
}

std::string source::place(long offset) const
{
    if (seenBinary_)
        return path_ + ": byte " + std::to_string(offset);
    int line, column;
    placeInText(data_, std::min(offset, static_cast<long>(size_)), line, column);
    return path_ + ":" + std::to_string(line) + ":" + std::to_string(column);
}

void source::fail(long offset, const char *format, ...) const
{
    va_list args;
    va_start(args, format);
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    throw refusal(offset, text);
}

error source::refusal(long offset, const std::string &text) const
{
    error e(place(offset) + ": " + text + "\n", 1);
    e.at(path_, offset);
    if (!seenBinary_) {
        int line, column;
        placeInText(data_, std::min(offset, static_cast<long>(size_)), line, column);
        e.atLine(line, column);
    }
    return e;
}

void source::cutShort(long at, const char *what) const
{
    fail(at, "the file is cut short: it ends inside %s", what);
}

const symbol &source::peek()
{
    if (!peeked_) {
        size_t at = pos_;
        read(peekSymbol_);
        peekEnd_ = pos_;
        pos_ = at;
        peeked_ = true;
    }
    return peekSymbol_;
}

symbol source::next()
{
    if (peeked_) {
        peeked_ = false;
        pos_ = peekEnd_;
        return peekSymbol_;
    }
    symbol s;
    read(s);
    return s;
}

void source::read(symbol &s)
{
    skipSpace();
    s.offset = offset();
    s.binary = false;
    s.text.clear();
    s.code = -1;
    s.letter = 0;
    if (pos_ >= size_) {
        s.kind = symbol::end;
        return;
    }
    const char c = data_[pos_];
    if (c == '<') {
        char upper[40];
        size_t n = 0;
        size_t p = pos_ + 1;
        for (; p < size_ && data_[p] != '>'; p++) {
            unsigned char ch = static_cast<unsigned char>(data_[p]);
            if (ch >= 'a' && ch <= 'z')
                ch = static_cast<unsigned char>(ch - 'a' + 'A');
            else if (!((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_'))
                fail(s.offset, "a keyword must be letters, digits and '_' between < and >");
            if (n == 39)
                fail(s.offset, "a keyword of more than 39 characters");
            upper[n++] = static_cast<char>(ch);
        }
        if (p >= size_)
            cutShort(s.offset, "a keyword");
        pos_ = p + 1;
        s.kind = symbol::keyword;
        s.code = keywordCode(upper, n);
        if (s.code < 0) {
            s.text = parameterKind(std::string(upper, n));
            if (s.text.empty())
                fail(s.offset, "unknown keyword <%.*s>", static_cast<int>(n), upper);
            s.code = PARMKIND;
        }
        if (s.code == EOFSYM) {
            s.offset = offset();
            s.kind = symbol::end;
            s.code = -1;
        }
        return;
    }
    if (c == ':') {
        if (pos_ + 1 >= size_)
            cutShort(s.offset, "a binary keyword");
        seenBinary_ = true;
        int code = static_cast<unsigned char>(data_[pos_ + 1]);
        if (!binaryKeywordKnown(code))
            fail(s.offset, "unknown binary keyword code %d", code);
        pos_ += 2;
        s.kind = symbol::keyword;
        s.code = code;
        s.binary = true;
        return;
    }
    if (c == '~') {
        if (pos_ + 1 >= size_)
            cutShort(s.offset, "a macro introducer");
        char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(data_[pos_ + 1])));
        if (!std::strchr("smuvicxtwdrjbayfgho", letter) || letter == 0)
            fail(s.offset, "unknown macro type ~%c", data_[pos_ + 1]);
        pos_ += 2;
        s.kind = symbol::macro;
        s.letter = letter;
        if (letter != 'o')
            s.text = string();
        return;
    }
    const char *start = data_ + pos_;
    size_t n = 0;
    while (pos_ + n < size_ && n < 20 && !isSpace(static_cast<unsigned char>(start[n])))
        n++;
    fail(s.offset, "expected a keyword or a macro, found \"%.*s\"", static_cast<int>(n), start);
}

std::string source::string()
{
    peeked_ = false;
    skipSpace();
    long start = offset();
    if (pos_ >= size_)
        cutShort(start, "a name");
    std::string out;
    const char quote = data_[pos_];
    if (quote == '"' || quote == '\'') {
        pos_++;
        for (;;) {
            if (pos_ >= size_)
                cutShort(start, "a quoted name");
            char c = data_[pos_++];
            if (c == quote)
                break;
            if (c == '\\') {
                if (pos_ >= size_)
                    cutShort(start, "a quoted name");
                if (pos_ + 2 < size_ && data_[pos_] >= '0' && data_[pos_] <= '7' &&
                    data_[pos_ + 1] >= '0' && data_[pos_ + 1] <= '7' && data_[pos_ + 2] >= '0' &&
                    data_[pos_ + 2] <= '7') {
                    c = static_cast<char>(((data_[pos_] - '0') << 6) | ((data_[pos_ + 1] - '0') << 3) |
                                          (data_[pos_ + 2] - '0'));
                    pos_ += 3;
                } else {
                    c = data_[pos_++];
                }
            }
            out += c;
            if (out.size() > 1023)
                fail(start, "a name is longer than 1023 characters");
        }
    } else {
        while (pos_ < size_ && !isSpace(static_cast<unsigned char>(data_[pos_]))) {
            char c = data_[pos_++];
            if (c == '\\' && pos_ < size_)
                c = data_[pos_++];
            out += c;
            if (out.size() > 1023)
                fail(start, "a name is longer than 1023 characters");
        }
    }
    return out;
}

uint16_t source::binary16(long at)
{
    if (static_cast<size_t>(at) + 2 > size_)
        cutShort(at, "a binary number");
    const unsigned char *p = reinterpret_cast<const unsigned char *>(data_ + at);
    const unsigned big = (p[0] << 8) | p[1], little = (p[1] << 8) | p[0];
    // The first binary integer of a file is a count (of streams, states, values): small in
    // the order it was written in. HTK writes big-endian unless told otherwise.
    if (!orderKnown_) {
        orderKnown_ = true;
        little_ = big > 255 && little <= 255;
    }
    return static_cast<uint16_t>(little_ ? little : big);
}

uint32_t source::binary32(long at)
{
    if (static_cast<size_t>(at) + 4 > size_)
        cutShort(at, "a binary number");
    const unsigned char *p = reinterpret_cast<const unsigned char *>(data_ + at);
    return little_ ? (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | uint32_t(p[0])
                   : getBE32(p);
}

int source::integer(bool binary)
{
    peeked_ = false;
    if (binary) {
        long at = offset();
        int v = static_cast<int16_t>(binary16(at));
        pos_ += 2;
        return v;
    }
    skipSpace();
    long start = offset();
    if (pos_ >= size_)
        cutShort(start, "a number");
    size_t p = pos_;
    bool negative = false;
    if (data_[p] == '-' || data_[p] == '+')
        negative = data_[p++] == '-';
    if (p >= size_ || !realText::isDigit(data_[p]))
        fail(start, "expected an integer");
    long long v = 0;
    for (; p < size_ && realText::isDigit(data_[p]); p++)
        if (v < INT_MAX)
            v = v * 10 + (data_[p] - '0');
    if (v > INT_MAX)
        v = INT_MAX;
    pos_ = p;
    return static_cast<int>(negative ? -v : v);
}

float source::real(bool binary)
{
    peeked_ = false;
    if (binary) {
        uint32_t bits = binary32(offset());
        pos_ += 4;
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    skipSpace();
    float v = 0;
    size_t n = pos_ < size_ ? parseReal(data_ + pos_, data_ + size_, v) : 0;
    if (n == 0) {
        if (pos_ >= size_)
            cutShort(offset(), "a number");
        fail(offset(), "expected a real number");
    }
    pos_ += n;
    return v;
}

void source::reals(bool binary, float *out, int n, long *offsets)
{
    peeked_ = false;
    if (binary) {
        size_t bytes = static_cast<size_t>(n) * 4;
        if (pos_ + bytes > size_)
            cutShort(offset(), "a run of binary numbers");
        for (int k = 0; offsets && k < n; k++)
            offsets[k] = offset() + 4 * k;
        if (little_)
            for (int k = 0; k < n; k++) {
                const uint32_t word = binary32(offset() + 4 * k);
                std::memcpy(out + k, &word, 4);
            }
        else
            getBE32Floats(reinterpret_cast<const unsigned char *>(data_ + pos_), out, n);
        pos_ += bytes;
        return;
    }
    const char *base = data_;
    const char *limit = base + size_;
    for (int k = 0; k < n; k++) {
        while (pos_ < size_ && isSpace(static_cast<unsigned char>(base[pos_])))
            pos_++;
        if (offsets)
            offsets[k] = offset();
        size_t used = parseReal(base + pos_, limit, out[k]);
        if (used == 0) {
            if (pos_ >= size_)
                cutShort(offset(), "a run of numbers");
            fail(offset(), "expected a real number (value %d of %d)", k + 1, n);
        }
        pos_ += used;
    }
}

void source::skipReals(bool binary, long n)
{
    peeked_ = false;
    if (n < 0)
        fail(offset(), "a negative count");
    if (binary) {
        if (pos_ + static_cast<size_t>(n) * 4 > size_)
            cutShort(offset(), "a run of binary numbers");
        pos_ += static_cast<size_t>(n) * 4;
        return;
    }
    float scratch;
    for (long k = 0; k < n; k++)
        reals(false, &scratch, 1);
}

void source::skipAdaptationBody()
{
    peeked_ = false;
    bool referenceAllowed = false;
    for (;;) {
        skipSpace();
        if (pos_ >= size_)
            return;
        const char c = data_[pos_];
        if (c == ':')
            fail(offset(), "an adaptation macro in binary form cannot be read past");
        if (c == '~') {
            if (!referenceAllowed)
                return;
            pos_ += pos_ + 1 < size_ ? 2 : 1;
            string();
            referenceAllowed = false;
            continue;
        }
        referenceAllowed = false;
        if (c == '<') {
            symbol s;
            read(s);
            referenceAllowed = s.code == BASECLASS || s.code == PARENTXFORM || s.code == INPUTXFORM;
            continue;
        }
        if (c == '"' || c == '\'') {
            string();
            continue;
        }
        while (pos_ < size_ && !isSpace(static_cast<unsigned char>(data_[pos_])) && data_[pos_] != '<')
            pos_++;
    }
}

}  // namespace mac2mod::htk
