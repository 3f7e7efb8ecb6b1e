// Management packets byte for byte, the identification reply parser and the channel handshake.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/packets.h"
#include "support/scripted_device.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const MGMT_PACKET& p) {
    return Bytes(p.data, p.data + p.count);
}

// An identification reply: frame start, byte 4 = marker, texts at 39.
Bytes IdentityReply(const std::string& t1, const std::string& t2, const std::string& t3,
                    std::uint8_t marker = 0x01) {
    Bytes r(39, 0x00);
    r[0] = 0xA5;
    r[4] = marker;
    for (const std::string* t : {&t1, &t2, &t3}) {
        r.push_back(static_cast<std::uint8_t>(t->size()));
        r.insert(r.end(), t->begin(), t->end());
    }
    return r;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(Packets, TemplatesAreByteExact) {
    EXPECT_EQ(ToBytes(PKT_PRELUDE_1()),
              (Bytes{0xA5, 0x00, 0x10, 0x80, 0xA4, 0x5B, 0xA4, 0x5B, 0x10, 0xEF, 0xA4, 0x5B, 0x11,
                     0xEE, 0x00, 0xFF, 0x13, 0xEC, 0x2E}));
    EXPECT_EQ(ToBytes(PKT_PRELUDE_2()), (Bytes{0xA5, 0x00, 0x05, 0x40, 0x03, 0x05, 0x00, 0xFF}));
    EXPECT_EQ(ToBytes(PKT_IDENTIFY()), (Bytes{0xA5, 0x00, 0x03, 0x50, 0x01, 0x00}));
    EXPECT_EQ(ToBytes(PKT_CHANNEL_QUERY()), (Bytes{0xA5, 0x00, 0x04, 0x50, 0x02, 0x00, 0xFF}));
    EXPECT_EQ(ToBytes(PKT_CHANNEL_SELECT()),
              (Bytes{0xA5, 0x00, 0x06, 0x40, 0x03, 0x07, 0x00, 0x01, 0x00}));
    EXPECT_EQ(ToBytes(PKT_CHANNEL_SELECT(0x2A))[6], 0x2A);
    // Every frame's length byte counts the bytes after it; the rest of the template is zero.
    for (const MGMT_PACKET& p : {PKT_PRELUDE_1(), PKT_PRELUDE_2(), PKT_IDENTIFY(),
                                 PKT_CHANNEL_QUERY(), PKT_CHANNEL_SELECT()}) {
        EXPECT_EQ(p.count, 3 + p.data[2]);
        for (int i = p.count; i < 256; ++i) ASSERT_EQ(p.data[i], 0);
    }
}

struct IdentityCase {
    const char* name;
    Bytes reply;
    bool answered;
    std::string text1, text3;
};

TEST(IdentityParser, TableOfReplies) {
    const Bytes good = IdentityReply("ACME", "ignored", "LX-500");
    Bytes nulInside = IdentityReply(std::string("AB\0CD", 5), "", std::string("X\0", 2));
    const IdentityCase cases[] = {
        {"plain", good, true, "ACME", "LX-500"},
        {"bytes before the frame", Concat({0x00, 0x13, 0x37}, good), true, "ACME", "LX-500"},
        {"byte 4 not 0x01", IdentityReply("A", "", "B", 0x02), false, "", ""},
        {"second frame would answer",
         Concat(IdentityReply("A", "", "B", 0xFF), IdentityReply("C", "", "D")), false, "", ""},
        {"empty texts", IdentityReply("", "", ""), true, "", ""},
        {"NUL inside a text", nulInside, true, "AB", "X"},
        {"no frame start", Bytes(64, 0x11), false, "", ""},
        {"nothing", Bytes{}, false, "", ""},
    };
    for (const auto& c : cases) {
        PRINTER_IDENTITY id = ParseIdentityReply(c.reply.data(), c.reply.size());
        EXPECT_EQ(id.bAnswered, c.answered) << c.name;
        EXPECT_EQ(id.strText1, c.text1) << c.name;
        EXPECT_EQ(id.strText3, c.text3) << c.name;
    }
}

TEST(IdentityParser, ReplyCutAtEveryLengthIsNoAnswerUntilWhole) {
    const Bytes whole = IdentityReply("ACME", "xy", "LX-500");
    for (std::size_t n = 0; n < whole.size(); ++n) {
        Bytes cut(whole.begin(), whole.begin() + static_cast<long>(n));
        EXPECT_FALSE(ParseIdentityReply(cut.data(), cut.size()).bAnswered) << "cut at " << n;
    }
    EXPECT_TRUE(ParseIdentityReply(whole.data(), whole.size()).bAnswered);
}

TEST(IdentityExchange, WritesThreePacketsAndReadsOnceWithBound) {
    ScriptedDevice dev;
    dev.reads.push_back({IdentityReply("ACME", "", "LX-500")});
    PRINTER_IDENTITY id = QueryPrinterIdentity(dev);
    EXPECT_TRUE(id.bAnswered);
    EXPECT_EQ(id.strText1 + " " + id.strText3, "ACME LX-500");
    ASSERT_EQ(dev.writes.size(), 3u);
    EXPECT_EQ(dev.writes[0], ToBytes(PKT_PRELUDE_1()));
    EXPECT_EQ(dev.writes[1], ToBytes(PKT_PRELUDE_2()));
    EXPECT_EQ(dev.writes[2], ToBytes(PKT_IDENTIFY()));
    EXPECT_EQ(dev.readTimeouts, std::vector<int>{kIdentifyReplyTimeoutMs});
}

TEST(IdentityExchange, FailuresAreNoAnswer) {
    ScriptedDevice silent;  // nothing arrives within the bound
    EXPECT_FALSE(QueryPrinterIdentity(silent).bAnswered);

    ScriptedDevice oneWay;  // a printer that only takes data refuses reads
    oneWay.reads.push_back({{}, true, 22});
    EXPECT_FALSE(QueryPrinterIdentity(oneWay).bAnswered);

    ScriptedDevice refusesWrites;  // writes are not examined; the read still decides
    refusesWrites.failWrites = true;
    refusesWrites.reads.push_back({IdentityReply("A", "", "B")});
    EXPECT_TRUE(QueryPrinterIdentity(refusesWrites).bAnswered);

    EXPECT_FALSE(QueryPrinterIdentity(platform::kInvalidHandle).bAnswered);
}

// ---- Channel handshake ----

namespace {

Bytes Entry(std::uint8_t channel, const std::string& name) {
    Bytes e(16, 0x00);
    e[0] = channel;
    e[15] = static_cast<std::uint8_t>(name.size());
    e.insert(e.end(), name.begin(), name.end());
    return e;
}

Bytes ChannelList(const std::vector<Bytes>& entries, int count = -1) {
    Bytes f{
        0xA5,
        0x00,
        0x00,
        0x00,
        0x01,
        0x00,
        static_cast<std::uint8_t>(count < 0 ? entries.size() : static_cast<std::size_t>(count))};
    for (const auto& e : entries) f = Concat(f, e);
    f[2] = static_cast<std::uint8_t>(f.size() - 3);
    return f;
}

Bytes SkipFrame(std::uint8_t marker, std::uint8_t length) {
    Bytes f{0xA5, 0x00, length, 0x00, marker};
    f.resize(3 + length, 0x00);
    return f;
}

std::uint8_t Handshake(ScriptedDevice& dev, std::atomic<std::int32_t>& nChannel,
                       int timeoutMs = 200) {
    return RunChannelHandshake(dev, &nChannel, timeoutMs);
}

}  // namespace

struct HandshakeCase {
    const char* name;
    std::vector<Bytes> reads;
    std::uint8_t channel;
};

TEST(ChannelHandshake, TableOfReplies) {
    const Bytes ipds = ChannelList({Entry(3, "PCL"), Entry(7, "IPDS"), Entry(9, "IPDS2")});
    // 0x01 0x04 in the length field: skipped by 3 + 4 = 7 bytes, the high byte is not consulted.
    Bytes odd{0xA5, 0x01, 0x04, 0x00, 0xF0, 0x00, 0x00};
    const HandshakeCase cases[] = {
        {"exact IPDS", {ipds}, 7},
        {"name that goes on", {ChannelList({Entry(4, "IPDS-PAGE")})}, 4},
        {"lower case", {ChannelList({Entry(4, "ipds")})}, 0},
        {"three characters", {ChannelList({Entry(4, "IPD")})}, 0},
        {"letters after the first character", {ChannelList({Entry(4, "XIPDS")})}, 0},
        {"first match wins", {ChannelList({Entry(5, "IPDS"), Entry(6, "IPDS")})}, 5},
        {"bytes before the frame", {Concat({0x01, 0x02}, ipds)}, 7},
        {"frames to skip ahead of the list",
         {Concat(Concat(SkipFrame(0xFF, 2), SkipFrame(0xF0, 5)), ipds)},
         7},
        {"length 0x01 0x04 skipped by 7", {Concat(odd, ipds)}, 7},
        {"list in a later read", {Bytes{}, SkipFrame(0xFF, 3), Bytes{0x00, 0x00}, ipds}, 7},
        {"no entries", {ChannelList({}, 0)}, 0},
        {"entry cut short ends the walk", {Bytes(ipds.begin(), ipds.begin() + 30)}, 0},
    };
    for (const auto& c : cases) {
        ScriptedDevice dev;
        for (const auto& r : c.reads) dev.reads.push_back({r});
        std::atomic<std::int32_t> nChannel{99};
        EXPECT_EQ(Handshake(dev, nChannel), c.channel) << c.name;
        EXPECT_EQ(nChannel.load(), c.channel ? c.channel : 99) << c.name;
        ASSERT_EQ(dev.writes.size(), 4u) << c.name;
        EXPECT_EQ(dev.writes[0], ToBytes(PKT_PRELUDE_1()));
        EXPECT_EQ(dev.writes[1], ToBytes(PKT_PRELUDE_2()));
        EXPECT_EQ(dev.writes[2], ToBytes(PKT_CHANNEL_QUERY()));
        EXPECT_EQ(dev.writes[3], ToBytes(PKT_CHANNEL_SELECT(c.channel))) << c.name;
    }
}

TEST(ChannelHandshake, GivesUpWithChannelZeroWhenNoListComes) {
    ScriptedDevice dev;
    dev.reads.push_back({SkipFrame(0xFF, 3)});
    std::atomic<std::int32_t> nChannel{42};
    EXPECT_EQ(Handshake(dev, nChannel, 100), 0);
    EXPECT_EQ(nChannel.load(), 42);
    ASSERT_EQ(dev.writes.size(), 4u);
    EXPECT_EQ(dev.writes[3], ToBytes(PKT_CHANNEL_SELECT(0)));
}
