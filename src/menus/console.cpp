// Console input of the menus: whole lines of standard input, read byte by
// byte so that a script of answers on a pipe is consumed one answer per read
// and the key polling of the long-running tests sees what is left.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/guard.h"
#include "base/oss.h"
#include "frame/messages.h"
#include "menus/console.h"
#include "menus/menu.h"
#include "tavro_api.h"

namespace menus {

namespace {

bool g_inputEnded = false;

} // namespace

bool InputEnded() { return g_inputEnded; }

void ResetInputEnded() { g_inputEnded = false; }

void MarkInputEnded() { g_inputEnded = true; }

bool ReadInputLine(std::string &line, size_t &count)
{
    line.clear();
    count = 0;
    for (;;) {
        int c = oss::ReadConsoleByte();
        if (c < 0) {
            // A last line without its line feed still counts; after it, nothing.
            if (count == 0) {
                g_inputEnded = true;
                return false;
            }
            return true;
        }
        if (c == '\n')
            break;
        // CR is no character of an answer: a script with CR LF line ends, or
        // the Enter that aborted a test (polling hands it over as CR), would
        // otherwise spoil the answer it lands in.
        if (c == '\r')
            continue;
        ++count;
        // The buffer starts over when full; only the count remembers the rest.
        if (line.size() == kInputBufferSize - 1)
            line.clear();
        line.push_back(static_cast<char>(c));
    }
    return true;
}

int StandardInput(char *buffer, size_t size)
{
    std::string line;
    size_t count = 0;
    if (!ReadInputLine(line, count)) {
        Trace(kLevelDebug, "TUIX_GetStandardUserInput:  Nothing entered!");
        if (buffer && size)
            buffer[0] = '\0';
        return -2;
    }
    for (char c : line)
        Trace(kLevelDebug, "Got character %c", c);
    // Control characters end the text.
    for (size_t i = 0; i < line.size(); ++i)
        if (std::iscntrl(static_cast<unsigned char>(line[i]))) {
            line.resize(i);
            break;
        }
    if (count >= kStandardInputSize || !buffer || size == 0 || line.size() >= size)
        return -1;
    if (line.empty()) {
        Trace(kLevelDebug, "TUIX_GetStandardUserInput:  Nothing entered!");
        buffer[0] = '\0';
        return -2;
    }
    std::memcpy(buffer, line.data(), line.size());
    buffer[line.size()] = '\0';
    return 0;
}

int DefaultMenuInput(long &value, long def, int maxLength)
{
    std::string line;
    size_t count = 0;
    if (!ReadInputLine(line, count)) {
        value = def;
        return -2;
    }
    bool usable = count <= static_cast<size_t>(maxLength > 0 ? maxLength : 0);
    std::string digits;
    for (char c : line) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits.push_back(c);
        } else {
            Trace(kLevelDebug, "Character %c not a digit.\n", c);
            usable = false;
        }
    }
    if (!usable || count >= kInputBufferSize) {
        value = -1;
        return -1;
    }
    value = digits.empty() ? def : std::strtol(digits.c_str(), nullptr, 10);
    Trace(kLevelDebug, "TUIX_GetDefaultMenuUserInput: InputValue=%ld", value);
    return 0;
}

int PromptText(const std::string &prompt, std::string &text, size_t maxLength)
{
    std::printf("%s", prompt.c_str());
    std::fflush(stdout);
    std::string buffer(maxLength + 1, '\0');
    int rc = StandardInput(buffer.data(), buffer.size());
    text = rc == 0 ? std::string(buffer.c_str()) : std::string();
    return rc;
}

int PromptNumber(const std::string &prompt, long &value, long def, int maxLength)
{
    std::printf("%s", prompt.c_str());
    std::fflush(stdout);
    return DefaultMenuInput(value, def, maxLength);
}

int PromptFilename(std::string &path)
{
    return PromptText("Enter a file name or Hit <Enter> to abort: ", path, kFileNameSize - 1);
}

void PressEnterToContinue(bool listing)
{
    std::printf("%s",
                listing ? "\n\t\tPress <Enter> to continue: " : "\n\tPress <Enter> to continue: ");
    std::fflush(stdout);
    if (!oss::WaitForLineFeed())
        g_inputEnded = true;
}

} // namespace menus

extern "C" {

TAVRO_API int32_t TUIX_GetStandardUserInput(char *buffer, int32_t size)
{
    return GuardExport<int32_t>(
        -1, [&] { return menus::StandardInput(buffer, size > 0 ? static_cast<size_t>(size) : 0); });
}

TAVRO_API int32_t TUIX_GetDefaultMenuUserInput(int32_t *value, int32_t defaultValue,
                                               int32_t maxLength)
{
    return GuardExport<int32_t>(-1, [&] {
        long v = 0;
        int rc = menus::DefaultMenuInput(v, defaultValue, maxLength);
        if (value)
            *value = static_cast<int32_t>(v);
        return rc;
    });
}

TAVRO_API int32_t TUIX_GetFilename(char *buffer, int32_t size)
{
    return GuardExport<int32_t>(-1, [&] {
        std::printf("Enter a file name or Hit <Enter> to abort: ");
        std::fflush(stdout);
        return menus::StandardInput(buffer, size > 0 ? static_cast<size_t>(size) : 0);
    });
}

} // extern "C"
