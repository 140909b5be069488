// Helpers shared by the tests: scratch folders and small file fixtures.
#pragma once
#include <string>
#include <vector>

// A fresh, empty folder for one test under the build tree; the name is
// made from the tag, and any earlier folder of that name is removed first.
std::string test_scratch_dir(const std::string& tag);

// Writes bytes to a file, creating missing folders. Returns success.
bool test_write_file(const std::string& path, const std::string& bytes);

// Reads a whole file; empty when it cannot be read.
std::string test_read_file(const std::string& path);

// True when the built data set exists beside the game executable.
bool test_have_game_data();
