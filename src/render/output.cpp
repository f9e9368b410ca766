#include "render/output.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <vector>

#include "base/oss.h"
#include "frame/frame.h"
#include "frame/version.h"
#include "render/versioninfo.h"
#include "tavro_api.h"

namespace {

// State of the output area beyond the settings kept in the frame.
struct OutputState {
    bool documentOpen = false;
    bool adapterElementOpen = false;
    std::string adapterClosingLine;
    std::vector<CounterEntry32> counters32;
    std::vector<CounterEntry64> counters64;
};

OutputState &Output()
{
    static OutputState state;
    return state;
}

constexpr int kRowsPerPage = 25;
constexpr char kMemoryMessage[] = "Unable to allocate memory!";

const char *Safe(const char *text) { return text ? text : ""; }

std::string WithoutLeadingBlanks(const char *text)
{
    std::string_view v(text);
    size_t start = v.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string() : std::string(v.substr(start));
}

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void EmitXmlHeaderForm(int form)
{
    PrintMessage("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
    PrintMessage("<Vantor>");
    PrintLine("    <AppName>%s</AppName>", kProductText);
    if (form == 2) {
        PrintLine("    <AppVersion>v%d.%d.%d Build %d %s</AppVersion>", kVersionMajor,
                  kVersionMinor, kVersionRevision, kVersionBuild, kVersionSuffix);
        PrintMessage("    <AppXmlVersion>2.0</AppXmlVersion>");
    } else {
        PrintLine("    <AppVersion>v%d.%d.%d Build %d %s\n</AppVersion>", kVersionMajor,
                  kVersionMinor, kVersionRevision, kVersionBuild, kVersionSuffix);
    }
    Output().documentOpen = true;
}

void EmitXmlTrailer(int status, const char *message, int reboot, bool closeDocument)
{
    PrintLine("    <Status> %d </Status>", status);
    if (message)
        PrintLine("    <ErrorMsg> %s </ErrorMsg>", XmlEscape(message).c_str());
    PrintLine("    <Reboot> %d </Reboot>", reboot);
    if (closeDocument) {
        PrintMessage("</Vantor>");
        OutputState &o = Output();
        o.documentOpen = false;
        o.adapterElementOpen = false;
        o.adapterClosingLine.clear();
    }
}

} // namespace

// ---- Output settings --------------------------------------------------------

void ResetOutputSettings()
{
    CloseOutputFile();
    FrameState &f = Frame();
    f.xmlMode = false;
    f.xmlForm = 1;
    f.quietMode = false;
    f.interactiveMode = false;
    OutputState &o = Output();
    o.documentOpen = false;
    o.adapterElementOpen = false;
    o.adapterClosingLine.clear();
}

void SetXmlOutput(int form)
{
    FrameState &f = Frame();
    f.xmlMode = true;
    f.xmlForm = form == 2 ? 2 : 1;
}

bool OpenOutputFile(std::string_view name)
{
    CloseOutputFile();
    FrameState &f = Frame();
    f.outputFileName = CutText(name, kNameSize - 1);
    f.outputStream = std::fopen(f.outputFileName.c_str(), "a+");
    Trace(kLevelDebug, "OpenOutputFile: %s %s", f.outputFileName.c_str(),
          f.outputStream ? "opened" : "failed");
    return f.outputStream != nullptr;
}

std::string SystemLogFileName()
{
    // The log belongs with the program, not with wherever it was started from;
    // before the installation directory is known the current one stands in.
    const std::string &dir = Frame().installDir;
    return oss::JoinPath(dir.empty() ? oss::CurrentDirectory() : dir, "messages.txt");
}

bool OpenSystemLog()
{
    if (!OpenOutputFile(SystemLogFileName()))
        return false;
    Frame().sysLogMode = true;
    return true;
}

void CloseOutputFile()
{
    FrameState &f = Frame();
    if (f.outputStream) {
        std::fclose(f.outputStream);
        f.outputStream = nullptr;
    }
    f.outputFileName.clear();
    f.sysLogMode = false;
}

const std::string &OutputFileName() { return Frame().outputFileName; }

// ---- Lines ------------------------------------------------------------------

void PrintLine(const char *format, ...)
{
    char text[kOutputLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    PrintMessage(text);
}

void PrintTextF(const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    PrintText(text);
}

std::string XmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\r':
        case '\n':
            out += ' ';
            break; // one element stays one line
        default:
            // XML 1.0 has no way to carry these, not even as references.
            out += c < 0x20 && c != '\t' ? '?' : ch;
        }
    }
    return out;
}

// ---- XML document frame -----------------------------------------------------

void EmitXmlHeader() { EmitXmlHeaderForm(Frame().xmlForm == 2 ? 2 : 1); }

void EmitXmlStatus(int status, const char *message, int reboot, bool writeHeader,
                   bool closeDocument)
{
    if (Frame().xmlForm == 2) {
        EmitXmlStatusForm2(status, message, reboot, writeHeader, closeDocument);
        return;
    }
    if (writeHeader)
        EmitXmlHeaderForm(1);
    EmitXmlTrailer(status, message, reboot, closeDocument);
}

void EmitXmlStatusForm2(int status, const char *message, int reboot, bool writeHeader,
                        bool closeDocument)
{
    if (writeHeader)
        EmitXmlHeaderForm(2);
    EmitXmlTrailer(status, message, reboot, closeDocument);
}

bool XmlDocumentOpen() { return Output().documentOpen; }

void SetXmlElementOpen(const char *closingLine)
{
    OutputState &o = Output();
    o.adapterElementOpen = closingLine != nullptr;
    o.adapterClosingLine = closingLine ? closingLine : "";
}

void XmlEndAdapterElement()
{
    OutputState &o = Output();
    if (!o.adapterElementOpen)
        return;
    o.adapterElementOpen = false;
    PrintMessage(o.adapterClosingLine.c_str());
    o.adapterClosingLine.clear();
}

int ReportResult(int status, const char *message, int reboot, bool writeHeader, bool closeDocument)
{
    if (XmlOutput())
        EmitXmlStatus(status != 0 ? 1 : 0, message, reboot, writeHeader, closeDocument);
    else if (message && *message)
        PrintMessage(message);
    return status;
}

int ReportFailure(int status, const char *message, bool writeHeader, bool closeDocument)
{
    return ReportResult(status, message, 0, writeHeader, closeDocument);
}

// ---- Exit codes -------------------------------------------------------------

bool ParseExitCodeLine(const char *line, ExitCodeRow &row)
{
    row = ExitCodeRow{};
    if (!line || line[0] == '-' || line[0] == '#')
        return false;
    // A blank line would list as code 0 with no texts: skip it.
    if (line[std::strspn(line, " \t\r\n")] == '\0')
        return false;
    char buf[256];
    CopyText(buf, line);
    char *save = nullptr;
    char *token = strtok_r(buf, "=,\r\n", &save);
    if (!token)
        return false;
    row.code = std::atoi(token);
    if ((token = strtok_r(nullptr, "=,\r\n", &save)))
        CopyText(row.name, WithoutLeadingBlanks(token));
    while ((token = strtok_r(nullptr, "=,\r\n", &save)))
        CopyText(row.description, WithoutLeadingBlanks(token));
    return true;
}

namespace {

int DisplayAppExitCodesXml(const std::string &file)
{
    EmitXmlHeader();
    EmitVersionInfo(false);
    FilePtr fp(std::fopen(file.c_str(), "r"));
    if (!fp) {
        char message[kOutputLineSize];
        std::snprintf(message, sizeof message, "Unable to open file '%s' for reading!",
                      file.c_str());
        EmitXmlStatus(1, message, 0, false, true);
        return 1;
    }
    std::unique_ptr<ExitCodeRow> row(new (std::nothrow) ExitCodeRow);
    if (!row) {
        EmitXmlStatus(1, kMemoryMessage, 0, false, true);
        return 115;
    }
    PrintMessage("\t<AppReturnCodes>");
    char line[256];
    while (std::fgets(line, sizeof line, fp.get())) {
        if (!ParseExitCodeLine(line, *row))
            continue;
        PrintLine("\t\t<ReturnCode Number=\"%d\" Name=\"%s\"  Description=\"%s\"/>",
                  static_cast<int>(row->code), XmlEscape(row->name).c_str(),
                  XmlEscape(row->description).c_str());
    }
    PrintMessage("\t</AppReturnCodes>");
    EmitXmlStatus(0, nullptr, 0, false, true);
    return 0;
}

} // namespace

int DisplayAppExitCodes()
{
    const std::string &file = Frame().exitCodesFile;
    Trace(kLevelDebug, "DisplayAppExitCodes: file=%s\n", file.c_str());
    int result = 0;
    if (XmlOutput())
        result = DisplayAppExitCodesXml(file);

    const std::string rule(79, '-');
    PrintMessage(rule.c_str());
    PrintMessage("Return");
    PrintMessage("Code    Name                    \t\tDescription");
    PrintMessage(rule.c_str());

    FilePtr fp(std::fopen(file.c_str(), "r"));
    if (!fp) {
        Trace(kLevelDebug, "Failed to open preference file (%s).", file.c_str());
        PrintLine("Unable to open file '%s' for reading!", file.c_str());
        return 1;
    }
    std::unique_ptr<ExitCodeRow> row(new (std::nothrow) ExitCodeRow);
    if (!row) {
        PrintMessage(kMemoryMessage);
        return 115;
    }
    int rowsSincePause = 0;
    char line[256];
    while (std::fgets(line, sizeof line, fp.get())) {
        if (!ParseExitCodeLine(line, *row))
            continue;
        // Pause only when a further row follows a full page.
        if (Frame().interactiveMode && rowsSincePause == kRowsPerPage) {
            WaitForEnter();
            rowsSincePause = 0;
        }
        PrintLine("%ld\t%-39s %s", row->code, row->name, row->description);
        ++rowsSincePause;
    }
    return result;
}

// ---- Counter rows -----------------------------------------------------------

void LoadCounterTable32(std::span<const CounterEntry32> rows)
{
    Output().counters32.assign(rows.begin(), rows.end());
}

void LoadCounterTable64(std::span<const CounterEntry64> rows)
{
    Output().counters64.assign(rows.begin(), rows.end());
}

namespace {

template <typename Entry> void PrintCounterRows(const std::vector<Entry> &rows)
{
    for (const Entry &e : rows) {
        char name[sizeof e.name + 1];
        CopyText(name, std::string_view(e.name, strnlen(e.name, sizeof e.name)));
        const auto value = static_cast<uint64_t>(e.value);
        if (XmlOutput()) {
            std::string tag = WithoutLeadingBlanks(name);
            PrintTextF("\t<%s> %" PRIu64 " </%s>\n", tag.c_str(), value, tag.c_str());
        } else {
            PrintTextF("%38s: %" PRIu64 "\n", name, value);
        }
    }
}

} // namespace

void PrintCounterRows32() { PrintCounterRows(Output().counters32); }
void PrintCounterRows64() { PrintCounterRows(Output().counters64); }

// ---- Field tables -----------------------------------------------------------

uint32_t SubFieldValue(uint32_t value, std::span<const SubField> subFields, size_t index)
{
    unsigned shift = 0;
    for (size_t k = 0; k < index && k < subFields.size(); ++k)
        shift += subFields[k].width;
    if (index >= subFields.size() || shift >= 32)
        return 0;
    unsigned width = subFields[index].width;
    uint32_t mask = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u;
    return (value >> shift) & mask;
}

namespace {

const char *YesNo(uint32_t v) { return v == 0 ? "No" : v == 1 ? "Yes" : "Unknown!"; }

// Named sub-fields print words instead of numbers.
std::string SubFieldText(const SubField &sub, uint32_t v, bool wide)
{
    const char *label = Safe(sub.label);
    if (std::strncmp(label, "PFC Enabled on Priority", 23) == 0)
        return YesNo(v);
    if (wide) {
        if (std::strcmp(label, "Pad Byte Present") == 0 ||
            std::strcmp(label, "DCBX Parameter Valid") == 0)
            return YesNo(v);
        if (std::strcmp(label, "Parameter Type") == 0)
            return v == 0 ? "Local" : v == 1 ? "Remote" : v == 2 ? "Current" : "Unknown!";
    }
    return std::to_string(v);
}

uint32_t ReadLittleEndian(const uint8_t *data, size_t length, size_t offset, size_t size)
{
    uint32_t v = 0;
    for (size_t i = 0; i < size && offset + i < length; ++i)
        v |= static_cast<uint32_t>(data[offset + i]) << (8 * i);
    return v;
}

void RenderIntegerField(const FieldDescriptor &field, const uint8_t *data, size_t length, bool wide)
{
    const uint32_t value = ReadLittleEndian(data, length, field.offset, wide ? 2 : 1);
    const bool xml = XmlOutput();
    if (field.subFields.empty()) {
        if (xml)
            PrintTextF("%s%u%s\n", Safe(field.xmlOpen), value, Safe(field.xmlClose));
        else
            PrintTextF("%s: %u\n", Safe(field.label), value);
        return;
    }
    // Groups without their own element leave the sub-fields at the level of the table.
    const bool wrapped = xml && field.xmlOpen && *field.xmlOpen;
    if (wrapped)
        PrintTextF("%s\n", field.xmlOpen);
    else if (!xml)
        PrintTextF("%s\n", Safe(field.label));
    for (size_t k = 0; k < field.subFields.size(); ++k) {
        const SubField &sub = field.subFields[k];
        std::string text = SubFieldText(sub, SubFieldValue(value, field.subFields, k), wide);
        if (xml)
            PrintTextF("\t<%s>%s</%s>\n", Safe(sub.xmlTag), text.c_str(), Safe(sub.xmlTag));
        else
            PrintTextF("\t%s: %s\n", Safe(sub.label), text.c_str());
    }
    if (wrapped)
        PrintTextF("%s\n", Safe(field.xmlClose));
}

} // namespace

void RenderFieldTable(std::span<const FieldDescriptor> table, const uint8_t *data, size_t length,
                      FieldExtension extension)
{
    const bool xml = XmlOutput();
    const char *openSection = nullptr;
    for (const FieldDescriptor &field : table) {
        if (field.offset == kFieldTableEnd || field.offset >= length)
            break;
        switch (field.type) {
        case kFieldDateTime:
            PrintDateTimeBlock();
            break;
        case kFieldXmlOpen:
        case kFieldXmlClose:
            if (xml)
                PrintTextF("%s\n", Safe(field.xmlOpen));
            break;
        case kFieldSection:
            if (!xml) {
                PrintTextF("%s\n", Safe(field.label));
                break;
            }
            if (openSection)
                PrintTextF("</%s>\n", openSection);
            openSection = Safe(field.xmlOpen);
            PrintTextF("<%s>\n", openSection);
            break;
        case kField8:
        case kField16:
            RenderIntegerField(field, data, length, field.type == kField16);
            break;
        default:
            if (field.type != 0 && field.type <= kFieldTypeMax && extension &&
                extension(field, std::span<const uint8_t>(data, length)))
                break;
            PrintText(xml ? "<Incorrect Data Type>" : "Incorrect Data Type\n");
            break;
        }
    }
    if (openSection)
        PrintTextF("</%s>\n", openSection);
}

// ---- Date/time, hex rows, paging --------------------------------------------

void PrintDateTimeBlock(DateTimePlace place)
{
    std::time_t now = oss::Now();
    char when[64] = "";
    if (!ctime_r(&now, when))
        CopyText(when, "\n");
    if (!XmlOutput()) {
        PrintTextF(place == DateTimePlace::EngineStats ? "\n%s\n" : "\n%s", when);
        return;
    }
    if (place == DateTimePlace::InAdapter)
        PrintTextF("\t<DateTime>\n\t%s\t</DateTime>\n", when);
    else
        PrintTextF("\n<DateTime>\n%s</DateTime>\n", when);
}

void PrintHexRows(std::span<const uint8_t> data)
{
    const bool xml = XmlOutput();
    for (size_t start = 0; start < data.size(); start += 8) {
        std::string row = xml ? "\t" : "";
        for (size_t i = start; i < start + 8 && i < data.size(); ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X ", data[i]);
            row += hex;
        }
        row += '\n';
        PrintText(row.c_str());
    }
}

void WaitForEnter()
{
    PrintText("\n\t\tPress <Enter> to continue: ");
    std::fflush(stdout);
    oss::WaitForLineFeed();
}

void PauseBetweenBlocks()
{
    if (Frame().interactiveMode)
        WaitForEnter();
}

// ---- Exports ----------------------------------------------------------------

extern "C" {

TAVRO_API void TAVRO_SetDisplayMode(int32_t mode) { Frame().quietMode = mode == 1; }

TAVRO_API int32_t TAVRO_GetDisplayMode(void) { return Frame().quietMode ? 1 : 0; }

TAVRO_API int32_t TAVRO_DisplayAppExitCodes(void) { return DisplayAppExitCodes(); }

} // extern "C"
