// ".saf" archives: a text header of "<size> <name>\n" lines closed by a
// line "-\n", then the members' bytes back to back. Reading the header for
// the file index, and making archives and gzip files for the data builder
// and for tests.
#pragma once
#include <string>
#include <utility>
#include <vector>

struct Stream;

// One member as the header lists it; offset from the start of the archive.
struct SafMember {
    std::string name;
    long long offset;
    long long size;
};

// Reads an archive header from the start of a stream whose total length is
// file_size. False (and no members) when the header is bad: a line without
// its line feed (over 1023 bytes, or the file ends), a line that neither
// starts with a count nor is "-", an empty member name, or members that
// reach past the end of the file.
bool saf_read_header(Stream* s, long long file_size, std::vector<SafMember>* out);

// The bytes of an archive holding the given members in order. False when a
// name is empty, holds a line feed or makes a header line over 1023 bytes.
bool saf_build(const std::vector<std::pair<std::string, std::string>>& members, std::string* out);

// gzip data of a byte string at a fixed level with a zero time stamp, so
// the same input always gives the same bytes. False when zlib fails.
bool gzip_compress(const std::string& in, int level, std::string* out);
