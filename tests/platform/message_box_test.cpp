#include "platform/message_box.h"

#include "platform/log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int shown = 0;
std::string shown_text;

bool fake_box(const char*, const char* text)
{
    shown++;
    shown_text = text;
    return true;
}

}  // namespace

TEST(MessageBox, StandardErrorWhenAskedOrWhenNoBoxCanShow)
{
    message_box_set_shower(fake_box);
    {
        EnvGuard env("KESTRUM_MESSAGE_BOX", "stderr");
        testing::internal::CaptureStderr();
        message_box("Problem starting Kestrum", "Can't find game data\n");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Problem starting Kestrum: Can't find game data\n");
        EXPECT_EQ(shown, 0);
    }
    {
        EnvGuard env("KESTRUM_MESSAGE_BOX", nullptr);
        message_box("Error", "%s", std::string(5000, 'x').c_str());
        EXPECT_EQ(shown, 1);
        EXPECT_EQ(shown_text, std::string(1023, 'x'));  // cut to 1023 characters
    }
    message_box_set_shower(nullptr);
    {
        EnvGuard env("KESTRUM_MESSAGE_BOX", nullptr);
        testing::internal::CaptureStderr();
        message_box("Error", "Out of virtual memory");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Out of virtual memory\n");
    }
}
