// The unattended flash run.
#include "app/auto_flash.h"

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/main_frame.h"
#include "app/message_box.h"
#include "app/pellmar_view.h"

namespace {

// An unattended run that has not ended by then is stopped.
constexpr int kAutoFlashLimitMs = 10 * 60 * 1000;

void Finish(CMainFrame* frame, const QString& screenshot, bool ok) {
    if (!screenshot.isEmpty()) {
        if (frame->grab().save(screenshot))
            std::fprintf(stderr, "pellmar: window picture saved to %s\n", qPrintable(screenshot));
        else
            ok = false;
    }

    QCoreApplication::exit(ok ? 0 : 1);
}

}  // namespace

void StartAutoFlash(CMainFrame* frame, const QString& file, const QString& screenshot) {
    auto failed = std::make_shared<bool>(false);
    SetMessageBoxHook(
        [failed](const QString&, const QString& text, QMessageBox::StandardButtons buttons) {
            std::fprintf(stderr, "pellmar: message: %s\n", qPrintable(text.trimmed()));
            *failed = true;
            return (buttons & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
        });
    CPellmarView* view = frame->View();
    QObject::connect(view, &CPellmarView::TransferEnded, frame, [=](bool ok) {
        ok = ok && !*failed;
        std::fprintf(stderr, "pellmar: transfer %s\n", ok ? "finished" : "failed");
        Finish(frame, screenshot, ok);
    });
    QTimer::singleShot(0, frame, [=] {
        view->m_edtFileName->setText(file);
        view->OnStart();
        if (!view->IsTransferRunning() && *failed)
            Finish(frame, screenshot, false);  // refused before anything was sent
    });
    QTimer::singleShot(kAutoFlashLimitMs, frame, [=] {
        std::fprintf(stderr, "pellmar: the transfer did not end in time\n");
        frame->close();
        QCoreApplication::exit(1);
    });
}

void StartScreenshotOnly(CMainFrame* frame, const QString& screenshot) {
    QTimer::singleShot(0, frame, [=] { Finish(frame, screenshot, true); });
}
