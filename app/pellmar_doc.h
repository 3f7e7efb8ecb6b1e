// The document: holds nothing. Saving writes an empty file; opening reads nothing.
#pragma once

#include <QObject>
#include <QString>

class QIODevice;

class CPellmarDoc : public QObject {
    Q_OBJECT
public:
    explicit CPellmarDoc(QObject* parent = nullptr) : QObject(parent) {}

    // Sets up a new, empty document named "Untitled".
    bool OnNewDocument();
    // Stores the document (nothing) under a path; false when the file cannot be written.
    bool OnSaveDocument(const QString& path);
    // Takes a file as the document (reading nothing from it); false when it cannot be opened.
    bool OnOpenDocument(const QString& path);
    void Serialize(QIODevice& archive, bool storing);

    QString GetTitle() const { return m_strTitle; }
    QString GetPathName() const { return m_strPathName; }

signals:
    // The document's name changed (new document, save under a name, open).
    void TitleChanged(const QString& title);

private:
    void SetPathName(const QString& path);

    QString m_strTitle;
    QString m_strPathName;
};
