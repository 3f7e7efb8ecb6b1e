// Console services for the command-line front end: whether a standard stream is a terminal, the
// interrupt key (Ctrl+C), binary standard streams and bounded reads of standard input.
#pragma once

#include <cstdint>

namespace platform {

enum class StdStream { Input, Output, Error };

// True when the stream is attached to an interactive terminal (not a file or a pipe).
bool IsTerminal(StdStream stream);

// From now on Ctrl+C (and a polite termination request) no longer ends the process at once: it
// only sets a flag that InterruptRequested() reports, so the program can stop cleanly. A second
// Ctrl+C ends the process the ordinary way.
void CatchInterrupt();
bool InterruptRequested();

// Standard input and output pass bytes unchanged (no line-ending translation).
void SetBinaryStandardStreams();

enum class InputStatus { Data, NoData, End, Error };

// One read of standard input, waiting at most timeoutMs for the first byte. Data: *got > 0 bytes
// came. NoData: nothing came in time. End: end of input. Error: LastError() tells why.
InputStatus ReadStandardInput(void* buffer, std::uint32_t size, std::uint32_t* got, int timeoutMs);

}  // namespace platform
