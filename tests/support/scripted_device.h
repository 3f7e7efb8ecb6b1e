// A scripted device for protocol tests: records every write and answers reads from a script.
#pragma once

#include <cstring>
#include <deque>
#include <vector>

#include "connection/device_io.h"

class ScriptedDevice final : public IDeviceIo {
public:
    struct ReadStep {
        std::vector<std::uint8_t> bytes;
        bool fail = false;
        int errorCode = 0;
    };
    std::deque<ReadStep> reads;  // consumed one per Read; empty: nothing arrives
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<int> readTimeouts;
    bool failWrites = false;

    bool Write(const void* data, std::uint32_t size, std::uint32_t* written) override {
        auto p = static_cast<const std::uint8_t*>(data);
        writes.emplace_back(p, p + size);
        *written = failWrites ? 0 : size;
        return !failWrites;
    }
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* got, int timeoutMs) override {
        readTimeouts.push_back(timeoutMs);
        *got = 0;
        if (reads.empty())
            return true;
        ReadStep step = std::move(reads.front());
        reads.pop_front();
        if (step.fail) {
            platform::SetLastError(step.errorCode);
            return false;
        }
        std::size_t n = std::min<std::size_t>(size, step.bytes.size());
        if (n) std::memcpy(buffer, step.bytes.data(), n);
        *got = static_cast<std::uint32_t>(n);
        return true;
    }
};
