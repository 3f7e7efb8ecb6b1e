// The flash form's behaviour: START, the file dialog, and the handlers of the connection module's
// progress, done and error messages.
#include "app/pellmar_view.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <algorithm>
#include <climits>

#include "app/file_dialogs.h"
#include "app/message_box.h"
#include "app/resource_ids.h"
#include "app/strings.h"
#include "connection/workers.h"

CONNECTION_SLOT* g_pActiveSlot = nullptr;
platform::Handle g_hSourceFile = platform::kInvalidHandle;

namespace {

// Longest file name START takes from the box, and the longest text a cancelled dialog leaves.
constexpr int kMaxStartName = 80;
constexpr int kMaxKeptName = 79;
// How long stopping waits for the workers to end.
constexpr int kStopWaitMs = 5000;

}  // namespace

CPellmarView::CPellmarView(CConnectionManager& manager, QWidget* parent)
    : QWidget(parent), m_manager(manager) {
    CreateControls();
    connect(m_btnStart, &QPushButton::clicked, this, &CPellmarView::OnStart);
    connect(static_cast<QPushButton*>(GetDlgItem(IDC_BROWSE)), &QPushButton::clicked, this,
            &CPellmarView::OnBrowseFiles);
    connect(m_cboPrinters, &QComboBox::activated, this, [this] { OnSelendokPrinterList(); });
    connect(m_edtFileName, &QLineEdit::textEdited, this, [this] { OnUpdateFilename(); });
}

CPellmarView::~CPellmarView() {
    if (IsTransferRunning())
        StopTransfers();
    CloseSourceFile();
}

void CPellmarView::DoDataExchange() {
    m_edtFileName->setText(m_strFileName);
    const int row =
        m_strPrinter.isEmpty() ? -1 : m_cboPrinters->findText(m_strPrinter, Qt::MatchStartsWith);
    if (row >= 0)
        m_cboPrinters->setCurrentIndex(row);
    else
        m_cboPrinters->setEditText(m_strPrinter);
    m_edtBytesSent->setText(QString::number(m_lBytesSent));
}

void CPellmarView::OnInitialUpdate() {
    DoDataExchange();
    // A second run must not append the printers again: row i of the list is row i of the table.
    m_cboPrinters->clear();
    for (int i = 0; i < g_nUsbPrinters; ++i) {
        const char* name = g_UsbPrinters[i].szName;
        m_cboPrinters->addItem(
            QString::fromLocal8Bit(name, qstrnlen(name, sizeof g_UsbPrinters[i].szName)));
    }
    m_cboPrinters->setCurrentIndex(m_cboPrinters->count() > 0 ? 0 : -1);
    if (m_cboPrinters->count() == 0)
        m_cboPrinters->setEditText(QString());
    m_cboPrinters->setEnabled(true);
}

void CPellmarView::OnStart() {
    const QString fileName = m_edtFileName->text().left(kMaxStartName);
    if (fileName.isEmpty()) {
        PellmarMessageBox(this, QString::fromLatin1(text::kEnterFileName));
        return;
    }
    const int row = m_cboPrinters->currentIndex();
    if (row < 0 || row >= g_nUsbPrinters) {
        PellmarMessageBox(this, QString::fromLatin1(text::kSelectPrinter));
        return;
    }
    // The file is opened first: a file that cannot be read must not reach the printer at all.
    const platform::Handle file =
        platform::OpenFileForReading(fileName.toLocal8Bit().toStdString());
    if (file == platform::kInvalidHandle) {
        const int code = platform::LastError();
        PellmarMessageBox(
            this, CannotOpenFileText(fileName,
                                     QString::fromLocal8Bit(platform::ErrorText(code).c_str())));
        return;
    }

    m_cboPrinters->setEnabled(false);
    m_edtFileName->setEnabled(false);
    m_btnStart->setEnabled(false);

    CONNECTION_REQUEST request;
    request.nType = CONN_USB;
    request.strPort.assign(g_UsbPrinters[row].szName,
                           qstrnlen(g_UsbPrinters[row].szName, sizeof g_UsbPrinters[row].szName));
    request.pDcb = nullptr;
    request.nMode = 2;
    request.nIdleTimeout = 20;
    request.hWndNotify = this;
    g_pActiveSlot = m_manager.OpenConnection(request);
    if (!g_pActiveSlot) {
        platform::Close(file);
        PellmarMessageBox(this, QString::fromLatin1(text::kFailedToOpen));
        EnableTransferControls(true);
        return;
    }
    CloseSourceFile();
    g_hSourceFile = file;
    g_pActiveSlot->hSourceFile.store(file, std::memory_order_release);
    g_pActiveSlot->bSending = 1;
}

void CPellmarView::OnFileOpen() {
    QString result = RunFileDialog(this, FileDialogKind::OpenFlashFile);
    if (result.isEmpty())
        result = m_edtFileName->text().left(kMaxKeptName);
    m_edtFileName->setText(result);
}

void CPellmarView::OnBrowseFiles() {
    OnFileOpen();
}

void CPellmarView::SendLinkMessage(std::uint32_t message, std::uintptr_t, CONNECTION_SLOT*) {
    if (m_bClosing.load())
        return;
    if (QThread::currentThread() == thread()) {
        DispatchLinkMessage(message);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, message] { DispatchLinkMessage(message); }, Qt::BlockingQueuedConnection);
}

void CPellmarView::PostLinkMessage(std::uint32_t message, std::uintptr_t, CONNECTION_SLOT*) {
    if (m_bClosing.load())
        return;
    QMetaObject::invokeMethod(
        this, [this, message] { DispatchLinkMessage(message); }, Qt::QueuedConnection);
}

void CPellmarView::DispatchLinkMessage(std::uint32_t message) {
    if (m_bClosing.load())
        return;
    switch (message) {
        case WM_LINK_ERROR:
            OnLinkError();
            break;
        case WM_LINK_PROGRESS:
            OnLinkProgress();
            break;
        case WM_LINK_DONE:
            OnLinkDone();
            break;
        default:
            break;
    }
}

void CPellmarView::OnLinkError() {
    PellmarMessageBox(this, QString::fromLocal8Bit(g_strLinkError.Get().c_str()));
    // A failed write ends the transfer and frees the slot: let the user try again.
    if (!g_pActiveSlot || g_pActiveSlot->bActive.load() == 0) {
        CloseSourceFile();
        EnableTransferControls(true);
        emit TransferEnded(false);
    }
}

void CPellmarView::OnLinkProgress() {
    if (!g_pActiveSlot)
        return;
    m_edtBytesSent->setText(QString::number(g_pActiveSlot->nBytesSent.load()));
    const std::int64_t size = platform::FileSize(g_hSourceFile);
    m_ctlProgress->setRange(0, static_cast<int>(std::clamp<std::int64_t>(size, 0, INT_MAX)));
    m_ctlProgress->setValue(g_pActiveSlot->nBytesSent.load());
}

void CPellmarView::OnLinkDone() {
    m_manager.CloseAllConnections();
    CloseSourceFile();
    EnableTransferControls(true);
    emit TransferEnded(true);
}

void CPellmarView::EnableTransferControls(bool enable) {
    m_cboPrinters->setEnabled(enable);
    m_edtFileName->setEnabled(enable);
    m_btnStart->setEnabled(enable);
}

void CPellmarView::CloseSourceFile() {
    if (g_hSourceFile == platform::kInvalidHandle)
        return;
    platform::Close(g_hSourceFile);
    g_hSourceFile = platform::kInvalidHandle;
}

bool CPellmarView::IsTransferRunning() const {
    for (const auto& slot : g_ConnectionSlots)
        if (slot.bActive.load() != 0 && slot.hWndNotify == this)
            return true;
    return RunningWorkers() > 0;
}

bool CPellmarView::StopTransfers() {
    // From here on a worker's send returns at once, so no worker waits for this thread while this
    // thread waits for the workers.
    m_bClosing.store(true);
    m_manager.CloseAllConnections();
    QDeadlineTimer deadline(kStopWaitMs);
    bool ended = false;
    while (!(ended = WaitForWorkers(std::chrono::milliseconds(20))) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (ended)
        CloseSourceFile();  // a worker still running might yet read it
    EnableTransferControls(true);
    return ended;
}
