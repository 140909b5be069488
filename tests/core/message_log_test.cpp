#include "core/message_log.h"

#include <gtest/gtest.h>

#include <memory>

TEST(MessageLog, LinesShowThenExpireOneAtATime)
{
    auto log = std::make_unique<MessageLog>();
    message_log_clear(log.get());
    for (int i = 0; i < 7; i++)
        message_log_add(log.get(), 10.0, "line %d\n", i);
    EXPECT_EQ(log->visible, 5);
    EXPECT_STREQ(message_log_line(log.get(), 0), "line 6");
    EXPECT_STREQ(message_log_line(log.get(), 4), "line 2");
    message_log_expire(log.get(), 11.9);  // still inside the first 2 s
    EXPECT_EQ(log->visible, 5);
    message_log_expire(log.get(), 12.1);
    EXPECT_EQ(log->visible, 4);
    message_log_expire(log.get(), 16.0);  // the next goes 5 s later
    EXPECT_EQ(log->visible, 4);
    message_log_expire(log.get(), 17.2);
    EXPECT_EQ(log->visible, 3);
}

TEST(MessageLog, RingWrapsAndCutsLongLines)
{
    auto log = std::make_unique<MessageLog>();
    message_log_clear(log.get());
    for (int i = 0; i < MESSAGE_LOG_LINES + 3; i++)
        message_log_add(log.get(), 0, "n%d", i);
    EXPECT_EQ(log->next, 3);
    EXPECT_STREQ(message_log_line(log.get(), 0), "n1002");
    std::string long_line(300, 'x');
    message_log_add(log.get(), 0, "%s", long_line.c_str());
    EXPECT_EQ(std::string(message_log_line(log.get(), 0)).size(), size_t(MESSAGE_LOG_LINE_CHARS));
}
