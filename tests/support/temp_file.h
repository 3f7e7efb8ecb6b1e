// Temporary files with known contents for transfer tests.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

class TempFile {
public:
    explicit TempFile(const std::vector<std::uint8_t>& bytes) {
        char name[] = "/tmp/pellmar-test-XXXXXX";
        int fd = ::mkstemp(name);
        if (fd >= 0)
            ::close(fd);
        m_path = name;
        std::ofstream(m_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() { std::remove(m_path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Bytes that differ from position to position, so a lost or repeated chunk shows.
inline std::vector<std::uint8_t> PatternBytes(std::size_t n, unsigned seed = 1) {
    std::vector<std::uint8_t> v(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return v;
}
