// A fixture that starts the application with a chosen printer table, records every message box
// and answers the file dialogs, so no test waits for a person.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <memory>
#include <vector>

#include "app/file_dialogs.h"
#include "app/main_frame.h"
#include "app/message_box.h"
#include "app/pellmar_app.h"
#include "app/pellmar_view.h"
#include "app/resource_ids.h"
#include "connection/manager.h"
#include "connection/workers.h"

struct ShownBox {
    QString caption;
    QString text;
};

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_nUsbPrinters = 0;
        SetMessageBoxHook(
            [this](const QString& caption, const QString& text, QMessageBox::StandardButtons) {
                boxes.push_back({caption, text});
                return boxAnswer;
            });
        SetFileDialogHook([this](FileDialogKind kind) {
            dialogKinds.push_back(kind);
            return dialogAnswer;
        });
    }

    void TearDown() override {
        if (app)
            app->MainFrame()->View()->StopTransfers();
        app.reset();
        manager.CloseAllConnections();
        EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(10)));
        SetMessageBoxHook({});
        SetFileDialogHook({});
        g_nUsbPrinters = 0;
    }

    // Adds a row to the printer table, as discovery would.
    static void AddPrinter(const char* name, const std::string& path) {
        USB_PRINTER_ENTRY& row = g_UsbPrinters[g_nUsbPrinters++];
        std::strncpy(row.szName, name, sizeof row.szName - 1);
        std::strncpy(row.szPath, path.c_str(), sizeof row.szPath - 1);
    }

    void Start() {
        app = std::make_unique<CPellmarApp>(manager);
        ASSERT_TRUE(app->InitInstance());
    }

    CMainFrame* Frame() const { return app->MainFrame(); }
    CPellmarView* View() const { return app->MainFrame()->View(); }

    // The three controls a transfer disables, in the order they are disabled.
    std::vector<bool> ControlsEnabled() const {
        return {View()->m_cboPrinters->isEnabled(), View()->m_edtFileName->isEnabled(),
                View()->m_btnStart->isEnabled()};
    }
    static std::vector<bool> AllEnabled() { return {true, true, true}; }

    // Runs the event loop until the transfer ends, at most `ms`.
    bool WaitForTransferEnd(int ms = 30000) {
        return QTest::qWaitFor([&] { return !View()->IsTransferRunning(); }, ms);
    }

    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    std::unique_ptr<CPellmarApp> app;
    std::vector<ShownBox> boxes;
    QMessageBox::StandardButton boxAnswer = QMessageBox::Ok;
    std::vector<FileDialogKind> dialogKinds;
    QString dialogAnswer;
};
