// A base fixture for tests that open connections: a manager without discovery, a recording
// window, and a tear-down that frees every slot and waits for the workers to end.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/manager.h"
#include "connection/workers.h"
#include "support/recording_window.h"

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5))); }
    void TearDown() override {
        manager.CloseAllConnections();
        EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(10)));
    }

    CONNECTION_SLOT* Open(std::int32_t type, const std::string& port, std::int32_t mode = 0,
                          std::uint32_t idle = 0, const platform::SerialSettings* dcb = nullptr) {
        CONNECTION_REQUEST r;
        r.nType = type;
        r.strPort = port;
        r.pDcb = dcb;
        r.nMode = mode;
        r.nIdleTimeout = idle;
        r.hWndNotify = &window;
        return manager.OpenConnection(r);
    }

    // Records the bytes of every WM_LINK_DATA while its handler runs (the only time RxBuf is
    // stable), one entry per message.
    void CollectData() {
        window.onSend = [this](const RecordedMessage& m) {
            if (m.message != WM_LINK_DATA)
                return;
            const auto n = m.lParam->nRxLen.load();
            std::lock_guard lock(dataMutex);
            data.emplace_back(reinterpret_cast<const char*>(m.lParam->RxBuf), n);
        };
    }
    std::string AllData() {
        std::lock_guard lock(dataMutex);
        std::string all;
        for (const auto& d : data) all += d;
        return all;
    }
    std::vector<std::string> DataMessages() {
        std::lock_guard lock(dataMutex);
        return data;
    }
    // Hands bytes to a serial or network worker the way a producer does: buffer, then count.
    static void Transmit(CONNECTION_SLOT* slot, const std::string& bytes) {
        std::copy(bytes.begin(), bytes.end(), slot->TxBuf);
        slot->nTxLen = static_cast<std::uint32_t>(bytes.size());
    }
    // Waits until the worker has taken the bytes (nTxLen back at 0), at most `limit`.
    static bool WaitTaken(CONNECTION_SLOT* slot,
                          std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return g_slotSignal.WaitFor(limit, [&] { return slot->nTxLen.load() == 0; });
    }
    // Waits until the received bytes reach `n`, at most `limit`.
    bool WaitForData(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (AllData().size() < n) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    RecordingWindow window;
    std::mutex dataMutex;
    std::vector<std::string> data;
};
