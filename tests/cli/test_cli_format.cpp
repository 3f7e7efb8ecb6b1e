// The CLI's option parser, JSON strings and progress lines, in process.
#include <gtest/gtest.h>

#include "cli/args.h"
#include "cli/json.h"
#include "cli/progress.h"
#include "cli/session.h"

namespace {

using cli::OptionSpec;

const std::vector<OptionSpec> kSpecs = {
    {"device", true, true}, {"json", false, false}, {"pace-ms", true, false}};

TEST(CliArgs, ParsesValuesFlagsAndPositionals) {
    std::string error;
    auto p = cli::ParseArgs({"a.fls", "--device", "/x", "--device=/y", "--json", "--", "--z"},
                            kSpecs, &error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->positional, (std::vector<std::string>{"a.fls", "--z"}));
    EXPECT_EQ(p->All("device"), (std::vector<std::string>{"/x", "/y"}));
    EXPECT_TRUE(p->Has("json"));
    EXPECT_FALSE(p->Has("pace-ms"));
    EXPECT_EQ(p->Value("pace-ms", "12"), "12");
}

TEST(CliArgs, RefusesMistakes) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"--nope"}, "unknown option '--nope'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--pace-ms"}, "needs a value"},
        {{"--pace-ms", "1", "--pace-ms", "2"}, "more than once"},
        {{"--json=1"}, "takes no value"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(cli::ParseArgs(c.args, kSpecs, &error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(CliArgs, Numbers) {
    long long v = -5;
    EXPECT_TRUE(cli::ParseNumber("0", 0, 10, &v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(cli::ParseNumber("10", 0, 10, &v));
    for (const char* bad : {"", "11", "-1", "1x", " 1", "0x1"})
        EXPECT_FALSE(cli::ParseNumber(bad, 0, 10, &v)) << bad;
}

TEST(CliJson, EscapesAndKeepsText) {
    EXPECT_EQ(cli::JsonString("Emu 1"), "\"Emu 1\"");
    EXPECT_EQ(cli::JsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");
    EXPECT_EQ(cli::JsonString("caf\xC3\xA9"), "\"caf\xC3\xA9\"");  // UTF-8 stays
    EXPECT_EQ(cli::JsonString("caf\xE9"), "\"caf\xC3\xA9\"");      // Latin-1 becomes UTF-8
}

TEST(CliProgress, LinesShowBytesPercentRateAndTimeLeft) {
    cli::ProgressView view(false, stderr);
    int row = view.Add("Emu A", 4096 * 4);
    view.Update(row, 4096);
    double now = cli::SteadySeconds() + 1.0;
    std::string plain = view.PlainLine(row, now);
    EXPECT_NE(plain.find("Emu A: 4096 of 16384 bytes (25%)"), std::string::npos) << plain;
    EXPECT_NE(plain.find("/s"), std::string::npos) << plain;
    EXPECT_NE(plain.find("left"), std::string::npos) << plain;
    std::string bar = view.BarLine(row, now);
    EXPECT_NE(bar.find("[######..................]"), std::string::npos) << bar;
    EXPECT_NE(bar.find(" 25%"), std::string::npos) << bar;
    view.Finish(row, "done");
    EXPECT_NE(view.PlainLine(row, now).find("done"), std::string::npos);
}

TEST(CliProgress, HumanUnits) {
    EXPECT_EQ(cli::HumanBytes(512), "512 B");
    EXPECT_EQ(cli::HumanBytes(1536), "1.5 KiB");
    EXPECT_EQ(cli::HumanBytes(16.0 * 1024 * 1024), "16.0 MiB");
    EXPECT_EQ(cli::HumanDuration(65), "1:05");
    EXPECT_EQ(cli::HumanDuration(3723), "1:02:03");
}

}  // namespace
