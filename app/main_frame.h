// The main frame: menu, accelerators, the dockable tool bar, the status bar with its message and
// lock-key panes, and the flash form as its only view.
#pragma once

#include <QHash>
#include <QMainWindow>

class QAction;
class QLabel;
class QStatusBar;
class QToolBar;
class CPellmarView;
class CConnectionManager;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CConnectionManager& manager, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Builds the bars and menus. False when the frame cannot be created.
    bool OnCreate();

    // The action that sends a command id (ID_...), or null.
    QAction* Action(int id) const { return m_actions.value(id); }
    CPellmarView* View() const { return m_pView; }
    QStatusBar* StatusBar() const { return m_wndStatusBar; }
    QToolBar* ToolBar() const { return m_wndToolBar; }
    // The message pane's text ("Ready" when nothing else is shown).
    QString MessagePaneText() const;

    // The title the frame composes for a document: application title first.
    void OnUpdateFrameTitle(const QString& documentTitle);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(int id, const QString& text, const QKeySequence& keys = {});
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateAccelerators();

    QStatusBar* m_wndStatusBar = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    QLabel* m_paneMessage = nullptr;
    CPellmarView* m_pView = nullptr;
    QHash<int, QAction*> m_actions;
};
