// JSON text for the machine-readable outputs.
#pragma once

#include <string>

namespace cli {

// The text as a JSON string literal, quotes included. Bytes that are not valid UTF-8 (display
// names come from printers in an 8-bit code page) are taken as Latin-1.
std::string JsonString(const std::string& text);

}  // namespace cli
