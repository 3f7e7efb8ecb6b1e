// Interface enumeration on Windows: the user's device paths (';'-separated in PELLMAR_DEVICES)
// follow the third class's own interfaces; identification over named-pipe devices.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "connection/packets.h"
#include "platform/enumerate.h"
#include "support/pipe_device.h"
#include "win32/identity_responder.h"

namespace {

TEST(Win32Enumerate, UserPathsFollowThirdClassInterfacesInOrder) {
    platform::SetUserDevicePaths({"\\\\.\\pipe\\a", "\\\\.\\pipe\\b"});
    ASSERT_EQ(_putenv("PELLMAR_DEVICES=\\\\.\\pipe\\c;;\\\\.\\pipe\\d;"), 0);
    std::vector<std::string> seen;
    std::string path;
    for (std::uint32_t i = 0; i < 64 && platform::GetDeviceInterfacePath(2, i, &path); ++i)
        seen.push_back(path);
    ASSERT_GE(seen.size(), 4u);
    const std::vector<std::string> tail(seen.end() - 4, seen.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"\\\\.\\pipe\\a", "\\\\.\\pipe\\b", "\\\\.\\pipe\\c",
                                              "\\\\.\\pipe\\d"}));
    // Only the third class carries the user's paths.
    for (int cls = 0; cls < 2; ++cls)
        for (std::uint32_t i = 0; i < 64 && platform::GetDeviceInterfacePath(cls, i, &path); ++i)
            EXPECT_NE(path.find("pipe"), 0u) << path;
    _putenv("PELLMAR_DEVICES=");
    platform::SetUserDevicePaths({});
}

TEST(Win32Identify, NamedPipePrinterAnswersAndSilentOneDoesNot) {
    PipeDevice printer(AnswerIdentity("ACME", "LX-500"));
    PipeDevice silent;
    platform::Handle h = platform::OpenDevice(printer.Path());
    ASSERT_NE(h, platform::kInvalidHandle);
    PRINTER_IDENTITY id = QueryPrinterIdentity(h);
    platform::Close(h);
    EXPECT_TRUE(id.bAnswered);
    EXPECT_EQ(id.strText1, "ACME");
    EXPECT_EQ(id.strText3, "LX-500");

    h = platform::OpenDevice(silent.Path());
    ASSERT_NE(h, platform::kInvalidHandle);
    EXPECT_FALSE(QueryPrinterIdentity(h).bAnswered);
    platform::Close(h);
    EXPECT_TRUE(silent.WaitForBytes(IdentificationRequest().size()));
    EXPECT_EQ(silent.Received(), IdentificationRequest());
}

}  // namespace
