// The state of Caps Lock, Num Lock and Scroll Lock, as far as the windowing system tells it with
// the keyboard events it delivers.
#pragma once

#include <QObject>

class QLabel;

// Watches the application's key events and shows each lock key's text in its pane while the key
// is on; a pane stays empty where the windowing system does not report the key's state.
class LockKeyWatcher : public QObject {
public:
    LockKeyWatcher(QLabel* caps, QLabel* num, QLabel* scroll, QObject* parent);

    // Updates the panes from an event's native modifier bits of the named platform plugin.
    void Update(const QString& platformName, quint32 nativeModifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_caps;
    QLabel* m_num;
    QLabel* m_scroll;
};
