// Start-up of the main frame and document, the settings, and the application's commands.
#include "app/pellmar_app.h"

#include <QAction>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSettings>

#include "app/about_dialog.h"
#include "app/file_dialogs.h"
#include "app/main_frame.h"
#include "app/message_box.h"
#include "app/pellmar_doc.h"
#include "app/pellmar_view.h"
#include "app/resource_ids.h"
#include "app/strings.h"

CPellmarApp::CPellmarApp(CConnectionManager& manager, QObject* parent)
    : QObject(parent), m_manager(manager) {}

CPellmarApp::~CPellmarApp() {
    SaveStdProfileSettings();
    delete m_pMainWnd;
}

bool CPellmarApp::InitInstance(const QString& documentFile) {
    LoadStdProfileSettings();
    m_pMainWnd = new CMainFrame(m_manager);
    m_pDocument = new CPellmarDoc(this);
    if (!m_pMainWnd->OnCreate())
        return false;
    connect(m_pDocument, &CPellmarDoc::TitleChanged, m_pMainWnd, &CMainFrame::OnUpdateFrameTitle);
    ConnectCommands();

    if (documentFile.isEmpty()) {
        m_pDocument->OnNewDocument();
    } else if (m_pDocument->OnOpenDocument(documentFile)) {
        AddToRecentFileList(documentFile);
    } else {
        PellmarMessageBox(nullptr,
                          QStringLiteral("Cannot open the document \"%1\".").arg(documentFile));
        return false;
    }
    m_pMainWnd->View()->OnInitialUpdate();
    m_pMainWnd->adjustSize();
    m_pMainWnd->show();
    m_pMainWnd->setWindowTitle(QString::fromLatin1(text::kVersionTitle));
    return true;
}

void CPellmarApp::ConnectCommands() {
    CMainFrame* f = m_pMainWnd;
    connect(f->Action(ID_APP_ABOUT), &QAction::triggered, this, &CPellmarApp::OnAppAbout);
    connect(f->Action(ID_FILE_NEW), &QAction::triggered, this, &CPellmarApp::OnFileNew);
    connect(f->Action(ID_FILE_OPEN), &QAction::triggered, f->View(), &CPellmarView::OnFileOpen);
    connect(f->Action(ID_FILE_SAVE), &QAction::triggered, this, &CPellmarApp::OnFileSave);
    connect(f->Action(ID_FILE_PRINT), &QAction::triggered, this, &CPellmarApp::OnFilePrint);
}

void CPellmarApp::OnAppAbout() {
    CAboutDialog about(m_pMainWnd);
    about.exec();
}

void CPellmarApp::OnFileNew() {
    if (m_pDocument->OnNewDocument())
        m_pMainWnd->View()->OnInitialUpdate();
}

void CPellmarApp::OnFileSave() {
    QString path = m_pDocument->GetPathName();
    if (path.isEmpty())
        path = RunFileDialog(m_pMainWnd, FileDialogKind::SaveDocument);
    if (path.isEmpty())
        return;
    if (!m_pDocument->OnSaveDocument(path)) {
        PellmarMessageBox(m_pMainWnd, QStringLiteral("Cannot save the document \"%1\".").arg(path));
        return;
    }
    AddToRecentFileList(path);
}

void CPellmarApp::OnFilePrint() {
    // The document has nothing to print: a confirmed print job is an empty page.
    QPrinter printer;
    QPrintDialog dialog(&printer, m_pMainWnd);
    if (dialog.exec() == QDialog::Accepted) {
        QPainter painter(&printer);
    }
}

void CPellmarApp::LoadStdProfileSettings() {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    m_recentFiles.clear();
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file =
            settings.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!file.isEmpty())
            m_recentFiles << file;
    }
}

void CPellmarApp::SaveStdProfileSettings() const {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    settings.remove(QStringLiteral("Recent File List"));
    for (int i = 0; i < m_recentFiles.size(); ++i)
        settings.setValue(QStringLiteral("Recent File List/File%1").arg(i + 1), m_recentFiles[i]);
}

void CPellmarApp::AddToRecentFileList(const QString& path) {
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > kRecentFileCount) m_recentFiles.removeLast();
}
