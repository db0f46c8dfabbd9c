// The built installer checks its stored payload against the CRC-32 recorded beside it before
// inflating: a copy of pelko-setup.exe with one byte of the payload altered in place ends with
// "payload damaged", exit code 1 and nothing installed.
#include <windows.h>

#include <gtest/gtest.h>

#include "expected.h"
#include "e2e_support.h"
#include "launch.h"
#include "payload_image.h"
#include "test_paths.h"

namespace pelko {
namespace {

struct PayloadIntegrity : ::testing::Test {
    std::wstring dir = test::fresh_directory(L"e2e-integrity");
    std::wstring local = dir + L"\\Local";
    std::string image = test::read_file(test::setup_exe());

    // Starts a copy of the installer with one payload byte flipped, deep inside the stream, with
    // the arguments (" --update") and LOCALAPPDATA `local`.
    test::Process start_damaged_copy(const std::wstring& arguments) {
        const auto payload = test::payload_in(image);
        EXPECT_TRUE(payload.has_value());
        if (!payload) return {};
        std::string damaged = image;
        damaged[test::stored_offset(image, *payload) + payload->stored.size() / 2] ^= 0x01;
        test::LaunchOptions launch = test::launch_of(dir + L"\\pelko-setup.exe", arguments);
        EXPECT_TRUE(test::write_file(launch.program, damaged));
        launch.environment = {{L"LOCALAPPDATA", local}, {L"APPDATA", local + L"\\Roaming"}};
        test::create_directories(local);
        return test::start_program(launch);
    }
};

TEST_F(PayloadIntegrity, TheBuildRecordsTheCrcOfTheStoredPayload) {
    const auto payload = test::payload_in(image);
    ASSERT_TRUE(payload.has_value());
    EXPECT_EQ(payload->recorded_crc32, testing::crc32_of(payload->stored));
    // The stored payload is the packed payload file, byte for byte.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(payload->stored.data()),
                          payload->stored.size()),
              test::read_file(test::build_path("payload/payload.bin")));
}

TEST_F(PayloadIntegrity, AlteredPayloadInUpdateModeFailsSilentlyAndInstallsNothing) {
    test::Process setup = start_damaged_copy(L" --update");
    ASSERT_TRUE(setup.valid());
    EXPECT_FALSE(test::shows_window(setup.id(), 2000));
    EXPECT_EQ(setup.wait(60000), 1u);
    EXPECT_EQ(test::log_messages(local),
              (std::vector<std::string>{testing::start_line(true), testing::failed_line("payload damaged")}));
    EXPECT_FALSE(test::file_exists(local + L"\\Programs"));
    EXPECT_FALSE(test::file_exists(local + L"\\Roaming"));
}

TEST_F(PayloadIntegrity, AlteredPayloadShowsTheReason) {
    test::Process setup = start_damaged_copy(L"");
    ASSERT_TRUE(setup.valid());
    const auto text = test::take_message_box(setup.id(), L"Pelko Setup", 30000);
    ASSERT_TRUE(text.has_value()) << "no message box";
    EXPECT_EQ(test::narrow(*text), testing::failure_box("payload damaged"));
    EXPECT_EQ(setup.wait(30000), 1u);
    EXPECT_EQ(test::log_messages(local).back(), testing::failed_line("payload damaged"));
    EXPECT_FALSE(test::file_exists(local + L"\\Programs"));
}

}  // namespace
}  // namespace pelko
