// Parallel port connections against a pseudo-terminal playing the printer: the channel handshake
// at open, the reader's hand-over of received bytes, pausing, and the port's release.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "connection/packets.h"
#include "platform/serial.h"
#include "support/connection_test.h"
#include "support/pty_device.h"
#include "support/temp_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A channel list frame with the given (channel, name) entries, marked with `marker` at byte 4.
Bytes ListFrame(const std::vector<std::pair<std::uint8_t, std::string>>& entries,
                std::uint8_t marker = 0x02) {
    Bytes f{0xA5, 0x00, 0x00, 0x50, marker, 0x00, static_cast<std::uint8_t>(entries.size())};
    for (const auto& [channel, name] : entries) {
        f.push_back(channel);
        f.insert(f.end(), 14, 0x00);
        f.push_back(static_cast<std::uint8_t>(name.size()));
        f.insert(f.end(), name.begin(), name.end());
    }
    f[2] = static_cast<std::uint8_t>(f.size() - 3);
    return f;
}

// A frame the handshake skips (marker 0xFF or 0xF0).
Bytes SkippedFrame(std::uint8_t marker) {
    return {0xA5, 0x00, 0x05, 0x50, marker, 0x11, 0x22, 0x33};
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes PacketBytes(const MGMT_PACKET& p) {
    return Bytes(p.data, p.data + p.count);
}

class ParallelPortTest : public ConnectionTest {
protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        ::setenv("PELLMAR_LPT1", device.Path().c_str(), 1);
        device.StartCollecting();
    }
    // What the handshake writes before it reads: two preludes and the channel query.
    static Bytes QueryBytes() {
        return Join({PacketBytes(PKT_PRELUDE_1()), PacketBytes(PKT_PRELUDE_2()),
                     PacketBytes(PKT_CHANNEL_QUERY())});
    }

    PtyDevice device;
};

struct HandshakeCase {
    const char* what;
    std::vector<Bytes> replies;  // each written by the printer 150 ms after the previous one
    std::uint8_t channel;        // selected channel
    bool matched;
};

TEST_F(ParallelPortTest, HandshakeSelectsTheIpdsChannel) {
    const auto list = ListFrame({{1, "PCL"}, {7, "IPDS Emulation"}, {9, "IPDS2"}});
    const HandshakeCase cases[] = {
        {"list at once", {list}, 7, true},
        {"frames to skip first", {Join({SkippedFrame(0xFF), SkippedFrame(0xF0), list})}, 7, true},
        {"late list after bytes without a frame", {{0x00, 0x13}, {}, list}, 7, true},
        {"no IPDS entry", {ListFrame({{2, "PCL"}, {3, "IPD"}, {4, "ipds"}})}, 0, false},
        {"empty list", {ListFrame({})}, 0, false},
    };
    const Bytes query = QueryBytes();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t before = device.Received().size();
        g_ConnectionSlots[0].nChannel.store(42);  // a claim keeps the previous value
        std::thread printer([&] {
            if (!device.WaitForBytes(before + query.size(), std::chrono::seconds(10)))
                return;
            for (const auto& r : c.replies) {
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                device.Reply(r);
            }
        });
        CONNECTION_SLOT* slot = Open(CONN_PARALLEL, "LPT1:", 1);
        printer.join();
        ASSERT_EQ(slot, &g_ConnectionSlots[0]);
        EXPECT_EQ(slot->nChannel.load(), c.matched ? c.channel : 42);
        const Bytes select = PacketBytes(PKT_CHANNEL_SELECT(c.channel));
        ASSERT_TRUE(device.WaitForBytes(before + query.size() + select.size()));
        const Bytes got = device.Received();
        EXPECT_EQ(Bytes(got.begin() + static_cast<long>(before),
                        got.begin() + static_cast<long>(before + query.size())),
                  query);
        EXPECT_EQ(Bytes(got.begin() + static_cast<long>(before + query.size()), got.end()), select);
        EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u);
        manager.CloseAllConnections();
        ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    }
}

TEST_F(ParallelPortTest, ModesOtherThanOneSkipTheHandshake) {
    CollectData();
    for (std::int32_t mode : {0, 2}) {
        ASSERT_NE(Open(CONN_PARALLEL, "LPT1:", mode), nullptr);
        device.Reply({'o', 'k'});
        ASSERT_TRUE(WaitForData(2));
        EXPECT_TRUE(device.Received().empty()) << "mode " << mode;
        manager.CloseAllConnections();
        ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
        data.clear();
    }
}

TEST_F(ParallelPortTest, ReaderHandsOverAtMost1024BytesPerMessage) {
    CollectData();
    CONNECTION_SLOT* slot = Open(CONN_PARALLEL, "LPT1:");
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->bRxPaused.load(), 0);
    const auto bytes = PatternBytes(2500, 3);
    device.Reply(bytes);
    ASSERT_TRUE(WaitForData(bytes.size()));
    EXPECT_EQ(AllData(), std::string(bytes.begin(), bytes.end()));
    auto messages = DataMessages();
    EXPECT_GE(messages.size(), 3u);
    for (const auto& m : messages) {
        EXPECT_GE(m.size(), 1u);
        EXPECT_LE(m.size(), 1024u);
    }
    for (const auto& m : window.Messages()) {
        EXPECT_EQ(m.message, WM_LINK_DATA);
        EXPECT_EQ(m.lParam, slot);
        EXPECT_FALSE(m.posted);
    }
}

TEST_F(ParallelPortTest, PausedReaderReadsNothingUntilResumed) {
    CollectData();
    CONNECTION_SLOT* slot = Open(CONN_PARALLEL, "LPT1:");
    ASSERT_NE(slot, nullptr);
    slot->bRxPaused.store(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // let a pass in progress end
    device.Reply({'a', 'b', 'c'});
    EXPECT_FALSE(WaitForData(1, std::chrono::milliseconds(300)));
    slot->bRxPaused.store(0);
    ASSERT_TRUE(WaitForData(3));
    EXPECT_EQ(AllData(), "abc");
}

TEST_F(ParallelPortTest, ClosingReleasesThePort) {
    ASSERT_NE(Open(CONN_PARALLEL, "LPT1:"), nullptr);
    // While the connection holds it, nobody else may open the port.
    EXPECT_EQ(platform::OpenDevice(device.Path()), platform::kInvalidHandle);
    manager.CloseAllConnections();
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    platform::Handle again = platform::OpenDevice(device.Path());
    EXPECT_NE(again, platform::kInvalidHandle);
    platform::Close(again);
}

TEST_F(ParallelPortTest, ReaderStartedOnAReleasedSlotClosesThePortWithoutReading) {
    platform::Handle h = platform::OpenDevice(device.Path());
    ASSERT_NE(h, platform::kInvalidHandle);
    CONNECTION_SLOT& slot = g_ConnectionSlots[3];
    slot.bActive = 0;
    slot.hDevice.store(h);
    slot.hWndNotify = &window;
    device.Reply({'x'});
    EXPECT_EQ(ParallelReadThread(&slot), 0u);
    EXPECT_EQ(window.Messages().size(), 0u);
    platform::Handle again = platform::OpenDevice(device.Path());
    EXPECT_NE(again, platform::kInvalidHandle);
    platform::Close(again);
}

TEST(ParallelPortTimeouts, ReadReturnsAtOnceWithWhatHasArrived) {
    PtyDevice device;
    platform::Handle h = platform::OpenDevice(device.Path());
    ASSERT_NE(h, platform::kInvalidHandle);
    platform::SerialTimeouts t;
    t.readInterval = 0xFFFFFFFF;
    t.writeTotalConstant = 15000;
    ASSERT_TRUE(platform::SetCommTimeouts(h, t));
    std::uint8_t buf[1024];
    std::uint32_t got = 99;
    EXPECT_TRUE(platform::Read(h, buf, sizeof buf, &got));
    EXPECT_EQ(got, 0u);
    device.Reply({1, 2, 3});
    for (int i = 0; i < 500 && got == 0; ++i) {  // bounded: the bytes cross the pty
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(platform::Read(h, buf, sizeof buf, &got));
    }
    EXPECT_EQ(got, 3u);
    platform::Close(h);
}

}  // namespace
