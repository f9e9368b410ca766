#include "render/renderer.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

#include "base/oss.h"
#include "base/text.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "render/output.h"

std::string TextTableRow(const TableStyle &style, std::span<const std::string> cells)
{
    std::string row;
    for (size_t i = 0; i < style.columns.size(); ++i) {
        const TableColumn &column = style.columns[i];
        if (!(column.show & kInText))
            continue;
        const char *cell = i < cells.size() ? cells[i].c_str() : "";
        row += Format("%*s", column.textWidth, cell);
        row += column.textAfter;
    }
    return row;
}

namespace {

const char *const kRule80 =
    "--------------------------------------------------------------------------------";

// The line primitives format into fixed buffers: PrintMessage lines of the
// frame and of tables are cut after 255 characters, labelled rows and
// renderer pieces after 511.
constexpr size_t kRowLineMax = 511;

void Line(const std::string &text) { PrintMessage(text.c_str()); }

std::string WithoutLeadingBlanks(std::string_view text)
{
    size_t start = text.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

std::string CtimeNow()
{
    std::time_t now = oss::Now();
    char when[64] = "";
    if (!ctime_r(&now, when))
        CopyText(when, "\n");
    return when;
}

std::string HexRow(std::span<const uint8_t> data, size_t start)
{
    std::string row;
    for (size_t i = start; i < start + 8 && i < data.size(); ++i)
        row += Format("%02X ", data[i]);
    return row + '\n';
}

// ---- Text -------------------------------------------------------------------

class TextRenderer final : public Renderer {
public:
    OutputForm Form() const override { return OutputForm::Text; }

    void BeginDocument() override { }

    int Report(int status, const char *message, int, bool, bool) override
    {
        if (message && *message)
            PrintMessage(message);
        return status;
    }

    void BeginRecord(const RecordStyle &style, unsigned show) override
    {
        const bool shown = (show & kInText) != 0;
        records_.push_back({&style, shown});
        if (shown && style.ruleBefore)
            PrintMessage(kRule80);
    }

    void Add(const Row &row) override
    {
        if (!(row.show & kInText) || (!records_.empty() && !records_.back().shown))
            return;
        if (!row.label) {
            Line(row.value);
            return;
        }
        // "%-*s: %s" by hand: this runs for every row of every port.
        std::string line(row.label);
        if (line.size() < size_t(kLabelWidth))
            line.append(size_t(kLabelWidth) - line.size(), ' ');
        line += ": ";
        line += row.value.c_str(); // up to a NUL byte, as %s reads it
        if (line.size() > kRowLineMax)
            line.resize(kRowLineMax);
        Line(line);
    }

    void EndRecord() override
    {
        if (records_.empty())
            return;
        if (records_.back().shown && records_.back().style->ruleAfter)
            PrintMessage(kRule80);
        records_.pop_back();
    }

    void TextLine(std::string_view line) override { Line(std::string(line)); }

    void Piece(std::string_view text, std::string_view) override
    {
        if (!text.empty())
            PrintText(std::string(text).c_str());
    }

    void PageBreak() override { PauseBetweenBlocks(); }

    void BeginTable(const TableStyle &style) override
    {
        table_ = &style;
        rowsSincePause_ = 0;
        for (const char *line : style.textHeading)
            PrintMessage(line);
    }

    void TableRow(std::span<const std::string> cells) override
    {
        if (!table_)
            return;
        // Pause only when a further row follows a full page.
        if (table_->pageRows && Frame().interactiveMode && rowsSincePause_ == table_->pageRows) {
            WaitForEnter();
            rowsSincePause_ = 0;
        }
        Line(CutText(TextTableRow(*table_, cells), kOutputLineSize - 1));
        ++rowsSincePause_;
    }

    void EndTable() override { table_ = nullptr; }

    void CounterRow(std::string_view name, uint64_t value) override
    {
        PrintText(
            CutText(Format("%38s: %" PRIu64 "\n", std::string(name).c_str(), value), kRowLineMax)
                .c_str());
    }

    void DateTime(DateTimePlace place) override
    {
        const std::string when = CtimeNow();
        PrintText(
            Format(place == DateTimePlace::EngineStats ? "\n%s\n" : "\n%s", when.c_str()).c_str());
    }

    void HexRows(std::span<const uint8_t> data) override
    {
        for (size_t start = 0; start < data.size(); start += 8)
            PrintText(HexRow(data, start).c_str());
    }

protected:
    void CloseOpenElements() override
    {
        records_.clear();
        table_ = nullptr;
    }

private:
    struct Open {
        const RecordStyle *style;
        bool shown;
    };
    std::vector<Open> records_;
    const TableStyle *table_ = nullptr;
    int rowsSincePause_ = 0;
};

// ---- XML --------------------------------------------------------------------

class XmlRenderer final : public Renderer {
public:
    explicit XmlRenderer(int form) : form_(form) { }

    OutputForm Form() const override { return form_ == 2 ? OutputForm::Xml2 : OutputForm::Xml1; }

    void BeginDocument() override
    {
        if (XmlDocumentOpen())
            return;
        records_.clear();
        table_ = nullptr;
        tableOpen_ = false;
        EmitXmlHeaderOfForm(form_);
    }

    int Report(int status, const char *message, int reboot, bool writeHeader,
               bool closeDocument) override
    {
        // The header follows this renderer's form; the trailer is the same in both.
        if (writeHeader)
            EmitXmlHeaderOfForm(form_);
        EmitXmlStatus(status != 0 ? 1 : 0, message, reboot, false, closeDocument);
        return status;
    }

    void BeginRecord(const RecordStyle &style, unsigned show) override
    {
        OpenParent();
        Open o;
        o.style = &style;
        o.shown = (show & kInXml) != 0;
        records_.push_back(std::move(o));
    }

    void Add(const Row &row) override
    {
        if (!(row.show & kInXml) || !row.xmlName)
            return;
        std::string value = XmlEscape(row.xmlValue ? *row.xmlValue : row.value);
        if (records_.empty()) {
            WriteChild("\t", row.xmlName, value);
            return;
        }
        Open &o = records_.back();
        if (!o.shown)
            return;
        if (!o.opened) {
            (IsKey(o, row.xmlName) ? o.keys : o.rows).push_back({row.xmlName, value});
            return;
        }
        if (o.style->rows == XmlRows::Children) {
            WriteChild(o.style->childIndent, row.xmlName, value);
            return;
        }
        Trace(kLevelDebug, "XmlRenderer: attribute %s after the tag of %s was closed", row.xmlName,
              o.style->element);
    }

    void EndRecord() override
    {
        if (records_.empty())
            return;
        Open &o = records_.back();
        if (o.shown) {
            if (o.opened)
                Line(Closing(o));
            else
                OpenElement(o, false);
        }
        records_.pop_back();
        SyncAbortClosing();
    }

    void TextLine(std::string_view) override { }

    void Piece(std::string_view, std::string_view xml) override
    {
        if (!xml.empty())
            PrintText(std::string(xml).c_str());
    }

    void PageBreak() override { }

    void BeginTable(const TableStyle &style) override
    {
        OpenParent();
        table_ = &style;
        tableOpen_ = false;
    }

    void TableRow(std::span<const std::string> cells) override
    {
        if (!table_)
            return;
        OpenTable();
        std::string row = std::string(table_->rowIndent) + "<" + table_->rowElement;
        for (size_t i = 0; i < table_->columns.size(); ++i) {
            const TableColumn &column = table_->columns[i];
            if (!(column.show & kInXml))
                continue;
            row += column.xmlLead;
            row += column.xmlName;
            row += "=\"" + XmlEscape(i < cells.size() ? cells[i] : std::string()) + "\"";
        }
        row += table_->rowEnd;
        Line(CutText(row, kOutputLineSize - 1));
    }

    void EndTable() override
    {
        if (!table_)
            return;
        OpenTable();
        Line(std::string(table_->indent) + "</" + table_->element + ">");
        table_ = nullptr;
        tableOpen_ = false;
        SyncAbortClosing();
    }

    void CounterRow(std::string_view name, uint64_t value) override
    {
        const std::string tag = WithoutLeadingBlanks(name);
        PrintText(CutText(Format("\t<%s> %" PRIu64 " </%s>\n", tag.c_str(), value, tag.c_str()),
                          kRowLineMax)
                      .c_str());
    }

    void DateTime(DateTimePlace place) override
    {
        const std::string when = CtimeNow();
        if (place == DateTimePlace::InAdapter)
            PrintText(Format("\t<DateTime>\n\t%s\t</DateTime>\n", when.c_str()).c_str());
        else
            PrintText(Format("\n<DateTime>\n%s</DateTime>\n", when.c_str()).c_str());
    }

    void HexRows(std::span<const uint8_t> data) override
    {
        for (size_t start = 0; start < data.size(); start += 8)
            PrintText(("\t" + HexRow(data, start)).c_str());
    }

protected:
    void CloseOpenElements() override
    {
        // Elements left by a display that never finished belong to no document now.
        if (!XmlDocumentOpen()) {
            records_.clear();
            table_ = nullptr;
            tableOpen_ = false;
            SyncAbortClosing();
            return;
        }
        if (table_ && tableOpen_)
            Line(std::string(table_->indent) + "</" + table_->element + ">");
        table_ = nullptr;
        tableOpen_ = false;
        for (auto o = records_.rbegin(); o != records_.rend(); ++o)
            if (o->shown && o->opened)
                Line(Closing(*o));
        records_.clear();
        SyncAbortClosing();
    }

private:
    using Attribute = std::pair<std::string, std::string>; // name, escaped value

    struct Open {
        const RecordStyle *style = nullptr;
        bool shown = false;
        bool opened = false; // the opening tag is written
        std::vector<Attribute> keys;
        std::vector<Attribute> rows; // waiting for the opening tag
    };

    std::span<const char *const> KeysOf(const RecordStyle &style) const
    {
        return form_ == 2 && !style.keysForm2.empty() ? style.keysForm2 : style.keys;
    }

    bool IsKey(const Open &o, std::string_view name) const
    {
        if (o.style->rows == XmlRows::Attributes)
            return true;
        for (const char *key : KeysOf(*o.style))
            if (name == key)
                return true;
        return false;
    }

    static void WriteChild(const char *indent, const std::string &name, const std::string &value)
    {
        if (name == kXmlContent)
            Line(indent + value);
        else
            Line(indent + ("<" + name + ">") + value + "</" + name + ">");
    }

    static std::string AttributeText(const Attribute &a)
    {
        return a.first + "=\"" + a.second + "\"";
    }

    // "<Element" and the attributes of the opening tag, in the order the keys name them.
    std::string OpeningTag(const Open &o) const
    {
        std::string tag = std::string(o.style->indent) + "<" + o.style->element;
        if (o.style->rows == XmlRows::Attributes) {
            for (const Attribute &a : o.keys)
                tag += " " + AttributeText(a);
            return tag;
        }
        for (const char *key : KeysOf(*o.style))
            for (const Attribute &a : o.keys)
                if (a.first == key)
                    tag += " " + AttributeText(a);
        return tag;
    }

    static std::string Closing(const Open &o)
    {
        return std::string(o.style->indent) + "</" + o.style->element + ">";
    }

    // Writes the opening tag and the rows that waited for it; withContent
    // leaves the element open for children, otherwise it closes itself.
    void OpenElement(Open &o, bool withContent)
    {
        std::string tag = OpeningTag(o);
        const std::string end = withContent ? ">" : " />";
        switch (o.style->rows) {
        case XmlRows::Children:
            Line(tag + ">");
            for (const Attribute &a : o.rows)
                WriteChild(o.style->childIndent, a.first, a.second);
            if (!withContent)
                Line(Closing(o));
            break;
        case XmlRows::Attributes:
            Line(tag + end);
            break;
        case XmlRows::AttributeLines:
            if (o.rows.empty()) {
                Line(tag + end);
                break;
            }
            Line(tag);
            for (size_t i = 0; i < o.rows.size(); ++i)
                Line(o.style->childIndent + AttributeText(o.rows[i]) +
                     (i + 1 == o.rows.size() ? end : ""));
            break;
        }
        o.rows.clear();
        o.opened = withContent;
        SyncAbortClosing();
    }

    // A record or a table inside a record opens the record's element first.
    void OpenParent()
    {
        if (records_.empty())
            return;
        Open &parent = records_.back();
        if (parent.shown && !parent.opened)
            OpenElement(parent, true);
    }

    void OpenTable()
    {
        if (tableOpen_)
            return;
        Line(std::string(table_->indent) + "<" + table_->element + ">");
        tableOpen_ = true;
        SyncAbortClosing();
    }

    // What Ctrl-C writes to close the document: the elements still open, innermost first.
    void SyncAbortClosing()
    {
        std::string closing;
        auto add = [&closing](const std::string &line) {
            closing += closing.empty() ? line : "\n" + line;
        };
        if (table_ && tableOpen_)
            add(std::string(table_->indent) + "</" + table_->element + ">");
        for (auto o = records_.rbegin(); o != records_.rend(); ++o)
            if (o->shown && o->opened)
                add(Closing(*o));
        SetXmlElementOpen(closing.empty() ? nullptr : closing.c_str());
    }

    int form_;
    std::vector<Open> records_;
    const TableStyle *table_ = nullptr;
    bool tableOpen_ = false;
};

} // namespace

// ---- Renderer ---------------------------------------------------------------

int Renderer::Finish(int status, const char *message, int reboot)
{
    CloseOpenElements();
    return Report(status, message, reboot, !XmlDocumentOpen(), true);
}

void Renderer::Add(const char *label, const char *xmlName, std::string value, unsigned show)
{
    Add(Row{label, xmlName, std::move(value), std::nullopt, show});
}

Renderer &RendererFor(OutputForm form)
{
    static TextRenderer text;
    static XmlRenderer xml1(1);
    static XmlRenderer xml2(2);
    switch (form) {
    case OutputForm::Xml1:
        return xml1;
    case OutputForm::Xml2:
        return xml2;
    default:
        return text;
    }
}

Renderer &CurrentRenderer()
{
    const FrameState &f = Frame();
    if (!f.xmlMode)
        return RendererFor(OutputForm::Text);
    return RendererFor(f.xmlForm == 2 ? OutputForm::Xml2 : OutputForm::Xml1);
}

// ---- Escaping ---------------------------------------------------------------

namespace {

// Length and code point of the UTF-8 sequence at text[i]; 0 when the bytes
// there are not one (overlong forms and surrogates included).
size_t Utf8Sequence(std::string_view text, size_t i, uint32_t &cp)
{
    const auto b0 = static_cast<unsigned char>(text[i]);
    size_t len;
    uint32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// XML 1.0 characters: a reference to anything else would not parse either.
bool IsXmlChar(uint32_t cp)
{
    return (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF) || cp == 0x9;
}

} // namespace

std::string XmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            uint32_t cp = 0;
            size_t len = Utf8Sequence(text, i, cp);
            if (len)
                i += len - 1;
            else
                cp = c; // a byte that is no UTF-8: the ISO-8859-1 character it is
            out += IsXmlChar(cp) ? "&#" + std::to_string(cp) + ";" : "?";
            continue;
        }
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
            out += c < 0x20 && c != '\t' ? '?' : static_cast<char>(c);
        }
    }
    return out;
}
