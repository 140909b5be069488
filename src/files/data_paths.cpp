// Search folders, the file index over them and their ".saf" archives, and
// opening "@" names through that index.
#include "files/archive.h"
#include "files/stream_internal.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <pwd.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
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

// $XDG_DATA_HOME/kestrum/, else ~/.local/share/kestrum/; "" when there is
// no home folder at all.
std::string find_user_folder()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')  // relative values are to be ignored
        return normalise_folder(std::string(xdg) + "/kestrum/");
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || !*home)
        return "";
    return normalise_folder(std::string(home) + "/.local/share/kestrum/");
}

void build_folders()
{
    if (paths.built)
        return;
    paths.built = true;
    std::string user = find_user_folder();
    if (!user.empty())
        paths.folders.push_back(user);
    // An empty RQ_HOME would make the file system root the data folder.
    const char* rq = std::getenv("RQ_HOME");
    if (rq && *rq)
        paths.folders.push_back(normalise_folder(std::string(rq) + "/"));
    else
        paths.folders.push_back(normalise_folder(executable_folder()));
}

// Adds every regular file below root/rel. Folders reached twice (through
// links) are entered once, so a link loop cannot recurse forever.
void walk(const std::string& root, const std::string& rel, int priority,
          std::set<std::pair<dev_t, ino_t>>* seen, std::vector<IndexRecord>* out)
{
    DIR* d = opendir((root + rel).c_str());
    if (!d)
        return;
    std::vector<std::string> folders;
    while (dirent* e = readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, ".."))
            continue;
        std::string name = rel + e->d_name;
        std::string full = root + name;
        struct stat st;
        if (stat(full.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (seen->insert({st.st_dev, st.st_ino}).second)
                folders.push_back(name + "/");
        } else if (S_ISREG(st.st_mode)) {
            out->push_back({full, name, 0, long(st.st_size), priority});
        }
    }
    closedir(d);
    for (const std::string& f : folders)
        walk(root, f, priority, seen, out);
}

// Adds the members of one archive; an archive with a bad header adds none.
void read_archive(const IndexRecord& archive, int priority, std::vector<IndexRecord>* out)
{
    FILE* f = std::fopen(archive.disk_path.c_str(), "rb");
    if (!f)
        return;
    Stream* s = stream_from_file(f, 0, archive.size, false);
    std::vector<SafMember> members;
    if (saf_read_header(s, archive.size, &members))
        for (const SafMember& m : members)
            out->push_back({archive.disk_path, m.name, long(m.offset), long(m.size), priority});
    stream_close(s);
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
    for (size_t i = 0; i < paths.folders.size(); i++) {
        std::set<std::pair<dev_t, ino_t>> seen;
        struct stat st;
        if (stat(paths.folders[i].c_str(), &st) == 0)
            seen.insert({st.st_dev, st.st_ino});
        walk(paths.folders[i], "", int(i), &seen, &index);
    }
    std::sort(index.begin(), index.end(), record_less);
    int next_priority = int(paths.folders.size()) + 1;
    std::vector<IndexRecord> members;
    for (const IndexRecord& r : index) {
        if (r.name.size() > 4 && r.name.compare(r.name.size() - 4, 4, ".saf") == 0)
            read_archive(r, next_priority++, &members);
    }
    index.insert(index.end(), members.begin(), members.end());
    // Stable: one archive may list a name twice; its first entry wins.
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

std::string user_path(const char* name)
{
    if (name[0] == '@')
        return std::string(user_folder()) + (name + 1);
    return name;
}

void make_user_folder()
{
    std::string p = user_folder();
    for (size_t i = 1; i < p.size(); i++)
        if (p[i] == '/')
            mkdir(p.substr(0, i).c_str(), 0755);
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
    return paths.folders[0].c_str();
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
            continue;  // gone since the index was built; a later copy may do
        if (std::fseek(f, r.offset, SEEK_SET) != 0) {
            std::fclose(f);
            continue;
        }
        return stream_from_file(f, r.offset, r.size, compressed);
    }
    return nullptr;
}

bool file_rename(const char* old_name, const char* new_name)
{
    if (!old_name || !new_name || !*old_name || !*new_name)
        return false;
    return std::rename(user_path(old_name).c_str(), user_path(new_name).c_str()) == 0;
}

bool open_user_folder()
{
    make_user_folder();
    std::string p = user_folder();
    if (p.size() > 1 && p.back() == '/')
        p.pop_back();
    // The browser outlives us: a middle process exits at once and is
    // reaped here, so the opener never becomes our zombie.
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        if (fork() == 0) {
            execlp("xdg-open", "xdg-open", p.c_str(), (char*)nullptr);
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool user_folder_create()
{
    make_user_folder();
    struct stat st;
    return stat(user_folder(), &st) == 0 && S_ISDIR(st.st_mode);
}
