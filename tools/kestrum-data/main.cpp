// kestrum-data OUTDIR [SOURCE]: builds the whole shipped data set
// procedurally, the same bytes every run, packs it into archives and writes
// it into OUTDIR (the folder beside the game executable), release marker
// last. SOURCE is the committed data folder whose trained racing lines are
// copied in.
#include "dataset.h"
#include "files/data_check.h"
#include "files/data_pack.h"
#include "files/ripemd160.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: kestrum-data OUTDIR [SOURCE]\n");
        return 2;
    }
    const char* outdir = argv[1];
    std::vector<DataBuilderEntry> builders = data_builders();
    std::sort(builders.begin(), builders.end(), [](const DataBuilderEntry& a, const DataBuilderEntry& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return std::strcmp(a.name, b.name) < 0;
    });
    DataSet ds;
    if (argc == 3)
        ds.source = argv[2];
    for (const DataBuilderEntry& b : builders) {
        if (!b.fn(ds)) {
            std::fprintf(stderr, "kestrum-data: builder '%s' failed\n", b.name);
            return 1;
        }
    }

    std::set<std::string> keep_plain;
    for (const auto& [name, plain] : ds.keep_plain)
        if (plain)
            keep_plain.insert(name);
    std::vector<PackedFile> packed;
    std::string error;
    if (!data_pack(ds.files, keep_plain, &packed, &error)) {
        std::fprintf(stderr, "kestrum-data: %s\n", error.c_str());
        return 1;
    }
    // The game compares the marker's digest with its own constant; a marker
    // that differs would make every build report missing game data.
    const PackedFile& marker = packed.back();
    std::string digest = ripemd160_hex(marker.bytes.data(), marker.bytes.size());
    if (marker.name != "zzzz.saf" || digest != DATA_RELEASE_DIGEST) {
        std::fprintf(stderr, "kestrum-data: zzzz.saf digest %s does not match the game's %s\n", digest.c_str(),
                     DATA_RELEASE_DIGEST);
        return 1;
    }

    PackWriteReport report;
    if (!data_pack_write(outdir, packed, &report, &error)) {
        std::fprintf(stderr, "kestrum-data: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& name : report.removed)
        std::printf("kestrum-data: removed stale '%s'\n", name.c_str());
    std::printf("kestrum-data: %zu data files as %zu files in %s (%d written, %d unchanged)\n", ds.files.size(),
                packed.size(), outdir, report.written, report.unchanged);
    std::printf("kestrum-data: zzzz.saf ripemd160 %s\n", digest.c_str());
    return 0;
}
