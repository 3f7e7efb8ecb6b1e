// The empty document and its save and open.
#include "app/pellmar_doc.h"

#include <QFile>
#include <QFileInfo>

#include "app/strings.h"

bool CPellmarDoc::OnNewDocument() {
    m_strPathName.clear();
    m_strTitle = QString::fromLatin1(text::kUntitled);
    emit TitleChanged(m_strTitle);
    return true;
}

bool CPellmarDoc::OnSaveDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    Serialize(file, true);
    SetPathName(path);
    return true;
}

bool CPellmarDoc::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Serialize(file, false);
    SetPathName(path);
    return true;
}

void CPellmarDoc::Serialize(QIODevice&, bool) {
    // The document keeps no data: nothing is written or read.
}

void CPellmarDoc::SetPathName(const QString& path) {
    m_strPathName = path;
    m_strTitle = QFileInfo(path).fileName();
    emit TitleChanged(m_strTitle);
}
