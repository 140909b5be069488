// Archive headers and the writers of archives and gzip data.
#include "files/archive.h"

#include "files/stream.h"

#include <cstdint>
#include <cstring>
#include <zlib.h>

namespace {

const int max_header_line = 1023;  // bytes, including the line feed

// Runs of "/" read as one; trailing "/" are dropped.
std::string collapse_slashes(const char* s, size_t len)
{
    std::string out;
    for (size_t i = 0; i < len; i++) {
        if (s[i] == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(s[i]);
    }
    while (!out.empty() && out.back() == '/')
        out.pop_back();
    return out;
}

}  // namespace

bool saf_read_header(Stream* s, long long file_size, std::vector<SafMember>* out)
{
    out->clear();
    std::vector<SafMember> members;
    long long header_length = 0;
    char line[max_header_line + 1];
    for (;;) {
        // Count the bytes actually read: a line may hold NUL bytes.
        long before = stream_tell(s);
        if (!stream_gets(s, line, sizeof line))
            return false;  // the file ended inside the header
        long len = stream_tell(s) - before;
        if (line[len - 1] != '\n')
            return false;  // too long, or the file ended
        header_length += len;
        if (line[0] >= '0' && line[0] <= '9') {
            long long size = 0;
            long i = 0;
            for (; i < len && line[i] >= '0' && line[i] <= '9'; i++) {
                size = size * 10 + (line[i] - '0');
                if (size > file_size)
                    return false;  // a count no file of this size can hold
            }
            // The separator, then the name up to the line feed.
            if (i + 1 >= len - 1)
                return false;
            std::string name = collapse_slashes(line + i + 1, size_t(len - 1 - (i + 1)));
            if (name.empty() || std::memchr(name.data(), 0, name.size()))
                return false;
            members.push_back({name, 0, size});
            continue;
        }
        if (len == 2 && line[0] == '-')
            break;
        return false;
    }
    long long offset = header_length;
    for (SafMember& m : members) {
        m.offset = offset;
        offset += m.size;
        if (offset > file_size)
            return false;  // truncated archive
    }
    *out = std::move(members);
    return true;
}

bool saf_build(const std::vector<std::pair<std::string, std::string>>& members, std::string* out)
{
    std::string header, data;
    for (const auto& [name, bytes] : members) {
        std::string line = std::to_string(bytes.size()) + " " + name + "\n";
        if (name.empty() || name.find('\n') != std::string::npos || name.find('\0') != std::string::npos ||
            line.size() > size_t(max_header_line))
            return false;
        header += line;
        data += bytes;
    }
    *out = header + "-\n" + data;
    return true;
}

bool gzip_compress(const std::string& in, int level, std::string* out)
{
    // Our own fixed header: no name, no time stamp, "unknown" system.
    static const unsigned char header[10] = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 0xff};
    if (in.size() > 0xffffffffu)
        return false;
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    std::string body(deflateBound(&z, uLong(in.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(body.data());
    z.avail_out = uInt(body.size());
    int r = deflate(&z, Z_FINISH);
    size_t used = body.size() - z.avail_out;
    deflateEnd(&z);
    if (r != Z_STREAM_END)
        return false;
    body.resize(used);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(in.data()), uInt(in.size()));
    unsigned char trailer[8];
    for (int i = 0; i < 4; i++) {
        trailer[i] = (unsigned char)(crc >> (8 * i));
        trailer[4 + i] = (unsigned char)(uint32_t(in.size()) >> (8 * i));
    }
    out->assign(reinterpret_cast<const char*>(header), sizeof header);
    *out += body;
    out->append(reinterpret_cast<const char*>(trailer), sizeof trailer);
    return true;
}
