// The Win32 platform layer on its own: failed opens and their codes and texts, exclusive opens,
// bounded reads and failing writes on named-pipe devices.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/pipe_device.h"
#include "support/temp_file.h"
#include "win32/identity_responder.h"

namespace {

struct OpenFailureCase {
    const char* path;
    int code;
};

TEST(Win32Open, FailedOpenGivesCodeAndSystemText) {
    const OpenFailureCase cases[] = {
        {"pellmar-no-such-device", ERROR_FILE_NOT_FOUND},
        {"\\\\.\\pipe\\pellmar-no-such-pipe", ERROR_FILE_NOT_FOUND},
        {"pellmar-no-such-folder\\device", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        platform::SetLastError(0);
        EXPECT_EQ(platform::OpenDevice(c.path), platform::kInvalidHandle) << c.path;
        EXPECT_EQ(platform::LastError(), c.code) << c.path;
        const std::string text = platform::ErrorText(platform::LastError());
        EXPECT_FALSE(text.empty()) << c.path;
        EXPECT_EQ(text.find("Unknown error"), std::string::npos) << text;
        EXPECT_NE(text.back(), '\n') << c.path;
    }
    EXPECT_EQ(platform::OpenFileForReading("pellmar-no-such-file"), platform::kInvalidHandle);
    EXPECT_EQ(platform::LastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Win32Open, DeviceIsOpenedWithoutSharing) {
    TempFile file(PatternBytes(10));
    platform::Handle first = platform::OpenDevice(file.Path());
    ASSERT_NE(first, platform::kInvalidHandle) << platform::LastError();
    EXPECT_EQ(platform::OpenDevice(file.Path()), platform::kInvalidHandle);
    EXPECT_EQ(platform::LastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(platform::IsDeviceBusy(platform::LastError()));
    platform::Close(first);
    platform::Handle again = platform::OpenDevice(file.Path());
    EXPECT_NE(again, platform::kInvalidHandle);
    platform::Close(again);
}

TEST(Win32Open, FileSizeAndReadToEnd) {
    const auto bytes = PatternBytes(10000);
    TempFile file(bytes);
    platform::Handle h = platform::OpenFileForReading(file.Path());
    ASSERT_NE(h, platform::kInvalidHandle);
    EXPECT_EQ(platform::FileSize(h), 10000);
    std::vector<std::uint8_t> all;
    std::uint8_t buf[4096];
    std::uint32_t got = 0;
    for (int i = 0; i < 10 && platform::Read(h, buf, sizeof buf, &got) && got > 0; ++i)
        all.insert(all.end(), buf, buf + got);
    EXPECT_EQ(all, bytes);
    platform::Close(h);
}

TEST(Win32Open, DirectoryIsNoFile) {
    EXPECT_EQ(platform::OpenFileForReading("."), platform::kInvalidHandle);
    EXPECT_NE(platform::LastError(), 0);
}

TEST(Win32PipeIo, ReadFromSilentDeviceEndsEmptyAndAnswerArrives) {
    PipeDevice device(AnswerIdentity("ACME", "LX-500"));
    platform::Handle h = platform::OpenDevice(device.Path());
    ASSERT_NE(h, platform::kInvalidHandle) << platform::LastError();
    std::uint8_t buf[1024];
    std::uint32_t got = 99;
    EXPECT_TRUE(platform::Read(h, buf, sizeof buf, &got, 50));
    EXPECT_EQ(got, 0u);

    const auto request = IdentificationRequest();
    std::uint32_t written = 0;
    ASSERT_TRUE(
        platform::Write(h, request.data(), static_cast<std::uint32_t>(request.size()), &written));
    EXPECT_EQ(written, request.size());
    const auto expected = IdentityReply("ACME", "LX-500");
    std::vector<std::uint8_t> reply;
    for (int i = 0; i < 200 && reply.size() < expected.size(); ++i) {
        ASSERT_TRUE(platform::Read(h, buf, sizeof buf, &got, 50));
        reply.insert(reply.end(), buf, buf + got);
    }
    EXPECT_EQ(reply, expected);
    platform::Close(h);
}

TEST(Win32PipeIo, DeviceThatHangsUpFailsReadsAndWritesWithItsCode) {
    PipeDevice device;
    platform::Handle h = platform::OpenDevice(device.Path());
    ASSERT_NE(h, platform::kInvalidHandle);
    std::uint32_t written = 0;
    ASSERT_TRUE(platform::Write(h, "abc", 3, &written));
    ASSERT_TRUE(device.WaitForBytes(3));
    device.HangUp();

    // The write fails once the device side is gone (bounded: the device went within seconds).
    bool failed = false;
    for (int i = 0; i < 500 && !failed; ++i) {
        failed = !platform::Write(h, "abc", 3, &written);
        if (!failed)
            platform::SleepMs(10);
    }
    ASSERT_TRUE(failed);
    // The device side disconnected its end of the pipe.
    const int code = platform::LastError();
    EXPECT_EQ(code, ERROR_PIPE_NOT_CONNECTED);
    std::uint8_t buf[16];
    std::uint32_t got = 0;
    EXPECT_FALSE(platform::Read(h, buf, sizeof buf, &got, 50));
    EXPECT_NE(platform::LastError(), 0);
    EXPECT_FALSE(platform::ErrorText(code).empty());
    platform::Close(h);
    // Unplugged: the path is gone.
    EXPECT_EQ(platform::OpenDevice(device.Path()), platform::kInvalidHandle);
    EXPECT_EQ(platform::LastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
