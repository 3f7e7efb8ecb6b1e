// Unattended runs for demos and screenshots: sends a file to the first listed printer, answers
// every message box by printing its text, saves a picture of the window and quits.
#pragma once

#include <QString>

class CMainFrame;

// Starts the run once the event loop is up. The application's exit code becomes 0 when the file
// was sent, 1 when anything failed.
void StartAutoFlash(CMainFrame* frame, const QString& file, const QString& screenshot);

// Saves a picture of the window once it is shown, then quits.
void StartScreenshotOnly(CMainFrame* frame, const QString& screenshot);
