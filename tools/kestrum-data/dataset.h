// The data set under construction: every file the game will read, by its
// name relative to the data folder, with its bytes. Builders add files;
// main.cpp writes them out (plain, or packed into archives).
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct DataSet {
    // name (lower case, "/" separators) -> bytes; a map keeps output order
    // deterministic.
    std::map<std::string, std::string> files;
    // Names that must stay plain files in the data folder rather than go
    // into an archive (for example files the game opens by plain path).
    std::map<std::string, bool> keep_plain;
    // The committed source data that is copied rather than made (trained
    // racing lines); "" when the builder was not given it.
    std::string source;
};

// Adds or replaces one file.
void dataset_add(DataSet& ds, const std::string& name, const std::string& bytes);

// A builder adds one kind of content (tracks, textures, models, ...).
// Returns false with a message on standard error when it fails.
using DataBuilder = bool (*)(DataSet& ds);

// Builders register themselves from their own source files; they run in
// order of their rank (lower first), then by name.
struct DataBuilderRegistration {
    DataBuilderRegistration(const char* name, int rank, DataBuilder fn);
};

#define KESTRUM_DATA_BUILDER(name, rank, fn) \
    static DataBuilderRegistration data_builder_registration_##fn(name, rank, fn)

// The registered builders, sorted by rank then name.
struct DataBuilderEntry {
    const char* name;
    int rank;
    DataBuilder fn;
};
std::vector<DataBuilderEntry>& data_builders();

// Deterministic text formatting helpers for builders (fixed "C" locale
// formatting, so the same numbers always give the same bytes).
std::string data_printf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
