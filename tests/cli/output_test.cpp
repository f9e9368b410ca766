#include <regex>
#include <sstream>
#include <vector>

#include "cli/cmdstate.h"
#include "frame/version.h"
#include "output_fixture.h"
#include "render/versioninfo.h"
#include "tavro_api.h"
#include "xmlcheck.h"

namespace {

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

const char *const kForm1Header = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                 "<Vantor>\n"
                                 "    <AppName>Corvane TAVRO (x64)</AppName>\n"
                                 "    <AppVersion>v2.3.0 Build 12 \n"
                                 "</AppVersion>\n";

// ---- Settings ---------------------------------------------------------------

TEST_F(OutputTest, DisplayModeOnlyOneMeansQuiet)
{
    TAVRO_SetDisplayMode(1);
    EXPECT_EQ(TAVRO_GetDisplayMode(), 1);
    TAVRO_SetDisplayMode(2);
    EXPECT_EQ(TAVRO_GetDisplayMode(), 0);
    EXPECT_FALSE(Frame().quietMode);
    TAVRO_SetDisplayMode(1);
    TAVRO_SetDisplayMode(0);
    EXPECT_EQ(TAVRO_GetDisplayMode(), 0);
}

TEST_F(OutputTest, QuietModeWithoutOutputFilePrintsNothingAndKeepsTheStatus)
{
    TAVRO_SetDisplayMode(1);
    int status = 0;
    std::string out = Capture([&] {
        status = ReportFailure(8, "Unable to locate the specified HBA!");
        VersionBanner();
        SetXmlOutput(1);
        status += ReportFailure(130, "Please specify the HBA instance or WWPN number!");
    });
    EXPECT_EQ(out, "");
    EXPECT_EQ(status, 138);
}

TEST_F(OutputTest, OutputFileIsAppendedCutAndReplaced)
{
    std::string first = dir.file("first.txt");
    testenv::WriteFile(first, "old\n");
    ASSERT_TRUE(OpenOutputFile(first));
    PrintMessage("one");
    std::string second = dir.file("second.txt");
    ASSERT_TRUE(OpenOutputFile(second));
    // The first file was closed (and so flushed) before the second opened.
    EXPECT_EQ(testenv::ReadFile(first), "old\none\n");
    PrintMessage("two");
    CloseOutputFile();
    EXPECT_EQ(testenv::ReadFile(second), "two\n");
    EXPECT_EQ(Frame().outputStream, nullptr);

    std::string longName = dir.path() + "/" + std::string(300, 'n');
    ASSERT_TRUE(OpenOutputFile(longName));
    EXPECT_EQ(OutputFileName(), longName.substr(0, 255));
    EXPECT_TRUE(testenv::FileExists(longName.substr(0, 255)));

    EXPECT_FALSE(OpenOutputFile(dir.file("missing/out.txt")));
    EXPECT_EQ(OutputFileName(), dir.file("missing/out.txt"));
    EXPECT_EQ(Frame().outputStream, nullptr);
}

TEST_F(OutputTest, SystemLogGoesToTheInstallationDirectoryAndResetEndsIt)
{
    std::string saved = Frame().installDir;
    Frame().installDir = dir.path();
    ASSERT_TRUE(OpenSystemLog());
    EXPECT_EQ(OutputFileName(), dir.file("messages.txt"));
    PrintMessage("logged");
    SetXmlOutput(2);
    Frame().interactiveMode = true;
    TAVRO_SetDisplayMode(1);
    ResetOutputSettings();
    Frame().installDir = saved;
    FrameState &f = Frame();
    EXPECT_FALSE(f.sysLogMode || f.xmlMode || f.quietMode || f.interactiveMode);
    EXPECT_EQ(f.xmlForm, 1);
    EXPECT_EQ(f.outputStream, nullptr);
    std::string log = testenv::ReadFile(dir.file("messages.txt"));
    EXPECT_TRUE(std::regex_match(
        log, std::regex("[A-Z][a-z]{2} \\d{2} \\d{2}:\\d{2}:\\d{2} [AP]M : logged\n")))
        << log;
}

// ---- Document frame -----------------------------------------------------------

TEST_F(OutputTest, FailureBeforeAnyOutputIsAWholeDocument)
{
    SetXmlOutput(1);
    int status = 0;
    std::string out =
        Capture([&] { status = ReportFailure(8, "Unable to locate the specified HBA!"); });
    EXPECT_EQ(status, 8);
    EXPECT_EQ(out, std::string(kForm1Header) +
                       "    <Status> 1 </Status>\n"
                       "    <ErrorMsg> Unable to locate the specified HBA! </ErrorMsg>\n"
                       "    <Reboot> 0 </Reboot>\n"
                       "</Vantor>\n");
    std::string error;
    EXPECT_TRUE(xmlcheck::ParseXml(out, &error)) << error;
    EXPECT_FALSE(XmlDocumentOpen());
}

TEST_F(OutputTest, TextModeFailureIsTheMessageLineOnly)
{
    std::string out = Capture([] { ReportFailure(7, "Option is currently disabled!"); });
    EXPECT_EQ(out, "Option is currently disabled!\n");
    EXPECT_EQ(Capture([] { ReportResult(0, nullptr); }), "");
}

TEST_F(OutputTest, TrailerWithoutMessageHasNoErrorMsg)
{
    SetXmlOutput(1);
    std::string out = Capture([] { EmitXmlStatus(0, nullptr, 1, true, true); });
    EXPECT_EQ(out.find("ErrorMsg"), std::string::npos);
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 0 ");
    EXPECT_EQ(doc.Text("/Vantor/Reboot"), " 1 ");
    // Without the close flag the document stays open for more elements.
    std::string partial = Capture([] { EmitXmlStatus(0, nullptr, 0, true, false); });
    EXPECT_EQ(partial.find("</Vantor>"), std::string::npos);
    EXPECT_TRUE(XmlDocumentOpen());
}

TEST_F(OutputTest, FormTwoCarriesXmlVersionAndOneLineAppVersion)
{
    SetXmlOutput(2);
    std::string out = Capture([] { ReportResult(0, "Done.", 1); });
    std::vector<std::string> lines = Lines(out);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[3], "    <AppVersion>v2.3.0 Build 12 </AppVersion>");
    EXPECT_EQ(lines[4], "    <AppXmlVersion>2.0</AppXmlVersion>");
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_EQ(doc.Text("/Vantor/ErrorMsg"), " Done. ");
    EXPECT_EQ(doc.Text("/Vantor/Reboot"), " 1 ");

    // Form 1 spans the version over two lines and has no XML version.
    SetXmlOutput(1);
    std::string one = Capture([] { EmitXmlStatus(0, nullptr, 0, true, true); });
    EXPECT_EQ(one.rfind(kForm1Header, 0), 0u);
    EXPECT_EQ(one.find("AppXmlVersion"), std::string::npos);
    EXPECT_TRUE(xmlcheck::ParseXml(one));
    // The form-2 twin writes its own header whatever the setting.
    std::string twin = Capture([] { EmitXmlStatusForm2(0, nullptr, 0, true, true); });
    EXPECT_NE(twin.find("<AppXmlVersion>2.0</AppXmlVersion>"), std::string::npos);
}

TEST_F(OutputTest, UserTextIsEscapedAndLinesAreCut)
{
    SetXmlOutput(1);
    const std::string nasty = "Unable to open file 'a&b<c>\"d\"\x01\ne' for reading!";
    std::string out = Capture([&] { ReportFailure(1, nasty.c_str()); });
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << "\n" << out;
    EXPECT_EQ(doc.Text("/Vantor/ErrorMsg"), " Unable to open file 'a&b<c>\"d\"? e' for reading! ");

    std::string longMessage(400, 'x');
    out = Capture([&] { EmitXmlStatus(1, longMessage.c_str(), 0, false, false); });
    EXPECT_EQ(Lines(out).at(1).size(), 255u);
}

TEST_F(OutputTest, TextBeyondAsciiParsesAsTheSameCharacters)
{
    // UTF-8 of two, three and four bytes; bytes that are no UTF-8 (a lone
    // ISO-8859-1 letter, an overlong form, a surrogate, a cut sequence); a
    // code point XML cannot carry.
    const std::string text = "\xC3\xA9|\xE2\x82\xAC|\xF0\x9F\x98\x80|\xE9|\xC0\x80|"
                             "\xED\xA0\x80|\xEF\xBF\xBE|\xE2\x82";
    const std::string parsed = "\xC3\xA9|\xE2\x82\xAC|\xF0\x9F\x98\x80|\xC3\xA9|\xC3\x80\xC2\x80|"
                               "\xC3\xAD\xC2\xA0\xC2\x80|?|\xC3\xA2\xC2\x82";
    for (int form : {1, 2}) {
        SetXmlOutput(form);
        std::string out = Capture([&] { ReportFailure(1, text.c_str()); });
        xmlcheck::Document doc(out);
        ASSERT_TRUE(doc.ok()) << doc.error() << "\n" << out;
        EXPECT_EQ(doc.Text("/Vantor/ErrorMsg"), " " + parsed + " ");
    }
}

TEST_F(OutputTest, AbortClosesTheOpenAdapterElementAndTheDocument)
{
    SetXmlOutput(1);
    std::string out = Capture([] {
        EmitXmlHeader();
        PrintMessage("\t<Beacon Port=\"0\">");
        SetXmlElementOpen("\t</Beacon>");
        CloseXmlDocumentOnAbort();
        CloseXmlDocumentOnAbort(); // the document is already closed
    });
    EXPECT_NE(
        out.find("\t</Beacon>\n    <Status> 0 </Status>\n    <Reboot> 0 </Reboot>\n</Vantor>\n"),
        std::string::npos)
        << out;
    EXPECT_EQ(out.find("</Vantor>"), out.rfind("</Vantor>"));
    std::string error;
    EXPECT_TRUE(xmlcheck::ParseXml(out, &error)) << error;
    // An element its emitter closed itself is not closed twice.
    out = Capture([] {
        EmitXmlHeader();
        SetXmlElementOpen("\t</Host>");
        PrintMessage("\t<Host>");
        PrintMessage("\t</Host>");
        SetXmlElementOpen(nullptr);
        CloseXmlDocumentOnAbort();
    });
    EXPECT_EQ(out.find("</Host>"), out.rfind("</Host>"));
    EXPECT_TRUE(xmlcheck::ParseXml(out));
    // Nothing is written when no document is open, nor in text mode.
    EXPECT_EQ(Capture([] { CloseXmlDocumentOnAbort(); }), "");
    ResetOutputSettings();
    std::string text = Capture([] {
        EmitXmlHeader();
        CloseXmlDocumentOnAbort();
    });
    EXPECT_EQ(text.find("<Status>"), std::string::npos);
}

// ---- Version ------------------------------------------------------------------

TEST_F(OutputTest, VersionBannerAndVersionElement)
{
    std::vector<std::string> lines = Lines(Capture([] { VersionBanner(); }));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Corvane TAVRO (x64)");
    EXPECT_EQ(lines[1], "CLI - Version 2.3.0 (Build 12)");
    EXPECT_EQ(lines[2], "Corvane FC/FCoE Common Library");
    EXPECT_EQ(lines[3], kNoticeText);
    EXPECT_EQ(lines[4], "Build Type:  Release");
    EXPECT_TRUE(std::regex_match(
        lines[5], std::regex("Build Date:  [A-Z][a-z]{2} [ 0-9]\\d \\d{4} \\d{2}:\\d{2}:\\d{2}")))
        << lines[5];

    SetXmlOutput(1);
    std::string out = Capture([] {
        EmitXmlHeader();
        EmitVersionInfo(true);
    });
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_EQ(doc.Text("/Vantor/VersionInfo/Name"), "Corvane TAVRO (x64)");
    EXPECT_EQ(doc.Text("/Vantor/VersionInfo/Version"), "v2.3.0 Build 12 ");
    EXPECT_EQ(doc.Text("/Vantor/VersionInfo/Desc"), "Corvane FC/FCoE Common Library");
    EXPECT_EQ(doc.Text("/Vantor/VersionInfo/BuildType"), "Release");
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 0 ");
    EXPECT_EQ(doc.Count("/Vantor/ErrorMsg"), 0);
}

} // namespace
