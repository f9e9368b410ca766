// -i ... vpd end to end: the labelled lines, both XML forms, corrupted VPD
// and adapters without VPD in an all-adapter listing.
#include <gtest/gtest.h>

#include "testenv.h"
#include "xmlcheck.h"

namespace {

const std::string kVolk = std::string(TAVRO_BINARY_DIR) + "/bin/volk";

bool Has(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

class VpdVolk : public ::testing::Test {
protected:
    testenv::RunResult Volk(std::vector<std::string> args, const std::string &machine = "")
    {
        args.insert(args.begin(), kVolk);
        return testenv::Run(args, {"VNSDM_STATE=" + dir.file("state.db"),
                                   "VNSDM_MACHINE=" + machine, "TAVRO_CLOCK_SCALE=1000"});
    }
    // Two single-port cards: the first with the given port settings.
    std::string Machine(const std::string &firstPort)
    {
        const std::string path = dir.file("machine.json");
        testenv::WriteFile(path, R"({ "adapters": [
  { "model": "CV-2081", "serial": "CVA0800001",
    "defaults": { "chip": { "device_id": "0x70C1", "subsystem_id": "0x0081" } },
    "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:08:00:01" }, )" +
                                     firstPort + R"( } ] },
  { "model": "CV-2081", "serial": "CVA0800002",
    "defaults": { "chip": { "device_id": "0x70C1", "subsystem_id": "0x0081" } },
    "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:08:00:02" } } ] } ] })");
        return path;
    }
    testenv::TempDir dir;
};

TEST_F(VpdVolk, OnePortShowsTheLabelledLines)
{
    auto r = Volk({"-i", "0", "vpd"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    for (const char *line :
         {"Product Identifier             : Vantor Corvane CV-2322 Dual Port 32Gb Fibre Channel "
          "Adapter\n",
          "VPD-R Tag                      : \n", "Part Number                    : CV2322-0101\n",
          "Serial Number                  : CVA3220417\n", "VPD-W Tag                      : \n",
          "Remaining RW Data              : 00\n", "End Tag                        : \n"})
        EXPECT_TRUE(Has(r.out, line)) << line << "\n" << r.out;
    EXPECT_TRUE(Has(r.out, "Checksum & Reserved            : ")) << r.out;

    for (const char *form : {"-x", "-x2"}) {
        r = Volk({"-i", "0", "vpd", form});
        ASSERT_EQ(r.exitCode, 0) << r.out;
        xmlcheck::Document doc(r.out);
        ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
        EXPECT_EQ(doc.Text("//VPD/VPD/@PartNumber").value_or(""), "CV2322-0101");
        EXPECT_EQ(doc.Text("//VPD/VPD/@SerialNumber").value_or(""), "CVA3220417");
        EXPECT_EQ(doc.Text("//VPD/VPD/@VPD-RTag").value_or(""), " ");
        EXPECT_TRUE(doc.Text("//VPD/VPD/@EnginerringDateCode").has_value()) << r.out;
    }
}

TEST_F(VpdVolk, CorruptedVpdGetsItsCode)
{
    // An identifier but no end tag.
    std::string hex = "820300414243";
    hex.append(2 * (512 - 6), '0');
    const std::string machine = Machine(R"("vpd": { "hex": ")" + hex + R"(" })");
    auto r = Volk({"-i", "0", "vpd"}, machine);
    EXPECT_EQ(r.exitCode, 161) << r.out;
    EXPECT_TRUE(Has(r.out, "VPD data of this HBA appears to be corrupted (Instance 0)!")) << r.out;
    r = Volk({"-i", "0", "vpd", "-x"}, machine);
    EXPECT_EQ(r.exitCode, 161);
    EXPECT_TRUE(xmlcheck::ParseXml(r.out)) << r.out;
    // The listing goes on past it and fails with its code.
    r = Volk({"-i", "all", "vpd"}, machine);
    EXPECT_EQ(r.exitCode, 161) << r.out;
    EXPECT_TRUE(Has(r.out, "Serial Number                  : CVA0800002")) << r.out;
}

TEST_F(VpdVolk, AllSucceedsWhenSomeAdaptersHaveNoVpd)
{
    const std::string machine =
        Machine(R"("faults": { "queries": { "vpd": "SDERR_NOT_SUPPORTED" } })");
    auto r = Volk({"-i", "all", "vpd"}, machine);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Unable to read VPD of this HBA (Instance 0)")) << r.out;
    EXPECT_TRUE(Has(r.out, "Serial Number                  : CVA0800002")) << r.out;
    r = Volk({"-i", "all", "vpd", "-x2"}, machine);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    xmlcheck::Document doc(r.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
    // The unreadable adapter is there with an empty identifier, whatever the order.
    EXPECT_TRUE(doc.Text("//VPD/VPD[@ProductIdentifier='']/@ProductIdentifier").has_value())
        << r.out;
    EXPECT_EQ(doc.Count("//VPD/VPD"), 2) << r.out;
    EXPECT_TRUE(doc.Text("//VPD/VPD[@SerialNumber='CVA0800002']/@SerialNumber").has_value())
        << r.out;
}

} // namespace
