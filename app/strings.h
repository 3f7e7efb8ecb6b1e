// The string table: the application title, the document string, command prompts and tips,
// indicator texts, and the texts the application shows.
#pragma once

#include <QString>

// The text of a string-table row, or an empty string when there is none.
QString LoadAppString(int id);

// A command's prompt (the part before the line break) and its tip (the part after it).
QString CommandPrompt(int id);
QString CommandTip(int id);

// The application title, caption of every message box.
QString AppTitle();

// Texts of the flash form and the About box.
namespace text {
inline constexpr const char* kVersionTitle = " Pellmar 2.0";
inline constexpr const char* kUntitled = "Untitled";
inline constexpr const char* kAboutCaption = "About Pellmar";
inline constexpr const char* kAboutVersion = "Pellmar Version 2.0";
inline constexpr const char* kNoticeYears = "Copyright (C) 2003-2026";
inline constexpr const char* kNoticeMaker = "The Pellmar developers";
inline constexpr const char* kAboutNotice = "Copyright (C) 2003-2026 The Pellmar developers";
inline constexpr const char* kAboutCredit = "Sends printer code files to USB printers.";
inline constexpr const char* kEnterFileName =
    "   You must enter a filename before you press START   ";
inline constexpr const char* kFailedToOpen = " Failed to open USB Printer ";
inline constexpr const char* kSelectPrinter =
    "Please select a printer from the list before you press START.";
inline constexpr const char* kStopAndQuit =
    "A file is being sent to the printer.\nStop the transfer and quit?";
inline constexpr const char* kFlashFilter = "Flash Files (*.fla *.fls *.pjl);;All Files (*)";
}  // namespace text

// "Cannot open the file <name>: <reason>" for a flash file that could not be opened.
QString CannotOpenFileText(const QString& fileName, const QString& reason);
