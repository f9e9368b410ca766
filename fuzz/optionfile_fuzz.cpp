// Fuzzes the option file reader: the input is the content of an option file,
// read through "-f" as volk would, first and second pass included.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/cmdrecord.h"
#include "cli/parser.h"
#include "command/operands.h"

namespace {

std::string g_file;

bool IsBlank(uint8_t ch) { return ch == ' ' || ch == '\r' || ch == '\n'; }

// Tokens that would reach outside the run (-o appends to any file; device
// files can block a read) are overwritten with letters of the same length,
// so that the file keeps its size and its token boundaries.
std::string Harmless(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    size_t start = 0;
    while (start < text.size()) {
        while (start < text.size() && IsBlank(uint8_t(text[start])))
            ++start;
        size_t end = start;
        while (end < text.size() && !IsBlank(uint8_t(text[end])))
            ++end;
        std::string token = text.substr(start, end - start);
        bool outside = OptionIs(token, "-o") || token.find("/dev") != std::string::npos ||
                       token.find("/proc") != std::string::npos ||
                       token.find("/sys") != std::string::npos;
        if (outside)
            text.replace(start, end - start, end - start, 'q');
        start = end;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    char name[] = "/tmp/optionfile_fuzz_XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0)
        close(fd);
    g_file = name;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (g_file.empty())
        return 0;
    std::FILE *fp = std::fopen(g_file.c_str(), "wb");
    if (!fp)
        return 0;
    std::string text = Harmless(data, size);
    std::fwrite(text.data(), 1, text.size(), fp);
    std::fclose(fp);
    const char *argv[] = {"volk", "-f", g_file.c_str()};
    ResetCommandRecord();
    ParseArg(3, argv);
    ResetCommandRecord();
    return 0;
}
