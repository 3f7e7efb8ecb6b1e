// Progress bars and progress lines of the command-line transfers.
#include "cli/progress.h"

#include <algorithm>
#include <chrono>

#include "cli/session.h"

namespace cli {
namespace {

constexpr double kTerminalRedraw = 0.1;
constexpr double kPlainInterval = 1.0;
constexpr int kBarWidth = 24;

std::string Format(const char* fmt, auto... args) {
    char text[512];
    std::snprintf(text, sizeof text, fmt, args...);
    return text;
}

}  // namespace

double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

ProgressView::ProgressView(bool terminal, std::FILE* out) : m_terminal(terminal), m_out(out) {}

int ProgressView::Add(std::string name, std::int64_t total) {
    Row r;
    r.name = std::move(name);
    r.total = total;
    r.start = SteadySeconds();
    m_rows.push_back(std::move(r));
    return static_cast<int>(m_rows.size()) - 1;
}

void ProgressView::Update(int row, std::int64_t bytes) {
    m_rows[row].bytes = bytes;
}

void ProgressView::Finish(int row, std::string state) {
    m_rows[row].state = std::move(state);
    m_rows[row].end = SteadySeconds();
}

double ProgressView::Elapsed(const Row& r, double now) const {
    return (r.end >= 0 ? r.end : now) - r.start;
}

std::string ProgressView::BarLine(int row, double now) const {
    const Row& r = m_rows[row];
    double fraction = r.total > 0 ? std::min(1.0, double(r.bytes) / double(r.total)) : 1.0;
    int filled = static_cast<int>(fraction * kBarWidth);
    std::string bar(filled, '#');
    bar.resize(kBarWidth, '.');
    double elapsed = Elapsed(r, now);
    double rate = elapsed > 0 ? double(r.bytes) / elapsed : 0;
    std::string tail;
    if (!r.state.empty())
        tail = r.state + " in " + HumanDuration(elapsed);
    else if (rate > 0)
        tail = HumanDuration(double(r.total - r.bytes) / rate) + " left";
    else
        tail = "--:-- left";
    return Format("%-20.20s [%s] %10s / %-10s %3d%% %10s/s  %s", r.name.c_str(), bar.c_str(),
                  HumanBytes(double(r.bytes)).c_str(), HumanBytes(double(r.total)).c_str(),
                  static_cast<int>(fraction * 100), HumanBytes(rate).c_str(), tail.c_str());
}

std::string ProgressView::PlainLine(int row, double now) const {
    const Row& r = m_rows[row];
    double elapsed = Elapsed(r, now);
    double rate = elapsed > 0 ? double(r.bytes) / elapsed : 0;
    int percent = r.total > 0 ? static_cast<int>(100.0 * double(r.bytes) / double(r.total)) : 100;
    std::string tail = rate > 0 ? HumanDuration(double(r.total - r.bytes) / rate) + " left"
                                : std::string("time left unknown");
    if (!r.state.empty())
        tail = r.state;
    return Format("%s: %lld of %lld bytes (%d%%), %s/s, %s", r.name.c_str(),
                  static_cast<long long>(r.bytes), static_cast<long long>(r.total), percent,
                  HumanBytes(rate).c_str(), tail.c_str());
}

void ProgressView::Draw(double now) {
    m_lastDraw = now;
    if (m_terminal) {
        if (m_drawnLines > 0)
            std::fprintf(m_out, "\x1b[%dA", m_drawnLines);
        for (int i = 0; i < static_cast<int>(m_rows.size()); ++i)
            std::fprintf(m_out, "\r%s\x1b[K\n", BarLine(i, now).c_str());
        m_drawnLines = static_cast<int>(m_rows.size());
    } else {
        for (int i = 0; i < static_cast<int>(m_rows.size()); ++i)
            if (m_rows[i].state.empty())
                std::fprintf(m_out, "%s\n", PlainLine(i, now).c_str());
    }
    std::fflush(m_out);
}

void ProgressView::Tick() {
    double now = SteadySeconds();
    double interval = m_terminal ? kTerminalRedraw : kPlainInterval;
    if (m_lastDraw < 0) {
        // The first line waits one interval, so a quick transfer prints no progress noise.
        m_lastDraw = now;
        return;
    }
    if (now - m_lastDraw >= interval)
        Draw(now);
}

void ProgressView::Close() {
    if (m_closed)
        return;
    m_closed = true;
    double now = SteadySeconds();
    if (m_terminal) {
        Draw(now);
        return;
    }
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i)
        std::fprintf(m_out, "%s\n", PlainLine(i, now).c_str());
    std::fflush(m_out);
}

}  // namespace cli
