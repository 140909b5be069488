// Search folders, the file index over them and their ".saf" archives, and
// opening "@" names through that index.
#include "files/stream_internal.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct IndexRecord {
    std::string disk_path;
    std::string name;
    long offset;
    long size;
    int priority;
};

struct DataPaths {
    bool built = false;
    std::vector<std::string> folders;
    bool have_user_folder = false;
    bool indexed = false;
    std::vector<IndexRecord> index;
    std::vector<std::string> names;
};

DataPaths paths;

std::string normalise_folder(std::string p)
{
    std::replace(p.begin(), p.end(), '\\', '/');
    std::string out;
    for (char c : p) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(c);
    }
    if (out.empty() || out.back() != '/')
        out.push_back('/');
    return out;
}

std::string executable_folder()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "./";
    buf[n] = 0;
    std::string p = buf;
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? "./" : p.substr(0, slash + 1);
}

void build_folders()
{
    if (paths.built)
        return;
    paths.built = true;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (xdg && *xdg) {
        paths.folders.push_back(normalise_folder(std::string(xdg) + "/kestrum/"));
        paths.have_user_folder = true;
    } else if (home && *home) {
        paths.folders.push_back(normalise_folder(std::string(home) + "/.local/share/kestrum/"));
        paths.have_user_folder = true;
    }
    const char* rq = std::getenv("RQ_HOME");
    if (rq)
        paths.folders.push_back(normalise_folder(std::string(rq) + "/"));
    else
        paths.folders.push_back(normalise_folder(executable_folder()));
}

void walk(const std::string& root, const std::string& rel, int priority, std::vector<IndexRecord>* out)
{
    DIR* d = opendir((root + rel).c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, ".."))
            continue;
        std::string name = rel + e->d_name;
        std::string full = root + name;
        struct stat st;
        if (stat(full.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            walk(root, name + "/", priority, out);
        else if (S_ISREG(st.st_mode))
            out->push_back({full, name, 0, long(st.st_size), priority});
    }
    closedir(d);
}

std::string collapse_slashes(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(c);
    }
    while (!out.empty() && out.back() == '/')
        out.pop_back();
    return out;
}

// Adds the members of one archive; an archive with a bad header adds none.
void read_archive(const IndexRecord& archive, int priority, std::vector<IndexRecord>* out)
{
    FILE* f = std::fopen(archive.disk_path.c_str(), "rb");
    if (!f)
        return;
    std::vector<IndexRecord> members;
    long header_length = 0;
    bool ok = false;
    char line[1024];
    while (std::fgets(line, sizeof line, f)) {
        size_t len = std::strlen(line);
        if (len == 0 || line[len - 1] != '\n')
            break;  // too long, or the file ended inside the header
        header_length += long(len);
        if (std::isdigit((unsigned char)line[0])) {
            char* end = nullptr;
            long long size = std::strtoll(line, &end, 10);
            if (*end == '\n' || *end == 0)
                break;  // a count without a name
            std::string name(end + 1, line + len - 1);
            if (size < 0 || size > 0x7fffffff)
                break;
            members.push_back({archive.disk_path, collapse_slashes(name), 0, long(size), priority});
            continue;
        }
        if (std::strcmp(line, "-\n") == 0)
            ok = true;
        break;
    }
    std::fclose(f);
    if (!ok)
        return;
    long offset = header_length;
    for (IndexRecord& m : members) {
        m.offset = offset;
        offset += m.size;
        out->push_back(m);
    }
}

bool record_less(const IndexRecord& a, const IndexRecord& b)
{
    int c = a.name.compare(b.name);
    if (c != 0)
        return c < 0;
    return a.priority < b.priority;
}

void build_index()
{
    if (paths.indexed)
        return;
    paths.indexed = true;
    build_folders();
    std::vector<IndexRecord>& index = paths.index;
    for (size_t i = 0; i < paths.folders.size(); i++)
        walk(paths.folders[i], "", int(i), &index);
    std::sort(index.begin(), index.end(), record_less);
    int next_priority = int(paths.folders.size()) + 1;
    std::vector<IndexRecord> members;
    for (const IndexRecord& r : index) {
        if (r.name.size() > 4 && r.name.compare(r.name.size() - 4, 4, ".saf") == 0)
            read_archive(r, next_priority++, &members);
    }
    index.insert(index.end(), members.begin(), members.end());
    std::stable_sort(index.begin(), index.end(), record_less);
    for (const IndexRecord& r : index)
        if (paths.names.empty() || paths.names.back() != r.name)
            paths.names.push_back(r.name);
}

bool equal_ignoring_case(const std::string& a, const char* b, size_t blen)
{
    if (a.size() != blen)
        return false;
    for (size_t i = 0; i < blen; i++)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i]))
            return false;
    return true;
}

}  // namespace

const char* search_folder(int n)
{
    build_folders();
    if (n < 0 || size_t(n) >= paths.folders.size())
        return nullptr;
    return paths.folders[size_t(n)].c_str();
}

const char* user_folder()
{
    build_folders();
    return paths.folders.empty() ? "./" : paths.folders[0].c_str();
}

const std::vector<std::string>& data_file_names()
{
    build_index();
    return paths.names;
}

void data_paths_reset()
{
    paths = DataPaths();
}

Stream* stream_open_indexed(const char* name)
{
    build_index();
    size_t len = std::strlen(name);
    std::string gz = std::string(name) + ".gz";
    for (const IndexRecord& r : paths.index) {
        bool plain = equal_ignoring_case(r.name, name, len);
        bool compressed = !plain && equal_ignoring_case(r.name, gz.c_str(), gz.size());
        if (!plain && !compressed)
            continue;
        FILE* f = std::fopen(r.disk_path.c_str(), "rb");
        if (!f)
            return nullptr;
        if (std::fseek(f, r.offset, SEEK_SET) != 0) {
            std::fclose(f);
            return nullptr;
        }
        Stream* s = new Stream;
        s->file = f;
        s->base = r.offset;
        s->limit = r.size;
        if (compressed && !stream_begin_compressed(s, r.size)) {
            stream_close(s);
            return nullptr;
        }
        return s;
    }
    return nullptr;
}

static std::string user_path(const char* name)
{
    if (name[0] == '@')
        return std::string(user_folder()) + (name + 1);
    return name;
}

bool file_rename(const char* old_name, const char* new_name)
{
    return std::rename(user_path(old_name).c_str(), user_path(new_name).c_str()) == 0;
}

static void make_user_folder()
{
    std::string p = user_folder();
    for (size_t i = 1; i < p.size(); i++)
        if (p[i] == '/')
            mkdir(p.substr(0, i).c_str(), 0755);
}

bool open_user_folder()
{
    make_user_folder();
    std::string p = user_folder();
    if (p.size() > 1 && p.back() == '/')
        p.pop_back();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("xdg-open", "xdg-open", p.c_str(), (char*)nullptr);
        _exit(127);
    }
    return pid > 0;
}
