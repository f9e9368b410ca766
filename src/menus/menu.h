// Added since the first version of this interface (compatible): InputEnded,
// and the -2 answer of the Prompt* routines at end of input.
//
// The menu framework: a menu record, the screen that shows it, the answer read
// from the console, and the console input routines that every menu tree uses.
// Menus draw on the console with printf, never on the output file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace menus {

// What a menu (and every builder) hands back to its caller.
enum MenuCode : int {
    kMenuPrevious = -5, // 0 or p
    kMenuMain = -4,     // 98 or m
    kMenuQuit = -3,     // 99, x or "ex"
    kMenuReturn = -10,  // "Return to Previous Menu", or an adapter that does not offer the menu
};

// True for the codes that unwind past the caller (main menu, quit).
inline bool Unwinds(int code) { return code == kMenuMain || code == kMenuQuit; }

struct MenuItem {
    std::string text;
    int code = 0;
    // Optional: run when the entry is chosen; its result replaces the code.
    std::function<int()> action;
};

// items[0] is the placeholder that is never shown; Menu's constructor adds it.
struct Menu {
    explicit Menu(std::string title);
    Menu &Add(std::string text, int code, std::function<int()> action = {});
    // Adds "Return to Previous Menu" with kMenuReturn.
    Menu &AddReturn();

    std::string title;
    std::vector<MenuItem> items;
};

// The adapter-list port a screen is about (the command line's port number),
// or kNoPort for a screen without an adapter header block.
constexpr int kNoPort = -1;

// Prints the screen: banner, title, adapter header block, entries, footer, prompt.
void ShowMenu(int port, const Menu &menu);
// Reads one answer: 0 with the selection, -1 (selection -1) for unusable input.
int GetMenuSelection(int &selection, int limit);
// ShowMenu and GetMenuSelection until the answer is usable ("Invalid
// selection!" otherwise); runs the chosen entry's action; the answer's code.
int RunMenu(int port, const Menu &menu);

// 1 for "Yes", 2 for "No", or the navigation codes.
int GetConfirmation(const std::string &title);
// Single key presses without echo, '1' on and '0' off per item; Enter ends.
// 0 with the choices ("1011"), -1 when more keys came than maxCount.
int GetMultiSelection(std::string &choices, int maxCount);
// True once standard input has ended (a script of answers ran out): RunMenu
// then answers kMenuQuit at once, so every tree unwinds to the host. A loop
// that asks again after a refused answer must stop on it too.
bool InputEnded();

// "\n\tPress <Enter> to continue: " and a wait for a line feed.
void PressEnterToContinue(bool listing = false);

// Prompted input. Each prints the prompt, reads one line and answers as the
// console routines do: 0 with the value, -2 for a bare Enter, -1 when unusable;
// -2 also at end of input (InputEnded).
int PromptText(const std::string &prompt, std::string &text, size_t maxLength = 511);
// A number; a bare Enter gives def. -1 for a non-digit or too long input.
int PromptNumber(const std::string &prompt, long &value, long def, int maxLength = 10);
// "Enter a file name or Hit <Enter> to abort: "; -2 when aborted.
int PromptFilename(std::string &path);

// Chooses a port of the adapter list ("all" offered when allowAll): the
// command line's port number, kAllPorts, or a navigation code.
constexpr int kAllPorts = -100;
int SelectPort(const std::string &title, bool allowAll = false);
// Lets the user choose one target of a port: its WWPN text as the command
// line takes it, or a navigation code.
int SelectTarget(int port, const std::string &title, std::string &wwpn);

// Runs one command line (without the program name, e.g. {"-c", "0"}) through
// the command table in the running session, exactly as the command line would,
// printing its text output on the console; its status. Commands that change
// the adapter list refresh it afterwards.
int RunMenuCommand(const std::vector<std::string> &args);
// RunMenuCommand, then PressEnterToContinue; the command's status.
int RunAndPause(const std::vector<std::string> &args);

} // namespace menus
