// The application: its settings, the document, the main frame with the flash form, and the
// commands that belong to the application (About, New, Save, Print).
#pragma once

#include <QObject>
#include <QStringList>

class CConnectionManager;
class CMainFrame;
class CPellmarDoc;

class CPellmarApp : public QObject {
    Q_OBJECT
public:
    // The manager has discovered the printers already.
    explicit CPellmarApp(CConnectionManager& manager, QObject* parent = nullptr);
    ~CPellmarApp() override;

    // Creates and shows the main frame with a new document, or with the document file named.
    // False when the frame or the document cannot be set up.
    bool InitInstance(const QString& documentFile = QString());

    CMainFrame* MainFrame() const { return m_pMainWnd; }
    CPellmarDoc* Document() const { return m_pDocument; }
    QStringList RecentFiles() const { return m_recentFiles; }

    void OnAppAbout();
    void OnFileNew();
    void OnFileSave();
    void OnFilePrint();

private:
    void LoadStdProfileSettings();
    void SaveStdProfileSettings() const;
    void AddToRecentFileList(const QString& path);
    void ConnectCommands();

    CConnectionManager& m_manager;
    CMainFrame* m_pMainWnd = nullptr;
    CPellmarDoc* m_pDocument = nullptr;
    QStringList m_recentFiles;
};

// Where the settings are kept: ~/.config/<organisation>/Pellmar.conf, or the registry on Windows.
inline constexpr const char* kSettingsOrganisation = "Local AppWizard-Generated Applications";
inline constexpr const char* kSettingsApplication = "Pellmar";
inline constexpr int kRecentFileCount = 4;
