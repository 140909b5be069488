// Helpers shared by the tests: scratch folders and small file fixtures.
#pragma once
#include <cstdlib>
#include <string>
#include <vector>

struct Stream;

// A fresh, empty folder for one test under the build tree, inside a folder
// named after the running test; the name is made from the tag, and any
// earlier folder of that name is removed first.
std::string test_scratch_dir(const std::string& tag);

// Writes bytes to a file, creating missing folders. Returns success.
bool test_write_file(const std::string& path, const std::string& bytes);

// Reads a whole file; empty when it cannot be read.
std::string test_read_file(const std::string& path);

// True when the built data set exists beside the game executable.
bool test_have_game_data();

// A stream over bytes the test owns; rest() reads what is left of it.
struct MemStream {
    std::string bytes;
    Stream* s;
    explicit MemStream(std::string b, bool compressed = false);
    ~MemStream();
    MemStream(const MemStream&) = delete;
    MemStream& operator=(const MemStream&) = delete;
    std::string rest();
};

// Sets (or unsets, for null) an environment variable for one test and puts
// the old value back afterwards.
struct EnvGuard {
    EnvGuard(const char* var, const char* value);
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    std::string name, old;
    bool had = false;
};

// Sends the log to a fresh scratch file for one test; text() is everything
// logged since (the log is closed first, so all of it is on disk).
struct LogCapture {
    explicit LogCapture(const std::string& tag);
    ~LogCapture();
    std::string text();
    std::string path;

private:
    EnvGuard env;
};

// Points the data search at one folder for the life of a test: RQ_HOME at
// the folder (the built game folder by default) and XDG_DATA_HOME at an
// empty scratch folder, so files in the developer's own user folder cannot
// leak in. Both variables are put back, and the search rebuilt, on
// destruction. "@" names and data_file_names() then see the folder's plain
// files and its archives.
struct GameDataScope {
    GameDataScope();
    explicit GameDataScope(const std::string& data_dir);
    ~GameDataScope();

    // For the game folder: whether the built data set is there (its
    // release marker "zzzz.saf" exists). Always true for another folder.
    bool ready = false;

private:
    EnvGuard rq_home, xdg_data_home;
};
