// The file dialogs of the application: the flash file to send and the document's save name.
// Tests replace the dialogs with a hook that answers at once.
#pragma once

#include <QString>
#include <functional>

class QWidget;

enum class FileDialogKind { OpenFlashFile, SaveDocument, OpenDocument };

// Receives the kind of dialog; returns the chosen path, or an empty string for Cancel.
using FileDialogHook = std::function<QString(FileDialogKind kind)>;
void SetFileDialogHook(FileDialogHook hook);

// Runs the dialog modally. Returns the chosen file's full path, or an empty string on Cancel.
QString RunFileDialog(QWidget* parent, FileDialogKind kind);
