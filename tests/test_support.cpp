#include "test_support.h"

#include "files/stream.h"
#include "platform/log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string test_scratch_dir(const std::string& tag)
{
    // Under the running test's own name: ctest runs tests side by side,
    // and two of them must never share (and wipe) one folder.
    fs::path dir = fs::path(KESTRUM_BINARY_DIR) / "test-scratch";
    if (const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info())
        dir /= std::string(t->test_suite_name()) + "." + t->name();
    dir /= tag;
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
    return dir.string() + "/";
}

bool test_write_file(const std::string& path, const std::string& bytes)
{
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

std::string test_read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool test_have_game_data()
{
    return fs::exists(fs::path(KESTRUM_GAME_DIR) / "zzzz.saf");
}

MemStream::MemStream(std::string b, bool compressed) : bytes(std::move(b))
{
    s = stream_open_memory(bytes.data(), bytes.size(), compressed);
}

MemStream::~MemStream()
{
    stream_close(s);
}

std::string MemStream::rest()
{
    std::string out;
    for (int c; (c = stream_getc(s)) >= 0;)
        out.push_back(char(c));
    return out;
}

EnvGuard::EnvGuard(const char* var, const char* value) : name(var)
{
    if (const char* v = std::getenv(var)) {
        had = true;
        old = v;
    }
    if (value)
        setenv(var, value, 1);
    else
        unsetenv(var);
}

EnvGuard::~EnvGuard()
{
    had ? setenv(name.c_str(), old.c_str(), 1) : unsetenv(name.c_str());
}

LogCapture::LogCapture(const std::string& tag)
    : path(test_scratch_dir("log-" + tag) + "log.txt"), env("OBLO_LOGFILE", path.c_str())
{
    log_close();  // the next line logged opens the new file
}

LogCapture::~LogCapture()
{
    log_close();
}

std::string LogCapture::text()
{
    log_close();
    return test_read_file(path);
}

namespace {

// One empty user folder per test, so tests run side by side neither share
// nor remove each other's.
std::string empty_user_folder()
{
    std::string tag = "user-home";
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info())
        tag += std::string("/") + info->test_suite_name() + "." + info->name();
    return test_scratch_dir(tag);
}

}  // namespace

GameDataScope::GameDataScope() : GameDataScope(KESTRUM_GAME_DIR)
{
    ready = test_have_game_data();
}

GameDataScope::GameDataScope(const std::string& data_dir)
    : ready(true), rq_home("RQ_HOME", data_dir.c_str()), xdg_data_home("XDG_DATA_HOME", empty_user_folder().c_str())
{
    data_paths_reset();
}

GameDataScope::~GameDataScope()
{
    // The guards put the variables back after this body runs, so the search
    // is rebuilt from them on next use rather than from this folder.
    data_paths_reset();
}
