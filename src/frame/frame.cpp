#include "frame.h"

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

FrameState &Frame()
{
    static FrameState state;
    return state;
}
