// The desktop application with a stand-in printer: a raw pseudo-terminal put straight into the
// printer table under the name "Emulated Printer (stand-in)", for demos and screenshots on
// machines where the printer emulator is not built. It sends FILE unattended, saves a picture of
// the window to PNG and writes the bytes the stand-in received to RECORD.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "app/auto_flash.h"
#include "app/main_frame.h"
#include "app/pellmar_app.h"
#include "connection/manager.h"
#include "support/pty_device.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "Usage: %s FILE PNG RECORD\n", argv[0]);
        return 2;
    }
    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    PtyDevice printer;
    printer.StartCollecting();
    std::strcpy(g_UsbPrinters[0].szName, "Emulated Printer (stand-in)");
    std::strncpy(g_UsbPrinters[0].szPath, printer.Path().c_str(),
                 sizeof g_UsbPrinters[0].szPath - 1);
    g_nUsbPrinters = 1;

    QApplication app(argc, argv);
    int code = 1;
    {
        CPellmarApp theApp(manager);
        if (!theApp.InitInstance())
            return 1;
        StartAutoFlash(theApp.MainFrame(), QString::fromLocal8Bit(argv[1]),
                       QString::fromLocal8Bit(argv[2]));
        code = QApplication::exec();
    }
    std::ifstream sent(argv[1], std::ios::binary | std::ios::ate);
    printer.WaitForBytes(static_cast<std::size_t>(std::max<std::streamoff>(sent.tellg(), 0)),
                         std::chrono::seconds(10));
    const auto received = printer.Received();
    std::ofstream(argv[3], std::ios::binary)
        .write(reinterpret_cast<const char*>(received.data()),
               static_cast<std::streamsize>(received.size()));
    return code;
}
