// The About box laid out from its dialog-unit template.
#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/dialog_units.h"
#include "app/resource_ids.h"
#include "app/strings.h"

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(text::kAboutCaption));
    const DialogUnits du(font());

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/res/pellmar.png")));
    icon->setGeometry(du.Rect(11, 17, 20, 20));

    struct Line {
        const char* text;
        int x, y, w, h;
    };
    const Line lines[] = {
        {text::kAboutVersion, 40, 10, 119, 8},
        {text::kAboutNotice, 40, 25, 215, 8},
        {text::kAboutCredit, 40, 37, 162, 8},
    };
    for (const Line& l : lines) {
        auto* label = new QLabel(QString::fromLatin1(l.text), this);
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(du.Rect(l.x, l.y, l.w, l.h + 2));
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("control%1").arg(IDOK));
    ok->setDefault(true);
    ok->setGeometry(du.Rect(222, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(du.X(279), du.Y(71));
}
