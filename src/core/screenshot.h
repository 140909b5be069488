// Screenshot numbering: each run continues after the highest number already
// in the user folder.
#pragma once
#include <string>
#include <vector>

// One above the largest n of any name "screenshot<n>..." (1 when none).
unsigned screenshot_next_number(const std::vector<std::string>& file_names);

// The file names in a folder (not recursive); empty when it can't be read.
std::vector<std::string> screenshot_folder_names(const char* folder);
