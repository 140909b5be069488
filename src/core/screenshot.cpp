#include "core/screenshot.h"

#include <cstdio>
#include <dirent.h>

unsigned screenshot_next_number(const std::vector<std::string>& names)
{
    unsigned highest = 0;
    for (const std::string& name : names) {
        unsigned n;
        if (std::sscanf(name.c_str(), "screenshot%u", &n) == 1 && n > highest)
            highest = n;
    }
    return highest + 1;
}

std::vector<std::string> screenshot_folder_names(const char* folder)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(folder)) {
        while (dirent* e = readdir(d))
            names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}
