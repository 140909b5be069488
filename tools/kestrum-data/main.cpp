// kestrum-data OUTDIR: builds the whole shipped data set procedurally, the
// same bytes every run, and writes it into OUTDIR (the folder beside the
// game executable).
#include "dataset.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

bool write_file(const fs::path& path, const std::string& bytes)
{
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    fs::path tmp = path;
    tmp += ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out)
            return false;
    }
    fs::rename(tmp, path, ec);
    return !ec;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrum-data OUTDIR\n");
        return 2;
    }
    fs::path out = argv[1];
    std::vector<DataBuilderEntry> builders = data_builders();
    std::sort(builders.begin(), builders.end(), [](const DataBuilderEntry& a, const DataBuilderEntry& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return std::strcmp(a.name, b.name) < 0;
    });
    DataSet ds;
    for (const DataBuilderEntry& b : builders) {
        if (!b.fn(ds)) {
            std::fprintf(stderr, "kestrum-data: builder '%s' failed\n", b.name);
            return 1;
        }
    }
    for (const auto& [name, bytes] : ds.files) {
        if (!write_file(out / name, bytes)) {
            std::fprintf(stderr, "kestrum-data: can't write '%s'\n", (out / name).c_str());
            return 1;
        }
    }
    std::printf("kestrum-data: %zu files in %s\n", ds.files.size(), out.c_str());
    return 0;
}
