// The emulated printer's management-packet handling and its reply frames.
#include "emu_protocol.h"

#include <algorithm>
#include <array>
#include <sstream>

namespace emu {
namespace {

constexpr std::uint8_t kStart = 0xA5;

// A packet the emulator knows; kAny marks a byte that may take any value.
constexpr int kAny = -1;
enum class Kind { Prelude1, Prelude2, Identify, ChannelQuery, ChannelSelect };
struct Known {
    Kind kind;
    std::vector<int> bytes;
};
const std::array<Known, 5>& KnownPackets() {
    static const std::array<Known, 5> known = {{
        {Kind::Prelude1,
         {0xA5, 0x00, 0x10, 0x80, 0xA4, 0x5B, 0xA4, 0x5B, 0x10, 0xEF, 0xA4, 0x5B, 0x11, 0xEE, 0x00,
          0xFF, 0x13, 0xEC, 0x2E}},
        {Kind::Prelude2, {0xA5, 0x00, 0x05, 0x40, 0x03, 0x05, 0x00, 0xFF}},
        {Kind::Identify, {0xA5, 0x00, 0x03, 0x50, 0x01, 0x00}},
        {Kind::ChannelQuery, {0xA5, 0x00, 0x04, 0x50, 0x02, 0x00, 0xFF}},
        {Kind::ChannelSelect, {0xA5, 0x00, 0x06, 0x40, 0x03, 0x07, kAny, 0x01, 0x00}},
    }};
    return known;
}

bool Matches(const Known& k, const std::vector<std::uint8_t>& bytes, std::size_t n) {
    if (n > k.bytes.size())
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (k.bytes[i] != kAny && k.bytes[i] != bytes[i])
            return false;
    return true;
}

void AppendText(std::vector<std::uint8_t>* v, const std::string& text) {
    std::size_t n = std::min<std::size_t>(text.size(), 200);
    v->push_back(static_cast<std::uint8_t>(n));
    v->insert(v->end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
}

void SetLength(std::vector<std::uint8_t>* frame) {
    (*frame)[1] = 0;
    (*frame)[2] = static_cast<std::uint8_t>(std::min<std::size_t>(frame->size() - 3, 255));
}

}  // namespace

bool ParseChannels(const std::string& text, std::vector<Channel>* channels) {
    channels->clear();
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        auto colon = item.find(':');
        if (colon == std::string::npos || colon == 0)
            return false;
        try {
            std::size_t used = 0;
            int number = std::stoi(item.substr(0, colon), &used);
            if (used != colon || number < 0 || number > 255)
                return false;
            std::string name = item.substr(colon + 1);
            if (name.size() > 255)
                return false;
            channels->push_back({static_cast<std::uint8_t>(number), name});
        } catch (const std::exception&) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> IdentityReply(const std::string& text1, const std::string& text3) {
    std::vector<std::uint8_t> f(39, 0);
    f[0] = kStart;
    f[3] = 0x50;
    f[4] = 0x01;  // an identification answer
    AppendText(&f, text1);
    AppendText(&f, "EMU");  // text 2, which hosts skip
    AppendText(&f, text3);
    SetLength(&f);
    return f;
}

std::vector<std::uint8_t> ChannelListReply(const std::vector<Channel>& channels) {
    std::vector<std::uint8_t> f = {
        kStart, 0, 0, 0x50, 0x02, 0x00, static_cast<std::uint8_t>(channels.size())};
    for (const auto& c : channels) {
        f.push_back(c.number);
        f.insert(f.end(), 14, 0);
        AppendText(&f, c.name);
    }
    SetLength(&f);
    return f;
}

std::vector<std::uint8_t> GarbageReply() {
    const std::string junk = "EMULATED GARBAGE, NO FRAME HERE. ";
    return std::vector<std::uint8_t>(junk.begin(), junk.end());
}

void Session::Feed(const std::uint8_t* bytes, std::size_t n, Clock::time_point now, Output* out) {
    if (n == 0)
        return;
    if (now - m_lastByte >= kIdleGap) {
        FlushPendingAsData(out);
        m_atBoundary = true;
    }
    m_lastByte = now;
    for (std::size_t i = 0; i < n; ++i) {
        if (!m_atBoundary) {
            if (m_identified || m_options.recordAll)
                out->data.push_back(bytes[i]);
            continue;
        }
        m_pending.push_back(bytes[i]);
        if (m_pending[0] != kStart) {
            // Not a packet: print data once the host has identified us, otherwise line noise.
            FlushPendingAsData(out);
            continue;
        }
        bool prefix = false;
        for (const auto& k : KnownPackets()) {
            if (!Matches(k, m_pending, m_pending.size()))
                continue;
            prefix = true;
            if (m_pending.size() == k.bytes.size()) {
                HandlePacket(now);
                m_pending.clear();
                break;
            }
        }
        if (!prefix)
            FlushPendingAsData(out);
    }
}

void Session::FlushPendingAsData(Output* out) {
    if (m_pending.empty())
        return;
    if (m_identified || m_options.recordAll) {
        out->data.insert(out->data.end(), m_pending.begin(), m_pending.end());
        m_atBoundary = false;
    }
    m_pending.clear();
}

void Session::Tick(Clock::time_point now, Output* out) {
    if (now - m_lastByte >= kIdleGap) {
        FlushPendingAsData(out);
        m_atBoundary = true;
    }
}

void Session::HandlePacket(Clock::time_point now) {
    Kind kind = Kind::Prelude1;
    for (const auto& k : KnownPackets())
        if (Matches(k, m_pending, m_pending.size()) && m_pending.size() == k.bytes.size())
            kind = k.kind;
    switch (kind) {
        case Kind::Identify: {
            int query = m_counters.identifyQueries.fetch_add(1) + 1;
            m_identified = true;
            if (query <= m_options.silentQueries)
                return;
            Queue(m_options.garbage ? GarbageReply()
                                    : IdentityReply(m_options.text1, m_options.text3),
                  now);
            return;
        }
        case Kind::ChannelQuery:
            Queue(m_options.garbage ? GarbageReply() : ChannelListReply(m_options.channels), now);
            return;
        case Kind::ChannelSelect:
            m_counters.channelSelected = m_pending[6];
            m_identified = true;  // a port that has done its handshake takes data next
            return;
        default:
            return;
    }
}

void Session::Queue(std::vector<std::uint8_t> reply, Clock::time_point now) {
    m_replies.push_back(
        {now + std::chrono::milliseconds(m_options.replyDelayMs), std::move(reply)});
}

std::vector<std::uint8_t> Session::DueReplies(Clock::time_point now) {
    std::vector<std::uint8_t> due;
    auto it = m_replies.begin();
    while (it != m_replies.end() && it->due <= now) {
        due.insert(due.end(), it->bytes.begin(), it->bytes.end());
        ++it;
    }
    m_replies.erase(m_replies.begin(), it);
    return due;
}

Session::Clock::time_point Session::NextReplyDue() const {
    return m_replies.empty() ? Clock::time_point::max() : m_replies.front().due;
}

}  // namespace emu
