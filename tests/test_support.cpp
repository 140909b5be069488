#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string test_scratch_dir(const std::string& tag)
{
    fs::path dir = fs::path(KESTRUM_BINARY_DIR) / "test-scratch" / tag;
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
