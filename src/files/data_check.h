// The data folder check at start-up: which search folder holds the game
// data release this program belongs to. The release is identified by the
// RIPEMD-160 digest of its marker archive "zzzz.saf".
#pragma once
#include <string>

// 40 lower-case hex digits: the digest of data_release_marker().
extern const char DATA_RELEASE_DIGEST[];

// The exact bytes of the "zzzz.saf" this program expects; the data builder
// writes them, so the two cannot drift apart.
std::string data_release_marker();

// RIPEMD-160 of the first 1048576 bytes of a file (all of it if shorter),
// as 40 hex digits; "" when the file cannot be opened.
std::string data_file_digest(const std::string& path);

// Creates the user folder, points the log at "lastlog.txt" in it, then
// looks for the release marker in each search folder in order. True at the
// first match; false when the game data is missing.
bool data_folder_check();
