// pellmar-cli end to end: help, version, usage mistakes and refusals that need no printer.
#include <gtest/gtest.h>

#include "cli/child_process.h"
#include "support/pty_device.h"
#include "support/temp_file.h"

namespace {

TEST(CliUsage, VersionAndHelp) {
    auto version = RunCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Pellmar 2.0\n");

    auto help = RunCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* verb : {"list", "flash", "send", "port", "handshake"})
        EXPECT_NE(help.out.find(std::string("  ") + verb), std::string::npos) << verb;

    for (const char* verb : {"list", "flash", "send", "port", "handshake"}) {
        auto verbHelp = RunCli({verb, "--help"});
        EXPECT_EQ(verbHelp.exitCode, 0) << verb;
        EXPECT_EQ(verbHelp.out.rfind(std::string("Usage: pellmar-cli ") + verb, 0), 0u) << verb;
    }
}

// Every usage mistake exits 2 with a reason and a pointer to the help, before any hardware.
TEST(CliUsage, MistakesExitTwo) {
    TempFile file(PatternBytes(10));
    struct Case {
        std::vector<std::string> args;
        const char* reason;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"list", "--bogus"}, "unknown option '--bogus'"},
        {{"flash"}, "no flash file given"},
        {{"flash", file.Path(), file.Path()}, "only one flash file"},
        {{"flash", file.Path(), "--pace-ms", "-1"}, "--pace-ms takes"},
        {{"flash", file.Path(), "--pace-ms", "12ms"}, "--pace-ms takes"},
        {{"flash", file.Path(), "--printer"}, "needs a value"},
        {{"flash", file.Path(), "--all", "--printer", "X"}, "cannot be used together"},
        {{"send", "127.0.0.1"}, "give the printer's host and the file"},
        {{"send", "127.0.0.1", file.Path(), "--port", "70000"}, "--port takes"},
        {{"send", "127.0.0.1", file.Path(), "--idle-timeout", "x"}, "--idle-timeout takes"},
        {{"port"}, "give one port"},
        {{"port", "COM1:", "--parity", "mark"}, "--parity takes none, even or odd"},
        {{"port", "COM1:", "--data", "6"}, "--data takes 7 or 8"},
        {{"port", "COM1:", "--stop", "3"}, "--stop takes 1 or 2"},
        {{"port", "LPT1:", "--baud", "9600"}, "line settings apply to COM ports only"},
        {{"port", "COM3:"}, "Invalid COM port name."},
        {{"port", "lpt1:"}, "Invalid Parallel Port Name"},
        {{"handshake"}, "give one parallel port"},
        {{"handshake", "LPT3:"}, "Invalid Parallel Port Name"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        auto r = RunCli(c.args);
        EXPECT_EQ(r.exitCode, 2) << line << "\n" << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << line << "\n" << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos) << line << "\n" << r.err;
    }
}

// A flash file that cannot be opened is refused before any printer is asked anything: the device
// named with --device must not see a single byte.
TEST(CliUsage, MissingFileRefusedBeforeAnyPrinterIsOpened) {
    PtyDevice device;
    device.StartCollecting();
    auto r = RunCli({"flash", "/nonexistent/flash.fls", "--device", device.Path()});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("cannot open the flash file \"/nonexistent/flash.fls\""),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_TRUE(device.Received().empty());
}

// Files that cannot be sent are refused with exit 3, by flash and send alike.
TEST(CliUsage, UnreadableFilesExitThree) {
    const std::string folder = ::testing::TempDir();
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"flash", folder},
             {"send", "127.0.0.1", folder},
             {"send", "127.0.0.1", "/nonexistent/job.prn"},
         }) {
        auto r = RunCli(args);
        EXPECT_EQ(r.exitCode, 3) << args.back() << "\n" << r.err;
        EXPECT_NE(r.err.find("\"" + args.back() + "\""), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Check the file's name and path"), std::string::npos) << r.err;
    }
}

TEST(CliUsage, ListWithNothingFoundIsNoError) {
    auto r = RunCli({"list"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no printer found"), std::string::npos) << r.err;

    auto json = RunCli({"list", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out, "[]\n");
}

TEST(CliUsage, FlashWithNoPrinterExitsThree) {
    TempFile file(PatternBytes(100));
    auto r = RunCli({"flash", file.Path()});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("no printer found"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--device"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

}  // namespace
