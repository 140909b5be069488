// The loaded track and the catalogue of tracks found in the data folders.
// A track is a folder holding at least "terrain.hf" (or "terrain.hf.gz");
// loading reads its files in a fixed order and fingerprints the ones that
// decide how a race runs, so that two machines can tell whether they hold
// the same track.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "track/scenery.h"
#include "track/terrain.h"

// Roost particles take the first billboard slots of every track.
constexpr int TRACK_PARTICLE_SLOTS = 2000;

// Every track found at start-up, sorted by title; names[i] and titles[i]
// describe one track.
struct TrackCatalogue {
    std::vector<std::string> names;    // folder names ("oakbasin")
    std::vector<std::string> titles;   // first line of "desc", else the name
};
extern TrackCatalogue track_catalogue;

struct Track {
    std::string name;                  // folder of the loaded track; empty = none
    std::string title;
    bool loaded = false;
    HeightField hf;
    // The "timing_gates" text as read; the race code parses it (hook below)
    // and keeps its gates here.
    std::string timing_gates_text;
    int timing_gate_count = 0;
    void* timing = nullptr;            // race-owned gate records
    std::vector<Billboard> billboards;
    std::vector<int> billboard_draw_index;   // two per billboard, renderer's sort space
    std::vector<Statue> statues;
    std::vector<int> statue_buckets[STATUE_BUCKETS][STATUE_BUCKETS];
    std::vector<Flagger> flaggers;
    StartAnimation start_animation;
    LapBoard lap_board;
    Lighting lighting;
    int first_track_billboard = 0;     // after the particles and flaggers
    int first_track_statue = 0;        // after the starting gates
    int map_texture = 0;
    uint8_t hash[20] = {0};
};
// The one track of the program.
extern Track track_current;

// Work other subsystems do while a track loads or goes away. Each may stay
// null: headless tools and tests load tracks without them.
struct TrackHooks {
    // Parses the timing gates (and creates the starting gate statues);
    // returns the number of timing gates. Without it the gates are counted.
    int (*timing_gates_parse)(Track* t, const std::string& text) = nullptr;
    void (*timing_gates_free)(Track* t) = nullptr;
    void (*loading_screen)(const char* text) = nullptr;   // when a window exists
    void (*editor_load)(Track* t) = nullptr;              // editor mode only
    void (*editor_free)(Track* t) = nullptr;
    void (*caches_new_generation)() = nullptr;            // textures and models
};
extern TrackHooks track_hooks;

// Finds every track in the data search path and fills c, sorted by title.
// False when there is none: the caller prints "No tracks found" to standard
// error and exits with status 1. At debug level 1 each entry is logged.
bool track_catalogue_build(TrackCatalogue* c = &track_catalogue);
// Index of a folder name in the catalogue, or -1.
int track_find(const char* name, const TrackCatalogue* c = &track_catalogue);
// The track the menu's choice starts at: the one named by "--track" (null
// when not given), else "oakbasin"; a name not in the catalogue leaves the
// default choice, 0.
int track_start_choice(const char* wanted, const TrackCatalogue* c = &track_catalogue);
// Orders names and titles together by case-folded title (exchange sort:
// equal titles keep their order).
void track_catalogue_sort(TrackCatalogue* c);

// Loads the track named t->name (set by the caller; t must be empty, see
// track_free). On failure the name and title are cleared and false is
// returned after the reason was reported.
bool track_load(Track* t);
// Releases everything the track holds; safe when nothing is loaded.
void track_free(Track* t);
// Makes the named track the loaded one for a session. Offline, a track of
// the same name stays as it is (ground changes included); online it stays
// only when its ground was never dug, and is frozen afterwards.
bool track_use(Track* t, const char* name, bool online);

// Counts the checkpoint lines of a "timing_gates" text (used when the race
// code has not installed its parser).
int track_count_timing_gates(const std::string& text);
// Hex form of a track hash (40 characters).
std::string track_hash_hex(const uint8_t hash[20]);
