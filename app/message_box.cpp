// The one message box of the application and its test hook.
#include "app/message_box.h"

#include "app/strings.h"

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

QMessageBox::StandardButton PellmarMessageBox(QWidget* parent, const QString& text,
                                              QMessageBox::StandardButtons buttons) {
    if (Hook())
        return Hook()(AppTitle(), text, buttons);
    QMessageBox box(QMessageBox::Warning, AppTitle(), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
