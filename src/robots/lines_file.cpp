// The "ct03" line files: reading with normalisation, and safe writing.
#include <cmath>
#include <string>

#include "files/stream.h"
#include "platform/log.h"
#include "robots/lines.h"

namespace {

// No segment of a lap holds anywhere near this many quarter-second points
// or saved lines; larger counts mean a damaged file, never an allocation.
constexpr int MAX_FILE_POINTS = 1 << 16;
constexpr int MAX_FILE_LINES = 1 << 16;
constexpr int STAT_LIMIT = 100000000;
constexpr int COUNT_LIMIT = 65535;

bool read_points(Stream* s, int count, std::vector<LinePoint>* out)
{
    out->clear();
    out->reserve(size_t(count));
    for (int i = 0; i < count; i++) {
        LinePoint p;
        if (stream_scanf(s, " [ %f %f %f ] %f %f ", &p.x, &p.y, &p.z, &p.speed, &p.lean) != 5)
            return false;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z) || !std::isfinite(p.speed) ||
            !std::isfinite(p.lean))
            return false;
        out->push_back(p);
    }
    return true;
}

}  // namespace

const char* lines_file_suffix(int skill)
{
    switch (skill) {
    case 0: return "lines_novice";
    case 1: return "lines_amateur";
    case 2: return "lines_expert";
    default: return "";
    }
}

void line_normalise(RacingLine* l)
{
    for (int round = 0; round < 16; round++) {
        if (!(l->time_sum2 > STAT_LIMIT || l->tests > COUNT_LIMIT || l->failures > COUNT_LIMIT))
            break;
        int h = l->tests / 2;
        if (h > 0) {
            l->time_sum2 = h * (l->time_sum2 / l->tests);
            l->time_sum = h * (l->time_sum / l->tests);
            l->tests = h;
        }
        l->failures /= 2;
    }
    // Negative values only come from damaged files; they would turn averages
    // and fail shares upside down.
    l->time_sum = std::max(0, std::min(l->time_sum, STAT_LIMIT));
    l->time_sum2 = std::max(0, std::min(l->time_sum2, STAT_LIMIT));
    l->tests = std::max(0, std::min(l->tests, COUNT_LIMIT));
    l->failures = std::max(0, std::min(l->failures, COUNT_LIMIT));
}

bool lines_read(LineTable* t, Stream* s, int debug_level)
{
    int rows = 0;
    if (!s || stream_scanf(s, "ct03 %d ", &rows) != 1 || rows != lines_row_count(t) || rows <= 0)
        return false;
    std::vector<LinePoint> points;
    for (int row = 0; row < rows; row++) {
        int n = 0;
        if (stream_scanf(s, " %d ", &n) != 1 || n < 0 || n > MAX_FILE_LINES) {
            log_printf("line file: bad line count in row %d\n", row);
            return false;
        }
        if (debug_level >= 1)
            log_printf("%d: %d\n", row, n);
        for (int k = 0; k < n; k++) {
            int v[9];
            if (stream_scanf(s, " %d %d %d %d %d %d %d %d %d ", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                             &v[7], &v[8]) != 9 ||
                v[0] < 0 || v[0] > MAX_FILE_POINTS) {
                log_printf("line file: bad line %d in row %d\n", k, row);
                return false;
            }
            bool complete = read_points(s, v[0], &points);
            if (k >= LINE_SLOTS) {
                if (!complete)
                    return false;
                continue;  // rows keep their first 45 lines
            }
            RacingLine* l = lines_slot(t, row, k);
            line_reset(l);
            if (!complete) {
                log_printf("line file: short point list in row %d\n", row);
                return false;
            }
            l->points = points;
            l->recorded_time = v[1];
            l->recorded_time2 = v[2];
            l->tests = v[3];
            l->best_time = v[4];
            l->best_time2 = v[5];
            l->time_sum = v[6];
            l->time_sum2 = v[7];
            l->failures = v[8];
            l->id = lines_new_id(t);
            line_normalise(l);
            if (l->points.empty())
                line_reset(l);  // an empty slot carries no statistics
        }
    }
    return true;
}

bool lines_write(const LineTable* t, Stream* s)
{
    int rows = lines_row_count(t);
    stream_printf(s, "ct03 %d\n", rows);
    for (int row = 0; row < rows; row++) {
        stream_printf(s, "%d\n", lines_used_in_row(t, row));
        for (int k = 0; k < LINE_SLOTS; k++) {
            const RacingLine* l = lines_slot(t, row, k);
            if (l->points.empty())
                continue;
            stream_printf(s, "%d %d %d %d %d %d %d %d %d\n", int(l->points.size()), l->recorded_time,
                          l->recorded_time2, l->tests, l->best_time, l->best_time2, l->time_sum, l->time_sum2,
                          l->failures);
            for (const LinePoint& p : l->points)
                stream_printf(s, "[%f %f %f] %f %f\n", double(p.x), double(p.y), double(p.z), double(p.speed),
                              double(p.lean));
        }
    }
    return stream_ok(s);
}

bool lines_load(LineTable* t, const char* track, int skill, int debug_level)
{
    lines_clear(t);
    const char* suffix = lines_file_suffix(skill);
    if (!*suffix || !track || lines_row_count(t) == 0)
        return false;
    std::string name = std::string("@") + track + "/" + suffix;
    Stream* s = stream_open(name.c_str(), "rb");
    if (!s)
        return false;
    bool ok = lines_read(t, s, debug_level);
    stream_close(s);
    return ok;
}

bool lines_save(const LineTable* t, const char* track, int skill)
{
    const char* suffix = lines_file_suffix(skill);
    if (!*suffix || !track || lines_row_count(t) == 0)
        return false;
    std::string name = std::string("@") + track + "/" + suffix;
    std::string temp = name + ".new";
    Stream* s = stream_open(temp.c_str(), "wb");
    if (!s)
        return false;
    bool ok = lines_write(t, s);
    ok = stream_flush(s) == 0 && ok;
    ok = stream_ok(s) && ok;
    stream_close(s);
    return ok && file_rename(temp.c_str(), name.c_str());
}

void lines_session_switch(LineTable* t, const char* track, int* loaded_skill, int skill, bool learning,
                          int debug_level)
{
    lines_session_end(t, track, *loaded_skill, learning);
    lines_load(t, track, skill, debug_level);
    *loaded_skill = skill;
    lines_analyze(t, debug_level);
}

void lines_session_end(const LineTable* t, const char* track, int loaded_skill, bool learning)
{
    // A file that cannot be written is skipped: the lines stay in memory.
    if (learning && loaded_skill >= 0)
        lines_save(t, track, loaded_skill);
}
