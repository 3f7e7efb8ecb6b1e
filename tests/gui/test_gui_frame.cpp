// The main frame: titles, menus, tool bar, status bar, About box, saving the empty document,
// settings, the form's layout and the command line.
#include <QDialog>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include "app/command_line.h"
#include "app/dialog_units.h"
#include "app/lock_keys.h"
#include "app/pellmar_doc.h"
#include "app/strings.h"
#include "gui_fixture.h"

TEST_F(GuiTest, TitleHasItsLeadingSpaceUntilNewDocumentComposesIt) {
    Start();
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral(" Pellmar 2.0"));
    Frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Frame()));
    QTest::keyClick(Frame(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("Pellmar - Untitled"));
}

TEST_F(GuiTest, MenusCarryTheirItemsAndTheViewItemsToggleTheBars) {
    Start();
    QStringList menus;
    for (QAction* a : Frame()->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&View", "&Help"}));
    EXPECT_EQ(Frame()->Action(ID_APP_EXIT)->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(Frame()->Action(ID_APP_ABOUT)->text(), QStringLiteral("&About Pellmar..."));
    for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}) {
        QAction* toggle = Frame()->Action(id);
        QWidget* bar = id == ID_VIEW_TOOLBAR ? static_cast<QWidget*>(Frame()->ToolBar())
                                             : Frame()->StatusBar();
        EXPECT_TRUE(toggle->isChecked());
        toggle->trigger();
        EXPECT_FALSE(toggle->isChecked());
        EXPECT_FALSE(bar->isVisible());
        toggle->trigger();
        EXPECT_TRUE(bar->isVisible());
    }
    // The editing keys belong to the focused control, not to the frame.
    for (QAction* a : Frame()->actions())
        for (const QKeySequence& k : a->shortcuts())
            EXPECT_NE(k, QKeySequence(QKeySequence::Copy)) << qPrintable(a->text());
}

TEST_F(GuiTest, ToolBarHasOpenAndAboutAndTheMessagePaneShowsPrompts) {
    Start();
    QToolBar* bar = Frame()->ToolBar();
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(bar->actions()[0]->data().toInt(), ID_FILE_OPEN);
    EXPECT_EQ(bar->actions()[1]->data().toInt(), ID_APP_ABOUT);
    EXPECT_EQ(bar->iconSize(), QSize(16, 15));
    EXPECT_EQ(bar->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_EQ(bar->actions()[1]->toolTip(), QStringLiteral("About"));
    EXPECT_EQ(bar->actions()[0]->toolTip(), QStringLiteral("Open"));

    EXPECT_EQ(Frame()->MessagePaneText(), QStringLiteral("Ready"));
    // The pointer comes to rest on the About button.
    QWidget* aboutButton = bar->widgetForAction(Frame()->Action(ID_APP_ABOUT));
    QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), QPointF(4, 4));
    QApplication::sendEvent(aboutButton, &enter);
    EXPECT_EQ(Frame()->MessagePaneText(),
              QStringLiteral("Display program information, version number and copyright"));
    Frame()->StatusBar()->clearMessage();
    EXPECT_EQ(Frame()->MessagePaneText(), QStringLiteral("Ready"));
    for (int id : {ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL})
        EXPECT_NE(Frame()->StatusBar()->findChild<QLabel*>(QStringLiteral("indicator%1").arg(id)),
                  nullptr);
}

TEST_F(GuiTest, AboutBoxShowsTheVersionAndClosesWithOk) {
    Start();
    QString caption;
    QStringList texts;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return;
        caption = box->windowTitle();
        for (QLabel* l : box->findChildren<QLabel*>()) texts << l->text();
        box->findChild<QPushButton*>(QStringLiteral("control%1").arg(IDOK))->click();
    });
    Frame()->Action(ID_APP_ABOUT)->trigger();  // returns when the box is closed
    EXPECT_EQ(caption, QStringLiteral("About Pellmar"));
    EXPECT_TRUE(texts.contains(QStringLiteral("Pellmar Version 2.0")))
        << qPrintable(texts.join("|"));
}

TEST_F(GuiTest, SaveWritesAnEmptyFileAndKeepsItInTheRecentList) {
    QTemporaryDir dir;
    dialogAnswer = dir.filePath(QStringLiteral("doc.pel"));
    Start();
    Frame()->Action(ID_FILE_SAVE)->trigger();
    ASSERT_EQ(dialogKinds.size(), 1u);
    EXPECT_EQ(dialogKinds[0], FileDialogKind::SaveDocument);
    EXPECT_TRUE(QFileInfo::exists(dialogAnswer));
    EXPECT_EQ(QFileInfo(dialogAnswer).size(), 0);
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("Pellmar - doc.pel"));
    app.reset();  // the settings are written at exit
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File1")).toString(), dialogAnswer);
}

TEST_F(GuiTest, FormKeepsTemplateOrderAsTabOrderAndDialogUnitPositions) {
    Start();
    const std::vector<int> tabOrder = {IDC_FILENAME, IDC_PRINTER_LIST, IDC_BYTES_SENT, IDC_START,
                                       IDC_BROWSE};
    QWidget* w = View()->GetDlgItem(tabOrder[0]);
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget* next = w->nextInFocusChain();
        // Skip what takes no focus, and the combo box's own line edit.
        while (next->parentWidget() != View() || next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, View()->GetDlgItem(tabOrder[i])) << "after control " << tabOrder[i - 1];
        w = next;
    }
    const DialogUnits du(View()->font());
    EXPECT_EQ(View()->GetDlgItem(IDC_START)->geometry(), du.Rect(57, 114, 66, 22));
    EXPECT_EQ(View()->GetDlgItem(IDC_FILENAME)->geometry(), du.Rect(7, 30, 169, 14));
    EXPECT_EQ(static_cast<QPushButton*>(View()->GetDlgItem(IDC_BROWSE))->text(),
              QStringLiteral("Browse Files"));
    EXPECT_EQ(static_cast<QLabel*>(View()->GetDlgItem(IDC_FILENAME_PROMPT))->text(),
              QStringLiteral("ENTER FILENAME TO FLASH TO PRINTER"));
    EXPECT_EQ(View()->size(), QSize(du.X(183), du.Y(253)));
}

TEST(CommandLineTest, OptionsAndErrors) {
    struct Case {
        std::vector<const char*> args;
        std::vector<std::string> devices;
        std::string document;
        bool error;
    };
    const Case cases[] = {
        {{"pellmar"}, {}, "", false},
        {{"pellmar", "--device", "/dev/a", "--device=/dev/b"}, {"/dev/a", "/dev/b"}, "", false},
        {{"pellmar", "-platform", "offscreen", "doc.pel"}, {}, "doc.pel", false},
        {{"pellmar", "--device"}, {}, "", true},
        {{"pellmar", "--nonsense"}, {}, "", true},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
        const CommandLine cl = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(cl.devices, c.devices);
        EXPECT_EQ(cl.document, c.document);
        EXPECT_EQ(!cl.error.empty(), c.error) << cl.error;
    }
}

// The lock-key panes read the native modifier bits of the platforms that report them.
TEST(LockKeyTest, PanesFollowTheNativeModifierBits) {
    struct Case {
        const char* platform;
        quint32 bits;
        QStringList shown;  // CAP, NUM, SCRL panes
    };
    const Case cases[] = {
        {"xcb", 0x02, {"CAP", "", ""}},
        {"xcb", 0x12, {"CAP", "NUM", ""}},
        {"xcb", 0x00, {"", "", ""}},
        {"windows", 0x700, {"CAP", "NUM", "SCRL"}},
        {"windows", 0x400, {"", "", "SCRL"}},
        {"offscreen", 0xFFFF, {"", "", ""}},  // not reported: the panes stay empty
    };
    for (const Case& c : cases) {
        QLabel caps, num, scroll;
        QObject owner;
        LockKeyWatcher watcher(&caps, &num, &scroll, &owner);
        watcher.Update(QString::fromLatin1(c.platform), c.bits);
        EXPECT_EQ((QStringList{caps.text(), num.text(), scroll.text()}), c.shown)
            << c.platform << " " << c.bits;
    }
}

// A document named on the command line is taken without being read; one that cannot be opened
// ends the start-up with a message.
TEST_F(GuiTest, DocumentFromTheCommandLine) {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("old.pel"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ignored");
    }
    app = std::make_unique<CPellmarApp>(manager);
    ASSERT_TRUE(app->InitInstance(existing));
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral(" Pellmar 2.0"));
    EXPECT_EQ(app->Document()->GetTitle(), QStringLiteral("old.pel"));
    EXPECT_EQ(app->RecentFiles().value(0), existing);
    EXPECT_TRUE(boxes.empty());
    app.reset();

    app = std::make_unique<CPellmarApp>(manager);
    EXPECT_FALSE(app->InitInstance(dir.filePath(QStringLiteral("missing.pel"))));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("missing.pel")));
    app.reset();
}
