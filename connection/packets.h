// Management packets: the five fixed templates, the identification exchange that discovery runs
// on every candidate device, and the channel handshake of parallel ports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "connection/device_io.h"
#include "connection/slots.h"

// One packet template: the bytes and how many of them to send.
struct MGMT_PACKET {
    std::uint8_t data[256] = {};
    std::uint8_t count = 0;
};

MGMT_PACKET PKT_PRELUDE_1();
MGMT_PACKET PKT_PRELUDE_2();
MGMT_PACKET PKT_IDENTIFY();
MGMT_PACKET PKT_CHANNEL_QUERY();
MGMT_PACKET PKT_CHANNEL_SELECT(std::uint8_t channel = 0);

inline constexpr std::uint8_t kFrameStart = 0xA5;
inline constexpr std::uint32_t kReplyBufferSize = 1024;

// The identification read waits at most this long for the printer's answer.
inline constexpr int kIdentifyReplyTimeoutMs = 500;
// The channel handshake gives up waiting for a channel list after this long and goes on with 0.
inline constexpr int kHandshakeTimeoutMs = 5000;
// The handshake's reads each wait at most this long, so that it never spins.
inline constexpr int kHandshakeReadSliceMs = 50;

struct PRINTER_IDENTITY {
    bool bAnswered = false;
    std::string strText1;
    std::string strText3;
};

// Parses one identification reply (the bytes of a single read). Reads only the bytes given: a
// reply too short for any field it needs is no answer.
PRINTER_IDENTITY ParseIdentityReply(const std::uint8_t* reply, std::size_t n);

// Writes the three identification packets and reads the answer once (bounded).
PRINTER_IDENTITY QueryPrinterIdentity(IDeviceIo& device);
PRINTER_IDENTITY QueryPrinterIdentity(platform::Handle handle);

// Result of looking for a channel list in the bytes of one read.
struct CHANNEL_LIST_RESULT {
    std::uint8_t channel = 0;  // 0 when no entry matched
    bool bMatched = false;
};

// Walks the frames of one read. Returns nothing when the read holds no channel list (keep
// reading); otherwise the channel of the first entry whose name begins with "IPDS". An entry cut
// short by the end of the read ends the walk.
std::optional<CHANNEL_LIST_RESULT> FindChannelList(const std::uint8_t* reply, std::size_t n);

// Asks for the channel list and selects the "IPDS" channel; returns the channel (0: none found,
// or no list within kHandshakeTimeoutMs). Writes *pnChannel only when an entry matched.
std::uint8_t RunChannelHandshake(IDeviceIo& device, std::atomic<std::int32_t>* pnChannel,
                                 int timeoutMs = kHandshakeTimeoutMs);
std::uint8_t RunChannelHandshake(CONNECTION_SLOT* slot);
