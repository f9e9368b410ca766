// Property files as the reader and the writer see them. The first line of an
// input is the key=value to set (a key starting with an odd byte replaces),
// the rest is the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "frame/props.h"

namespace {

// The value of key in content as PrefGetProperty reads it; null when missing.
const char *Read(std::string &content, const std::string &key)
{
    if (content.empty())
        return nullptr;
    std::FILE *fp = fmemopen(content.data(), content.size(), "r");
    if (!fp)
        return nullptr;
    const char *value = PrefGetProperty(fp, key.c_str());
    std::fclose(fp);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    const size_t newline = input.find('\n');
    const std::string head = input.substr(0, newline);
    std::string content = newline == std::string::npos ? std::string() : input.substr(newline + 1);
    const size_t eq = head.find('=');
    const std::string key = head.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : head.substr(eq + 1);
    const bool replace = !key.empty() && (key[0] & 1);

    Read(content, key);
    if (!PropertyFits(key, value))
        return 0;
    std::string updated = SetPropertyInText(content, key, value, replace);
    // Whatever the file held, a value set with replace reads back as it was set.
    const char *got = Read(updated, key);
    if (replace && !value.empty() && (!got || value != got))
        std::abort();
    // And the key is there to read afterwards, one way or the other.
    if (updated.find(key + "=") == std::string::npos)
        std::abort();
    return 0;
}
