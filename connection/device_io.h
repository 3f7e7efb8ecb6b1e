// The small device interface the management exchanges talk through, so that a test can hand them
// a scripted device; HandleIo is the real one over an open platform handle.
#pragma once

#include <cstdint>

#include "platform/platform.h"

class IDeviceIo {
public:
    virtual ~IDeviceIo() = default;
    // One write call; false when it fails.
    virtual bool Write(const void* data, std::uint32_t size, std::uint32_t* written) = 0;
    // One read call waiting at most timeoutMs; false when it fails (then *got is 0).
    virtual bool Read(void* buffer, std::uint32_t size, std::uint32_t* got, int timeoutMs) = 0;
};

class HandleIo final : public IDeviceIo {
public:
    explicit HandleIo(platform::Handle h) : m_handle(h) {}
    bool Write(const void* data, std::uint32_t size, std::uint32_t* written) override {
        // A management packet is small: complete it even when the device takes it in parts.
        return platform::WriteAll(m_handle, data, size, written, kPacketWriteMs,
                                  [] { return false; });
    }
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* got, int timeoutMs) override {
        return platform::Read(m_handle, buffer, size, got, timeoutMs);
    }

private:
    // A device that takes no byte of a packet for this long is given up on.
    static constexpr int kPacketWriteMs = 500;
    platform::Handle m_handle;
};
