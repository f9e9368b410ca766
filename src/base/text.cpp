#include "base/text.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

std::string CutText(std::string_view text, size_t max)
{
    if (text.size() > max)
        text = text.substr(0, max);
    return std::string(text);
}

void CopyText(char *dest, size_t size, std::string_view text)
{
    if (size == 0)
        return;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

std::string FormatV(const char *format, va_list args)
{
    // One pass for the usual short text; a long one is formatted again at its size.
    char shortText[256];
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(shortText, sizeof shortText, format, args);
    std::string out;
    if (n > 0 && static_cast<size_t>(n) < sizeof shortText) {
        out.assign(shortText, static_cast<size_t>(n));
    } else if (n > 0) {
        out.resize(static_cast<size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}

std::string Format(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    std::string out = FormatV(format, ap);
    va_end(ap);
    return out;
}

std::string WwnText(const uint8_t wwn[8], WwnStyle style)
{
    static constexpr char kLower[] = "0123456789abcdef";
    static constexpr char kUpper[] = "0123456789ABCDEF";
    const char *digits = style == WwnStyle::Dashed ? kUpper : kLower;
    const char sep = style == WwnStyle::Dashed ? '-' : style == WwnStyle::Colon ? ':' : '\0';
    std::string out;
    out.reserve(23);
    for (int i = 0; i < 8; ++i) {
        if (i && sep)
            out.push_back(sep);
        out.push_back(digits[wwn[i] >> 4]);
        out.push_back(digits[wwn[i] & 15]);
    }
    return out;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}
