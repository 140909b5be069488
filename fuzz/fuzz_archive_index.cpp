// Archive headers, both straight from memory and through the whole file
// index: the input becomes one ".saf" in a data folder, and every member
// that the index lists is opened and read to its end.
#include "files/archive.h"
#include "files/stream.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string data_folder()
{
    static std::string folder;
    if (folder.empty()) {
        char tmpl[] = "/tmp/kestrum-fuzz-index-XXXXXX";
        folder = mkdtemp(tmpl) ? std::string(tmpl) + "/" : "/tmp/";
        setenv("RQ_HOME", folder.c_str(), 1);
        setenv("XDG_DATA_HOME", (folder + "user").c_str(), 1);
    }
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Stream* s = stream_open_memory(data, size, false);
    std::vector<SafMember> members;
    if (saf_read_header(s, (long long)size, &members)) {
        for (const SafMember& m : members)
            if (m.offset < 0 || m.size < 0 || m.offset + m.size > (long long)size)
                __builtin_trap();
    }
    stream_close(s);

    std::string path = data_folder() + "fuzz.saf";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    data_paths_reset();
    char buf[4096];
    int opened = 0;
    for (const std::string& name : data_file_names()) {
        if (++opened > 64)
            break;  // each open scans the index; a few show the readers
        Stream* m = stream_open(("@" + name).c_str(), "rb");
        if (!m)
            continue;
        while (stream_read(m, buf, sizeof buf) > 0) {
        }
        stream_close(m);
    }
    return 0;
}
