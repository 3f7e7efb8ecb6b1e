// TCP sockets for the network printers: IPv4 look-up, connecting, and the polled receive and the
// complete send the network workers need. Errors are read with LastError()/ErrorText().
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace platform {

using Socket = std::intptr_t;
inline constexpr Socket kInvalidSocket = -1;

// Starts the socket library for this process (a no-op where there is nothing to start). Safe to
// call any number of times.
void StartSockets();

// Finds the IPv4 address of a printer: a dotted address is taken as it is; anything else is looked
// up as a host name (thread-safe), taking the first address. The address is in network byte
// order. False when there is no such host.
bool LookUpIPv4(const std::string& host, std::uint32_t* address);

// A TCP socket bound to any local address and port. kInvalidSocket on failure.
Socket OpenTcpSocket();

// Starts connecting to address:port (port in host byte order). False on an immediate failure.
bool BeginConnect(Socket s, std::uint32_t address, std::uint16_t port);
// Waits at most waitMs for the connection begun above: 1 connected, 0 still connecting, -1 failed
// (LastError() tells why).
int FinishConnect(Socket s, int waitMs);

// Connects, asking keepGoing() after every wait of at most sliceMs. True when connected; false on
// failure or when keepGoing() said no (then LastError() is 0).
template <typename KeepGoing>
bool Connect(Socket s, std::uint32_t address, std::uint16_t port, int sliceMs,
             KeepGoing keepGoing) {
    if (!BeginConnect(s, address, port))
        return false;
    for (;;) {
        int r = FinishConnect(s, sliceMs);
        if (r != 0)
            return r > 0;
        if (!keepGoing()) {
            SetLastError(0);
            return false;
        }
    }
}

// The number of received bytes waiting to be read.
bool BytesWaiting(Socket s, std::uint32_t* count);

// Receives what has arrived, at most `size` bytes, without waiting. *got is 0 when nothing was
// there or the peer has closed its side.
bool Receive(Socket s, void* buffer, std::uint32_t size, std::uint32_t* got);

// One send of at most `size` bytes, waiting at most waitMs for the peer to take anything. True
// with *sent 0 when it took nothing in time. A peer that has gone gives an error, never a signal.
bool SendSome(Socket s, const void* data, std::uint32_t size, std::uint32_t* sent, int waitMs);

// Sends the whole buffer, asking keepGoing() after every wait of at most sliceMs in which the peer
// took nothing; stops early when it says no. False on an error; *sent holds the bytes sent.
template <typename KeepGoing>
bool SendAll(Socket s, const void* data, std::uint32_t size, std::uint32_t* sent, int sliceMs,
             KeepGoing keepGoing) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    *sent = 0;
    while (*sent < size) {
        std::uint32_t n = 0;
        if (!SendSome(s, bytes + *sent, size - *sent, &n, sliceMs))
            return false;
        *sent += n;
        if (n == 0 && !keepGoing())
            return true;
    }
    return true;
}

// Shuts the connection down in both directions, then closes the socket. Ignores kInvalidSocket.
void CloseSocket(Socket s);

}  // namespace platform
