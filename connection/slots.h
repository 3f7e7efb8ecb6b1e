// The connection table: ten slots, the request that opens one, the connection kinds, the four
// link messages with the receiver interface they are delivered through, and the error text.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "platform/serial.h"

// Connection kinds (CONNECTION_SLOT::nType).
inline constexpr std::int32_t CONN_PARALLEL = 1;
inline constexpr std::int32_t CONN_NETWORK = 2;
inline constexpr std::int32_t CONN_USB = 3;
inline constexpr std::int32_t CONN_SERIAL = 4;

// Link messages, in the application's private message range.
inline constexpr std::uint32_t WM_APP_BASE = 0x8000;
inline constexpr std::uint32_t WM_LINK_DATA = WM_APP_BASE + 11;      // sent; lParam the slot
inline constexpr std::uint32_t WM_LINK_ERROR = WM_APP_BASE + 12;     // posted; lParam 0
inline constexpr std::uint32_t WM_LINK_PROGRESS = WM_APP_BASE + 13;  // sent; lParam the slot
inline constexpr std::uint32_t WM_LINK_DONE = WM_APP_BASE + 14;      // sent; lParam the slot

inline constexpr std::uint32_t kLinkBufferSize = 1024;
inline constexpr int kSlotCount = 10;

struct CONNECTION_SLOT;

// The receiver of a slot's messages: a window in the GUI, a plain object in the CLI and the tests.
class INotifyWindow {
public:
    virtual ~INotifyWindow() = default;
    // Delivers the message and returns only after the receiver's handler has returned.
    virtual void SendLinkMessage(std::uint32_t message, std::uintptr_t wParam,
                                 CONNECTION_SLOT* lParam) = 0;
    // Queues the message for the receiver's own thread and returns at once.
    virtual void PostLinkMessage(std::uint32_t message, std::uintptr_t wParam,
                                 CONNECTION_SLOT* lParam) = 0;
};
using HWND_NOTIFY = INotifyWindow*;

// Both ignore a null receiver.
void SendLinkMessage(HWND_NOTIFY hWnd, std::uint32_t message, std::uintptr_t wParam,
                     CONNECTION_SLOT* lParam);
void PostLinkMessage(HWND_NOTIFY hWnd, std::uint32_t message, std::uintptr_t wParam,
                     CONNECTION_SLOT* lParam);

// Wakes workers that wait for a slot flag to change, so that waiting costs no CPU. Every store to
// a SlotFlag notifies it; a worker waits until its condition holds or a time limit passes.
class SlotSignal {
public:
    void Notify();
    template <typename Pred>
    bool WaitFor(std::chrono::milliseconds limit, Pred pred) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, limit, pred);
    }
    template <typename Pred>
    void Wait(Pred pred) {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, pred);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
};
extern SlotSignal g_slotSignal;

// An atomic field of a slot whose every store wakes the waiting workers.
template <typename T>
class SlotFlag {
public:
    SlotFlag() = default;
    SlotFlag(const SlotFlag&) = delete;
    SlotFlag& operator=(const SlotFlag&) = delete;
    T load() const { return m_value.load(std::memory_order_acquire); }
    operator T() const { return load(); }
    void store(T v) {
        m_value.store(v, std::memory_order_release);
        g_slotSignal.Notify();
    }
    SlotFlag& operator=(T v) {
        store(v);
        return *this;
    }

private:
    std::atomic<T> m_value{};
};

// One connection. Fields shared between the caller's thread and the workers are atomic; the
// buffers are handed over through their counts (TxBuf before nTxLen, RxBuf before nRxLen).
struct CONNECTION_SLOT {
    SlotFlag<std::int32_t> bActive;
    std::int32_t nType = 0;
    std::string strPort;
    std::int32_t nMode = 0;
    unsigned char RxBuf[kLinkBufferSize] = {};
    unsigned char TxBuf[kLinkBufferSize] = {};
    SlotFlag<std::uint32_t> nTxLen;
    std::atomic<std::uint32_t> nRxLen{0};
    std::uint32_t nIdleTimeout = 0;
    HWND_NOTIFY hWndNotify = nullptr;
    std::atomic<platform::Handle> hDevice{platform::kInvalidHandle};
    std::string strDevicePath;
    std::atomic<std::int32_t> nBytesSent{0};
    platform::SerialSettings dcb{};
    platform::SerialTimeouts timeouts{};
    std::atomic<std::uint8_t> bRxPaused{0};
    std::atomic<std::int32_t> nChannel{0};
    std::atomic<platform::Handle> hSourceFile{platform::kInvalidHandle};
    SlotFlag<std::uint8_t> bSending;

    // Counts the claims of this slot. A worker remembers the claim it serves and ends when the slot
    // is released, even if a later open has claimed the slot again before the worker looked.
    std::atomic<std::uint32_t> nClaim{0};

    // True while the slot is still held by the claim `claim`.
    bool IsActiveFor(std::uint32_t claim) const {
        return bActive.load() != 0 && nClaim.load(std::memory_order_acquire) == claim;
    }
};

extern CONNECTION_SLOT g_ConnectionSlots[kSlotCount];

// What OpenConnection takes.
struct CONNECTION_REQUEST {
    std::int32_t nType = 0;
    std::string strPort;
    const platform::SerialSettings* pDcb = nullptr;
    std::int32_t nMode = 0;
    std::uint32_t nIdleTimeout = 0;
    HWND_NOTIFY hWndNotify = nullptr;
};

// The text of the latest failure. Readers always get a whole text, even while a worker stores a
// new one.
class LinkErrorText {
public:
    void Set(std::string text);
    std::string Get() const;
    LinkErrorText& operator=(std::string text) {
        Set(std::move(text));
        return *this;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};
extern LinkErrorText g_strLinkError;

// Stores the text, then posts WM_LINK_ERROR (0, 0) to the window: the module's one failure path.
void ReportLinkError(HWND_NOTIFY hWnd, std::string text);
