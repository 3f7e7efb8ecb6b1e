// Responders that make a named-pipe device answer the identification exchange like a printer.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "connection/packets.h"
#include "support/pipe_device.h"

// The bytes of the three identification packets, as the program writes them.
inline std::vector<std::uint8_t> IdentificationRequest() {
    std::vector<std::uint8_t> v;
    for (const MGMT_PACKET& p : {PKT_PRELUDE_1(), PKT_PRELUDE_2(), PKT_IDENTIFY()})
        v.insert(v.end(), p.data, p.data + p.count);
    return v;
}

// An identification reply: frame start, marker 0x01 at byte 4, three texts from byte 39 on.
inline std::vector<std::uint8_t> IdentityReply(const std::string& t1, const std::string& t3) {
    std::vector<std::uint8_t> r(39, 0x00);
    r[0] = 0xA5;
    r[4] = 0x01;
    const std::string none;
    for (const std::string* t : {&t1, &none, &t3}) {
        r.push_back(static_cast<std::uint8_t>(t->size()));
        r.insert(r.end(), t->begin(), t->end());
    }
    return r;
}

// Answers every identification request of an opener, and takes any other bytes (a flash file)
// silently; stays silent for the first `silentTimes` requests.
inline PipeDevice::Responder AnswerIdentity(std::string t1, std::string t3, int silentTimes = 0) {
    const std::vector<std::uint8_t> request = IdentificationRequest();
    return [=, left = silentTimes](std::vector<std::uint8_t>& pending) mutable {
        std::vector<std::uint8_t> reply;
        const std::size_t n = std::min(pending.size(), request.size());
        if (!std::equal(pending.begin(), pending.begin() + static_cast<long>(n), request.begin())) {
            pending.clear();  // not a request
            return reply;
        }
        if (n < request.size())
            return reply;  // wait for the rest of the request
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(n));
        if (left > 0) {
            --left;
            return reply;
        }
        return IdentityReply(t1, t3);
    };
}
