// The flash form: printer list, START's checks, file-name cuts, transfers to a stand-in printer,
// failures, and stopping a transfer by closing the window.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include <QApplication>
#include <QClipboard>

#include "gui_fixture.h"
#include "support/pty_device.h"
#include "support/temp_file.h"

namespace {

QStringList Rows(QComboBox* combo) {
    QStringList rows;
    for (int i = 0; i < combo->count(); ++i) rows << combo->itemText(i);
    return rows;
}

}  // namespace

TEST_F(GuiTest, EmptyPrinterTableGivesAnEmptyEnabledList) {
    Start();
    EXPECT_EQ(View()->m_cboPrinters->count(), 0);
    EXPECT_EQ(View()->m_cboPrinters->currentText(), QString());
    EXPECT_TRUE(View()->m_cboPrinters->isEnabled());
    EXPECT_EQ(View()->m_edtBytesSent->text(), QStringLiteral("0"));
    EXPECT_EQ(View()->m_edtFileName->text(), QString());
}

TEST_F(GuiTest, PrintersAreListedInTableOrderWithTheFirstSelectedAndNewDocumentKeepsTwoRows) {
    AddPrinter("A", "/dev/null");
    AddPrinter("B", "/dev/null");
    Start();
    EXPECT_EQ(Rows(View()->m_cboPrinters), (QStringList{"A", "B"}));
    EXPECT_EQ(View()->m_cboPrinters->currentIndex(), 0);
    EXPECT_EQ(View()->m_cboPrinters->currentText(), QStringLiteral("A"));

    View()->m_cboPrinters->setCurrentIndex(1);
    View()->m_edtFileName->setText(QStringLiteral("some.fla"));
    app->OnFileNew();
    // The list is filled afresh, not appended to (which gave A, B, A, B).
    EXPECT_EQ(Rows(View()->m_cboPrinters), (QStringList{"A", "B"}));
    EXPECT_EQ(View()->m_cboPrinters->currentIndex(), 0);
    EXPECT_EQ(View()->m_edtFileName->text(), QString());
}

// START refuses without a name or without a printer, and then changes nothing.
TEST_F(GuiTest, StartRefusesWithoutNameOrPrinter) {
    struct Case {
        const char* name;
        bool withPrinter;
        const char* message;
    };
    const Case cases[] = {
        {"", true, "   You must enter a filename before you press START   "},
        {"", false, "   You must enter a filename before you press START   "},
        {"flash.fla", false, "Please select a printer from the list before you press START."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        g_nUsbPrinters = 0;
        if (c.withPrinter)
            AddPrinter("A", "/dev/null");
        boxes.clear();
        Start();
        View()->m_edtFileName->setText(QString::fromLatin1(c.name));
        View()->m_btnStart->click();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, QStringLiteral("Pellmar"));
        EXPECT_EQ(boxes[0].text, QString::fromLatin1(c.message));
        EXPECT_EQ(ControlsEnabled(), AllEnabled());
        EXPECT_EQ(RunningWorkers(), 0);
        app.reset();
    }
}

TEST_F(GuiTest, FileThatCannotBeOpenedIsNamedAndThePrinterIsNotOpened) {
    PtyDevice printer;
    printer.StartCollecting();
    AddPrinter("A", printer.Path());
    Start();
    // A name of spaces passes the emptiness test and is used as a file name.
    for (const QString& name : {QStringLiteral("/nonexistent/flash.fla"), QStringLiteral("   ")}) {
        boxes.clear();
        View()->m_edtFileName->setText(name);
        View()->m_btnStart->click();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("\"%1\"").arg(name)))
            << qPrintable(boxes[0].text);
        EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("No such file")))
            << qPrintable(boxes[0].text);
        EXPECT_EQ(ControlsEnabled(), AllEnabled());
        EXPECT_EQ(RunningWorkers(), 0);
    }
    EXPECT_TRUE(printer.Received().empty());
}

TEST_F(GuiTest, FailedOpenShowsBothTextsAndEnablesTheControlsAgain) {
    TempFile file(PatternBytes(100));
    AddPrinter("Gone", "/nonexistent/lp0");
    Start();
    View()->m_edtFileName->setText(QString::fromStdString(file.Path()));
    View()->m_btnStart->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.size() >= 2; }, 5000));
    EXPECT_EQ(boxes[0].text, QStringLiteral(" Failed to open USB Printer "));
    EXPECT_TRUE(
        boxes[1].text.startsWith(QStringLiteral("USB Printer <<Gone>> could not be found!")))
        << qPrintable(boxes[1].text);
    EXPECT_EQ(ControlsEnabled(), AllEnabled());
    EXPECT_EQ(g_pActiveSlot, nullptr);
    EXPECT_EQ(g_hSourceFile, platform::kInvalidHandle);
}

TEST_F(GuiTest, TransferOf5000BytesDrivesCounterAndBarAndEndsEnabled) {
    PtyDevice printer;
    printer.StartCollecting();
    AddPrinter("A", printer.Path());
    const auto bytes = PatternBytes(5000, 7);
    TempFile file(bytes);
    Start();

    struct Step {
        QString counter;
        int maximum;
        int value;
        std::vector<bool> enabled;
    };
    std::vector<Step> steps;
    QObject::connect(View()->m_ctlProgress, &QProgressBar::valueChanged, [&](int value) {
        steps.push_back({View()->m_edtBytesSent->text(), View()->m_ctlProgress->maximum(), value,
                         ControlsEnabled()});
    });
    EXPECT_EQ(View()->m_ctlProgress->maximum(), 100);
    View()->m_edtFileName->setText(QString::fromStdString(file.Path()));
    View()->m_btnStart->click();
    EXPECT_EQ(ControlsEnabled(), (std::vector<bool>{false, false, false}));
    ASSERT_TRUE(WaitForTransferEnd());

    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].counter, QStringLiteral("4096"));
    EXPECT_EQ(steps[0].maximum, 5000);
    EXPECT_EQ(steps[0].value, 4096);
    EXPECT_EQ(steps[1].counter, QStringLiteral("5000"));
    EXPECT_EQ(steps[1].value, 5000);
    EXPECT_EQ(steps[0].enabled, (std::vector<bool>{false, false, false}));
    // After the end: last values kept, controls enabled, file closed, every byte arrived.
    EXPECT_EQ(View()->m_edtBytesSent->text(), QStringLiteral("5000"));
    EXPECT_EQ(View()->m_ctlProgress->value(), 5000);
    EXPECT_EQ(ControlsEnabled(), AllEnabled());
    EXPECT_EQ(g_hSourceFile, platform::kInvalidHandle);
    EXPECT_TRUE(boxes.empty());
    ASSERT_TRUE(printer.WaitForBytes(bytes.size()));
    EXPECT_EQ(printer.Received(), bytes);
}

TEST_F(GuiTest, StartUsesTheFirst80CharactersOfTheName) {
    PtyDevice printer;
    printer.StartCollecting();
    AddPrinter("A", printer.Path());
    const auto bytes = PatternBytes(300, 3);
    // A path of exactly 80 characters, then 20 more that START must drop.
    std::string path = "/tmp/pellmar-gui-";
    path += std::string(80 - path.size() - 4, 'x') + ".fla";
    ASSERT_EQ(path.size(), 80u);
    {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), 300);
    }
    Start();
    View()->m_edtFileName->setText(QString::fromStdString(path + std::string(20, 'y')));
    View()->m_btnStart->click();
    ASSERT_TRUE(WaitForTransferEnd());
    std::remove(path.c_str());
    EXPECT_TRUE(boxes.empty());
    ASSERT_TRUE(printer.WaitForBytes(bytes.size()));
    EXPECT_EQ(printer.Received(), bytes);
}

TEST_F(GuiTest, FileDialogCancelKeeps79CharactersAndOkSetsTheWholePath) {
    Start();
    const QString hundred(100, QLatin1Char('a'));
    const QString long120 = QStringLiteral("/") + QString(119, QLatin1Char('p'));
    struct Case {
        QString before, answer, after;
    };
    const Case cases[] = {
        {hundred, QString(), hundred.left(79)},  // cancelled
        {QStringLiteral("short"), QString(), QStringLiteral("short")},
        {QStringLiteral("short"), long120, long120},  // confirmed: set whole
    };
    for (const Case& c : cases) {
        View()->m_edtFileName->setText(c.before);
        dialogAnswer = c.answer;
        View()->OnBrowseFiles();
        EXPECT_EQ(View()->m_edtFileName->text(), c.after);
    }
    // The tool bar's Open button and Ctrl+O reach the same dialog of flash files.
    dialogKinds.clear();
    Frame()->Action(ID_FILE_OPEN)->trigger();
    ASSERT_EQ(dialogKinds.size(), 1u);
    EXPECT_EQ(dialogKinds[0], FileDialogKind::OpenFlashFile);
}

TEST_F(GuiTest, WriteFailureShowsTheErrorAndEnablesTheControlsAgain) {
    PtyDevice printer;
    printer.StartCollecting(4096);  // unplugged after the first chunk
    AddPrinter("A", printer.Path());
    TempFile file(PatternBytes(256 * 1024, 5));
    Start();
    View()->m_edtFileName->setText(QString::fromStdString(file.Path()));
    View()->m_btnStart->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.empty(); }, 30000));
    ASSERT_TRUE(WaitForTransferEnd());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Write failed with error code ")))
        << qPrintable(boxes[0].text);
    bool isNumber = false;
    boxes[0].text.mid(29).toInt(&isNumber);
    EXPECT_TRUE(isNumber) << qPrintable(boxes[0].text);
    EXPECT_EQ(ControlsEnabled(), AllEnabled());
    EXPECT_EQ(g_hSourceFile, platform::kInvalidHandle);
}

TEST_F(GuiTest, ClosingDuringATransferAsksAndStopsWithoutHanging) {
    PtyDevice printer;
    printer.StartCollecting();
    AddPrinter("A", printer.Path());
    TempFile file(PatternBytes(4 * 1024 * 1024, 9));  // about 12 s at one chunk per 12 ms
    Start();
    View()->m_edtFileName->setText(QString::fromStdString(file.Path()));
    View()->m_btnStart->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return View()->m_edtBytesSent->text() != "0"; }, 10000));

    boxAnswer = QMessageBox::No;
    EXPECT_FALSE(Frame()->close());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("Stop the transfer")));
    EXPECT_TRUE(View()->IsTransferRunning());

    boxAnswer = QMessageBox::Yes;
    EXPECT_TRUE(Frame()->close());
    EXPECT_EQ(RunningWorkers(), 0);
    EXPECT_EQ(g_hSourceFile, platform::kInvalidHandle);
    EXPECT_LT(printer.Received().size(), 4u * 1024 * 1024);
}

TEST_F(GuiTest, FileNameBoxKeepsItsEditingKeys) {
    Start();
    Frame()->activateWindow();
    QLineEdit* box = View()->m_edtFileName;
    box->setFocus();
    box->setText(QStringLiteral("flash.fla"));
    box->selectAll();
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("flash.fla"));
    QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(box->text(), QString());
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->text(), QStringLiteral("flash.flaflash.fla"));
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->text(), QStringLiteral("flash.fla"));
}

// A send from a worker returns only after the handler ran on the GUI thread; a post returns at
// once and is handled later; after StopTransfers a send returns without waiting for anything.
TEST_F(GuiTest, LinkMessagesAreSentSynchronouslyAndPostedAsynchronously) {
    Start();
    TempFile file(PatternBytes(1000));
    CONNECTION_SLOT& slot = g_ConnectionSlots[kSlotCount - 1];
    slot.nBytesSent.store(123);
    g_pActiveSlot = &slot;
    g_hSourceFile = platform::OpenFileForReading(file.Path());
    ASSERT_NE(g_hSourceFile, platform::kInvalidHandle);

    std::atomic<bool> handled{false};
    QObject::connect(View()->m_ctlProgress, &QProgressBar::valueChanged, [&] { handled = true; });
    std::atomic<int> seenAfterSend{-1};
    std::thread worker([&] {
        View()->SendLinkMessage(WM_LINK_PROGRESS, 0, &slot);
        seenAfterSend = handled.load() ? 1 : 0;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return seenAfterSend.load() >= 0; }, 10000));
    worker.join();
    EXPECT_EQ(seenAfterSend.load(), 1);
    EXPECT_EQ(View()->m_edtBytesSent->text(), QStringLiteral("123"));
    EXPECT_EQ(View()->m_ctlProgress->maximum(), 1000);
    EXPECT_EQ(View()->m_ctlProgress->value(), 123);

    g_strLinkError.Set("posted text");
    View()->PostLinkMessage(WM_LINK_ERROR, 0, nullptr);
    EXPECT_TRUE(boxes.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.empty(); }, 5000));
    EXPECT_EQ(boxes[0].text, QStringLiteral("posted text"));

    // Once stopping, a worker's send does not wait for this (busy) thread.
    View()->StopTransfers();
    std::atomic<bool> returned{false};
    std::thread late([&] {
        View()->SendLinkMessage(WM_LINK_PROGRESS, 0, &slot);
        returned = true;
    });
    late.join();  // would never return if the send waited for this thread
    EXPECT_TRUE(returned.load());
    g_pActiveSlot = nullptr;
    slot.nBytesSent.store(0);
}
