// The file dialogs and their test hook.
#include "app/file_dialogs.h"

#include <QFileDialog>

#include "app/strings.h"

namespace {

FileDialogHook& Hook() {
    static FileDialogHook hook;
    return hook;
}

}  // namespace

void SetFileDialogHook(FileDialogHook hook) {
    Hook() = std::move(hook);
}

QString RunFileDialog(QWidget* parent, FileDialogKind kind) {
    if (Hook())
        return Hook()(kind);
    switch (kind) {
        case FileDialogKind::OpenFlashFile:
            return QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), QString(),
                                                QString::fromLatin1(text::kFlashFilter));
        case FileDialogKind::SaveDocument:
            return QFileDialog::getSaveFileName(parent, QStringLiteral("Save As"), QString(),
                                                QStringLiteral("All Files (*)"));
        case FileDialogKind::OpenDocument:
            return QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), QString(),
                                                QStringLiteral("All Files (*)"));
    }
    return QString();
}
