// pellmar-cli.exe run as its own process under Windows against named-pipe printers: listing finds
// them through the user's device paths, and a flash file arrives whole.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/pipe_device.h"
#include "support/tcp_listener.h"
#include "support/temp_file.h"
#include "win32/identity_responder.h"
#include "win32/run_process.h"

namespace {

const std::string kCli = PELLMAR_CLI_EXE;

TEST(Win32Cli, ListShowsNamedPipePrinters) {
    PipeDevice printer(AnswerIdentity("ACME", "LX-500"));
    PipeDevice silent;
    ProcessResult r =
        RunProcess(kCli, {"list", "--device", printer.Path(), "--device", silent.Path()});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("ACME LX-500\t" + printer.Path()), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(silent.Path()), std::string::npos) << r.out;
}

TEST(Win32Cli, FlashFileArrivesWhole) {
    PipeDevice printer(AnswerIdentity("ACME", "LX-500"));
    const auto bytes = PatternBytes(300000, 42);
    TempFile file(bytes);
    ProcessResult r = RunProcess(kCli, {"flash", file.Path(), "--printer", "ACME LX-500",
                                        "--device", printer.Path(), "--pace-ms", "0"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("Sent 300000 bytes to ACME LX-500"), std::string::npos) << r.out;
    // Discovery's identification, then the file, byte for byte.
    auto expected = IdentificationRequest();
    expected.insert(expected.end(), bytes.begin(), bytes.end());
    ASSERT_TRUE(printer.WaitForBytes(expected.size()));
    EXPECT_TRUE(printer.Received() == expected);
    EXPECT_EQ(printer.Openers(), 2);
}

TEST(Win32Cli, FlashToPrinterThatHangsUpFails) {
    PipeDevice printer(AnswerIdentity("ACME", "LX-500"));
    printer.HangUpAfter(IdentificationRequest().size() + 20000);
    TempFile file(PatternBytes(1 << 20, 7));
    ProcessResult r =
        RunProcess(kCli, {"flash", file.Path(), "--device", printer.Path(), "--pace-ms", "0"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 1u) << r.out << r.err;
    EXPECT_NE(
        r.err.find("Write failed with error code " + std::to_string(ERROR_PIPE_NOT_CONNECTED)),
        std::string::npos)
        << r.err;
}

TEST(Win32Cli, MissingFileIsNotFound) {
    PipeDevice printer(AnswerIdentity("ACME", "LX-500"));
    ProcessResult r =
        RunProcess(kCli, {"flash", "pellmar-no-such-file.fla", "--device", printer.Path()});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 3u) << r.err;
    EXPECT_FALSE(r.err.empty());
}

TEST(Win32Cli, SendDeliversTheJobToALoopbackPrinter) {
    TcpListener printer("OK\r\n");
    const auto bytes = PatternBytes(20000, 5);
    TempFile file(bytes);
    ProcessResult r = RunProcess(kCli, {"send", "127.0.0.1", file.Path(), "--port",
                                        std::to_string(printer.Port()), "--idle-timeout", "0"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_TRUE(printer.WaitUntil(
        [&] { return printer.AllReceived() == std::string(bytes.begin(), bytes.end()); }));
    EXPECT_NE(r.out.find("OK"), std::string::npos) << r.out;
}

TEST(Win32Cli, PortPassesStandardInputToTheSerialDevice) {
    PipeDevice device;
    ASSERT_EQ(_putenv(("PELLMAR_COM1=" + device.Path()).c_str()), 0);
    ProcessResult r = RunProcess(kCli, {"port", "COM1:"}, "hello printer\n");
    _putenv("PELLMAR_COM1=");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    ASSERT_TRUE(device.WaitForBytes(14));
    const auto received = device.Received();
    EXPECT_EQ(std::string(received.begin(), received.end()), "hello printer\n");
}

TEST(Win32Cli, ProgramCarriesVersionInformationAndIcon) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(kCli.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoA(kCli.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 2u);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 0u);

    HMODULE module = ::LoadLibraryExA(kCli.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(::FindResourceA(module, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14)), nullptr);
    ::FreeLibrary(module);
}

}  // namespace
