// How the shipped data set is laid out on disk: which files are packed into
// ".saf" archives (one per top-level folder, so one per track, and
// "shared.saf" for files at the top), which are gzip-compressed inside them,
// which stay plain, and the release marker "zzzz.saf" last. Used by the data
// builder; kept here so the tests can hold the layout to the reader.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

// One file to write, by its path relative to the data folder.
struct PackedFile {
    std::string name;
    std::string bytes;
};

// Lays out a data set (name -> bytes). Names in keep_plain stay plain
// files. Members of at least 16384 bytes are gzipped when that saves a
// tenth or more, except names that the game finds by listing (".png",
// ".rqdemo", ".series", LOD variants) or seeks in. The result is sorted
// with "zzzz.saf" last, and the same input always gives the same bytes.
// False with a message in *error for a name that cannot be shipped.
bool data_pack(const std::map<std::string, std::string>& files, const std::set<std::string>& keep_plain,
               std::vector<PackedFile>* out, std::string* error);

// The file in the output folder that lists what the last run wrote.
extern const char DATA_PACK_MANIFEST[];

// What data_pack_write did, for the builder's report.
struct PackWriteReport {
    int written = 0;    // files created or changed
    int unchanged = 0;  // files already holding the right bytes
    std::vector<std::string> removed;  // stale files taken away
};

// Writes the packed files into outdir (each through a temporary file and a
// rename), with the release marker last, and removes what an earlier run
// wrote that is no longer produced (listed in the manifest) and plain files
// that would shadow a packed member of the same name. Nothing else in
// outdir is touched. False with a message in *error on a write failure.
bool data_pack_write(const std::string& outdir, const std::vector<PackedFile>& files, PackWriteReport* report,
                     std::string* error);
