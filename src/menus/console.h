// The console input under the menus and the TUIX_ exports.
#pragma once

#include <cstddef>
#include <string>

namespace menus {

// A menu answer is read into a buffer of this size that starts over when full.
constexpr size_t kInputBufferSize = 1024;
// Free text (TUIX_GetStandardUserInput) and file names.
constexpr size_t kStandardInputSize = 512;
constexpr size_t kFileNameSize = 512;

// One line of standard input without its line feed (CRs dropped): the
// text (the last buffer's worth) and how many characters came. False at end
// of input, which InputEnded then reports.
bool ReadInputLine(std::string &line, size_t &count);
// TUIX_GetStandardUserInput: 0 with the text, -1 too long, -2 nothing entered.
int StandardInput(char *buffer, size_t size);
// TUIX_GetDefaultMenuUserInput: 0 with the number or def, -1 (value -1) when
// unusable, -2 at end of input.
int DefaultMenuInput(long &value, long def, int maxLength);
// Records that standard input has ended (a reader that saw it itself).
void MarkInputEnded();
// Forgets an earlier end of input (tests, and a host that runs the menus again).
void ResetInputEnded();

} // namespace menus
