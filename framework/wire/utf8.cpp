#include "framework/wire/utf8.h"

#include <cstring>

namespace krt::wire {

namespace {

// True when no byte of `text` has its top bit set: a few word reads, the last
// one overlapping the one before, instead of a loop over the tail.
bool isAscii(std::string_view text)
{
    const char* b = text.data();
    const size_t n = text.size();
    if (n >= 8) {
        quint64 any = 0, word;
        for (size_t i = 0; i + 8 <= n; i += 8) {
            std::memcpy(&word, b + i, 8);
            any |= word;
        }
        std::memcpy(&word, b + n - 8, 8);
        return ((any | word) & 0x8080808080808080ULL) == 0;
    }
    if (n >= 4) {
        quint32 head, tail;
        std::memcpy(&head, b, 4);
        std::memcpy(&tail, b + n - 4, 4);
        return ((head | tail) & 0x80808080U) == 0;
    }
    unsigned char any = 0;
    for (size_t i = 0; i < n; ++i)
        any |= static_cast<unsigned char>(b[i]);
    return any < 0x80;
}

qsizetype decodeCount(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    qsizetype count = 0;
    while (p < end) {
        // Plain ASCII, eight bytes at a time.
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ULL)
                break;
            p += 8;
            count += 8;
        }
        if (p == end)
            break;
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            ++count;
            continue;
        }
        int extra;
        char32_t cp;
        char32_t min;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
            min = 0x10000;
        } else {
            return -1;
        }
        if (end - p <= extra)
            return -1;
        for (int i = 1; i <= extra; ++i) {
            const unsigned char cc = p[i];
            if ((cc & 0xC0) != 0x80)
                return -1;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return -1;
        p += extra + 1;
        ++count;
    }
    return count;
}

} // namespace

qsizetype utf8CodePoints(std::string_view text)
{
    // Codes, numbers, days: most texts are plain ASCII, one byte a character.
    if (isAscii(text))
        return qsizetype(text.size());
    return decodeCount(text);
}

qsizetype appendUtf8(QByteArray& out, const QString& text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size() * 3);
    auto* w = reinterpret_cast<unsigned char*>(out.data()) + start;
    const auto* w0 = w;
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* end = p + text.size();
    qsizetype count = 0;
    while (p < end) {
        char32_t cp = *p++;
        if (cp >= 0xD800 && cp <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (*p++ - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        ++count;
        if (cp < 0x80) {
            *w++ = static_cast<unsigned char>(cp);
        } else if (cp < 0x800) {
            *w++ = static_cast<unsigned char>(0xC0 | (cp >> 6));
            *w++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *w++ = static_cast<unsigned char>(0xE0 | (cp >> 12));
            *w++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *w++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        } else {
            // Two UTF-16 units became four bytes: still within 3 bytes per unit.
            *w++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
            *w++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            *w++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *w++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        }
    }
    out.resize(start + (w - w0));
    return count;
}

} // namespace krt::wire
