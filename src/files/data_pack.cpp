#include "files/data_pack.h"

#include "files/archive.h"
#include "files/data_check.h"
#include "files/stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

const char DATA_PACK_MANIFEST[] = ".kestrum-data-files";

namespace {

const char marker_name[] = "zzzz.saf";

bool ends_with(const std::string& s, const char* tail)
{
    size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// A name that the reader's index would give back unchanged and that cannot
// escape the data folder.
bool name_is_clean(const std::string& name, std::string* why)
{
    if (name.empty() || name.size() > 900) {
        *why = "empty or too long";
        return false;
    }
    if (name[0] == '/' || name.back() == '/' || name.find("//") != std::string::npos ||
        name.find('\\') != std::string::npos || name.find('\n') != std::string::npos ||
        name.find('\0') != std::string::npos) {
        *why = "not a clean relative path";
        return false;
    }
    std::istringstream parts(name);
    for (std::string part; std::getline(parts, part, '/');)
        if (part == "." || part == "..") {
            *why = "has a '.' or '..' folder";
            return false;
        }
    return true;
}

bool name_is_shippable(const std::string& name, std::string* why)
{
    if (!name_is_clean(name, why))
        return false;
    if (ends_with(name, ".saf") || name == DATA_PACK_MANIFEST) {
        *why = "reserved for the packaging";
        return false;
    }
    return true;
}

// Files the game discovers by scanning the name list or seeks in keep
// their names and stay seekable.
bool may_compress(const std::string& name, size_t size)
{
    if (size < 16384)
        return false;
    for (const char* tail : {".png", ".rqdemo", ".series", ".gz"})
        if (ends_with(name, tail))
            return false;
    return name.find("_lod") == std::string::npos;
}

std::string archive_for(const std::string& name)
{
    size_t slash = name.find('/');
    return (slash == std::string::npos ? std::string("shared") : name.substr(0, slash)) + ".saf";
}

bool read_file(const std::string& path, std::string* out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *out = ss.str();
    return true;
}

bool is_regular(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void make_parent_folders(const std::string& path)
{
    for (size_t i = 1; i < path.size(); i++)
        if (path[i] == '/')
            mkdir(path.substr(0, i).c_str(), 0755);
}

bool write_file(const std::string& path, const std::string& bytes, std::string* error)
{
    make_parent_folders(path);
    std::string tmp = path + ".kestrum-data-tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0)
        ok = false;
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok) {
        *error = "can't write '" + path + "': " + std::strerror(errno);
        std::remove(tmp.c_str());
    }
    return ok;
}

// Removes a file we made, then the folders above it that it left empty.
void remove_with_empty_folders(const std::string& outdir, const std::string& name)
{
    std::remove((outdir + name).c_str());
    for (size_t slash = name.rfind('/'); slash != std::string::npos && slash > 0; slash = name.rfind('/', slash - 1))
        if (rmdir((outdir + name.substr(0, slash)).c_str()) != 0)
            break;
}

}  // namespace

bool data_pack(const std::map<std::string, std::string>& files, const std::set<std::string>& keep_plain,
               std::vector<PackedFile>* out, std::string* error)
{
    out->clear();
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> archives;
    std::vector<PackedFile> plain;
    for (const auto& [name, bytes] : files) {
        std::string why;
        if (!name_is_shippable(name, &why)) {
            *error = "data file '" + name + "': " + why;
            return false;
        }
        if (keep_plain.count(name)) {
            plain.push_back({name, bytes});
            continue;
        }
        std::string archive = archive_for(name);
        if (archive == marker_name) {
            *error = "data file '" + name + "': its folder would pack into the release marker";
            return false;
        }
        std::string packed;
        if (may_compress(name, bytes.size()) && !files.count(name + ".gz") &&
            gzip_compress(bytes, 9, &packed) && packed.size() * 10 <= bytes.size() * 9)
            archives[archive].push_back({name + ".gz", std::move(packed)});
        else
            archives[archive].push_back({name, bytes});
    }
    for (auto& [archive, members] : archives) {
        std::string bytes;
        if (!saf_build(members, &bytes)) {
            *error = "can't pack '" + archive + "': a member name does not fit a header line";
            return false;
        }
        if (files.count(archive)) {
            *error = "archive '" + archive + "' clashes with a data file";
            return false;
        }
        plain.push_back({archive, std::move(bytes)});
    }
    std::sort(plain.begin(), plain.end(), [](const PackedFile& a, const PackedFile& b) { return a.name < b.name; });
    *out = std::move(plain);
    out->push_back({marker_name, data_release_marker()});
    return true;
}

bool data_pack_write(const std::string& outdir_in, const std::vector<PackedFile>& files, PackWriteReport* report,
                     std::string* error)
{
    std::string outdir = outdir_in;
    if (outdir.empty())
        outdir = "./";
    if (outdir.back() != '/')
        outdir += '/';
    make_parent_folders(outdir);
    struct stat st;
    if (stat(outdir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = "can't create the folder '" + outdir + "'";
        return false;
    }
    std::set<std::string> now;
    for (const PackedFile& f : files)
        now.insert(f.name);

    // What an earlier run made: only those names may be taken away.
    std::set<std::string> before;
    std::string manifest;
    if (read_file(outdir + DATA_PACK_MANIFEST, &manifest)) {
        std::istringstream lines(manifest);
        std::string why;
        for (std::string line; std::getline(lines, line);)
            if (name_is_clean(line, &why) && line != DATA_PACK_MANIFEST)
                before.insert(line);
    }

    // Anything to change? Then the marker goes first and comes back last,
    // so a run that stops half way leaves no folder that looks complete.
    std::vector<const PackedFile*> changed;
    for (const PackedFile& f : files) {
        std::string old;
        if (read_file(outdir + f.name, &old) && old == f.bytes)
            report->unchanged++;
        else
            changed.push_back(&f);
    }
    if (!changed.empty()) {
        std::remove((outdir + marker_name).c_str());
        for (const PackedFile& f : files)
            if (f.name == marker_name && std::find(changed.begin(), changed.end(), &f) == changed.end()) {
                changed.push_back(&f);
                report->unchanged--;
            }
    }

    for (const PackedFile* f : changed) {
        if (f->name == marker_name)
            continue;
        if (!write_file(outdir + f->name, f->bytes, error))
            return false;
        report->written++;
    }

    for (const std::string& name : before) {
        if (now.count(name) || !is_regular(outdir + name))
            continue;
        remove_with_empty_folders(outdir, name);
        report->removed.push_back(name);
    }

    // A plain file with the name of a packed member would win over it.
    for (const PackedFile& f : files) {
        if (!ends_with(f.name, ".saf") || f.name == marker_name)
            continue;
        Stream* s = stream_open_memory(f.bytes.data(), f.bytes.size(), false);
        std::vector<SafMember> members;
        saf_read_header(s, (long long)f.bytes.size(), &members);
        stream_close(s);
        for (const SafMember& m : members) {
            std::string names[2] = {m.name, m.name};
            if (ends_with(m.name, ".gz"))
                names[1] = m.name.substr(0, m.name.size() - 3);
            else
                names[1] = m.name + ".gz";
            for (const std::string& n : names) {
                if (now.count(n) || !is_regular(outdir + n))
                    continue;
                remove_with_empty_folders(outdir, n);
                report->removed.push_back(n);
            }
        }
    }

    for (const PackedFile* f : changed) {
        if (f->name != marker_name)
            continue;
        if (!write_file(outdir + f->name, f->bytes, error))
            return false;
        report->written++;
    }

    std::string list;
    for (const std::string& name : now)
        list += name + "\n";
    std::string old_list;
    if (!(read_file(outdir + DATA_PACK_MANIFEST, &old_list) && old_list == list))
        if (!write_file(outdir + DATA_PACK_MANIFEST, list, error))
            return false;
    return true;
}
