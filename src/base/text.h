// Text helpers shared by every layer: the one place that cuts texts to the
// system's fixed widths, the one WWN formatter and a checked printf-style
// formatter (no fixed buffers at the call sites).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#define TAVRO_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

// Cuts a text to at most max characters.
std::string CutText(std::string_view text, size_t max);
// Copies text into a fixed buffer of size bytes, cut and terminated.
void CopyText(char *dest, size_t size, std::string_view text);
template <size_t N> void CopyText(char (&dest)[N], std::string_view text)
{
    CopyText(dest, N, text);
}

// printf into a std::string of whatever length the result needs.
std::string Format(const char *format, ...) TAVRO_PRINTF(1, 2);
std::string FormatV(const char *format, va_list args) TAVRO_PRINTF(1, 0);

enum class WwnStyle {
    Key,    // "2100000e7a081001": lookups and identities
    Dashed, // "21-00-00-0E-7A-08-10-01": what the user sees
    Colon,  // "21:00:00:0e:7a:08:10:01"
};
std::string WwnText(const uint8_t wwn[8], WwnStyle style = WwnStyle::Key);

// True when two words match whatever their case (selectors, keywords, operands).
bool SameText(std::string_view a, std::string_view b);
