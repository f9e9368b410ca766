// --json: the facts of XML form 1 as one JSON document with the whole status.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "render/json.h"
#include "volk_fixture.h"
#include "xmlcheck.h"

namespace {

using Json = nlohmann::json;
using PortFacts = std::tuple<std::string, std::string, std::string, std::string>;

// Port, WWPN, WWNN and state of every GeneralInfo element, wherever it sits.
void CollectPorts(const Json &j, std::vector<PortFacts> &out)
{
    if (j.is_array()) {
        for (const Json &e : j)
            CollectPorts(e, out);
        return;
    }
    if (!j.is_object())
        return;
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (it.key() == "GeneralInfo") {
            std::vector<Json> items =
                it->is_array() ? it->get<std::vector<Json>>() : std::vector<Json>{*it};
            for (const Json &g : items)
                out.emplace_back(g.value("Port", ""), g.value("WWPN", ""), g.value("WWNN", ""),
                                 g.value("Status", ""));
        } else {
            CollectPorts(*it, out);
        }
    }
}

std::vector<PortFacts> XmlPorts(const std::string &xml)
{
    xmlcheck::Document doc(xml);
    EXPECT_TRUE(doc.ok()) << doc.error();
    std::vector<PortFacts> out;
    const int n = doc.Count("//GeneralInfo");
    for (int i = 1; i <= n; ++i) {
        const std::string at = "(//GeneralInfo)[" + std::to_string(i) + "]/@";
        out.emplace_back(doc.Value("string(" + at + "Port)"), doc.Value("string(" + at + "WWPN)"),
                         doc.Value("string(" + at + "WWNN)"),
                         doc.Value("string(" + at + "Status)"));
    }
    return out;
}

class JsonOutput : public VolkFixture {
protected:
    Json Parse(const testenv::RunResult &r)
    {
        Json j = Json::parse(r.out, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << r.out;
        return j;
    }
};

} // namespace

TEST_F(JsonOutput, AllPortsCarryTheSamePortsWwpnsAndStatesAsXml)
{
    const testenv::RunResult xml = Volk({"-i", "all", "-x"});
    const testenv::RunResult json = Volk({"-i", "all", "--json"});
    ASSERT_EQ(xml.exitCode, 0) << xml.out;
    ASSERT_EQ(json.exitCode, 0) << json.out;
    const Json doc = Parse(json);
    std::vector<PortFacts> fromJson;
    CollectPorts(doc, fromJson);
    std::vector<PortFacts> fromXml = XmlPorts(xmlcheck::FirstDocument(xml.out));
    ASSERT_GE(fromXml.size(), 8u);
    EXPECT_EQ(fromJson, fromXml);
    for (const PortFacts &p : fromJson)
        EXPECT_EQ(std::get<1>(p).size(), 23u) << std::get<1>(p);
    EXPECT_EQ(doc["status"], 0);
    EXPECT_EQ(doc["Reboot"], 0);
    EXPECT_FALSE(doc.contains("Status")) << "the 0/1 flag is the status itself";
    EXPECT_EQ(doc["AppName"], "Corvane TAVRO (x64)");
    EXPECT_EQ(json.out.find("<?xml"), std::string::npos);
}

TEST_F(JsonOutput, FailureCarriesTheWholeStatusAboveTwoFiftyFive)
{
    const testenv::RunResult r = Volk({"--json", "-vp", "2", "create", "02"});
    EXPECT_EQ(r.exitCode, 287 % 256) << "the shell sees the low 8 bits";
    const Json doc = Parse(r);
    EXPECT_EQ(doc["status"], 287);
    EXPECT_EQ(doc["ErrorMsg"], "Invalid vPort WWPN byte 02: bytes 00 to 03 are reserved!");
}

TEST_F(JsonOutput, ParseFailuresAndUnknownAdaptersAreDocumentsToo)
{
    testenv::RunResult r = Volk({"--json", "-i", "50"});
    EXPECT_EQ(r.exitCode, 8);
    EXPECT_EQ(Parse(r)["status"], 8);
    r = Volk({"--json", "-nosuch"});
    EXPECT_EQ(r.exitCode, 134);
    Json doc = Parse(r);
    EXPECT_EQ(doc["status"], 134);
    EXPECT_EQ(doc["ErrorMsg"], "Unrecognized command line option '-nosuch'!");
    // The version needs no start-up and still answers in JSON.
    r = Volk({"-v", "--JSON"});
    EXPECT_EQ(r.exitCode, 0);
    doc = Parse(r);
    EXPECT_TRUE(doc.contains("VersionInfo")) << r.out;
}

TEST_F(JsonOutput, RefusedCombinationsAnswerAsXmlDoes)
{
    // Help is for a person: refused as text.
    testenv::RunResult r = Volk({"--json", "-h"});
    EXPECT_NE(r.out.find("Online help is not available with XML output!"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find('{'), std::string::npos);
    r = Volk({"-o", "system", "--json", "-g"});
    EXPECT_EQ(r.exitCode, 134);
    // Quiet prints nothing; the exit code stays.
    r = Volk({"-s", "--json", "-i", "50"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitCode, 8);
    // An output file gets the document.
    r = Volk({"--json", "-o", dir.file("out.json"), "-g"});
    EXPECT_EQ(r.exitCode, 0);
    Json doc = Json::parse(testenv::ReadFile(dir.file("out.json")), nullptr, false);
    ASSERT_FALSE(doc.is_discarded());
    EXPECT_EQ(doc["status"], 0);
    EXPECT_EQ(r.out, "") << "the document belongs in the file";
    // Every HBA's ports are an array, also the HBA with one port.
    for (const Json &hba : doc["DeviceList"]["HBA"])
        EXPECT_TRUE(hba["Port"].is_array()) << hba.dump();
}

TEST_F(JsonOutput, ExitCodeListingHasEveryCodeAndTheNoteStaysInText)
{
    testenv::RunResult r = Volk({"-ei", "--json"});
    EXPECT_EQ(r.exitCode, 0);
    const Json doc = Parse(r);
    const Json &codes = doc["AppReturnCodes"]["ReturnCode"];
    ASSERT_TRUE(codes.is_array());
    EXPECT_GT(codes.size(), 100u);
    EXPECT_TRUE(std::any_of(codes.begin(), codes.end(),
                            [](const Json &c) { return c["Number"] == "1101"; }));
    r = Volk({"-ei"});
    EXPECT_NE(r.out.find("1101 arrives as 77"), std::string::npos);
}

TEST(JsonConversion, ElementsAttributesRepeatsAndStrayLines)
{
    const std::string xml =
        "note before\n"
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Vantor>\n"
        "    <AppName>P</AppName>\n"
        "\t<Item Port=\"0\" Alias=\"caf&#233;\"/>\n"
        "\t<Item Port=\"1\"><Sub>x</Sub>text</Item>\n"
        "\t<Single> one </Single>\n"
        "    <Status> 1 </Status>\n    <ErrorMsg> Bad &amp; worse! </ErrorMsg>\n"
        "    <Reboot> 1 </Reboot>\n</Vantor>\n";
    const Json j = Json::parse(XmlOutputToJson(xml, 1101));
    EXPECT_EQ(j["Messages"], Json::array({"note before"}));
    EXPECT_EQ(j["AppName"], "P");
    ASSERT_TRUE(j["Item"].is_array());
    ASSERT_EQ(j["Item"].size(), 2u);
    EXPECT_EQ(j["Item"][0]["Alias"], "caf\u00e9");
    EXPECT_EQ(j["Item"][1]["Sub"], "x");
    EXPECT_EQ(j["Item"][1]["text"], "text");
    EXPECT_EQ(j["Single"], "one");
    EXPECT_EQ(j["status"], 1101);
    EXPECT_EQ(j["ErrorMsg"], "Bad & worse!");
    EXPECT_EQ(j["Reboot"], 1);
    // Member order follows the document.
    const std::string text = XmlOutputToJson(xml, 0);
    EXPECT_LT(text.find("\"AppName\""), text.find("\"Item\""));
    EXPECT_LT(text.find("\"Item\""), text.find("\"status\""));
}

TEST(JsonConversion, NothingCollectedStillGivesADocument)
{
    const Json j = Json::parse(XmlOutputToJson("", 136));
    EXPECT_EQ(j["status"], 136);
    EXPECT_EQ(j["AppName"], "Corvane TAVRO (x64)");
    // A broken document is kept as text rather than lost.
    const Json broken = Json::parse(XmlOutputToJson("<?xml version=\"1.0\"?>\n<Vantor><A>", 1));
    EXPECT_EQ(broken["status"], 1);
}

// libxml2 (with ICU, zlib and lzma behind it) is loaded only by JSON output:
// text and XML runs start without it, and JSON output still finds it.
TEST_F(JsonOutput, OnlyJsonOutputLoadsLibxml2)
{
    auto run = [&](const std::vector<std::string> &args) {
        std::vector<std::string> argv = {VolkPath()};
        argv.insert(argv.end(), args.begin(), args.end());
        // The dynamic loader names every library it opens on standard error.
        return testenv::Run(argv, {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=",
                                   "TAVRO_HBA_CONF=" + dir.file("hba.conf"), "LD_DEBUG=files"});
    };
    const testenv::RunResult text = run({"-i", "all"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    ASSERT_NE(text.err.find("libtavro.so"), std::string::npos) << "the loader said nothing";
    EXPECT_EQ(text.err.find("libxml2"), std::string::npos);
    EXPECT_EQ(text.err.find("libicu"), std::string::npos);
    const testenv::RunResult xml = run({"-i", "all", "-x"});
    ASSERT_EQ(xml.exitCode, 0) << xml.err;
    EXPECT_EQ(xml.err.find("libxml2"), std::string::npos);
    const testenv::RunResult json = run({"-i", "all", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.err.find("libxml2"), std::string::npos);
    const Json doc = Parse(json);
    std::vector<PortFacts> ports;
    CollectPorts(doc, ports);
    EXPECT_GE(ports.size(), 8u) << json.out;
}
