// One description of a display, three renderings. A display states its
// content once - records of labelled rows, text-only lines, tables, counters,
// the date/time block, hex rows - and the renderer of the current output
// settings writes it as text lines or as XML (form 1 or 2) inside the
// document frame. Displays never look at the XML setting themselves; where
// the text and the XML of one display differ, the rows say so (a text label
// and an XML name, shown in one form only, or an XML spelling of the value).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Where a row or a record appears.
enum ShowIn : unsigned {
    kInNeither = 0,
    kInText = 1,
    kInXml = 2,
    kInBoth = kInText | kInXml,
};
constexpr unsigned ShowInIf(bool text, bool xml)
{
    return (text ? kInText : 0u) | (xml ? kInXml : 0u);
}

// Row name that makes the value the element's own text rather than a child.
inline constexpr const char *kXmlContent = "#text";

// Text labels are padded to this width and followed by ": ".
constexpr int kLabelWidth = 31;

// One fact of a record.
struct Row {
    const char *label = nullptr;   // text "label<padded>: value"; null: the value is the line
    const char *xmlName = nullptr; // attribute or child element; null: the text only
    std::string value;
    std::optional<std::string> xmlValue; // the XML's own spelling of the value
    unsigned show = kInBoth;
};

enum class XmlRows {
    Children,       // rows are child elements <Name>value</Name>
    Attributes,     // rows are attributes of the opening tag
    AttributeLines, // rows are attributes, one a line; the element closes itself
};

struct RecordStyle {
    const char *element;
    const char *indent;      // of the element's own lines
    const char *childIndent; // of child elements, attribute lines and text content
    XmlRows rows = XmlRows::Children;
    // Rows that go on the opening tag whatever the layout, in this order; the
    // second form may name the port differently.
    std::span<const char *const> keys = {};
    std::span<const char *const> keysForm2 = {};
    bool ruleBefore = false; // text: a line of 80 '-' before the record
    bool ruleAfter = false;  // ... and after it
};

struct TableColumn {
    const char *xmlName;        // attribute of the row element
    int textWidth = 0;          // printf field width of the text cell (negative: left-aligned)
    const char *textAfter = ""; // what follows the cell in the text row
    const char *xmlLead = " ";  // what precedes the attribute in the XML row
    unsigned show = kInBoth;    // a cell of one form only (a status the text row leaves out)
};

struct TableStyle {
    std::span<const char *const> textHeading; // lines before the text rows
    const char *element;                      // XML element around the rows
    const char *indent;
    const char *rowElement;
    const char *rowIndent;
    const char *rowEnd; // closes each XML row element ("/>" or " />")
    std::span<const TableColumn> columns;
    int pageRows = 0; // interactive text listings pause after this many rows
};

// The text form of one table row: each cell at its column's width, then the
// column's separator; cells of the XML form only are left out.
std::string TextTableRow(const TableStyle &style, std::span<const std::string> cells);

enum class DateTimePlace {
    TopLevel,    // text "\n%s"; XML "\n<DateTime>\n", time, "</DateTime>\n"
    InAdapter,   // text "\n%s"; XML "\t<DateTime>\n", "\t%s", "\t</DateTime>\n"
    EngineStats, // text "\n%s\n"; XML as TopLevel
};

enum class OutputForm {
    Text,
    Xml1,
    Xml2,
};

class Renderer {
public:
    virtual ~Renderer() = default;
    virtual OutputForm Form() const = 0;

    // ---- The document ---------------------------------------------------------
    // XML: the header, unless a document is already open (a display that
    // follows another in one command writes inside its document).
    virtual void BeginDocument() = 0;
    // The end of a display: XML closes the elements still open, writes the
    // trailer (Status 0 or 1, ErrorMsg, Reboot; the header first when no
    // document is open) and closes the document; text prints the message line,
    // if there is one. Answers status.
    int Finish(int status, const char *message = nullptr, int reboot = 0);
    // The emitter contract's trailer with its explicit flags.
    virtual int Report(int status, const char *message, int reboot, bool writeHeader,
                       bool closeDocument) = 0;

    // ---- Records --------------------------------------------------------------
    // Records nest; show hides a record's own lines (rows, rules, element) in
    // one form while the records inside it still appear.
    virtual void BeginRecord(const RecordStyle &style, unsigned show = kInBoth) = 0;
    virtual void Add(const Row &row) = 0;
    void Add(const char *label, const char *xmlName, std::string value, unsigned show = kInBoth);
    virtual void EndRecord() = 0;

    // A line of the text form only.
    virtual void TextLine(std::string_view line) = 0;
    // Text as it is (PrintText): the piece of the current form.
    virtual void Piece(std::string_view text, std::string_view xml) = 0;
    // Between the blocks of a per-adapter listing: interactive text pauses.
    virtual void PageBreak() = 0;

    // ---- Tables ---------------------------------------------------------------
    // The XML element opens with its first row or at EndTable, so that a table
    // cut short by a failure leaves no element behind.
    virtual void BeginTable(const TableStyle &style) = 0;
    virtual void TableRow(std::span<const std::string> cells) = 0;
    virtual void EndTable() = 0;

    // ---- Small renderers ------------------------------------------------------
    // "%38s: value\n", or "\t<Name> value </Name>\n" (the name without its leading blanks).
    virtual void CounterRow(std::string_view name, uint64_t value) = 0;
    // The current local time in ctime form.
    virtual void DateTime(DateTimePlace place) = 0;
    // Eight bytes a row, "%02X " each; XML rows start with a tab.
    virtual void HexRows(std::span<const uint8_t> data) = 0;

protected:
    // Closes what is still open before the trailer.
    virtual void CloseOpenElements() = 0;
};

// The renderer of the current output settings. The parser fixes them before a
// display runs, so a command sees one renderer throughout.
Renderer &CurrentRenderer();
Renderer &RendererFor(OutputForm form);

// Text for an element or attribute value. Markup characters become entities,
// line ends blanks, other control characters '?'; every character beyond
// ASCII becomes a character reference: UTF-8 sequences by their code point,
// other bytes as the ISO-8859-1 characters they are. The document therefore
// parses as the ISO-8859-1 it declares whatever the text's own encoding.
std::string XmlEscape(std::string_view text);
