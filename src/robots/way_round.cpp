#include "robots/way_round.h"

#include <algorithm>
#include <cmath>
#include <queue>

namespace {

constexpr double BUCKET = 16;

// The discs near a box, each once (every disc sits in its centre's bucket;
// the box is widened by the largest radius).
template <typename F>
void discs_near(const WayMap* m, double x0, double z0, double x1, double z1, double widen, F&& visit)
{
    if (m->discs.empty())
        return;
    auto col = [&](double x) { return std::clamp(int(std::floor((x - m->origin_x) / BUCKET)), 0, m->columns - 1); };
    auto row = [&](double z) { return std::clamp(int(std::floor((z - m->origin_z) / BUCKET)), 0, m->rows - 1); };
    int c0 = col(x0 - widen), c1 = col(x1 + widen), r0 = row(z0 - widen), r1 = row(z1 + widen);
    for (int r = r0; r <= r1; r++)
        for (int c = c0; c <= c1; c++)
            for (int i : m->buckets[size_t(r * m->columns + c)])
                visit(m->discs[size_t(i)]);
}

// Distance from (px, pz) to the segment a-b, seen from above; *along
// gets how far from a the nearest point of the segment lies.
double segment_distance(double px, double pz, Vec3 a, Vec3 b, double* along)
{
    double dx = b.x - a.x, dz = b.z - a.z;
    double l2 = dx * dx + dz * dz;
    double t = l2 > 0 ? std::clamp(((px - a.x) * dx + (pz - a.z) * dz) / l2, 0.0, 1.0) : 0;
    double ex = a.x + t * dx - px, ez = a.z + t * dz - pz;
    *along = t * std::sqrt(l2);
    return std::sqrt(ex * ex + ez * ez);
}

// How far a point lies from the nearest disc's edge (large when none is near).
double free_distance(const WayMap* m, Vec3 p, double widen)
{
    double best = 1e9;
    discs_near(m, p.x, p.z, p.x, p.z, widen, [&](const WayDisc& d) {
        best = std::min(best, std::hypot(p.x - d.x, p.z - d.z) - d.r);
    });
    return best;
}

// Whether riding straight from a to b keeps clear of every disc, by
// `near` at a and growing a foot for every foot ridden up to `clearance`:
// a bike backed out of a tangle is allowed its own closeness where it
// stands, but a leg grazing a corner 10 ft on at that closeness is ridden
// into the corner, for no bike holds a straight line to a few inches.
bool way_clear_from(const WayMap* m, Vec3 a, Vec3 b, double near, double clearance)
{
    bool blocked = false;
    discs_near(m, std::min(a.x, b.x), std::min(a.z, b.z), std::max(a.x, b.x), std::max(a.z, b.z),
               m->largest_radius + clearance, [&](const WayDisc& d) {
                   double along;
                   if (!blocked && segment_distance(d.x, d.z, a, b, &along) < d.r + std::min(clearance, near + along))
                       blocked = true;
               });
    return !blocked;
}

}  // namespace

void way_map_build(WayMap* m, std::vector<WayDisc> discs)
{
    *m = WayMap();
    if (discs.empty())
        return;
    double x0 = discs[0].x, x1 = x0, z0 = discs[0].z, z1 = z0;
    for (const WayDisc& d : discs) {
        x0 = std::min(x0, double(d.x)), x1 = std::max(x1, double(d.x));
        z0 = std::min(z0, double(d.z)), z1 = std::max(z1, double(d.z));
    }
    m->origin_x = x0;
    m->origin_z = z0;
    m->columns = int((x1 - x0) / BUCKET) + 1;
    m->rows = int((z1 - z0) / BUCKET) + 1;
    m->buckets.assign(size_t(m->columns * m->rows), {});
    m->discs = std::move(discs);
    for (const WayDisc& d : m->discs)
        m->largest_radius = std::max(m->largest_radius, double(d.r));
    for (size_t i = 0; i < m->discs.size(); i++) {
        int c = std::min(int((m->discs[i].x - x0) / BUCKET), m->columns - 1);
        int r = std::min(int((m->discs[i].z - z0) / BUCKET), m->rows - 1);
        m->buckets[size_t(r * m->columns + c)].push_back(int(i));
    }
}

bool way_blocked(const WayMap* m, Vec3 a, Vec3 b, double clearance)
{
    return !way_clear_from(m, a, b, clearance, clearance);
}

bool way_round(const WayMap* m, Vec3 from, Vec3 to, Vec3* waypoint)
{
    const int n = int(2 * WAY_REACH / WAY_CELL);
    double cx = (from.x + to.x) / 2, cz = (from.z + to.z) / 2;
    if (m->discs.empty() || std::hypot(to.x - from.x, to.z - from.z) > 2 * (WAY_REACH - 20))
        return false;
    double ox = cx - WAY_REACH, oz = cz - WAY_REACH;
    auto centre = [&](int i) { return Vec3{ox + (i % n + 0.5) * WAY_CELL, from.y, oz + (i / n + 0.5) * WAY_CELL}; };
    auto cell_of = [&](Vec3 p) {
        int x = std::clamp(int((p.x - ox) / WAY_CELL), 0, n - 1), z = std::clamp(int((p.z - oz) / WAY_CELL), 0, n - 1);
        return z * n + x;
    };

    // How deep each cell lies inside an object's clearance (0 when clear).
    std::vector<float> depth(size_t(n * n), 0.0f);
    double widen = m->largest_radius + WAY_CLEARANCE;
    discs_near(m, ox, oz, ox + 2 * WAY_REACH, oz + 2 * WAY_REACH, widen, [&](const WayDisc& d) {
        double reach = d.r + WAY_CLEARANCE;
        int x0 = std::max(0, int((d.x - reach - ox) / WAY_CELL)), x1 = std::min(n - 1, int((d.x + reach - ox) / WAY_CELL));
        int z0 = std::max(0, int((d.z - reach - oz) / WAY_CELL)), z1 = std::min(n - 1, int((d.z + reach - oz) / WAY_CELL));
        for (int z = z0; z <= z1; z++)
            for (int x = x0; x <= x1; x++) {
                Vec3 p = centre(z * n + x);
                float in = float(reach - std::hypot(p.x - d.x, p.z - d.z));
                float& c = depth[size_t(z * n + x)];
                c = std::max(c, in);
            }
    });

    // The cheapest way on the grid. A cell inside a clearance may be
    // entered only from one deeper inside: the bike backs out from where it
    // stands but never passes closer to an object than that.
    int start = cell_of(from), goal = cell_of(to);
    std::vector<float> cost(size_t(n * n), 1e30f);
    std::vector<int> parent(size_t(n * n), -1);
    using Item = std::pair<float, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> open;
    cost[size_t(start)] = 0;
    open.push({0.0f, start});
    auto enterable = [&](int from_cell, int to_cell) {
        return depth[size_t(to_cell)] <= 0 || depth[size_t(to_cell)] < depth[size_t(from_cell)] || to_cell == goal;
    };
    bool found = false;
    while (!open.empty()) {
        auto [c, i] = open.top();
        open.pop();
        if (c > cost[size_t(i)])
            continue;
        if (i == goal) {
            found = true;
            break;
        }
        int x = i % n, z = i / n;
        for (int dz = -1; dz <= 1; dz++)
            for (int dx = -1; dx <= 1; dx++) {
                if ((dx == 0 && dz == 0) || x + dx < 0 || x + dx >= n || z + dz < 0 || z + dz >= n)
                    continue;
                int j = (z + dz) * n + x + dx;
                if (!enterable(i, j))
                    continue;
                // No cutting a corner between two cells that cannot be entered.
                if (dx != 0 && dz != 0 && (!enterable(i, z * n + x + dx) || !enterable(i, (z + dz) * n + x)))
                    continue;
                float step = float((dx != 0 && dz != 0 ? 1.41421356 : 1.0) * WAY_CELL);
                if (c + step < cost[size_t(j)]) {
                    cost[size_t(j)] = c + step;
                    parent[size_t(j)] = i;
                    open.push({c + step, j});
                }
            }
    }
    if (!found)
        return false;
    std::vector<int> path;
    for (int i = goal; i != -1; i = parent[size_t(i)])
        path.push_back(i);
    std::reverse(path.begin(), path.end());

    // The furthest cell along the way, at most 40 ft on, in straight sight:
    // kept as clear of objects as the bike already is where it starts (or
    // WAY_CLEARANCE), and WAY_CLEARANCE once a couple of feet on.
    double sight = std::min(WAY_CLEARANCE, free_distance(m, from, widen) - 0.05);
    Vec3 best = path.size() > 1 ? centre(path[1]) : to;
    double along = 0;
    for (size_t k = 1; k < path.size(); k++) {
        Vec3 p = k + 1 == path.size() ? to : centre(path[k]);
        Vec3 q = centre(path[k - 1]);
        along += std::hypot(p.x - q.x, p.z - q.z);
        if (along > 40)
            break;
        if (way_clear_from(m, from, p, std::max(sight, 0.0), WAY_CLEARANCE))
            best = p;
    }
    best.y = from.y;
    *waypoint = best;
    return true;
}
