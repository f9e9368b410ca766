#include "device/vpd.h"

bool VpdFindKeyword(const uint8_t *buf, size_t size, const char keyword[2], size_t &offset,
                    size_t &length)
{
    size_t i = 0;
    while (i < size) {
        uint8_t tag = buf[i];
        if (tag == kVpdTagEnd)
            return false;
        if (tag == kVpdTagReadOnly || tag == kVpdTagWritable) {
            i += 3;
            continue;
        }
        if (tag == kVpdTagIdString) {
            if (i + 2 >= size)
                return false;
            i += 3 + (static_cast<size_t>(buf[i + 1]) | static_cast<size_t>(buf[i + 2]) << 8);
            continue;
        }
        if (i + 2 >= size)
            return false;
        size_t len = buf[i + 2];
        if (buf[i] == static_cast<uint8_t>(keyword[0]) &&
            buf[i + 1] == static_cast<uint8_t>(keyword[1])) {
            if (i + 3 + len > size)
                return false;
            offset = i + 3;
            length = len;
            return true;
        }
        i += len + 3;
    }
    return false;
}

std::string VpdKeywordText(const uint8_t *buf, size_t size, const char keyword[2])
{
    size_t off = 0, len = 0;
    if (!VpdFindKeyword(buf, size, keyword, off, len))
        return {};
    std::string text(reinterpret_cast<const char *>(buf + off), len);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\0'))
        text.pop_back();
    return text;
}

uint32_t VpdSizeForFamily(int familyCode)
{
    if (familyCode >= 16)
        return 1024;
    if (familyCode >= 8)
        return 512;
    return 0;
}
