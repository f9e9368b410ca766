// JSON output (--json): the facts of XML form 1 as one JSON document.
//
// The displays do not know about it. In JSON mode the renderer of the run is
// the XML form-1 renderer, whose lines are collected instead of written; at
// the end of the run the collected document becomes one JSON object:
//  - the children of the root element become its members, in document order;
//  - an element with neither attributes nor child elements becomes its text,
//    trimmed; any other element becomes an object of its attributes and
//    children (its own text, if any, under "text");
//  - an element name met more than once under one parent becomes an array of
//    those elements, in order, and so does that name under every parent of
//    the same name in the document (every HBA's Port is an array when one HBA
//    has two ports);
//  - the trailer becomes "status" (the whole status of the run, the exit code
//    before the shell cuts it to 8 bits), "ErrorMsg" (when there is one) and
//    "Reboot" (a number).
// Lines outside any document (rare: a display that printed plain text) are
// kept under "Messages".
#pragma once

#include <string>
#include <string_view>

// Turns on JSON output: XML form 1, collected. False when XML output is
// refused (the parser checks help and the system log first).
void SetJsonOutput();
// True while a JSON run collects its document.
bool JsonOutput();
// Stops collecting and forgets what was collected (a new run).
void ResetJsonOutput();
// The collected output as one JSON document carrying status; the collection
// is emptied. Lines are indented by two blanks, the text ends with a newline.
std::string TakeJsonDocument(int status);
// Writes TakeJsonDocument(status) through the output primitives and ends the
// collection. Nothing when JSON output is off.
void EmitJsonDocument(int status);
// The conversion itself, for any text holding XML documents of the frame.
std::string XmlOutputToJson(std::string_view collected, int status);
