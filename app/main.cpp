// Entry point of the desktop application: options, printer discovery, then the window.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/auto_flash.h"
#include "app/command_line.h"
#include "app/main_frame.h"
#include "app/pellmar_app.h"
#include "connection/manager.h"
#include "connection/workers.h"
#include "platform/enumerate.h"

int main(int argc, char** argv) {
    const CommandLine cl = ParseCommandLine(argc, argv);
    if (!cl.error.empty()) {
        std::fprintf(stderr, "pellmar: %s\n%s", cl.error.c_str(), UsageText().c_str());
        return 2;
    }
    if (cl.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (cl.version) {
        std::puts("Pellmar 2.0");
        return 0;
    }

    // The printers are found before any window exists.
    platform::SetUserDevicePaths(cl.devices);
    CConnectionManager manager;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    QApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganisation));
    int code = 1;
    {
        CPellmarApp theApp(manager);
        if (!theApp.InitInstance(QString::fromLocal8Bit(cl.document.c_str())))
            return 1;
        if (!cl.autoFlash.empty())
            StartAutoFlash(theApp.MainFrame(), QString::fromLocal8Bit(cl.autoFlash.c_str()),
                           QString::fromLocal8Bit(cl.screenshot.c_str()));
        else if (!cl.screenshot.empty())
            StartScreenshotOnly(theApp.MainFrame(), QString::fromLocal8Bit(cl.screenshot.c_str()));
        code = QApplication::exec();
    }
    // Closing the window stopped every transfer; a worker that did not end in time must not
    // outlive the objects it uses, so the process ends without running their destructors.
    if (!WaitForWorkers(std::chrono::milliseconds(0))) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
