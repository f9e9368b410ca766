// Result output: the output settings, the XML document frame that every
// emitter shares, the exit-code listing and the small renderers (counter rows,
// field tables, date/time block, hex rows, paging). The renderers of
// render/renderer.h write every display in the form these settings choose.
//
// Emitter contract. Every command yields exactly one XML document in XML mode:
//  - A command for one adapter: its emitter takes writeHeader and
//    closeDocument; it writes EmitXmlHeader() when writeHeader is set, then its
//    elements, then, when closeDocument is set, the closing elements of its
//    body and EmitXmlStatus(0, nullptr, reboot, false, true).
//  - A command over all adapters: EmitXmlHeader() once, the per-adapter
//    emitters with writeHeader = false and closeDocument = false, and the
//    trailer once after the last adapter.
//  - A failure ends the document with EmitXmlStatus(1, message, 0,
//    writeHeader, closeDocument); ReportFailure() does that in XML mode and
//    prints the message line in text mode. A failure before any output thus
//    still gives a whole document: header, Status 1, ErrorMsg, Reboot 0,
//    closing root.
//  - An emitter that keeps an adapter element open across a long run (monitors,
//    diagnostics, beacons) registers its closing line with
//    SetXmlElementOpen(), so that Ctrl-C can still close the document, and
//    calls SetXmlElementOpen(nullptr) once it has closed the element itself.
//    The renderer does so for the records it has open.
//  - User-controlled text (aliases, file names, messages, exit-code texts)
//    goes through XmlEscape() before it is placed in an element or attribute.
// Every XML line is one PrintMessage line, formatted into 256 bytes, so a line
// is cut after 255 characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "frame/messages.h"
#include "render/renderer.h"

// ---- Output settings --------------------------------------------------------

// Defaults for a new command-line run: text output, form 1, not quiet, no
// output file (a previous one is closed), no system log, not interactive, no
// document or adapter element open.
void ResetOutputSettings();
// XML output in form 1 ("-x") or form 2 ("-x2").
void SetXmlOutput(int form);
// XML output for one display whatever the settings (the exports that always
// write XML); the form already chosen is kept, the settings come back after.
class XmlOutputScope {
public:
    XmlOutputScope();
    ~XmlOutputScope();
    XmlOutputScope(const XmlOutputScope &) = delete;
    XmlOutputScope &operator=(const XmlOutputScope &) = delete;

private:
    bool wasXml_;
};
// Opens the output file for appending, its name cut to 255 characters; a
// previous output file is closed first. False when it cannot be opened;
// OutputFileName() then names the file that failed, for the caller's message.
bool OpenOutputFile(std::string_view name);
// "-o system": appends to SystemLogFileName() and stamps each message line.
bool OpenSystemLog();
// Where the system log goes: messages.txt in the installation directory, or in
// the current directory while no installation directory is known.
std::string SystemLogFileName();
// Closes the output file, if one is open, and leaves system log mode.
void CloseOutputFile();
const std::string &OutputFileName();

// ---- Lines ------------------------------------------------------------------

constexpr size_t kOutputLineSize = 256;

// One line through PrintMessage, formatted into kOutputLineSize bytes.
void PrintLine(const char *format, ...) TAVRO_PRINTF(1, 2);
// Text through PrintText, formatted into 512 bytes; renderers' rows.
void PrintTextF(const char *format, ...) TAVRO_PRINTF(1, 2);

// ---- XML document frame -----------------------------------------------------

// Header lines 1 to 4 in the current XML form, or in the given one.
void EmitXmlHeader();
void EmitXmlHeaderOfForm(int form);
// Status trailer: Status, ErrorMsg (only with a message, escaped), Reboot and,
// with closeDocument, the closing root element; the header first when
// writeHeader is set. Form 2 is handed to EmitXmlStatusForm2.
void EmitXmlStatus(int status, const char *message, int reboot, bool writeHeader,
                   bool closeDocument);
// As EmitXmlStatus, with the form-2 header.
void EmitXmlStatusForm2(int status, const char *message, int reboot, bool writeHeader,
                        bool closeDocument);
// True between a header and the trailer that closes the document.
bool XmlDocumentOpen();
// Records that an adapter element is open and the line that closes it; null
// records that it was closed again.
void SetXmlElementOpen(const char *closingLine);
// Writes the recorded closing line, if an adapter element is open, and forgets it.
void XmlEndAdapterElement();

// The end of an operation in either output form: in text mode the message
// line (when there is one); in XML mode the trailer with Status 0 or 1 (status
// nonzero) and the message as ErrorMsg. Answers status.
int ReportResult(int status, const char *message, int reboot = 0, bool writeHeader = true,
                 bool closeDocument = true);
// A failure: ReportResult(status, message, 0, writeHeader, closeDocument).
int ReportFailure(int status, const char *message, bool writeHeader = true,
                  bool closeDocument = true);

struct DeviceRecord;
struct FibreAdapter;
// The device record of a physical port, or null after the failure is reported
// and status set: no such HBA, or a virtual port where only physical ports
// have the operation.
DeviceRecord *PhysicalPortRecord(FibreAdapter *a, int &status);

// ---- Exit codes -------------------------------------------------------------

struct ExitCodeRow {
    long code = 0;
    char name[256] = {};
    char description[256] = {};
};

// One line of the exit codes file. False for a line that is not listed: one
// starting with '-' or '#', and (our choice) an empty line or one of blanks
// only. Tokens end at '=', ',', CR and LF; the first is the code, the second
// the name, the last the description; leading blanks and tabs are dropped.
bool ParseExitCodeLine(const char *line, ExitCodeRow &row);
// The exit-code listing; 0, 1 when the file cannot be opened, 115 when memory
// runs out. XML mode writes the document only.
int DisplayAppExitCodes();

// ---- Counter rows -----------------------------------------------------------

struct CounterEntry32 {
    char name[128];
    uint32_t value;
};
struct CounterEntry64 {
    char name[128];
    uint64_t value;
};

// Loads the tables that PrintCounterRows32/64 print. The names may have
// leading blanks (the text form right-aligns them anyway); in XML the rest of
// the name is the element name, so it must be an XML name.
void LoadCounterTable32(std::span<const CounterEntry32> rows);
void LoadCounterTable64(std::span<const CounterEntry64> rows);
// One PrintText row per entry: "%38s: value\n", or "\t<Name> value </Name>\n".
void PrintCounterRows32();
void PrintCounterRows64();

// ---- Field tables -----------------------------------------------------------

struct SubField {
    const char *label;
    const char *xmlTag;
    uint8_t width; // bits
};

struct FieldDescriptor {
    uint16_t offset; // kFieldTableEnd ends the table
    uint16_t type;   // FieldType, or a code of the table's extension
    const char *label;
    const char *xmlOpen; // sections: the element name
    const char *xmlClose;
    std::span<const SubField> subFields;
};

enum FieldType : uint16_t {
    kFieldDateTime = 1,
    kFieldXmlOpen = 89,  // prints xmlOpen in XML mode, nothing in text mode
    kFieldXmlClose = 90, // the same; tables keep the closing text in xmlOpen too
    kFieldSection = 92,
    kField8 = 95,
    kField16 = 98,
    kFieldTypeMax = 100, // codes above are never valid
};
constexpr uint16_t kFieldTableEnd = 0xFFFF;

// Renders the codes that a table's owner adds (2 to 100 besides the ones
// above); answers false for a code that it does not know.
using FieldExtension = bool (*)(const FieldDescriptor &field, std::span<const uint8_t> record);

// Walks the table until its end, the end marker or the first offset at or
// beyond length. A field reaching past the record reads the missing bytes as
// zero. Unknown codes print "Incorrect Data Type" and rendering goes on.
void RenderFieldTable(std::span<const FieldDescriptor> table, const uint8_t *data, size_t length,
                      FieldExtension extension = nullptr);
// Value of sub-field index within value, after the widths of those before it.
uint32_t SubFieldValue(uint32_t value, std::span<const SubField> subFields, size_t index);

// ---- Date/time, hex rows, paging --------------------------------------------

// The current local time (oss::Now()) in ctime form, through PrintText.
void PrintDateTimeBlock(DateTimePlace place = DateTimePlace::TopLevel);
// Eight bytes a row, "%02X " each; rows start with a tab in XML mode.
void PrintHexRows(std::span<const uint8_t> data);
// "\n\t\tPress <Enter> to continue: " and a wait for a line feed on standard input.
void WaitForEnter();
// WaitForEnter between the blocks of a per-adapter listing, in interactive mode only.
void PauseBetweenBlocks();
