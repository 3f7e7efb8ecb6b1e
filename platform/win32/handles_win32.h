// Conversions between our Handle and the Win32 HANDLE (INVALID_HANDLE_VALUE is kInvalidHandle).
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace platform {

inline HANDLE ToHandle(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}
inline Handle FromHandle(HANDLE h) {
    return reinterpret_cast<Handle>(h);
}

}  // namespace platform
