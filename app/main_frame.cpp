// The main frame's bars, menus and accelerators, and stopping a transfer on close.
#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "app/lock_keys.h"
#include "app/message_box.h"
#include "app/pellmar_view.h"
#include "app/resource_ids.h"
#include "app/strings.h"

// The pictures are linked in from a static library: make sure they are registered.
static void InitResources() {
    Q_INIT_RESOURCE(pellmar);
}

CMainFrame::CMainFrame(CConnectionManager& manager, QWidget* parent) : QMainWindow(parent) {
    InitResources();
    m_pView = new CPellmarView(manager, this);
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddCommand(int id, const QString& text, const QKeySequence& keys) {
    QAction* action = m_actions.value(id);
    if (!action) {
        action = new QAction(text, this);
        action->setData(id);
        action->setStatusTip(CommandPrompt(id));
        action->setToolTip(CommandTip(id).isEmpty() ? text : CommandTip(id));
        m_actions.insert(id, action);
        addAction(action);  // its shortcuts work anywhere in the frame
    }
    if (!keys.isEmpty())
        action->setShortcuts(action->shortcuts() << keys);
    return action;
}

bool CMainFrame::OnCreate() {
    setWindowIcon(QIcon(QStringLiteral(":/res/pellmar.png")));
    setCentralWidget(m_pView);
    CreateAccelerators();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    return m_wndToolBar && m_wndStatusBar;
}

void CMainFrame::CreateAccelerators() {
    AddCommand(ID_FILE_NEW, QStringLiteral("New"), QKeySequence(Qt::CTRL | Qt::Key_N));
    AddCommand(ID_FILE_OPEN, QStringLiteral("Open"), QKeySequence(Qt::CTRL | Qt::Key_O));
    AddCommand(ID_FILE_SAVE, QStringLiteral("Save"), QKeySequence(Qt::CTRL | Qt::Key_S));
    AddCommand(ID_FILE_PRINT, QStringLiteral("Print"), QKeySequence(Qt::CTRL | Qt::Key_P));
    // The editing keys (Ctrl+Z, Ctrl+X, Ctrl+C, Ctrl+V and their older forms) are left to the
    // focused control, so the file-name box can undo, cut, copy and paste.
    AddCommand(ID_NEXT_PANE, QStringLiteral("Next Pane"), QKeySequence(Qt::Key_F6));
    AddCommand(ID_PREV_PANE, QStringLiteral("Previous Pane"), QKeySequence(Qt::SHIFT | Qt::Key_F6));
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(AddCommand(ID_APP_EXIT, QStringLiteral("E&xit")));
    connect(Action(ID_APP_EXIT), &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}) {
        QAction* a = AddCommand(
            id, id == ID_VIEW_TOOLBAR ? QStringLiteral("&Toolbar") : QStringLiteral("&Status Bar"));
        a->setCheckable(true);
        a->setChecked(true);
        view->addAction(a);
    }
    // The check marks follow the bars, whoever showed or hid them.
    connect(view, &QMenu::aboutToShow, this, [this] {
        Action(ID_VIEW_TOOLBAR)->setChecked(m_wndToolBar->isVisibleTo(this));
        Action(ID_VIEW_STATUS_BAR)->setChecked(m_wndStatusBar->isVisibleTo(this));
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(AddCommand(ID_APP_ABOUT, QStringLiteral("&About Pellmar...")));
}

void CMainFrame::CreateToolBar() {
    m_wndToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_wndToolBar->setObjectName(QStringLiteral("AFX_IDW_TOOLBAR"));
    m_wndToolBar->setIconSize(QSize(16, 15));
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setFloatable(true);
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    Action(ID_FILE_OPEN)->setIcon(QIcon(QStringLiteral(":/res/open.png")));
    Action(ID_APP_ABOUT)->setIcon(QIcon(QStringLiteral(":/res/about.png")));
    m_wndToolBar->addAction(Action(ID_FILE_OPEN));
    m_wndToolBar->addAction(Action(ID_APP_ABOUT));
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    connect(Action(ID_VIEW_TOOLBAR), &QAction::triggered, m_wndToolBar, &QWidget::setVisible);
}

void CMainFrame::CreateStatusBar() {
    m_wndStatusBar = new QStatusBar(this);
    m_wndStatusBar->setObjectName(QStringLiteral("AFX_IDW_STATUS_BAR"));
    m_paneMessage = new QLabel(LoadAppString(AFX_IDS_IDLEMESSAGE));
    m_wndStatusBar->addWidget(m_paneMessage, 1);
    QLabel* panes[3];
    const int ids[3] = {ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
    for (int i = 0; i < 3; ++i) {
        panes[i] = new QLabel;
        panes[i]->setObjectName(QStringLiteral("indicator%1").arg(ids[i]));
        panes[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panes[i]->setAlignment(Qt::AlignCenter);
        // Wide enough for its text, which shows only while the key is on.
        panes[i]->setMinimumWidth(panes[i]->fontMetrics().horizontalAdvance(LoadAppString(ids[i])) +
                                  8);
        m_wndStatusBar->addPermanentWidget(panes[i]);
    }
    new LockKeyWatcher(panes[0], panes[1], panes[2], this);
    setStatusBar(m_wndStatusBar);

    connect(Action(ID_VIEW_STATUS_BAR), &QAction::triggered, m_wndStatusBar, &QWidget::setVisible);
}

QString CMainFrame::MessagePaneText() const {
    const QString prompt = m_wndStatusBar->currentMessage();
    return prompt.isEmpty() ? m_paneMessage->text() : prompt;
}

void CMainFrame::OnUpdateFrameTitle(const QString& documentTitle) {
    setWindowTitle(AppTitle() + QStringLiteral(" - ") + documentTitle);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_pView->IsTransferRunning()) {
        if (PellmarMessageBox(this, QString::fromLatin1(text::kStopAndQuit),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        m_pView->StopTransfers();
    }
    event->accept();
}
