#include <cstdlib>
#include <ctime>

#include "cli/cmdstate.h"
#include "output_fixture.h"
#include "render/renderer.h"
#include "xmlcheck.h"

namespace {

class RenderersTest : public OutputTest {
protected:
    void TearDown() override
    {
        LoadCounterTable32({});
        LoadCounterTable64({});
        unsetenv("TAVRO_FIXED_TIME");
        OutputTest::TearDown();
    }
    // Wraps XML fragments into a document so that they can be checked.
    static std::string InDocument(const std::function<void()> &body)
    {
        return Capture([&] {
            EmitXmlHeader();
            body();
            EmitXmlStatus(0, nullptr, 0, false, true);
        });
    }
};

// ---- Records and tables ---------------------------------------------------------

const char *const kItemKeys[] = {"Port"};
const char *const kItemKeysForm2[] = {"Instance", "Port"};
const RecordStyle kOuter = {.element = "Outer",
                            .indent = "\t",
                            .childIndent = "\t\t",
                            .ruleBefore = true,
                            .ruleAfter = true};
const RecordStyle kItem = {.element = "Item",
                           .indent = "\t\t",
                           .childIndent = "\t\t",
                           .rows = XmlRows::AttributeLines,
                           .keys = kItemKeys,
                           .keysForm2 = kItemKeysForm2};
const RecordStyle kLeaf = {
    .element = "Leaf", .indent = "\t\t", .childIndent = "\t\t\t", .rows = XmlRows::Attributes};

const TableColumn kColumns[] = {{.xmlName = "Code", .textWidth = 4, .textAfter = " "},
                                {.xmlName = "Text", .textWidth = -6, .textAfter = "|"}};
const TableStyle kRowTable = {.textHeading = {},
                              .element = "Rows",
                              .indent = "\t\t",
                              .rowElement = "Row",
                              .rowIndent = "\t\t\t",
                              .rowEnd = " />",
                              .columns = kColumns};

void DescribeSample(Renderer &r)
{
    r.BeginDocument();
    r.BeginRecord(kOuter);
    r.Add("Name", "Name", "a&b");
    r.BeginRecord(kItem);
    r.Add("Instance", "Instance", "3");
    r.Add("Model", "Model", "CV-1");
    r.Add("Port", "Port", "2");
    r.Add("Only text", nullptr, "t", kInText);
    r.Add(nullptr, "OnlyXml", "x", kInXml);
    r.Add(Row{.label = "Speed", .xmlName = "Speed", .value = "8 Gbps", .xmlValue = "8"});
    r.EndRecord();
    r.BeginRecord(kLeaf);
    r.TextLine("  leaf line");
    r.Add(nullptr, "Id", "7", kInXml);
    r.EndRecord();
    r.BeginTable(kRowTable);
    const std::string cells[] = {"12", "ab\"c"};
    r.TableRow(cells);
    r.EndTable();
    r.EndRecord();
    r.Finish(0);
}

std::string Labelled(const std::string &label, const std::string &value)
{
    return label + std::string(31 - label.size(), ' ') + ": " + value + "\n";
}

TEST_F(RenderersTest, OneDescriptionInThreeForms)
{
    const std::string rule = std::string(80, '-') + "\n";
    EXPECT_EQ(Capture([] { DescribeSample(CurrentRenderer()); }),
              rule + Labelled("Name", "a&b") + Labelled("Instance", "3") +
                  Labelled("Model", "CV-1") + Labelled("Port", "2") + Labelled("Only text", "t") +
                  Labelled("Speed", "8 Gbps") + "  leaf line\n" + "  12 ab\"c  |\n" + rule);

    const std::string body = "\t<Outer>\n"
                             "\t\t<Name>a&amp;b</Name>\n"
                             "%s"
                             "\t\tModel=\"CV-1\"\n"
                             "\t\tOnlyXml=\"x\"\n"
                             "\t\tSpeed=\"8\" />\n"
                             "\t\t<Leaf Id=\"7\" />\n"
                             "\t\t<Rows>\n"
                             "\t\t\t<Row Code=\"12\" Text=\"ab&quot;c\" />\n"
                             "\t\t</Rows>\n"
                             "\t</Outer>\n"
                             "    <Status> 0 </Status>\n";
    // Form 1 names the item by its port, form 2 by instance and port.
    SetXmlOutput(1);
    std::string one = Capture([] { DescribeSample(CurrentRenderer()); });
    EXPECT_NE(one.find(Format(body.c_str(), "\t\t<Item Port=\"2\"\n\t\tInstance=\"3\"\n")),
              std::string::npos)
        << one;
    EXPECT_TRUE(xmlcheck::ParseXml(one));
    SetXmlOutput(2);
    std::string two = Capture([] { DescribeSample(CurrentRenderer()); });
    EXPECT_NE(two.find(Format(body.c_str(), "\t\t<Item Instance=\"3\" Port=\"2\"\n")),
              std::string::npos)
        << two;
    EXPECT_TRUE(xmlcheck::ParseXml(two));
}

TEST_F(RenderersTest, AFailureClosesWhatIsOpenAndDropsAnUnstartedTable)
{
    SetXmlOutput(1);
    int status = 0;
    std::string out = Capture([&] {
        Renderer &r = CurrentRenderer();
        r.BeginDocument();
        r.BeginRecord(kOuter);
        r.Add("Name", "Name", "n");
        r.BeginTable(kRowTable);
        status = r.Finish(115, "Unable to allocate memory!");
    });
    EXPECT_EQ(status, 115);
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << "\n" << out;
    EXPECT_EQ(doc.Text("/Vantor/Outer/Name"), "n");
    EXPECT_EQ(doc.Count("//Rows"), 0);
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 1 ");
    EXPECT_EQ(doc.Text("/Vantor/ErrorMsg"), " Unable to allocate memory! ");
    EXPECT_FALSE(XmlDocumentOpen());

    // What a display left open in an earlier command is not closed in the next one's document.
    Capture([] {
        Renderer &r = CurrentRenderer();
        r.BeginDocument();
        r.BeginRecord(kOuter);
        r.BeginTable(kRowTable);
        const std::string cells[] = {"1", "x"};
        r.TableRow(cells);
    });
    ResetOutputSettings();
    SetXmlOutput(1);
    out = Capture([] { CurrentRenderer().Finish(8, "Gone!"); });
    EXPECT_EQ(out.rfind("<?xml", 0), 0u) << out;
    EXPECT_TRUE(xmlcheck::ParseXml(out)) << out;

    // Text: the message line only.
    ResetOutputSettings();
    EXPECT_EQ(Capture([] { CurrentRenderer().Finish(8, "Gone!"); }), "Gone!\n");
}

TEST_F(RenderersTest, CtrlCClosesTheRecordsAndTheTableStillOpen)
{
    SetXmlOutput(2);
    std::string out = Capture([] {
        Renderer &r = CurrentRenderer();
        r.BeginDocument();
        r.BeginRecord(kOuter);
        r.BeginTable(kRowTable);
        const std::string cells[] = {"1", "x"};
        r.TableRow(cells);
        CloseXmlDocumentOnAbort();
    });
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << "\n" << out;
    EXPECT_EQ(doc.Count("/Vantor/Outer/Rows/Row"), 1);
    // The next document starts afresh.
    out = Capture([] {
        Renderer &r = CurrentRenderer();
        r.BeginDocument();
        r.BeginRecord(kLeaf);
        r.EndRecord();
        r.Finish(0);
    });
    EXPECT_TRUE(xmlcheck::ParseXml(out)) << out;
    EXPECT_EQ(out.find("</Outer>"), std::string::npos) << out;
}

// ---- Counter rows -------------------------------------------------------------

TEST_F(RenderersTest, CounterRowsInBothForms)
{
    const CounterEntry32 rows32[] = {{"        LinkFailure", 3}, {"LossOfSync", 4294967295u}};
    const CounterEntry64 rows64[] = {{"  TxFrames", 18446744073709551615ull}};
    LoadCounterTable32(rows32);
    LoadCounterTable64(rows64);
    EXPECT_EQ(Capture([] { PrintCounterRows32(); }), std::string(38 - 11, ' ') +
                                                         "LinkFailure: 3\n" + std::string(28, ' ') +
                                                         "LossOfSync: 4294967295\n");
    EXPECT_EQ(Capture([] { PrintCounterRows64(); }),
              std::string(30, ' ') + "TxFrames: 18446744073709551615\n");

    SetXmlOutput(1);
    EXPECT_EQ(Capture([] { PrintCounterRows32(); }),
              "\t<LinkFailure> 3 </LinkFailure>\n\t<LossOfSync> 4294967295 </LossOfSync>\n");
    std::string doc = InDocument([] {
        PrintCounterRows32();
        PrintCounterRows64();
    });
    xmlcheck::Document parsed(doc);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    EXPECT_EQ(parsed.Text("/Vantor/TxFrames"), " 18446744073709551615 ");
}

TEST_F(RenderersTest, EmptyCounterTablePrintsNothing)
{
    LoadCounterTable32({});
    LoadCounterTable64({});
    EXPECT_EQ(Capture([] {
                  PrintCounterRows32();
                  PrintCounterRows64();
              }),
              "");
    SetXmlOutput(1);
    EXPECT_EQ(Capture([] {
                  PrintCounterRows32();
                  PrintCounterRows64();
              }),
              "");
}

// ---- Field tables -------------------------------------------------------------

const SubField kPfc[] = {{"PFC Enabled on Priority 0", "Pfc0", 1},
                         {"PFC Enabled on Priority 1", "Pfc1", 2},
                         {"Reserved", "Reserved", 5}};
const SubField kWide[] = {{"Pad Byte Present", "PadByte", 2},
                          {"DCBX Parameter Valid", "Valid", 2},
                          {"Parameter Type", "ParamType", 2},
                          {"Parameter Type", "ParamType2", 2},
                          {"Count", "Count", 8}};
const SubField kNarrowType[] = {{"Parameter Type", "ParamType", 8}};

// Record: byte 0 = 0b101, bytes 1-2 = 0x3EE2 (little-endian), byte 3 = 2, byte 4 = 200.
const uint8_t kRecord[] = {0x05, 0xE2, 0x3E, 0x02, 200};

const FieldDescriptor kTable[] = {
    {0, kFieldSection, "DCBX Parameters", "DcbxParams", nullptr, {}},
    {0, kFieldXmlOpen, nullptr, "\t<Pfc>", nullptr, {}},
    {0, kField8, "PFC", nullptr, nullptr, kPfc},
    {0, kFieldXmlClose, nullptr, "\t</Pfc>", nullptr, {}},
    {0, 0, "Broken", nullptr, nullptr, {}},
    {1, kField16, "Flags", "\t<Flags>", "\t</Flags>", kWide},
    {3, kField8, "Type", "\t<Type>", "\t</Type>", kNarrowType},
    {4, kFieldSection, "Counters", "Counters", nullptr, {}},
    {4, kField8, "Priority", "\t<Priority>", "</Priority>", {}},
    {5, kField8, "Beyond the record", "\t<Beyond>", "</Beyond>", {}},
};

TEST_F(RenderersTest, FieldTableInTextMode)
{
    std::string out = Capture([] { RenderFieldTable(kTable, kRecord, sizeof kRecord); });
    EXPECT_EQ(out, "DCBX Parameters\n"
                   "PFC\n\tPFC Enabled on Priority 0: Yes\n\tPFC Enabled on Priority 1: Unknown!\n"
                   "\tReserved: 0\n"
                   "Incorrect Data Type\n"
                   "Flags\n\tPad Byte Present: Unknown!\n\tDCBX Parameter Valid: No\n"
                   "\tParameter Type: Current\n\tParameter Type: Unknown!\n\tCount: 62\n"
                   "Type\n\tParameter Type: 2\n"
                   "Counters\n"
                   "Priority: 200\n");
}

TEST_F(RenderersTest, FieldTableInXmlMode)
{
    SetXmlOutput(1);
    std::string out = Capture([] { RenderFieldTable(kTable, kRecord, sizeof kRecord); });
    EXPECT_NE(out.find("\t</Pfc>\n<Incorrect Data Type>\t<Flags>\n"), std::string::npos) << out;

    // Without the broken row, the rendering is part of a well-formed document.
    std::vector<FieldDescriptor> valid(std::begin(kTable), std::end(kTable));
    valid.erase(valid.begin() + 4);
    std::string doc = InDocument([&] { RenderFieldTable(valid, kRecord, sizeof kRecord); });
    xmlcheck::Document parsed(doc);
    ASSERT_TRUE(parsed.ok()) << parsed.error() << "\n" << doc;
    EXPECT_EQ(parsed.Text("/Vantor/DcbxParams/Pfc/Pfc0"), "Yes");
    EXPECT_EQ(parsed.Text("/Vantor/DcbxParams/Pfc/Pfc1"), "Unknown!");
    EXPECT_EQ(parsed.Text("/Vantor/DcbxParams/Flags/ParamType"), "Current");
    EXPECT_EQ(parsed.Text("/Vantor/DcbxParams/Flags/Count"), "62");
    EXPECT_EQ(parsed.Text("/Vantor/Counters/Priority"), "200");
    EXPECT_EQ(parsed.Count("//Beyond"), 0);
}

bool g_extensionCalled = false;
bool RenderCounter(const FieldDescriptor &field, std::span<const uint8_t> record)
{
    g_extensionCalled = true;
    if (field.type != 50)
        return false;
    PrintTextF("%22s: %u\n", field.label, record[field.offset]);
    return true;
}

TEST_F(RenderersTest, FieldTableEndsAndExtends)
{
    const FieldDescriptor table[] = {
        {0, 50, "Frames", nullptr, nullptr, {}},
        {0, 51, "Unknown to both", nullptr, nullptr, {}},
        {kFieldTableEnd, kField8, "After the end", nullptr, nullptr, {}},
        {0, kField8, "Never", nullptr, nullptr, {}},
    };
    std::string out =
        Capture([&] { RenderFieldTable(table, kRecord, sizeof kRecord, RenderCounter); });
    EXPECT_EQ(out, std::string(16, ' ') + "Frames: 5\nIncorrect Data Type\n");

    // Codes above the last one are never handed to the extension.
    const FieldDescriptor high[] = {{0, 101, "Too high", nullptr, nullptr, {}}};
    g_extensionCalled = false;
    out = Capture([&] { RenderFieldTable(high, kRecord, sizeof kRecord, RenderCounter); });
    EXPECT_EQ(out, "Incorrect Data Type\n");
    EXPECT_FALSE(g_extensionCalled);
}

TEST_F(RenderersTest, SubFieldValuesFollowTheWidthsBefore)
{
    const SubField subs[] = {
        {"a", "a", 3}, {"b", "b", 5}, {"c", "c", 16}, {"d", "d", 8}, {"e", "e", 4}};
    EXPECT_EQ(SubFieldValue(0xABCD1234u, subs, 0), 0x4u);
    EXPECT_EQ(SubFieldValue(0xABCD1234u, subs, 1), 0x06u);
    EXPECT_EQ(SubFieldValue(0xABCD1234u, subs, 2), 0xCD12u);
    EXPECT_EQ(SubFieldValue(0xABCD1234u, subs, 3), 0xABu);
    EXPECT_EQ(SubFieldValue(0xABCD1234u, subs, 4), 0u); // shifted beyond the word
    EXPECT_EQ(SubFieldValue(0xABCD1234u, subs, 5), 0u); // no such sub-field
    const SubField whole[] = {{"w", "w", 32}};
    EXPECT_EQ(SubFieldValue(0xFFFFFFFFu, whole, 0), 0xFFFFFFFFu);
}

// ---- Date/time, hex rows, paging ------------------------------------------------

TEST_F(RenderersTest, DateTimeBlockFollowsTheLibraryClock)
{
    setenv("TAVRO_FIXED_TIME", "1000000000", 1);
    std::time_t fixed = 1000000000;
    char when[64];
    ASSERT_TRUE(ctime_r(&fixed, when));
    const std::string t = when;
    ASSERT_NE(t.find("2001"), std::string::npos);

    EXPECT_EQ(Capture([] { PrintDateTimeBlock(); }), "\n" + t);
    EXPECT_EQ(Capture([] { PrintDateTimeBlock(DateTimePlace::EngineStats); }), "\n" + t + "\n");
    SetXmlOutput(1);
    EXPECT_EQ(Capture([] { PrintDateTimeBlock(); }), "\n<DateTime>\n" + t + "</DateTime>\n");
    EXPECT_EQ(Capture([] { PrintDateTimeBlock(DateTimePlace::InAdapter); }),
              "\t<DateTime>\n\t" + t + "\t</DateTime>\n");
    EXPECT_TRUE(xmlcheck::ParseXml(InDocument([] { PrintDateTimeBlock(); })));
}

TEST_F(RenderersTest, HexRowsOfEightBytes)
{
    const uint8_t bytes[] = {0, 1, 2, 3, 4, 5, 6, 0xAB, 0xFF, 0x10};
    EXPECT_EQ(Capture([&] { PrintHexRows(bytes); }), "00 01 02 03 04 05 06 AB \nFF 10 \n");
    EXPECT_EQ(Capture([] { PrintHexRows({}); }), "");
    SetXmlOutput(1);
    EXPECT_EQ(Capture([&] { PrintHexRows(bytes); }), "\t00 01 02 03 04 05 06 AB \n\tFF 10 \n");
}

TEST_F(RenderersTest, BlocksPauseOnlyInInteractiveMode)
{
    StdinFeed feed("yes\nlater\n");
    EXPECT_EQ(Capture([] { PauseBetweenBlocks(); }), "");
    Frame().interactiveMode = true;
    EXPECT_EQ(Capture([] { PauseBetweenBlocks(); }), "\n\t\tPress <Enter> to continue: ");
    EXPECT_EQ(StdinFeed::Rest(), "later\n");
}

} // namespace
