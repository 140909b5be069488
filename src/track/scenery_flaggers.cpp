// The "flaggers" file: the start animation, the lap board, then any number
// of flag marshals. A record that does not parse ends the reading; what came
// before stays.
#include <cmath>

#include "files/stream.h"
#include "track/track.h"

namespace {

bool read_names(Stream* s, std::string* names, int count)
{
    for (int k = 0; k < count; k++) {
        char name[1024];
        if (stream_scanf(s, " %1023s ", name) != 1)
            return false;
        names[k] = name;
    }
    return true;
}

int load(const std::string& name) { return surface_load_texture(name.c_str()); }

}  // namespace

void scenery_read_flaggers(Track* t, Stream* s)
{
    if (!s)
        return;
    StartAnimation& sa = t->start_animation;
    float height, aspect, duration;
    std::string names[5];
    if (stream_scanf(s, " [ %f %f %f ] [ %f %f %f ] %f %f %f ", &sa.a[0], &sa.a[1], &sa.a[2], &sa.b[0],
                     &sa.b[1], &sa.b[2], &height, &aspect, &duration) != 9 ||
        !scenery_finite(sa.a, 3) || !scenery_finite(sa.b, 3) || !std::isfinite(height) ||
        !std::isfinite(aspect) || !std::isfinite(duration) || !read_names(s, names, 5)) {
        sa = StartAnimation();
        return;
    }
    sa.duration = duration;
    for (int k = 0; k < 5; k++) {
        sa.texture_names[k] = names[k];
        sa.textures[k] = load(names[k]);
    }
    sa.billboard = billboard_add(t, sa.a[0], sa.a[1], sa.a[2], height, aspect, names[0].c_str());

    float v[5];
    float &x = v[0], &offset = v[1], &z = v[2];
    if (stream_scanf(s, " [ %f %f %f ] %f %f ", &x, &offset, &z, &v[3], &v[4]) != 5 || !scenery_finite(v, 5) ||
        !read_names(s, names, 4))
        return;
    height = v[3];
    aspect = v[4];
    LapBoard& lb = t->lap_board;
    for (int k = 0; k < 4; k++) {
        lb.texture_names[k] = names[k];
        lb.textures[k] = load(names[k]);
    }
    lb.billboard = billboard_add(t, x, offset, z, height, aspect, names[0].c_str());

    for (;;) {
        int g[4];
        if (stream_scanf(s, " [ %f %f %f ] %f %f %d %d %d %d", &x, &offset, &z, &v[3], &v[4], &g[0], &g[1],
                         &g[2], &g[3]) != 9 ||
            !scenery_finite(v, 5) || !read_names(s, names, 2))
            return;
        height = v[3];
        aspect = v[4];
        Flagger f;
        for (int k = 0; k < 4; k++)
            f.gates[k] = clampi(g[k], -1, t->timing_gate_count - 1);
        f.normal_name = names[0];
        f.alert_name = names[1];
        f.normal_texture = load(names[0]);
        f.alert_texture = load(names[1]);
        f.billboard = billboard_add(t, x, offset, z, height, aspect, names[0].c_str());
        t->flaggers.push_back(f);
    }
}
