// pellmar-cli list and flash end to end: the built program against emulated printers on
// pseudo-terminals, attached with --device.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>

#include "cli/child_process.h"
#include "support/temp_file.h"

namespace {

std::string Bytes(const std::vector<std::uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

class CliFlash : public ::testing::Test {
protected:
    void SetUp() override {
        if (!EmulatorAvailable())
            GTEST_SKIP() << "pellmar-printer-emu is not built on this branch yet";
    }
    // Starts an emulator and checks that it came up.
    Emulator& Start(const std::string& text1, const std::string& text3,
                    std::vector<std::string> options = {}) {
        m_emulators.push_back(std::make_unique<Emulator>(text1, text3, options));
        EXPECT_TRUE(m_emulators.back()->Started()) << "the emulator printed no device path";
        return *m_emulators.back();
    }
    std::vector<std::unique_ptr<Emulator>> m_emulators;
};

TEST_F(CliFlash, ListsPrintersInTableOrder) {
    auto& one = Start("Emu", "One");
    auto r = RunCli({"list", "--device", one.Path()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0\tEmu One\t" + one.Path() + "\n");

    auto& two = Start("Emu", "Two \"quoted\"");
    auto& three = Start("Emu", "Three");
    std::vector<std::string> devices = {"list",     "--device", one.Path(),  "--device",
                                        two.Path(), "--device", three.Path()};
    r = RunCli(devices);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0\tEmu One\t" + one.Path() + "\n1\tEmu Two \"quoted\"\t" + two.Path() +
                         "\n2\tEmu Three\t" + three.Path() + "\n");
    EXPECT_EQ(r.err, "");

    devices.push_back("--json");
    r = RunCli(devices);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "[\n {\"row\": 0, \"name\": \"Emu One\", \"path\": \"" + one.Path() +
                         "\"},\n {\"row\": 1, \"name\": \"Emu Two \\\"quoted\\\"\", \"path\": \"" +
                         two.Path() + "\"},\n {\"row\": 2, \"name\": \"Emu Three\", \"path\": \"" +
                         three.Path() + "\"}\n]\n");
}

// The environment adds printers after the --device ones.
TEST_F(CliFlash, ListTakesDevicesFromTheEnvironment) {
    auto& one = Start("Env", "One");
    auto& two = Start("Arg", "Two");
    auto r = RunCli({"list", "--device", two.Path()}, {{"PELLMAR_DEVICES", one.Path()}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0\tArg Two\t" + two.Path() + "\n1\tEnv One\t" + one.Path() + "\n");
}

// The recorded bytes equal the file, for sizes around the chunk size, with and without pacing.
TEST_F(CliFlash, SendsTheWholeFileUnchanged) {
    struct Case {
        std::size_t size;
        const char* pace;
    };
    for (Case c :
         {Case{0, "0"}, Case{1, "0"}, Case{4096, "0"}, Case{5000, "12"}, Case{1 << 20, "0"}}) {
        Emulator emu("Emu", "Flash");
        ASSERT_TRUE(emu.Started());
        auto bytes = PatternBytes(c.size, static_cast<unsigned>(c.size));
        TempFile file(bytes);
        auto r = RunCli({"flash", file.Path(), "--device", emu.Path(), "--pace-ms", c.pace});
        EXPECT_EQ(r.exitCode, 0) << c.size << "\n" << r.err;
        EXPECT_EQ(r.out.rfind("Sent " + std::to_string(c.size) + " bytes to Emu Flash in ", 0), 0u)
            << r.out;
        EXPECT_EQ(r.out.back(), '\n');
        EXPECT_NE(r.out.find(" s\n"), std::string::npos) << r.out;
        std::string recorded = emu.StopAndRecorded();
        EXPECT_EQ(recorded.size(), c.size);
        EXPECT_TRUE(recorded == Bytes(bytes)) << "the printer got other bytes, size " << c.size;
    }
}

TEST_F(CliFlash, ByNameAmongSeveral) {
    auto& a = Start("Emu", "A");
    auto& b = Start("Emu", "B");
    auto bytes = PatternBytes(9000, 7);
    TempFile file(bytes);
    auto r = RunCli({"flash", file.Path(), "--printer", "Emu B", "--device", a.Path(), "--device",
                     b.Path(), "--pace-ms", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Sent 9000 bytes to Emu B in ", 0), 0u) << r.out;
    EXPECT_TRUE(b.StopAndRecorded() == Bytes(bytes));
    EXPECT_EQ(a.StopAndRecorded(), "");
}

// Refusals: exit codes and messages, and no byte reaches any printer.
TEST_F(CliFlash, Refusals) {
    auto& a = Start("Emu", "A");
    auto& b = Start("Emu", "B");
    TempFile file(PatternBytes(5000));
    const std::vector<std::string> both = {"--device", a.Path(), "--device", b.Path()};
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::vector<const char*> texts;
    };
    const Case cases[] = {
        {{"flash", file.Path()}, 2, {"2 printers found", "--printer NAME", "Emu A", "Emu B"}},
        {{"flash", file.Path(), "--printer", "Emu C"},
         3,
         {"no printer named \"Emu C\"", "exactly as 'pellmar-cli list' shows it", "Emu A"}},
        {{"flash", file.Path(), "--printer", "emu a"}, 3, {"no printer named \"emu a\""}},
        {{"flash", file.Path(), "--printer", "Emu A "}, 3, {"no printer named \"Emu A \""}},
        {{"flash", "/nonexistent.fls", "--printer", "Emu A"}, 3, {"cannot open the flash file"}},
    };
    for (const auto& c : cases) {
        auto args = c.args;
        args.insert(args.end(), both.begin(), both.end());
        auto r = RunCli(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[2] << "\n" << r.err;
        for (const char* text : c.texts)
            EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n" << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(a.StopAndRecorded(), "");
    EXPECT_EQ(b.StopAndRecorded(), "");
}

// The printer hangs up in the middle of the file: the module's text, the bytes sent, exit 1.
TEST_F(CliFlash, PrinterHangsUpMidFile) {
    auto& emu = Start("Emu", "Fragile", {"--hang-up-after", "20000"});
    TempFile file(PatternBytes(200000));
    auto r = RunCli({"flash", file.Path(), "--device", emu.Path(), "--pace-ms", "0"}, {},
                    std::chrono::seconds(30));
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("Write failed with error code 5"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" of 200000 bytes to Emu Fragile"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("send the file again"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(CliFlash, AllToThreePrinters) {
    auto& a = Start("Emu", "A");
    auto& b = Start("Emu", "B");
    auto& c = Start("Emu", "C");
    auto bytes = PatternBytes(100000, 3);
    TempFile file(bytes);
    auto r = RunCli({"flash", file.Path(), "--all", "--device", a.Path(), "--device", b.Path(),
                     "--device", c.Path(), "--pace-ms", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char* name : {"Emu A", "Emu B", "Emu C"}) {
        EXPECT_NE(r.out.find(std::string("Sent 100000 bytes to ") + name), std::string::npos)
            << r.out;
    }
    EXPECT_NE(r.out.find("Printer"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("FAILED"), std::string::npos) << r.out;
    for (Emulator* e : {&a, &b, &c}) EXPECT_TRUE(e->StopAndRecorded() == Bytes(bytes));
}

// One of three hangs up: the others still get the whole file, and the summary tells which failed.
TEST_F(CliFlash, AllWithOneFailingPrinter) {
    auto& a = Start("Emu", "A");
    auto& b = Start("Emu", "B", {"--hang-up-after", "10000"});
    auto& c = Start("Emu", "C");
    auto bytes = PatternBytes(100000, 4);
    TempFile file(bytes);
    auto r = RunCli({"flash", file.Path(), "--all", "--device", a.Path(), "--device", b.Path(),
                     "--device", c.Path(), "--pace-ms", "0"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.out.find("Sent 100000 bytes to Emu A"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Sent 100000 bytes to Emu C"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Sent 100000 bytes to Emu B"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("FAILED: Write failed with error code 5"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("not every printer received the whole file"), std::string::npos);
    EXPECT_TRUE(a.StopAndRecorded() == Bytes(bytes));
    EXPECT_TRUE(c.StopAndRecorded() == Bytes(bytes));
}

// Ctrl+C in the middle of a slow transfer: a clean stop, the bytes sent, exit 1.
TEST_F(CliFlash, InterruptStopsCleanly) {
    auto& emu = Start("Emu", "Slow");
    TempFile file(PatternBytes(4096 * 2000));
    ChildProcess cli({PELLMAR_CLI, "flash", file.Path(), "--device", emu.Path(), "--pace-ms", "50"},
                     {{"PELLMAR_DEVICES", ""}});
    // Progress lines come once a second while the transfer runs.
    ASSERT_TRUE(cli.WaitForErrorOutput("bytes (", std::chrono::seconds(20))) << cli.Err();
    cli.Signal(SIGINT);
    auto r = cli.Wait(std::chrono::seconds(20));
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("stopped by the user. Sent "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" of 8192000 bytes to Emu Slow."), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    // What the printer holds is exactly the beginning of the file.
    std::string recorded = emu.StopAndRecorded();
    EXPECT_GT(recorded.size(), 0u);
    EXPECT_LT(recorded.size(), 8192000u);
    auto bytes = PatternBytes(4096 * 2000);
    EXPECT_TRUE(recorded == std::string(bytes.begin(), bytes.begin() + recorded.size()));
}

}  // namespace

namespace {

// Printers are opened by name: of two with one name only the first can be reached. --all says so
// for the second instead of sending the file to the first one twice; --printer names the first.
TEST_F(CliFlash, PrintersSharingAName) {
    auto& first = Start("Emu", "Twin");
    auto& second = Start("Emu", "Twin");
    auto bytes = PatternBytes(5000, 5);
    TempFile file(bytes);
    auto all = RunCli({"flash", file.Path(), "--all", "--device", first.Path(), "--device",
                       second.Path(), "--pace-ms", "0"});
    EXPECT_EQ(all.exitCode, 1) << all.err;
    EXPECT_NE(all.out.find("FAILED: has the same name as " + first.Path()), std::string::npos)
        << all.out;
    auto one = RunCli({"flash", file.Path(), "--printer", "Emu Twin", "--device", first.Path(),
                       "--device", second.Path(), "--pace-ms", "0"});
    EXPECT_EQ(one.exitCode, 0) << one.err;
    EXPECT_NE(one.err.find("2 printers are named \"Emu Twin\"; the first one (" + first.Path()),
              std::string::npos)
        << one.err;
    const std::string whole(bytes.begin(), bytes.end());
    // The first printer got the file from both runs. (The emulator also records the preludes of
    // the second run's identification, which come between the two files.)
    const std::string recorded = first.StopAndRecorded();
    ASSERT_GE(recorded.size(), 2 * whole.size());
    EXPECT_TRUE(recorded.compare(0, whole.size(), whole) == 0);
    EXPECT_TRUE(recorded.compare(recorded.size() - whole.size(), whole.size(), whole) == 0);
    EXPECT_EQ(second.StopAndRecorded(), "");
}

// More printers than slots: --all refuses before sending anything.
TEST_F(CliFlash, AllWithMoreThanTenPrinters) {
    std::vector<std::string> args{"flash", "", "--all"};
    for (int i = 0; i < 11; ++i) {
        auto& emu = Start("Emu", std::to_string(i));
        args.push_back("--device");
        args.push_back(emu.Path());
    }
    TempFile file(PatternBytes(100));
    args[1] = file.Path();
    auto r = RunCli(args);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("11 printers found, but at most 10 can be flashed at once"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
    for (auto& emu : m_emulators) EXPECT_EQ(emu->StopAndRecorded(), "");
}

}  // namespace
