// Lock-key panes fed by the native modifier bits of key events.
#include "app/lock_keys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>

#include "app/resource_ids.h"
#include "app/strings.h"

namespace {

struct LockBits {
    const char* platform;
    quint32 caps, num, scroll;  // 0: not reported
};

// The X server's Lock and Mod2 bits; the Windows plugin's own lock-key bits.
constexpr LockBits kLockBits[] = {
    {"xcb", 0x02, 0x10, 0},
    {"windows", 0x100, 0x200, 0x400},
};

void Show(QLabel* pane, quint32 bit, quint32 modifiers, int textId) {
    if (bit != 0)
        pane->setText((modifiers & bit) ? LoadAppString(textId) : QString());
}

}  // namespace

LockKeyWatcher::LockKeyWatcher(QLabel* caps, QLabel* num, QLabel* scroll, QObject* parent)
    : QObject(parent), m_caps(caps), m_num(num), m_scroll(scroll) {
    QCoreApplication::instance()->installEventFilter(this);
}

void LockKeyWatcher::Update(const QString& platformName, quint32 nativeModifiers) {
    for (const LockBits& b : kLockBits) {
        if (platformName != QLatin1String(b.platform))
            continue;
        Show(m_caps, b.caps, nativeModifiers, ID_INDICATOR_CAPS);
        Show(m_num, b.num, nativeModifiers, ID_INDICATOR_NUM);
        Show(m_scroll, b.scroll, nativeModifiers, ID_INDICATOR_SCRL);
    }
}

bool LockKeyWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
        Update(QGuiApplication::platformName(), static_cast<QKeyEvent*>(event)->nativeModifiers());
    return QObject::eventFilter(watched, event);
}
