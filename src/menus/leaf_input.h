// What the leaves of the menu trees share: asking for one value with its
// range, and the operands that name the chosen port on a command line.
#pragma once

#include <climits>
#include <functional>
#include <initializer_list>

#include "menus/menu.h"
#include <string>
#include <vector>

namespace menus {

// A refused answer: the message, a pause so that it can be read, and
// kLeafRefused for the caller, which then runs nothing.
constexpr int kLeafRefused = -1;
int RefuseInput(const std::string &message);

// A bare Enter leaves a setting to the command's own default.
constexpr long kNotGiven = LONG_MIN;

// A number from lo to hi, or kNotGiven for a bare Enter. Anything else gets
// the message and kLeafRefused.
int AskNumber(const std::string &prompt, long &value, long lo, long hi, const std::string &message);
// A number that must be one of the listed values, or kNotGiven.
int AskChoice(const std::string &prompt, long &value, std::initializer_list<long> allowed,
              const std::string &message);
// A text; a bare Enter takes def (an empty def means "not given", answered as 0
// with an empty text). kLeafRefused for input that is too long.
int AskText(const std::string &prompt, std::string &text, const std::string &def = "");

// The command line's operand for a port of SelectPort.
std::string PortOperand(int port);

// Appends a name and its value to a command line, unless the value is kNotGiven.
void AppendPair(std::vector<std::string> &args, const char *name, long value);

// What a leaf hands back to its menu: the codes that unwind pass through,
// every other outcome keeps the user in the menu (0).
inline int Stay(int code) { return Unwinds(code) ? code : 0; }

// Chooses a port, then runs body with it; a navigation answer to the port
// choice is handed back as the menu's own.
int WithPort(const std::string &title, bool allowAll, const std::function<int(int)> &body);

// Runs a tree's menu, rebuilt each time round, until the user leaves it.
int RunTree(int port, const std::function<Menu()> &build);

} // namespace menus
