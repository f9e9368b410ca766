#include "render/output.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/status.h"
#include "base/text.h"
#include "frame/frame.h"
#include "frame/version.h"
#include "render/json.h"
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

const char *Safe(const char *text) { return text ? text : ""; }

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
    ResetJsonOutput();
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

XmlOutputScope::XmlOutputScope() : wasXml_(Frame().xmlMode) { Frame().xmlMode = true; }

XmlOutputScope::~XmlOutputScope() { Frame().xmlMode = wasXml_; }

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

// ---- XML document frame -----------------------------------------------------

void EmitXmlHeader() { EmitXmlHeaderForm(Frame().xmlForm == 2 ? 2 : 1); }

void EmitXmlHeaderOfForm(int form) { EmitXmlHeaderForm(form == 2 ? 2 : 1); }

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
    return CurrentRenderer().Report(status, message, reboot, writeHeader, closeDocument);
}

int ReportFailure(int status, const char *message, bool writeHeader, bool closeDocument)
{
    return ReportResult(status, message, 0, writeHeader, closeDocument);
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
    Renderer &r = CurrentRenderer();
    for (const Entry &e : rows)
        r.CounterRow(std::string_view(e.name, strnlen(e.name, sizeof e.name)),
                     static_cast<uint64_t>(e.value));
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

// Pieces are formatted into 512 bytes, as the renderers' rows always were.
std::string Piece512(std::string text) { return CutText(text, 511); }

void RenderIntegerField(Renderer &r, const FieldDescriptor &field, const uint8_t *data,
                        size_t length, bool wide)
{
    const uint32_t value = ReadLittleEndian(data, length, field.offset, wide ? 2 : 1);
    if (field.subFields.empty()) {
        r.Piece(Piece512(Format("%s: %u\n", Safe(field.label), value)),
                Piece512(Format("%s%u%s\n", Safe(field.xmlOpen), value, Safe(field.xmlClose))));
        return;
    }
    // Groups without their own element leave the sub-fields at the level of the table.
    const bool wrapped = field.xmlOpen && *field.xmlOpen;
    r.Piece(Piece512(Format("%s\n", Safe(field.label))),
            wrapped ? Piece512(Format("%s\n", field.xmlOpen)) : std::string());
    for (size_t k = 0; k < field.subFields.size(); ++k) {
        const SubField &sub = field.subFields[k];
        std::string text = SubFieldText(sub, SubFieldValue(value, field.subFields, k), wide);
        r.Piece(
            Piece512(Format("\t%s: %s\n", Safe(sub.label), text.c_str())),
            Piece512(Format("\t<%s>%s</%s>\n", Safe(sub.xmlTag), text.c_str(), Safe(sub.xmlTag))));
    }
    if (wrapped)
        r.Piece({}, Piece512(Format("%s\n", Safe(field.xmlClose))));
}

} // namespace

void RenderFieldTable(std::span<const FieldDescriptor> table, const uint8_t *data, size_t length,
                      FieldExtension extension)
{
    Renderer &r = CurrentRenderer();
    const char *openSection = nullptr; // XML: the section element still open
    for (const FieldDescriptor &field : table) {
        if (field.offset == kFieldTableEnd || field.offset >= length)
            break;
        switch (field.type) {
        case kFieldDateTime:
            r.DateTime(DateTimePlace::TopLevel);
            break;
        case kFieldXmlOpen:
        case kFieldXmlClose:
            r.Piece({}, Piece512(Format("%s\n", Safe(field.xmlOpen))));
            break;
        case kFieldSection: {
            std::string xml = openSection ? Format("</%s>\n", openSection) : std::string();
            openSection = Safe(field.xmlOpen);
            r.Piece(Piece512(Format("%s\n", Safe(field.label))),
                    xml + Piece512(Format("<%s>\n", openSection)));
            break;
        }
        case kField8:
        case kField16:
            RenderIntegerField(r, field, data, length, field.type == kField16);
            break;
        default:
            if (field.type != 0 && field.type <= kFieldTypeMax && extension &&
                extension(field, std::span<const uint8_t>(data, length)))
                break;
            r.Piece("Incorrect Data Type\n", "<Incorrect Data Type>");
            break;
        }
    }
    if (openSection)
        r.Piece({}, Piece512(Format("</%s>\n", openSection)));
}

// ---- Date/time, hex rows, paging --------------------------------------------

void PrintDateTimeBlock(DateTimePlace place) { CurrentRenderer().DateTime(place); }

void PrintHexRows(std::span<const uint8_t> data) { CurrentRenderer().HexRows(data); }

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

} // extern "C"

DeviceRecord *PhysicalPortRecord(FibreAdapter *a, int &status)
{
    DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec) {
        status = ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
        return nullptr;
    }
    if (rec->IsVirtual()) {
        status = ReportFailure(kStatusGeneralFailure,
                               Format("Option is not available with virtual port HBA (%s)!",
                                      WwnText(a->wwpn, WwnStyle::Dashed).c_str())
                                   .c_str());
        return nullptr;
    }
    return rec;
}
