// CT and ELS pass-through against the default machine's fabric.
#include <algorithm>
#include <cstring>
#include <set>

#include "test_util.h"

namespace vnsdm_test {
namespace {

constexpr uint32_t k2322Online = 0, k2322Down = 1, k2162Port2 = 3;
const Wwn kCore = ParseWwn("10:00:00:5a:3c:20:00:01");
const Wwn kEdge = ParseWwn("10:00:00:5a:3c:20:00:02");
const Wwn kArray = ParseWwn("50:0c:ab:10:00:00:10:01");

std::vector<uint8_t> Request(uint8_t type, uint8_t subtype, uint16_t cmd,
                             std::vector<uint8_t> payload = {})
{
    std::vector<uint8_t> r(16 + payload.size(), 0);
    r[0] = 0x01;
    r[4] = type;
    r[5] = subtype;
    r[8] = uint8_t(cmd >> 8);
    r[9] = uint8_t(cmd);
    std::copy(payload.begin(), payload.end(), r.begin() + 16);
    return r;
}

std::vector<uint8_t> PortIdPayload(uint32_t id)
{
    return {0, uint8_t(id >> 16), uint8_t(id >> 8), uint8_t(id)};
}

class FabricTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        h_ = Open(k2322Online);
    }
    std::vector<uint8_t> Ct(const std::vector<uint8_t> &req, uint32_t size = 4096)
    {
        std::vector<uint8_t> resp(size);
        uint32_t len = size;
        EXPECT_EQ(SDSendCTPassThru(h_, req.data(), uint32_t(req.size()), resp.data(), &len), SD_OK);
        resp.resize(len);
        return resp;
    }
    static uint16_t Code(const std::vector<uint8_t> &r) { return uint16_t(r[8] << 8 | r[9]); }
    static Wwn NameAt(const std::vector<uint8_t> &r, size_t at)
    {
        Wwn w;
        std::memcpy(w.data(), &r[at], 8);
        return w;
    }
    uint32_t h_ = 0;
};

TEST_F(FabricTest, InterconnectElementsAndDomains)
{
    const auto list = Ct(Request(0xFA, 0x01, 0x0101));
    ASSERT_EQ(Code(list), 0x8002);
    ASSERT_EQ(list[19], 2);
    EXPECT_EQ(NameAt(list, 20), kCore);
    EXPECT_EQ(NameAt(list, 32), kEdge);
    EXPECT_EQ(list[20 + 11], 1);
    EXPECT_EQ(Ct(Request(0xFA, 0x01, 0x0100))[19], 2); // the fallback command answers the same list

    auto domain = Ct(Request(0xFA, 0x01, 0x0112, std::vector<uint8_t>(kEdge.begin(), kEdge.end())));
    ASSERT_EQ(Code(domain), 0x8002);
    EXPECT_EQ(domain[17], 2);
    const auto fabricName =
        Ct(Request(0xFA, 0x01, 0x0114, std::vector<uint8_t>(kEdge.begin(), kEdge.end())));
    ASSERT_EQ(Code(fabricName), 0x8002);
    EXPECT_EQ(NameAt(fabricName, 16), kCore); // the principal switch: lowest domain
    const auto unknown =
        Ct(Request(0xFA, 0x01, 0x0112, std::vector<uint8_t>(kArray.begin(), kArray.end())));
    EXPECT_EQ(Code(unknown), 0x8001);
    EXPECT_EQ(unknown[13], 0x09);
}

TEST_F(FabricTest, NameServerQueries)
{
    std::vector<uint8_t> payload = {0, 0, 0, 0x08};
    const auto ids = Ct(Request(0xFC, 0x02, 0x0171, payload));
    ASSERT_EQ(Code(ids), 0x8002);
    std::set<uint32_t> seen;
    size_t at = 16;
    for (; at + 4 <= ids.size(); at += 4) {
        seen.insert(uint32_t(ids[at + 1]) << 16 | ids[at + 2] << 8 | ids[at + 3]);
        if (ids[at] & 0x80)
            break;
    }
    EXPECT_EQ(at + 4, ids.size());         // the last entry is marked
    EXPECT_TRUE(seen.count(0x010400));     // array
    EXPECT_TRUE(seen.count(0x020300));     // tape
    EXPECT_TRUE(seen.count(0x010100));     // this port
    EXPECT_TRUE(seen.count(0x010201));     // a virtual port of the 16 Gb card
    EXPECT_EQ(seen.size(), 2u + 12u + 2u); // targets, online physical ports, virtual ports

    payload = {0, 1, 0, 0x08}; // domain 1 only
    const auto domainOne = Ct(Request(0xFC, 0x02, 0x0171, payload));
    EXPECT_LT(domainOne.size(), ids.size());

    const auto pn = Ct(Request(0xFC, 0x02, 0x0112, PortIdPayload(0x010400)));
    ASSERT_EQ(Code(pn), 0x8002);
    EXPECT_EQ(NameAt(pn, 16), kArray);
    const auto nn = Ct(Request(0xFC, 0x02, 0x0113, PortIdPayload(0x010400)));
    EXPECT_EQ(NameAt(nn, 16), ParseWwn("50:0c:ab:10:00:00:10:00"));
    const auto none = Ct(Request(0xFC, 0x02, 0x0112, PortIdPayload(0x123456)));
    EXPECT_EQ(Code(none), 0x8001);
    EXPECT_EQ(none[13], 0x09);

    const auto next = Ct(Request(0xFC, 0x02, 0x0100, PortIdPayload(0x010300)));
    ASSERT_EQ(Code(next), 0x8002);
    EXPECT_EQ(next[17] << 16 | next[18] << 8 | next[19], 0x010400);
    EXPECT_EQ(NameAt(next, 20), kArray);

    const auto fpn = Ct(Request(0xFC, 0x02, 0x011C, PortIdPayload(0x010100)));
    ASSERT_EQ(Code(fpn), 0x8002);
    EXPECT_EQ(fpn[16], 0x20);
    EXPECT_EQ(0, std::memcmp(&fpn[18], kCore.data() + 2, 6));

    const auto byName =
        Ct(Request(0xFC, 0x02, 0x0121, std::vector<uint8_t>(kArray.begin(), kArray.end())));
    EXPECT_EQ(byName[17] << 16 | byName[18] << 8 | byName[19], 0x010400);

    const auto unsupported = Ct(Request(0xFC, 0x02, 0x0999));
    EXPECT_EQ(Code(unsupported), 0x8001);
    EXPECT_EQ(unsupported[13], 0x0B);
}

TEST_F(FabricTest, CtPingAndTraceRoute)
{
    std::vector<uint8_t> ping = {0, 0, 0, 1, 0, 2, 0, 8};
    ping.insert(ping.end(), kArray.begin(), kArray.end());
    ping.insert(ping.end(), {0x00, 0x00, 0x12, 0x34});
    const auto pong = Ct(Request(0xFA, 0x01, 0x0401, ping), 20);
    ASSERT_EQ(pong.size(), 20u);
    EXPECT_EQ(Code(pong), 0x8002);
    EXPECT_EQ(pong[18] << 8 | pong[19], 0x1234);

    // From this port (domain 1) to the tape (domain 2): two switches on the way.
    const Wwn self = ParseWwn("21:00:00:0e:7a:32:20:01"),
              tape = ParseWwn("50:0c:ab:20:00:00:20:01");
    std::vector<uint8_t> ftr = {0, 0, 0, 1, 0, 2, 0, 8};
    ftr.insert(ftr.end(), self.begin(), self.end());
    ftr.insert(ftr.end(), {0, 2, 0, 8});
    ftr.insert(ftr.end(), tape.begin(), tape.end());
    ftr.resize(68 - 16, 0);
    const auto route = Ct(Request(0xFA, 0x01, 0x0400, ftr), 1884);
    ASSERT_EQ(Code(route), 0x8002);
    ASSERT_EQ(route[47], 2);
    EXPECT_EQ(NameAt(route, 48), kCore);
    EXPECT_EQ(NameAt(route, 48 + 36), kEdge);
    std::vector<uint8_t> toArray = ftr;
    std::memcpy(&toArray[20], kArray.data(), 8);
    EXPECT_EQ(Ct(Request(0xFA, 0x01, 0x0400, toArray), 1884)[47], 1);
}

TEST_F(FabricTest, ElsEcho)
{
    uint8_t req[64] = {0x10, 0, 0, 0};
    for (int i = 4; i < 64; ++i)
        req[i] = uint8_t(i);
    uint8_t resp[64] = {};
    uint32_t len = sizeof resp;
    const uint8_t array[3] = {0x01, 0x04, 0x00};
    ASSERT_EQ(SDSendElsPassThru(h_, array, req, sizeof req, resp, &len), SD_OK);
    EXPECT_EQ(len, sizeof req);
    EXPECT_EQ(resp[0], 0x02);
    EXPECT_EQ(0, std::memcmp(resp + 4, req + 4, 60));

    const uint8_t controller[3] = {0xFF, 0xFF, 0xFD};
    len = sizeof resp;
    EXPECT_EQ(SDSendElsPassThru(h_, controller, req, sizeof req, resp, &len), SD_OK);
    const uint8_t domain2[3] = {0xFF, 0xFC, 0x02}, domain9[3] = {0xFF, 0xFC, 0x09};
    len = sizeof resp;
    EXPECT_EQ(SDSendElsPassThru(h_, domain2, req, sizeof req, resp, &len), SD_OK);
    len = sizeof resp;
    EXPECT_EQ(SDSendElsPassThru(h_, domain9, req, sizeof req, resp, &len), SDERR_ELS_REJECT);
    const uint8_t nobody[3] = {0x01, 0x77, 0x00};
    len = sizeof resp;
    EXPECT_EQ(SDSendElsPassThru(h_, nobody, req, sizeof req, resp, &len), SDERR_ELS_REJECT);
    len = 16;
    EXPECT_EQ(SDSendElsPassThru(h_, array, req, sizeof req, resp, &len), SDERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(len, sizeof req);
    const uint8_t rnid[8] = {0x78};
    len = sizeof resp;
    EXPECT_EQ(SDSendElsPassThru(h_, array, rnid, sizeof rnid, resp, &len), SDERR_ELS_REJECT);
    EXPECT_EQ(resp[0], 0x01); // LS_RJT
}

TEST_F(FabricTest, NothingGoesOutOfADownLink)
{
    const uint32_t down = Open(k2322Down);
    const auto req = Request(0xFA, 0x01, 0x0101);
    uint8_t resp[256];
    uint32_t len = sizeof resp;
    EXPECT_EQ(SDSendCTPassThru(down, req.data(), uint32_t(req.size()), resp, &len),
              SDERR_LINK_DOWN);
    const uint8_t els[8] = {0x10};
    const uint8_t array[3] = {0x01, 0x04, 0x00};
    len = sizeof resp;
    EXPECT_EQ(SDSendElsPassThru(down, array, els, sizeof els, resp, &len), SDERR_LINK_DOWN);
    // A port that goes down drops out of the name server.
    const Wwn p2 = ParseWwn("21:00:00:0e:7a:16:20:02");
    ASSERT_EQ(VNSimSetPortState(p2.data(), SD_PORT_STATE_OFFLINE, SD_LINK2_OFFLINE, 0), SD_OK);
    const auto gone = Ct(Request(0xFC, 0x02, 0x0112, PortIdPayload(0x020100)));
    EXPECT_EQ(Code(gone), 0x8001);
    const uint32_t offline = Open(k2162Port2);
    len = sizeof resp;
    EXPECT_EQ(SDSendCTPassThru(offline, req.data(), uint32_t(req.size()), resp, &len),
              SDERR_LINK_DOWN);
}

} // namespace
} // namespace vnsdm_test
