// What the emulated printer received: kept in memory for tests and written to the record file,
// the same on every OS.
#include <chrono>
#include <thread>

#include "printer_emulator.h"

namespace emu {

void PrinterEmulator::Record(const std::vector<std::uint8_t>& data) {
    if (data.empty())
        return;
    if (m_record) {
        // Flushed at once, so the file is whole however the emulator is ended.
        std::fwrite(data.data(), 1, data.size(), m_record);
        std::fflush(m_record);
    }
    std::lock_guard lock(m_mutex);
    m_recorded.insert(m_recorded.end(), data.begin(), data.end());
}

std::vector<std::uint8_t> PrinterEmulator::Recorded() const {
    std::lock_guard lock(m_mutex);
    return m_recorded;
}

std::size_t PrinterEmulator::RecordedSize() const {
    std::lock_guard lock(m_mutex);
    return m_recorded.size();
}

bool PrinterEmulator::WaitForRecorded(std::size_t n, std::chrono::milliseconds limit) const {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (RecordedSize() < n) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace emu
