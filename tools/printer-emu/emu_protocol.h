// The emulated printer's side of the management packets, apart from any transport: it takes the
// bytes a host sends, answers the identification exchange and the channel query, and hands back
// the print data that follows an identification.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace emu {

struct Channel {
    std::uint8_t number = 0;
    std::string name;
};

// How the emulated printer behaves towards the management packets.
struct ProtocolOptions {
    std::string text1 = "Emulated";
    std::string text3 = "Printer";
    int silentQueries = 0;          // the first N identification queries get no answer
    bool garbage = false;           // answer with bytes that hold no frame
    int replyDelayMs = 0;           // answer this late
    std::vector<Channel> channels;  // the channel list a channel query gets
    bool recordAll = false;         // record data even when no identification came first
};

// Counts shared by every session of one emulator (the device and each TCP connection).
struct ProtocolCounters {
    std::atomic<int> identifyQueries{0};
    std::atomic<int> channelSelected{-1};
};

// Parses "1:IPDS,2:PCL" into channels; false on a malformed list.
bool ParseChannels(const std::string& text, std::vector<Channel>* channels);

// The reply frames the emulator sends.
std::vector<std::uint8_t> IdentityReply(const std::string& text1, const std::string& text3);
std::vector<std::uint8_t> ChannelListReply(const std::vector<Channel>& channels);
std::vector<std::uint8_t> GarbageReply();

// One host connection's protocol state. Management packets are recognised where a host starts
// talking: at the beginning, after a packet, and after the line has been idle for kIdleGap.
// Anything else after an identification is print data, passed on unchanged.
class Session {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kIdleGap{250};

    Session(const ProtocolOptions& options, ProtocolCounters& counters)
        : m_options(options), m_counters(counters) {}

    struct Output {
        std::vector<std::uint8_t> data;  // print data to record
    };
    // Takes bytes from the host. Replies are queued (see DueReplies); data comes back at once.
    void Feed(const std::uint8_t* bytes, std::size_t n, Clock::time_point now, Output* out);
    // Called now and then: after an idle gap, a held-back partial packet is data after all.
    void Tick(Clock::time_point now, Output* out);
    // Replies whose time has come, in order.
    std::vector<std::uint8_t> DueReplies(Clock::time_point now);
    // The earliest time a queued reply is due, or max() when none is.
    Clock::time_point NextReplyDue() const;
    bool Identified() const { return m_identified; }

private:
    void HandlePacket(Clock::time_point now);
    void FlushPendingAsData(Output* out);
    void Queue(std::vector<std::uint8_t> reply, Clock::time_point now);

    const ProtocolOptions& m_options;
    ProtocolCounters& m_counters;
    bool m_identified = false;
    bool m_atBoundary = true;
    std::vector<std::uint8_t> m_pending;
    Clock::time_point m_lastByte{};
    struct Scheduled {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Scheduled> m_replies;
};

}  // namespace emu
