// A motocross course described once, as data: a closed centre line with its
// width and the features built along it. The ground builder derives the
// height field, tilemap and shading from it; timing gates, starting gates,
// scenery and racing lines are derived from the same description.
//
// Header-only so that the tests can walk the very centre line the builder
// used.
#pragma once
#include <cmath>
#include <string>
#include <vector>

// One control point of the centre line (feet, x east, z south) and the
// course width there.
struct CoursePoint {
    double x, z, width;
};

enum class FeatureKind {
    Tabletop,   // face, flat table, landing
    Double,     // kicker face, gap, landing hill
    StepUp,     // kicker onto a higher plateau, then down
    Whoops,     // a row of short rounded bumps
    Rhythm,     // a row of rollers, each about the size of a small double
    Berm,       // the outside of a turn banked up
    Ruts,       // grooves worn along the line (sand corners)
    Water,      // a shallow pool across the course
};

// A feature starts `offset` feet after control point `after` and runs
// `length` feet along the centre line. Meaning of the sizes by kind:
//   Tabletop: height, face (kicker length), top (table length), landing.
//   Double:   height, face, gap (lip to landing crest), landing.
//   StepUp:   height (kicker), height2 (plateau), face, top, landing.
//   Whoops, Rhythm: height, count bumps over length.
//   Berm:     height = rise at the outside edge.
//   Ruts:     height = depth, count grooves across the width.
//   Water:    height = depth.
struct CourseFeature {
    FeatureKind kind;
    int after;
    double offset;
    double length;
    double height;
    double face = 0, top = 0, gap = 0, landing = 0, height2 = 0;
    int count = 0;
};

// Ground style around the course.
enum class CourseStyle { Valley, Dunes, Stadium };

// Control point 0 starts the start straight: arc length 0 is where the
// starting gates stand, and riders set off towards point 1.
struct Course {
    std::string name;      // track folder
    std::string title;     // first line of desc
    int order;             // grid order n
    double spacing;        // grid spacing L (ft)
    CourseStyle style;
    unsigned seed;
    double sun[3];         // direction towards the sun (normalised on use)
    double sun_colour[3];
    double ambient[3];
    double max_slope;      // steepest grade a rider meets along the course
    std::vector<CoursePoint> points;
    std::vector<CourseFeature> features;
};

// The centre line sampled at even steps: position, unit tangent, width,
// arc length from control point 0 and signed curvature (1/ft, positive when
// the course turns towards +x-from-z, i.e. to the right of travel).
struct CourseSample {
    double x, z;
    double tx, tz;
    double width;
    double s;
    double curvature;
};

namespace course_detail {

inline double catmull(double p0, double p1, double p2, double p3, double t)
{
    double t2 = t * t, t3 = t2 * t;
    return 0.5 * (2 * p1 + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                  (-p0 + 3 * p1 - 3 * p2 + p3) * t3);
}

}  // namespace course_detail

// The closed centre line as a dense polyline (spline through the control
// points) resampled every `step` feet. `point_s` gets the arc length of each
// control point when not null.
inline std::vector<CourseSample> course_sample(const Course& c, double step,
                                               std::vector<double>* point_s = nullptr)
{
    using course_detail::catmull;
    size_t n = c.points.size();
    std::vector<CourseSample> dense;
    std::vector<double> starts;
    const int sub = 64;
    double s = 0;
    for (size_t k = 0; k < n; k++) {
        const CoursePoint& p0 = c.points[(k + n - 1) % n];
        const CoursePoint& p1 = c.points[k];
        const CoursePoint& p2 = c.points[(k + 1) % n];
        const CoursePoint& p3 = c.points[(k + 2) % n];
        starts.push_back(s);
        for (int i = 0; i < sub; i++) {
            double t = double(i) / sub;
            CourseSample q{};
            q.x = catmull(p0.x, p1.x, p2.x, p3.x, t);
            q.z = catmull(p0.z, p1.z, p2.z, p3.z, t);
            q.width = p1.width + (p2.width - p1.width) * (t * t * (3 - 2 * t));
            if (!dense.empty())
                s += std::hypot(q.x - dense.back().x, q.z - dense.back().z);
            q.s = s;
            dense.push_back(q);
        }
    }
    double total = s + std::hypot(dense.front().x - dense.back().x, dense.front().z - dense.back().z);
    if (point_s)
        *point_s = starts;
    // Even resampling by arc length.
    std::vector<CourseSample> out;
    int count = int(std::floor(total / step));
    double even = total / count;
    size_t at = 0;
    for (int i = 0; i < count; i++) {
        double target = i * even;
        while (at + 1 < dense.size() && dense[at + 1].s <= target)
            at++;
        const CourseSample& a = dense[at];
        const CourseSample& b = dense[(at + 1) % dense.size()];
        double seg = (at + 1 < dense.size() ? b.s : total) - a.s;
        double t = seg > 0 ? (target - a.s) / seg : 0;
        CourseSample q{};
        q.x = a.x + (b.x - a.x) * t;
        q.z = a.z + (b.z - a.z) * t;
        q.width = a.width + (b.width - a.width) * t;
        q.s = target;
        out.push_back(q);
    }
    size_t m = out.size();
    for (size_t i = 0; i < m; i++) {
        const CourseSample& prev = out[(i + m - 1) % m];
        const CourseSample& next = out[(i + 1) % m];
        double dx = next.x - prev.x, dz = next.z - prev.z, l = std::hypot(dx, dz);
        out[i].tx = dx / l;
        out[i].tz = dz / l;
    }
    for (size_t i = 0; i < m; i++) {
        const CourseSample& prev = out[(i + m - 1) % m];
        const CourseSample& next = out[(i + 1) % m];
        // Turning of the tangent per foot; right of travel is (-tz, tx).
        double cross = prev.tx * next.tz - prev.tz * next.tx;
        out[i].curvature = std::asin(std::fmax(-1.0, std::fmin(1.0, cross))) / (2 * even);
    }
    return out;
}

// Length of the closed centre line in feet.
inline double course_length(const Course& c)
{
    std::vector<CourseSample> s = course_sample(c, 1.0);
    return s.size() * (s.size() > 1 ? s[1].s - s[0].s : 0.0);
}

// Arc length where a feature begins.
inline double course_feature_start(const CourseFeature& f, const std::vector<double>& point_s)
{
    return point_s[size_t(f.after) % point_s.size()] + f.offset;
}
