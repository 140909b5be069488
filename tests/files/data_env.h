// A test fixture that points the search folders at scratch folders and puts
// the environment and the file index back afterwards.
#pragma once
#include "files/stream.h"
#include "test_support.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

class DataEnv : public ::testing::Test {
protected:
    std::string root, user, data;  // user = the user folder, data = RQ_HOME

    void SetUp() override
    {
        for (Saved& v : saved_) {
            const char* now = std::getenv(v.name);
            v.value = now ? std::optional<std::string>(now) : std::nullopt;
        }
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = test_scratch_dir(std::string("files-") + info->test_suite_name() + "-" + info->name());
        user = root + "xdg/kestrum/";
        data = root + "data/";
        setenv("XDG_DATA_HOME", (root + "xdg").c_str(), 1);
        setenv("RQ_HOME", (root + "data").c_str(), 1);
        unsetenv("OBLO_LOGFILE");
        data_paths_reset();
    }

    void TearDown() override
    {
        for (const Saved& v : saved_) {
            if (v.value)
                setenv(v.name, v.value->c_str(), 1);
            else
                unsetenv(v.name);
        }
        data_paths_reset();
    }

    // Reads a whole stream opened by name; nullopt when it does not open.
    static std::optional<std::string> read(const std::string& name)
    {
        std::string out;
        if (!stream_read_all(name.c_str(), &out))
            return std::nullopt;
        return out;
    }

private:
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    };
    Saved saved_[4] = {{"XDG_DATA_HOME", {}}, {"RQ_HOME", {}}, {"HOME", {}}, {"OBLO_LOGFILE", {}}};
};
