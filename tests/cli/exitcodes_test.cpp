#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>

#include "output_fixture.h"
#include "tavro_api.h"
#include "xmlcheck.h"

namespace {

class ExitCodesTest : public OutputTest {
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        saved_ = Frame().exitCodesFile;
        Frame().exitCodesFile = dir.file("fcvolk-exitcodes.txt");
    }
    void TearDown() override
    {
        Frame().exitCodesFile = saved_;
        OutputTest::TearDown();
    }
    void WriteCodes(int count)
    {
        std::string text;
        for (int i = 1; i <= count; ++i)
            text += std::to_string(i) + ",CODE_" + std::to_string(i) + ",Row " + std::to_string(i) +
                    "\n";
        testenv::WriteFile(Frame().exitCodesFile, text);
    }
    static size_t Count(const std::string &text, const std::string &what)
    {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
    std::string saved_;
};

const char *const kPrompt = "\n\t\tPress <Enter> to continue: ";

TEST_F(ExitCodesTest, LineParsing)
{
    ExitCodeRow row;
    ASSERT_TRUE(ParseExitCodeLine("5,NAME,a,b\n", row));
    EXPECT_EQ(row.code, 5);
    EXPECT_STREQ(row.name, "NAME");
    EXPECT_STREQ(row.description, "b");
    ASSERT_TRUE(ParseExitCodeLine("7 = \tSEVEN,\t Seven things\r\n", row));
    EXPECT_EQ(row.code, 7);
    EXPECT_STREQ(row.name, "SEVEN");
    EXPECT_STREQ(row.description, "Seven things");
    // A row never inherits the texts of the one before.
    ASSERT_TRUE(ParseExitCodeLine("12\n", row));
    EXPECT_EQ(row.code, 12);
    EXPECT_STREQ(row.name, "");
    EXPECT_STREQ(row.description, "");
    for (const char *skipped : {"#5,NAME,desc\n", "-----\n", "\n", "  \t\r\n", ""})
        EXPECT_FALSE(ParseExitCodeLine(skipped, row)) << '"' << skipped << '"';
}

TEST_F(ExitCodesTest, TextListing)
{
    testenv::WriteFile(Frame().exitCodesFile, "# comment,1,2\n0,TAVRO_OK,Done\n5,NAME,a,b\n\n");
    int result = -1;
    std::string out = Capture([&] { result = TAVRO_DisplayAppExitCodes(); });
    EXPECT_EQ(result, 0);
    std::string rule(79, '-');
    EXPECT_EQ(out, rule + "\nReturn\nCode    Name                    \t\tDescription\n" + rule +
                       "\n" +
                       "0\tTAVRO_OK                                Done\n"
                       "5\tNAME                                    b\n"
                       // A shell sees only 8 bits of the codes listed above 255.
                       "\nA shell sees an exit code above 255 as its low 8 bits (1101 arrives "
                       "as 77,\n287 as 31); --json carries the whole code as \"status\".\n");
}

TEST_F(ExitCodesTest, MissingFileFailsInBothForms)
{
    std::string message = "Unable to open file '" + Frame().exitCodesFile + "' for reading!";
    int result = -1;
    std::string out = Capture([&] { result = TAVRO_DisplayAppExitCodes(); });
    EXPECT_EQ(result, 1);
    EXPECT_NE(out.find("Description\n" + std::string(79, '-') + "\n" + message + "\n"),
              std::string::npos);

    SetXmlOutput(1);
    out = Capture([&] { result = TAVRO_DisplayAppExitCodes(); });
    EXPECT_EQ(result, 1);
    xmlcheck::Document doc(xmlcheck::FirstDocument(out));
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 1 ");
    EXPECT_EQ(doc.Text("/Vantor/ErrorMsg"), " " + message + " ");
    EXPECT_EQ(doc.Count("/Vantor/AppReturnCodes"), 0);
    EXPECT_EQ(doc.Count("/Vantor/VersionInfo"), 1);
}

TEST_F(ExitCodesTest, XmlListingIsOneDocumentAndNothingElse)
{
    testenv::WriteFile(Frame().exitCodesFile,
                       "#x\n0,TAVRO_OK,Done\n9,ODD_ONE,Tom & \"Jerry\" <x>\n");
    SetXmlOutput(2);
    int result = -1;
    std::string out = Capture([&] { result = TAVRO_DisplayAppExitCodes(); });
    EXPECT_EQ(result, 0);
    EXPECT_NE(out.find("\t\t<ReturnCode Number=\"0\" Name=\"TAVRO_OK\"  Description=\"Done\"/>\n"),
              std::string::npos);
    // A script reads the whole output as the document: no text table after it.
    EXPECT_EQ(out, xmlcheck::FirstDocument(out));
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << "\n" << out;
    EXPECT_EQ(doc.Count("/Vantor/AppReturnCodes/ReturnCode"), 2);
    EXPECT_EQ(doc.Text("//ReturnCode[@Number='9']/@Description"), "Tom & \"Jerry\" <x>");
    EXPECT_EQ(doc.Text("/Vantor/AppXmlVersion"), "2.0");
    EXPECT_EQ(doc.Text("/Vantor/VersionInfo/Name"), "Corvane TAVRO (x64)");
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 0 ");

    // An empty file still lists an (empty) element; a missing one none, and no text either.
    testenv::WriteFile(Frame().exitCodesFile, "# nothing\n");
    out = Capture([&] { result = TAVRO_DisplayAppExitCodes(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(xmlcheck::Document(out).Count("/Vantor/AppReturnCodes"), 1) << out;
    std::remove(Frame().exitCodesFile.c_str());
    out = Capture([&] { result = TAVRO_DisplayAppExitCodes(); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(out, xmlcheck::FirstDocument(out));
    EXPECT_EQ(out.find("Description\n"), std::string::npos) << out;
}

TEST_F(ExitCodesTest, InteractiveListingPausesAfterEveryTwentyFiveRows)
{
    WriteCodes(60);
    Frame().interactiveMode = true;
    StdinFeed feed("first\nsecond\nthird\n");
    std::string out = Capture([] { TAVRO_DisplayAppExitCodes(); });
    EXPECT_EQ(Count(out, kPrompt), 2u);
    EXPECT_NE(out.find("25\tCODE_25                                 Row 25\n" +
                       std::string(kPrompt) + "26\t"),
              std::string::npos);
    EXPECT_NE(out.find("Row 50\n" + std::string(kPrompt) + "51\t"), std::string::npos);
    // Each pause took exactly one line of input.
    EXPECT_EQ(StdinFeed::Rest(), "third\n");
}

TEST_F(ExitCodesTest, NoPauseAtTheEndOfAFullPageNorOutsideInteractiveMode)
{
    WriteCodes(25);
    Frame().interactiveMode = true;
    StdinFeed feed("\n");
    EXPECT_EQ(Count(Capture([] { TAVRO_DisplayAppExitCodes(); }), kPrompt), 0u);

    WriteCodes(60);
    Frame().interactiveMode = false;
    std::string out = Capture([] { TAVRO_DisplayAppExitCodes(); });
    EXPECT_EQ(Count(out, kPrompt), 0u);
    EXPECT_NE(out.find("60\tCODE_60"), std::string::npos);
    EXPECT_EQ(StdinFeed::Rest(), "\n");
}

TEST_F(ExitCodesTest, ShippedFileListsEveryCodeOnce)
{
    const std::string shipped = std::string(TAVRO_SOURCE_DIR) + "/data/fcvolk-exitcodes.txt";
    std::ifstream in(shipped);
    ASSERT_TRUE(in) << shipped;
    std::set<long> codes;
    long previous = -1;
    for (std::string line; std::getline(in, line);) {
        ExitCodeRow row;
        if (!ParseExitCodeLine((line + "\n").c_str(), row))
            continue;
        // code,NAME,Description: a stray separator would cut the description.
        EXPECT_TRUE(std::regex_match(line, std::regex("\\d+,[A-Z][A-Z0-9_]*,[^,=]+"))) << line;
        EXPECT_GT(row.code, previous) << "unsorted or duplicate: " << line;
        previous = row.code;
        codes.insert(row.code);
    }
    for (long code :
         {0,   1,   2,   3,    4,    7,    8,    9,    10,   11,   12,  13,  15,  16,  19,
          20,  21,  22,  23,   27,   30,   31,   33,   34,   40,   41,  42,  43,  44,  45,
          46,  47,  48,  51,   53,   56,   57,   58,   59,   60,   65,  67,  68,  69,  71,
          73,  74,  75,  76,   77,   78,   79,   81,   82,   83,   110, 111, 112, 114, 115,
          116, 117, 118, 119,  120,  121,  130,  131,  132,  133,  134, 135, 136, 137, 160,
          161, 162, 163, 164,  165,  196,  197,  200,  201,  207,  240, 242, 243, 270, 282,
          286, 287, 293, 330,  374,  378,  410,  450,  451,  505,  506, 507, 600, 601, 602,
          603, 604, 605, 1101, 1102, 1103, 1104, 1105, 1106, 1107, 1108})
        EXPECT_TRUE(codes.count(code)) << "missing code " << code;

    Frame().exitCodesFile = shipped;
    SetXmlOutput(1);
    std::string out = Capture([] { EXPECT_EQ(TAVRO_DisplayAppExitCodes(), 0); });
    xmlcheck::Document doc(xmlcheck::FirstDocument(out));
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_EQ(doc.Count("//ReturnCode"), static_cast<int>(codes.size()));
    EXPECT_EQ(doc.Text("//ReturnCode[@Number='8']/@Name"), "HBA_NOT_FOUND");
}

} // namespace
