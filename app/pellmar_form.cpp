// The flash form's twelve controls, laid out from their dialog-unit positions in template order,
// which is also the tab order.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/dialog_units.h"
#include "app/pellmar_view.h"
#include "app/resource_ids.h"
#include "app/strings.h"

namespace {

// The form's size in dialog units.
constexpr int kFormWidth = 183;
constexpr int kFormHeight = 253;

enum class Kind { Edit, Label, Combo, Button, Progress, Icon };

struct FormControl {
    int id;  // -1: no id
    Kind kind;
    const char* text;
    int x, y, w, h;
};

constexpr FormControl kControls[] = {
    {IDC_FILENAME, Kind::Edit, "", 7, 30, 169, 14},
    {IDC_FILENAME_PROMPT, Kind::Label, "ENTER FILENAME TO FLASH TO PRINTER", 7, 15, 169, 14},
    {IDC_PRINTER_PROMPT, Kind::Label, "SELECT PRINTER FROM LIST", 7, 73, 169, 14},
    {IDC_PRINTER_LIST, Kind::Combo, "", 7, 89, 169, 46},
    {IDC_BYTES_SENT_LABEL, Kind::Label, "BYTES SENT", 29, 144, 120, 15},
    {IDC_BYTES_SENT, Kind::Edit, "", 63, 162, 54, 15},
    {IDC_START, Kind::Button, "START", 57, 114, 66, 22},
    {IDC_PROGRESS, Kind::Progress, "Progress1", 29, 190, 122, 13},
    {-1, Kind::Label, text::kNoticeYears, 7, 211, 169, 11},
    {-1, Kind::Icon, "", 17, 115, 21, 20},
    {-1, Kind::Label, text::kNoticeMaker, 7, 227, 169, 11},
    {IDC_BROWSE, Kind::Button, "Browse Files", 63, 50, 50, 14},
};

QWidget* MakeControl(const FormControl& c, QWidget* parent) {
    const QString text = QString::fromLatin1(c.text);
    switch (c.kind) {
        case Kind::Edit:
            return new QLineEdit(text, parent);
        case Kind::Label: {
            auto* label = new QLabel(text, parent);
            label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            return label;
        }
        case Kind::Combo: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            // Typed text never becomes a row: row i of the list is row i of the printer table.
            combo->setInsertPolicy(QComboBox::NoInsert);
            return combo;
        }
        case Kind::Button:
            return new QPushButton(text, parent);
        case Kind::Progress: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            bar->setAccessibleName(text);
            return bar;
        }
        case Kind::Icon: {
            auto* icon = new QLabel(parent);
            icon->setPixmap(QPixmap(QStringLiteral(":/res/flag.png")));
            icon->setAlignment(Qt::AlignCenter);
            return icon;
        }
    }
    return nullptr;
}

}  // namespace

void CPellmarView::CreateControls() {
    const DialogUnits du(font());
    QWidget* previousTabStop = nullptr;
    for (const FormControl& c : kControls) {
        QWidget* w = MakeControl(c, this);
        w->setProperty("dlgId", c.id);
        if (c.id >= 0)
            w->setObjectName(QStringLiteral("control%1").arg(c.id));
        QRect r = du.Rect(c.x, c.y, c.w, c.h);
        if (c.kind == Kind::Combo)
            r.setHeight(w->sizeHint().height());  // the height given includes the drop-down
        w->setGeometry(r);
        if (w->focusPolicy() != Qt::NoFocus) {
            if (previousTabStop)
                setTabOrder(previousTabStop, w);
            previousTabStop = w;
        }
    }
    m_ctlProgress = static_cast<QProgressBar*>(GetDlgItem(IDC_PROGRESS));
    m_btnStart = static_cast<QPushButton*>(GetDlgItem(IDC_START));
    m_cboPrinters = static_cast<QComboBox*>(GetDlgItem(IDC_PRINTER_LIST));
    m_edtBytesSent = static_cast<QLineEdit*>(GetDlgItem(IDC_BYTES_SENT));
    m_edtFileName = static_cast<QLineEdit*>(GetDlgItem(IDC_FILENAME));
    m_edtBytesSent->setReadOnly(true);
    m_edtBytesSent->setAlignment(Qt::AlignCenter);
    setFixedSize(du.X(kFormWidth), du.Y(kFormHeight));
}

QWidget* CPellmarView::GetDlgItem(int id) const {
    return id < 0 ? nullptr : findChild<QWidget*>(QStringLiteral("control%1").arg(id));
}
