// Progress of one or more transfers on standard error: bars redrawn in place on a terminal, or a
// plain line per transfer every second when standard error is a file or a pipe.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace cli {

class ProgressView {
public:
    ProgressView(bool terminal, std::FILE* out);

    // Adds a transfer of `total` bytes; returns its row.
    int Add(std::string name, std::int64_t total);
    void Update(int row, std::int64_t bytes);
    // Marks a row as over, with a short word for the bar ("done", "failed", "stopped").
    void Finish(int row, std::string state);

    // Redraws when it is time to (a terminal: 10 times a second; otherwise once a second).
    void Tick();
    // Draws the final state, so that the last figures stand on the screen.
    void Close();

    // One row as text (exposed for the tests of the format).
    std::string BarLine(int row, double now) const;
    std::string PlainLine(int row, double now) const;

private:
    struct Row {
        std::string name;
        std::int64_t total = 0;
        std::int64_t bytes = 0;
        double start = 0;
        double end = -1;  // when it finished
        std::string state;
    };
    void Draw(double now);
    double Elapsed(const Row& r, double now) const;

    bool m_terminal;
    std::FILE* m_out;
    std::vector<Row> m_rows;
    double m_lastDraw = -1;
    int m_drawnLines = 0;
    bool m_closed = false;
};

// Seconds since an arbitrary start, from a steady clock.
double SteadySeconds();

}  // namespace cli
