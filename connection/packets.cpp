// The management packet templates and the two exchanges built on them.
#include "connection/packets.h"

#include <chrono>
#include <cstring>
#include <initializer_list>

namespace {

MGMT_PACKET MakePacket(std::initializer_list<std::uint8_t> bytes) {
    MGMT_PACKET p;
    std::size_t i = 0;
    for (std::uint8_t b : bytes) p.data[i++] = b;
    p.count = static_cast<std::uint8_t>(bytes.size());
    return p;
}

void Send(IDeviceIo& device, const MGMT_PACKET& packet) {
    std::uint32_t written = 0;
    // Not examined: a device that refuses the packet simply gives no answer.
    (void)device.Write(packet.data, packet.count, &written);
}

// A text field: up to `len` bytes, ending at the first NUL.
std::string FieldText(const std::uint8_t* field, std::size_t len) {
    if (len == 0) return {};
    const void* nul = std::memchr(field, 0, len);
    std::size_t n =
        nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - field) : len;
    return std::string(reinterpret_cast<const char*>(field), n);
}

std::size_t FindFrameStart(const std::uint8_t* reply, std::size_t n) {
    if (n == 0) return 0;
    const void* p = std::memchr(reply, kFrameStart, n);
    return p ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(p) - reply) : n;
}

}  // namespace

MGMT_PACKET PKT_PRELUDE_1() {
    return MakePacket({0xA5, 0x00, 0x10, 0x80, 0xA4, 0x5B, 0xA4, 0x5B, 0x10, 0xEF, 0xA4, 0x5B, 0x11,
                       0xEE, 0x00, 0xFF, 0x13, 0xEC, 0x2E});
}
MGMT_PACKET PKT_PRELUDE_2() {
    return MakePacket({0xA5, 0x00, 0x05, 0x40, 0x03, 0x05, 0x00, 0xFF});
}
MGMT_PACKET PKT_IDENTIFY() {
    return MakePacket({0xA5, 0x00, 0x03, 0x50, 0x01, 0x00});
}
MGMT_PACKET PKT_CHANNEL_QUERY() {
    return MakePacket({0xA5, 0x00, 0x04, 0x50, 0x02, 0x00, 0xFF});
}
MGMT_PACKET PKT_CHANNEL_SELECT(std::uint8_t channel) {
    return MakePacket({0xA5, 0x00, 0x06, 0x40, 0x03, 0x07, channel, 0x01, 0x00});
}

PRINTER_IDENTITY ParseIdentityReply(const std::uint8_t* reply, std::size_t n) {
    PRINTER_IDENTITY none;
    std::size_t k = FindFrameStart(reply, n);
    if (k >= n)
        return none;
    const std::uint8_t* f = reply + k;
    std::size_t avail = n - k;  // bytes of the frame that were received
    if (avail <= 4 || f[4] != 0x01)
        return none;

    std::size_t pos = 39;
    if (avail <= pos)
        return none;
    std::size_t l1 = f[pos];
    if (avail < pos + 1 + l1)
        return none;
    std::string text1 = FieldText(f + pos + 1, l1);
    pos += 1 + l1;
    if (avail <= pos)
        return none;
    std::size_t l2 = f[pos];
    pos += 1 + l2;  // text 2 is skipped
    if (avail <= pos)
        return none;
    std::size_t l3 = f[pos];
    if (avail < pos + 1 + l3)
        return none;
    std::string text3 = FieldText(f + pos + 1, l3);
    return PRINTER_IDENTITY{true, std::move(text1), std::move(text3)};
}

PRINTER_IDENTITY QueryPrinterIdentity(IDeviceIo& device) {
    Send(device, PKT_PRELUDE_1());
    Send(device, PKT_PRELUDE_2());
    Send(device, PKT_IDENTIFY());
    std::uint8_t reply[kReplyBufferSize];
    std::uint32_t got = 0;
    // A failed read (including a device that cannot be read at all) is no answer.
    if (!device.Read(reply, sizeof reply, &got, kIdentifyReplyTimeoutMs))
        got = 0;
    return ParseIdentityReply(reply, got);
}

PRINTER_IDENTITY QueryPrinterIdentity(platform::Handle handle) {
    if (handle == platform::kInvalidHandle)
        return {};
    HandleIo io(handle);
    return QueryPrinterIdentity(io);
}

std::optional<CHANNEL_LIST_RESULT> FindChannelList(const std::uint8_t* reply, std::size_t n) {
    std::size_t k = FindFrameStart(reply, n);
    if (k >= n)
        return std::nullopt;
    // Skip frames marked 0xFF or 0xF0 at byte 4, by the second length byte alone.
    for (;;) {
        if (k + 4 >= n)
            return std::nullopt;  // the frame's marker was not received
        std::uint8_t marker = reply[k + 4];
        if (marker != 0xFF && marker != 0xF0)
            break;
        k += 3 + reply[k + 2];
        if (k >= n)
            return std::nullopt;
    }
    CHANNEL_LIST_RESULT result;
    if (k + 6 >= n)
        return result;  // a list too short to hold its count: no entry
    std::size_t count = reply[k + 6];
    std::size_t e = k + 7;
    for (std::size_t i = 0; i < count; ++i) {
        if (e + 15 >= n)
            break;  // entry header cut short
        std::size_t len = reply[e + 15];
        if (e + 16 + len > n)
            break;  // entry name cut short
        if (len >= 4 && std::memcmp(reply + e + 16, "IPDS", 4) == 0) {
            result.channel = reply[e];
            result.bMatched = true;
            break;
        }
        e += 16 + len;
    }
    return result;
}

std::uint8_t RunChannelHandshake(IDeviceIo& device, std::atomic<std::int32_t>* pnChannel,
                                 int timeoutMs) {
    Send(device, PKT_PRELUDE_1());
    Send(device, PKT_PRELUDE_2());
    Send(device, PKT_CHANNEL_QUERY());

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    CHANNEL_LIST_RESULT found;
    std::uint8_t reply[kReplyBufferSize];
    while (Clock::now() < deadline) {
        std::uint32_t got = 0;
        if (!device.Read(reply, sizeof reply, &got, kHandshakeReadSliceMs)) {
            got = 0;
            platform::SleepMs(kHandshakeReadSliceMs);  // a failing port must not make this spin
        }
        if (auto list = FindChannelList(reply, got)) {
            found = *list;
            break;
        }
    }
    if (found.bMatched && pnChannel)
        pnChannel->store(found.channel);
    Send(device, PKT_CHANNEL_SELECT(found.channel));
    return found.channel;
}

std::uint8_t RunChannelHandshake(CONNECTION_SLOT* slot) {
    HandleIo io(slot->hDevice.load());
    return RunChannelHandshake(io, &slot->nChannel);
}
