// The flash form: file name, printer list, START, byte counter and progress bar. The view is
// also the receiver of the connection module's messages for the transfers it starts.
#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>

#include "connection/manager.h"
#include "connection/slots.h"
#include "platform/platform.h"

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The slot the latest START obtained (null when its open failed), and the flash file it sends.
extern CONNECTION_SLOT* g_pActiveSlot;
extern platform::Handle g_hSourceFile;

class CPellmarView : public QWidget, public INotifyWindow {
    Q_OBJECT
public:
    CPellmarView(CConnectionManager& manager, QWidget* parent = nullptr);
    ~CPellmarView() override;

    // Fills the form anew: run at start-up and by every new-document command.
    void OnInitialUpdate();

    // The control with a form id (IDC_...), or null.
    QWidget* GetDlgItem(int id) const;

    // True while a transfer holds a slot or a worker still runs.
    bool IsTransferRunning() const;
    // Stops a running transfer for good: later messages of the module are dropped, the slots are
    // released and the workers are waited for, a bounded time, while events go on being handled.
    // True when every worker has ended.
    bool StopTransfers();

    // INotifyWindow: a send waits until the handler ran on the GUI thread; a post queues.
    void SendLinkMessage(std::uint32_t message, std::uintptr_t wParam,
                         CONNECTION_SLOT* lParam) override;
    void PostLinkMessage(std::uint32_t message, std::uintptr_t wParam,
                         CONNECTION_SLOT* lParam) override;

signals:
    // A transfer ended: after the done handler (true) or the error handler (false).
    void TransferEnded(bool ok);

public slots:
    void OnStart();
    void OnFileOpen();
    void OnBrowseFiles();

private:
    void CreateControls();
    void DoDataExchange();
    void DispatchLinkMessage(std::uint32_t message);
    void OnLinkError();
    void OnLinkProgress();
    void OnLinkDone();
    void OnSelendokPrinterList() {}
    void OnUpdateFilename() {}
    void OnDoubleclickedStart() {}
    void EnableTransferControls(bool enable);
    void CloseSourceFile();

    CConnectionManager& m_manager;
    std::atomic<bool> m_bClosing{false};

public:
    // The controls, bound by id.
    QProgressBar* m_ctlProgress = nullptr;
    QPushButton* m_btnStart = nullptr;
    QComboBox* m_cboPrinters = nullptr;
    QLineEdit* m_edtBytesSent = nullptr;
    QLineEdit* m_edtFileName = nullptr;
    // What the data exchange puts into the controls.
    QString m_strFileName;
    QString m_strPrinter;
    std::int32_t m_lBytesSent = 0;
};
