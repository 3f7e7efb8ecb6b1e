// The string table's rows and the texts built from them.
#include "app/strings.h"

#include <QHash>

#include "app/resource_ids.h"

namespace {

const QHash<int, const char*>& StringTable() {
    static const QHash<int, const char*> table = {
        {IDR_MAINFRAME, "Pellmar\n\nPellma\n\n\nPellmar.Document\nPellma Document"},
        {AFX_IDS_APP_TITLE, "Pellmar"},
        {AFX_IDS_IDLEMESSAGE, "Ready"},
        {ID_FILE_NEW, "Create a new document\nNew"},
        {ID_FILE_OPEN, "Open an existing document\nOpen"},
        {ID_FILE_SAVE, "Save the active document\nSave"},
        {ID_FILE_PRINT_SETUP, "Change the printer and printing options\nPrint Setup"},
        {ID_FILE_PRINT, "Print the active document\nPrint"},
        {ID_FILE_PRINT_PREVIEW, "Display full pages\nPrint Preview"},
        {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
        {ID_EDIT_CUT, "Cut the selection and put it on the Clipboard\nCut"},
        {ID_EDIT_PASTE, "Insert Clipboard contents\nPaste"},
        {ID_EDIT_UNDO, "Undo the last action\nUndo"},
        {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
        {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
        {ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
        {ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},
        {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
        {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
        {ID_INDICATOR_EXT, "EXT"},
        {ID_INDICATOR_CAPS, "CAP"},
        {ID_INDICATOR_NUM, "NUM"},
        {ID_INDICATOR_SCRL, "SCRL"},
        {ID_INDICATOR_OVR, "OVR"},
        {ID_INDICATOR_REC, "REC"},
    };
    return table;
}

}  // namespace

QString LoadAppString(int id) {
    auto it = StringTable().find(id);
    return it == StringTable().end() ? QString() : QString::fromLatin1(it.value());
}

QString CommandPrompt(int id) {
    return LoadAppString(id).section(QLatin1Char('\n'), 0, 0);
}

QString CommandTip(int id) {
    return LoadAppString(id).section(QLatin1Char('\n'), 1, 1);
}

QString AppTitle() {
    return LoadAppString(AFX_IDS_APP_TITLE);
}

QString CannotOpenFileText(const QString& fileName, const QString& reason) {
    return QStringLiteral("Cannot open the flash file \"%1\":\n%2").arg(fileName, reason);
}
