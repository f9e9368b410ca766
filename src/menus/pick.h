// Choices that several trees share: a target with the names its command lines
// take, a file name, a yes/no answer turned into the command line's word.
#pragma once

#include <string>
#include <vector>

namespace menus {

// The command line's text of a port number or of kAllPorts ("all").
std::string PortArg(int port);

// One target of a port as the command lines name it.
struct TargetNames {
    std::string wwnn;   // "50-0C-AB-10-00-00-10-00"
    std::string wwpn;   // "50-0C-AB-10-00-00-10-01"
    std::string portId; // "01-04-00"
};

// SelectTarget, then the node name and port ID of the chosen target; 0 with
// the names, or the navigation code (kMenuReturn when the port has none).
int PickTarget(int port, const std::string &title, TargetNames &out);

// A line of text for an operand; 0 with it, or -2 when the user only pressed
// Enter (nothing runs then).
int PromptOperand(const std::string &prompt, std::string &text);

// GetConfirmation for a yes/no operand: 0 with yes set, or a navigation code.
int AskYesNo(const std::string &title, bool &yes);

} // namespace menus
