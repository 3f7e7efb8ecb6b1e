// The About box: the main icon, the version line, the notice and credit lines, OK.
#pragma once

#include <QDialog>

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};
