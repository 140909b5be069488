// The catalogue of tracks: every folder of the data search path that holds
// a height field, with the title from its "desc" file.
#include <cctype>
#include <string>

#include "files/stream.h"
#include "platform/log.h"
#include "track/track.h"

TrackCatalogue track_catalogue;

namespace {

bool ends_with(const std::string& s, const char* tail)
{
    size_t n = std::char_traits<char>::length(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// The first line of the folder's "desc", or the folder name without one.
std::string title_of(const std::string& folder)
{
    std::string path = "@" + folder + "/desc";
    Stream* s = stream_open(path.c_str(), "rb");
    if (!s)
        return folder;
    std::string title;
    for (int c = stream_getc(s); c > 0 && c != '\r' && c != '\n'; c = stream_getc(s))
        title.push_back(char(c));
    stream_close(s);
    return title;
}

// Character by character after lower-casing; a shorter prefix is smaller.
bool title_less(const std::string& a, const std::string& b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t k = 0; k < n; k++) {
        int ca = std::tolower(static_cast<unsigned char>(a[k]));
        int cb = std::tolower(static_cast<unsigned char>(b[k]));
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

}  // namespace

void track_catalogue_sort(TrackCatalogue* c)
{
    size_t n = c->titles.size();
    for (size_t i = 0; i < n; i++)
        for (size_t j = i + 1; j < n; j++)
            if (title_less(c->titles[j], c->titles[i])) {
                std::swap(c->titles[i], c->titles[j]);
                std::swap(c->names[i], c->names[j]);
            }
}

bool track_catalogue_build(TrackCatalogue* c)
{
    c->names.clear();
    c->titles.clear();
    for (const std::string& file : data_file_names()) {
        if (!ends_with(file, "/terrain.hf") && !ends_with(file, "/terrain.hf.gz"))
            continue;
        std::string folder = file.substr(0, file.rfind('/'));
        // A folder with both forms is one track (the names are sorted, so
        // its two entries meet).
        if (!c->names.empty() && c->names.back() == folder)
            continue;
        bool seen = false;
        for (const std::string& n : c->names)
            seen = seen || n == folder;
        if (!seen)
            c->names.push_back(folder);
    }
    if (c->names.empty())
        return false;
    for (const std::string& folder : c->names)
        c->titles.push_back(title_of(folder));
    track_catalogue_sort(c);
    if (terrain_settings.debug_level >= 1)
        for (size_t i = 0; i < c->names.size(); i++)
            log_printf("%s -> %s\n", c->names[i].c_str(), c->titles[i].c_str());
    return true;
}

int track_find(const char* name, const TrackCatalogue* c)
{
    if (!name)
        return -1;
    for (size_t i = 0; i < c->names.size(); i++)
        if (c->names[i] == name)
            return int(i);
    return -1;
}

int track_start_choice(const char* wanted, const TrackCatalogue* c)
{
    int index = track_find(wanted ? wanted : "oakbasin", c);
    return index >= 0 ? index : 0;
}
