// Every message box of the application goes through here: the application title as caption, an
// exclamation icon. Tests (and unattended runs) replace the box with a hook of their own.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Receives the caption, the text and the buttons; returns the button pressed.
using MessageBoxHook = std::function<QMessageBox::StandardButton(
    const QString& caption, const QString& text, QMessageBox::StandardButtons buttons)>;

// Installs a hook in place of the real box (an empty function restores the box).
void SetMessageBoxHook(MessageBoxHook hook);

// Shows the text modally and waits for the user. Returns the button pressed.
QMessageBox::StandardButton PellmarMessageBox(
    QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok);
