// The exit-code listing (-ei): the codes of the exit codes file as a table,
// headed by the version element in XML.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/guard.h"
#include "base/status.h"
#include "frame/frame.h"
#include "render/output.h"
#include "render/renderer.h"
#include "render/versioninfo.h"
#include "tavro_api.h"

namespace {

constexpr char kMemoryMessage[] = "Unable to allocate memory!";

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string WithoutLeadingBlanks(const char *text)
{
    std::string_view v(text);
    size_t start = v.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string() : std::string(v.substr(start));
}

const char *const kHeading[] = {
    "-------------------------------------------------------------------------------",
    "Return",
    "Code    Name                    \t\tDescription",
    "-------------------------------------------------------------------------------",
};

// Text "%ld\t%-39s %s"; the XML row has always had two blanks before Description.
const TableColumn kColumns[] = {
    {.xmlName = "Number", .textAfter = "\t"},
    {.xmlName = "Name", .textWidth = -39, .textAfter = " "},
    {.xmlName = "Description", .xmlLead = "  "},
};

const TableStyle kExitCodeTable = {
    .textHeading = kHeading,
    .element = "AppReturnCodes",
    .indent = "\t",
    .rowElement = "ReturnCode",
    .rowIndent = "\t\t",
    .rowEnd = "/>",
    .columns = kColumns,
    .pageRows = 25,
};

} // namespace

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

int DisplayAppExitCodes()
{
    const std::string &file = Frame().exitCodesFile;
    Trace(kLevelDebug, "DisplayAppExitCodes: file=%s\n", file.c_str());
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    DescribeVersion(r, kInXml);
    r.BeginTable(kExitCodeTable);
    FilePtr fp(std::fopen(file.c_str(), "r"));
    if (!fp) {
        Trace(kLevelDebug, "Failed to open preference file (%s).", file.c_str());
        const std::string message = CutText(
            Format("Unable to open file '%s' for reading!", file.c_str()), kOutputLineSize - 1);
        return r.Finish(kStatusGeneralFailure, message.c_str());
    }
    std::unique_ptr<ExitCodeRow> row(new (std::nothrow) ExitCodeRow);
    if (!row)
        return r.Finish(kStatusNoMemory, kMemoryMessage);
    char line[256];
    while (std::fgets(line, sizeof line, fp.get())) {
        if (!ParseExitCodeLine(line, *row))
            continue;
        const std::string cells[] = {std::to_string(row->code), row->name, row->description};
        r.TableRow(cells);
    }
    r.EndTable();
    // A shell keeps only the low 8 bits of an exit status, so some codes meet.
    r.TextLine("");
    r.TextLine("A shell sees an exit code above 255 as its low 8 bits (1101 arrives as 77,");
    r.TextLine("287 as 31); --json carries the whole code as \"status\".");
    return r.Finish(kStatusOk);
}

extern "C" TAVRO_API int32_t TAVRO_DisplayAppExitCodes(void)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, [] { return DisplayAppExitCodes(); });
}
