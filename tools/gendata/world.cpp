// world.cpp - the 3200 x 3200 world picture, painted cell for cell from the two
// walk grids. Cells the hero cannot enter become obstacles with volume (houses,
// stone walls, trees, boulders, the volcanic crags around the dark lord's
// arena); cells only the hero may walk become made ground (paving, paths,
// tilled fields, the sandy southern road); the rest is wild grass and earth.
// Every pixel is a pure function of its position, so rows paint in parallel.

#include <algorithm>
#include <thread>

#include "art.h"
#include "world/walk_grids.h"

namespace
{

enum Ground : uint8_t { gGrass, gStreet, gPath, gField, gSand, gAsh };
enum Obstacle : uint8_t { oNone, oHouse, oWall, oForest, oRock, oCrag };

struct Crown {
    float x, y, r;
    uint32_t seed;
};

constexpr int N = gridRows;

struct Cells {
    bool blocked[N][N];
    Ground ground[N][N];
    Obstacle kind[N][N];
    int component[N][N];
    int runRow0[N][N], runRow1[N][N], runCol0[N][N], runCol1[N][N];
    std::vector<Crown> crowns[N][N];
    std::vector<float> roofHeight; // village plan pixels: distance to the roof's edge
    std::vector<int> doorColumn;   // per component: the column of a house's door
};

constexpr int villageW = 32 * 32, villageH = 58 * 32;

// Three quarters. What stands taller than a figure (houses, walls, woods) is
// drawn as seen from the south and above: its plan on the ground is its
// blocked cells stretched footExtent pixels south, because the walk probes
// stop the feet one cell short of a blocked cell (a figure walking north stops
// with its feet at the bottom of the free cell under it). A point of height z over
// plan point (x, py) is drawn at (x, py - z): the south face rises from the
// plan's south edge, where the feet stop, and the top (roof, battlements,
// forest floor) is the plan moved up by the face's height. Whatever rises
// higher than a figure standing in front at the stop line (roofs, wall tops,
// tree crowns) is also written to the overlay the game draws over the figures.
constexpr int footExtent = 38;  // the hero's lowest pixel when a blocked cell stops him
constexpr int houseHeight = 44; // face height, pixels: a figure is at most 41
constexpr int wallHeight = 44;
constexpr int hedgeHeight = 14; // the undergrowth under the trees of a wood
constexpr int crownLift = 42;   // a crown's lowest pixel over its trunk's foot
constexpr int tallestThing = 44;

constexpr int cragHeight = 10; // the dark lord's crags are low, but stand where the feet stop too

bool isTall(Obstacle k)
{
    return k == oHouse || k == oWall || k == oForest;
}

bool onPlan(Obstacle k)
{
    return isTall(k) || k == oCrag;
}

int heightOf(Obstacle k)
{
    return k == oForest ? hedgeHeight : k == oHouse ? houseHeight : k == oCrag ? cragHeight : wallHeight;
}

bool inBossBox(int r, int c)
{
    return r >= 73 && r <= 92 && c >= 69 && c <= 94;
}

// The cell whose plan holds ground point (x, py), or -1: a tall cell's plan
// reaches footExtent pixels past its south edge.
int planRow(const Cells &m, int x, int py)
{
    if (x < 0 || py < 0 || x >= N * 32 || py >= N * 32)
        return -1;
    const int c = x / 32;
    for (int r = py / 32; r >= 0 && py < r * 32 + 32 + footExtent; --r)
        if (onPlan(m.kind[r][c]))
            return r;
    return -1;
}

Obstacle planKind(const Cells &m, int x, int py)
{
    const int r = planRow(m, x, py);
    return r < 0 ? oNone : m.kind[r][x / 32];
}

// ---------------------------------------------------------------- layout

void classify(Cells &m)
{
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c)
            m.blocked[r][c] = heroGrid[r][c] != '0';
    auto blocked = [&](int r, int c) { return r >= 0 && c >= 0 && r < N && c < N && m.blocked[r][c]; };
    // Runs of blocked cells through every blocked cell.
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c) {
            if (!m.blocked[r][c])
                continue;
            int a = c, b = c, u = r, d = r;
            while (blocked(r, a - 1))
                --a;
            while (blocked(r, b + 1))
                ++b;
            while (blocked(u - 1, c))
                --u;
            while (blocked(d + 1, c))
                ++d;
            m.runCol0[r][c] = a, m.runCol1[r][c] = b, m.runRow0[r][c] = u, m.runRow1[r][c] = d;
        }
    // Components, for roof colours and the size of rock piles.
    std::vector<int> sizes;
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c)
            m.component[r][c] = -1;
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c) {
            if (!m.blocked[r][c] || m.component[r][c] >= 0)
                continue;
            const int id = int(sizes.size());
            std::vector<std::pair<int, int>> stack{{r, c}};
            m.component[r][c] = id;
            int size = 0;
            while (!stack.empty()) {
                auto [y, x] = stack.back();
                stack.pop_back();
                ++size;
                const int dy[4] = {-1, 1, 0, 0}, dx[4] = {0, 0, -1, 1};
                for (int k = 0; k < 4; ++k)
                    if (blocked(y + dy[k], x + dx[k]) && m.component[y + dy[k]][x + dx[k]] < 0) {
                        m.component[y + dy[k]][x + dx[k]] = id;
                        stack.push_back({y + dy[k], x + dx[k]});
                    }
            }
            sizes.push_back(size);
        }
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c) {
            const bool enemyBlocked = enemyGrid[r][c] != '0';
            if (!m.blocked[r][c]) {
                m.kind[r][c] = oNone;
                if (!enemyBlocked)
                    m.ground[r][c] = inBossBox(r, c) ? gAsh : gGrass;
                else if (r >= 92)
                    m.ground[r][c] = gSand;
                else if (r <= 55 && c <= 31)
                    m.ground[r][c] = gStreet;
                else if (c >= 65 && r >= 46 && r <= 91 && !(c >= 79 && c <= 84) && !inBossBox(r, c))
                    m.ground[r][c] = gField;
                else
                    m.ground[r][c] = gPath;
                continue;
            }
            const int h = m.runCol1[r][c] - m.runCol0[r][c] + 1, v = m.runRow1[r][c] - m.runRow0[r][c] + 1;
            const bool thin = (v == 1 && h >= 3) || (h == 1 && v >= 3);
            if (inBossBox(r, c))
                m.kind[r][c] = oCrag;
            else if (r <= 55 && c <= 31)
                m.kind[r][c] = thin ? oWall : oHouse;
            else if ((c >= 32 && c <= 64 && r <= 91) || r == 91 || thin)
                m.kind[r][c] = oWall;
            else
                m.kind[r][c] = sizes[m.component[r][c]] <= 6 ? oRock : oForest;
        }
    // Under an obstacle lies the ground most of its free neighbours show.
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c) {
            if (!m.blocked[r][c])
                continue;
            int votes[6] = {};
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    const int y = r + dr, x = c + dc;
                    if (y >= 0 && x >= 0 && y < N && x < N && !m.blocked[y][x])
                        ++votes[m.ground[y][x]];
                }
            int best = gGrass;
            for (int g = 0; g < 6; ++g)
                if (votes[g] > votes[best])
                    best = g;
            m.ground[r][c] = Ground(best);
        }
    // Each house has one door, in the middle of its southernmost face.
    m.doorColumn.assign(sizes.size(), -1);
    {
        std::vector<int> southRow(sizes.size(), -1), first(sizes.size(), 0), last(sizes.size(), 0);
        for (int r = 0; r + 1 < N; ++r)
            for (int c = 0; c < N; ++c) {
                if (m.kind[r][c] != oHouse || m.blocked[r + 1][c])
                    continue;
                const int id = m.component[r][c];
                if (r > southRow[id])
                    southRow[id] = r, first[id] = c, last[id] = c;
                else if (r == southRow[id])
                    last[id] = c;
            }
        for (size_t id = 0; id < sizes.size(); ++id)
            if (southRow[id] >= 0) {
                int c = (first[id] + last[id]) / 2;
                while (c > first[id] && m.blocked[southRow[id] + 1][c]) // the run may have gaps
                    --c;
                m.doorColumn[id] = c;
            }
    }
    // Roofs: a chamfer distance from every roof pixel of the plan to the
    // nearest pixel that is not roof of the same house gives hipped roofs of
    // any outline.
    auto roofOwner = [&](int x, int y) { return m.component[planRow(m, x, y)][x / 32]; };
    m.roofHeight.assign(size_t(villageW) * villageH, 0);
    for (int y = 0; y < villageH; ++y)
        for (int x = 0; x < villageW; ++x)
            if (planKind(m, x, y) == oHouse)
                m.roofHeight[size_t(y) * villageW + x] = 1e6f;
    auto relax = [&](int x, int y, int dx, int dy, float step) {
        const int nx = x + dx, ny = y + dy;
        float &h = m.roofHeight[size_t(y) * villageW + x];
        const float other =
            (nx < 0 || ny < 0 || nx >= villageW || ny >= villageH ||
             m.roofHeight[size_t(ny) * villageW + nx] <= 0 || roofOwner(nx, ny) != roofOwner(x, y))
                ? 0.f
                : m.roofHeight[size_t(ny) * villageW + nx];
        h = std::min(h, other + step);
    };
    for (int y = 0; y < villageH; ++y)
        for (int x = 0; x < villageW; ++x)
            if (m.roofHeight[size_t(y) * villageW + x] > 0) {
                relax(x, y, -1, 0, 1), relax(x, y, 0, -1, 1);
                relax(x, y, -1, -1, 1.4142f), relax(x, y, 1, -1, 1.4142f);
            }
    for (int y = villageH - 1; y >= 0; --y)
        for (int x = villageW - 1; x >= 0; --x)
            if (m.roofHeight[size_t(y) * villageW + x] > 0) {
                relax(x, y, 1, 0, 1), relax(x, y, 0, 1, 1);
                relax(x, y, 1, 1, 1.4142f), relax(x, y, -1, 1, 1.4142f);
            }
    // Tree crowns and boulders: two per cell, never reaching more than a few
    // pixels over a free neighbour.
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c) {
            if (m.kind[r][c] != oForest && m.kind[r][c] != oRock)
                continue;
            const int count = m.kind[r][c] == oForest ? 3 : 4;
            for (int k = 0; k < count; ++k) {
                const uint32_t s = hash3(c, r, 900 + k);
                Crown cr;
                cr.x = c * 32.f + 5 + 22 * hashUnit(c, r, 910 + k);
                cr.y = r * 32.f + 5 + 22 * hashUnit(c, r, 920 + k);
                cr.r = m.kind[r][c] == oForest ? 12 + 7 * hashUnit(c, r, 930 + k)
                                               : 9 + 6 * hashUnit(c, r, 930 + k);
                cr.seed = s;
                float room = 1e9f; // distance to the nearest free cell
                if (m.kind[r][c] == oForest) {
                    // A tree stands on the forest floor, its foot at (x, y); a
                    // front row stands in the plan's stretch south of the
                    // cell. Its crown rises over the trunk and must not reach
                    // sideways over a free cell beside the wood.
                    if (r + 1 < N && !isTall(m.kind[r + 1][c]))
                        cr.y += 32;
                    for (int dc = -1; dc <= 1; dc += 2) {
                        const int x = c + dc;
                        if (x >= 0 && x < N && !m.blocked[r][x])
                            room = std::min(room, dc < 0 ? cr.x - c * 32.f : (c + 1) * 32.f - cr.x);
                    }
                } else
                    for (int dr = -2; dr <= 2; ++dr)
                        for (int dc = -2; dc <= 2; ++dc) {
                            const int y = r + dr, x = c + dc;
                            if (y < 0 || x < 0 || y >= N || x >= N || m.blocked[y][x])
                                continue;
                            const float ex = std::max({x * 32.f - cr.x, 0.f, cr.x - (x * 32.f + 32)});
                            const float ey = std::max({y * 32.f - cr.y, 0.f, cr.y - (y * 32.f + 32)});
                            room = std::min(room, std::hypot(ex, ey));
                        }
                cr.r = std::min(cr.r, room + 3);
                if (cr.r >= 5)
                    m.crowns[r][c].push_back(cr);
            }
        }
}

// ---------------------------------------------------------------- ground

const Col grassDark = hex(0x468231), grassLight = hex(0x79A844);

Col paintGrass(int x, int y)
{
    const float big = fractal(x / 110.f, y / 110.f, 3, 11);
    Col c = mix(grassDark, grassLight, smooth(0.25f, 0.75f, big));
    const float mid = fractal(x / 14.f, y / 14.f, 2, 12);
    c = c * (0.86f + 0.28f * mid);
    // Blades: streaks that are taller than wide.
    const float blade = valueNoise(x / 1.3f, y / 3.2f, 13);
    c = c * (0.93f + 0.14f * blade);
    // Bare earth in wide soft patches.
    const float earth = fractal(x / 170.f + 40, y / 170.f, 3, 14);
    const float e = smooth(0.625f, 0.645f, earth + 0.08f * (mid - 0.5f) + 0.03f * hashUnit(x / 2, y / 2, 18));
    if (e > 0) {
        // Crisp grains and crumbs of earth, as sharp as the figures.
        Col dirt = mix(hex(0x86683F), hex(0xAC8E62), hashUnit(x / 2, y / 2, 15));
        dirt = dirt * (0.9f + 0.16f * hashUnit(x, y, 21));
        if (hashUnit(x / 3, y / 3, 16) < 0.02f)
            dirt = hex(0xC8BBA0); // pebbles
        c = mix(c, dirt, e);
    }
    // Flowers, a few per patch of meadow.
    const int fx = x / 9, fy = y / 9;
    const float f = hashUnit(fx, fy, 17);
    if (e < 0.2f && f < 0.035f + 0.05f * smooth(0.55f, 0.8f, big)) {
        const float cx = fx * 9 + 2 + 5 * hashUnit(fx, fy, 18), cy = fy * 9 + 2 + 5 * hashUnit(fx, fy, 19);
        const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
        if (d < 1.9f) {
            static const Col petals[4] = {hex(0xF4F0E0), hex(0xF2D24A), hex(0xE86A5A), hex(0xA9B8F0)};
            c = d < 0.8f ? hex(0xE8B020) : petals[hash3(fx, fy, 20) % 4];
        }
    }
    return c;
}

Col paintStreet(int x, int y)
{
    // Cobbles: the nearest of a jittered lattice of stone centres owns the
    // pixel; where two stones meet lies a dark joint.
    const float cell = 10;
    const int gx = int(std::floor(x / cell)), gy = int(std::floor(y / cell));
    float f1 = 1e9f, f2 = 1e9f, ox = 0, oy = 0;
    int owner = 0;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            const int cx = gx + i, cy = gy + j;
            const float px = (cx + 0.2f + 0.6f * hashUnit(cx, cy, 34)) * cell;
            const float py = (cy + 0.2f + 0.6f * hashUnit(cx, cy, 35)) * cell;
            const float d = std::hypot(x + 0.5f - px, y + 0.5f - py);
            if (d < f1) {
                f2 = f1, f1 = d, ox = x + 0.5f - px, oy = y + 0.5f - py;
                owner = int(hash3(cx, cy, 36) & 0xFFFF);
            } else if (d < f2) {
                f2 = d;
            }
        }
    // Soft contrast: stones a narrow band of shades, joints only a little
    // darker and worn at the edges, so figures on the street stand out.
    const float v = float(owner % 1000) / 1000.f;
    Col stone = mix(hex(0xB8A684), hex(0xCCBC98), v);
    stone = stone * (0.95f + 0.08f * valueNoise(x / 2.5f, y / 2.5f, 32));
    stone = stone * (1.02f - 0.01f * (ox + oy)); // domed, lit from the top left
    const Col joint = hex(0x9A8868);
    const Col c = mix(joint, stone, smooth(0.2f, 2.6f, f2 - f1));
    return c * (0.96f + 0.06f * fractal(x / 60.f, y / 60.f, 2, 33));
}

Col paintPath(int x, int y)
{
    Col c = mix(hex(0xA98B60), hex(0xC9AE80), fractal(x / 20.f, y / 20.f, 3, 41));
    c = c * (0.9f + 0.1f * hashUnit(x / 2, y / 2, 42) + 0.08f * hashUnit(x, y, 45));
    const int px = x / 4, py = y / 4;
    if (hashUnit(px, py, 43) < 0.06f)
        c = mix(c, hex(0x8A7A66), 0.6f);
    else if (hashUnit(px, py, 44) < 0.04f)
        c = mix(c, hex(0xE0D4B8), 0.6f);
    return c;
}

Col paintField(int x, int y)
{
    // Furrows run east-west; young crops sit on every ridge.
    const float v = y / 8.f + 0.6f * (valueNoise(x / 50.f, y / 50.f, 51) - 0.5f);
    const float ridge = 0.5f + 0.5f * std::cos(v * 2 * float(M_PI));
    Col soil = mix(hex(0x6E4E30), hex(0xA07A4E), ridge);
    soil = soil * (0.88f + 0.14f * hashUnit(x / 2, y / 2, 52) + 0.08f * hashUnit(x, y, 54));
    const int cx = int(std::floor(x / 6.f)), cy = int(std::floor(v));
    const float lx = x / 6.f - cx - 0.5f, ly = v - cy - 0.5f;
    const float leaf = 1 - std::hypot(lx * 1.4f, ly * 3.2f);
    const float grow = 0.45f + 0.5f * hashUnit(cx, cy, 53);
    if (leaf > 1 - grow * 0.75f) {
        Col green = mix(hex(0x5E9A34), hex(0x9CC850), clamp01(0.5f - lx - ly));
        return mix(soil, green, smooth(1 - grow * 0.75f, 1 - grow * 0.75f + 0.1f, leaf));
    }
    return soil;
}

Col paintSand(int x, int y)
{
    Col c = mix(hex(0xCDB27E), hex(0xE6D2A0), fractal(x / 40.f, y / 40.f, 3, 61));
    const float ripple = std::sin((y + 6 * fractal(x / 30.f, y / 30.f, 2, 62)) / 3.2f);
    c = c * (0.96f + 0.05f * ripple);
    c = c * (0.95f + 0.08f * valueNoise(x / 1.5f, y / 1.5f, 63));
    if (hashUnit(x / 3, y / 3, 64) < 0.02f)
        c = mix(c, hex(0x9C8868), 0.5f);
    return c;
}

// The two nearest of a jittered lattice of points: the distance from (x, y)
// to the line between their regions, and the two points' cells.
struct Split {
    float edge;
    int id1, id2;
};

Split nearestSplit(float x, float y, float cell, uint32_t seed)
{
    const int gx = int(std::floor(x / cell)), gy = int(std::floor(y / cell));
    float d1 = 1e9f, d2 = 1e9f, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int id1 = 0, id2 = 0;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            const int cx = gx + i, cy = gy + j;
            const float px = (cx + 0.1f + 0.8f * hashUnit(cx, cy, seed)) * cell;
            const float py = (cy + 0.1f + 0.8f * hashUnit(cx, cy, seed + 1)) * cell;
            const float d = (x - px) * (x - px) + (y - py) * (y - py);
            const int id = cx * 4099 + cy;
            if (d < d1) {
                d2 = d1, x2 = x1, y2 = y1, id2 = id1;
                d1 = d, x1 = px, y1 = py, id1 = id;
            } else if (d < d2) {
                d2 = d, x2 = px, y2 = py, id2 = id;
            }
        }
    const float ex = x2 - x1, ey = y2 - y1, len = std::max(1e-4f, std::hypot(ex, ey));
    const float edge = ((x - (x1 + x2) / 2) * ex + (y - (y1 + y2) / 2) * ey) / len;
    return {std::fabs(edge), id1, id2};
}

// How dark a crack of the network at this scale makes the pixel: only some
// borders between plates crack, and each fades out along its length, so the
// cracks end, fork and branch instead of closing into loops.
float crackShade(float x, float y, float cell, float width, float share, uint32_t seed)
{
    const Split s = nearestSplit(x, y, cell, seed);
    const int a = std::min(s.id1, s.id2), b = std::max(s.id1, s.id2);
    if (hashUnit(a, b, seed + 2) >= share)
        return 0;
    const float along = smooth(0.32f, 0.5f, valueNoise(x / (cell * 0.45f), y / (cell * 0.45f), seed + 3));
    const float w = width * along;
    return w <= 0.05f ? 0 : 1 - smooth(w - 0.4f, w + 0.7f, s.edge);
}

Col paintAsh(int x, int y)
{
    // Dry, cracked earth: sun-baked plates, each a shade apart, split by
    // short jagged cracks and finer hairlines between them.
    Col c = mix(hex(0x8E6A3E), hex(0xB08650), fractal(x / 30.f, y / 30.f, 3, 71));
    c = c * (0.92f + 0.12f * valueNoise(x / 2.f, y / 2.f, 72));
    // A coarse and a fine warp make the cracks' edges jagged.
    const float wx = x + 0.5f + 9 * (fractal(x / 24.f, y / 24.f, 2, 73) - 0.5f) +
                     3 * (valueNoise(x / 3.5f, y / 3.5f, 74) - 0.5f);
    const float wy = y + 0.5f + 9 * (fractal(x / 24.f + 17, y / 24.f, 2, 75) - 0.5f) +
                     3 * (valueNoise(x / 3.5f + 9, y / 3.5f, 76) - 0.5f);
    const Split plate = nearestSplit(wx, wy, 46, 77);
    c = c * (0.95f + 0.08f * hashUnit(plate.id1, 0, 78));
    const float big = crackShade(wx, wy, 46, 1.5f, 0.62f, 80);
    const float fine = crackShade(wx, wy, 17, 0.7f, 0.28f, 90);
    const float lip = big > 0 ? 0 : crackShade(wx - 1.2f, wy - 1.2f, 46, 1.5f, 0.62f, 80);
    c = c * (1 + 0.12f * lip); // the crack's far lip catches the light
    c = mix(c, c * 0.62f, 0.55f * fine);
    return mix(c, hex(0x3A2614), 0.85f * big);
}

Col paintGround(Ground g, int x, int y)
{
    switch (g) {
    case gStreet: return paintStreet(x, y);
    case gPath: return paintPath(x, y);
    case gField: return paintField(x, y);
    case gSand: return paintSand(x, y);
    case gAsh: return paintAsh(x, y);
    default: return paintGrass(x, y);
    }
}

// ---------------------------------------------------------------- obstacles

float boxDistance(float x, float y, int r, int c)
{
    const float ex = std::max({c * 32.f - x, 0.f, x - (c * 32.f + 32)});
    const float ey = std::max({r * 32.f - y, 0.f, y - (r * 32.f + 32)});
    return std::hypot(ex, ey);
}

struct Near {
    float dist; // to the nearest cell of the other state (blocked vs free); 32 if none close
    int r, c;   // that cell, or the pixel's own cell
};

// Distance from pixel (x, y) of cell (r, c) to the nearest cell whose blocked
// state differs from `blockedSelf`.
Near nearestOther(const Cells &m, float x, float y, int r, int c, bool blockedSelf)
{
    Near n{32, r, c};
    for (int dr = -1; dr <= 1; ++dr)
        for (int dc = -1; dc <= 1; ++dc) {
            const int rr = std::clamp(r + dr, 0, N - 1), cc = std::clamp(c + dc, 0, N - 1);
            if (m.blocked[rr][cc] == blockedSelf)
                continue;
            const float d = boxDistance(x, y, rr, cc);
            if (d < n.dist)
                n = {d, rr, cc};
        }
    return n;
}

// How far the obstacle's outline may stray over its cells' border.
float outlineSlack(Obstacle k, float x, float y)
{
    if (k == oHouse || k == oWall)
        return 0;
    const float n = fractal(x / 9.f, y / 9.f, 2, 81);
    return k == oCrag ? 1 + 6 * (n - 0.5f) : 1 + 4 * (n - 0.5f);
}

// The south face of a house at height z over its foot (0 at the ground), at
// x of cell column c whose house component is `comp`.
Col paintHouseFace(const Cells &m, int x, int z, int r, int c)
{
    const int lx = x - c * 32;
    const bool door = m.doorColumn[m.component[r][c]] == c;
    Col wall = hex(0xE2D2AE) * (0.92f + 0.1f * hashUnit(x / 2, z / 2, 91));
    const bool post = lx < 2 || lx >= 30 || (lx >= 15 && lx < 17 && !door);
    if (post || z < 3 || (z >= 24 && z < 26) || z >= houseHeight - 3)
        wall = hex(0x5A3E28) * (0.9f + 0.15f * hashUnit(x, z / 3, 96)); // timber, sill and plinth
    if (z < 2)
        wall = hex(0x6C6A64); // the stone footing
    if (door) {
        if (lx >= 9 && lx < 23 && z >= 2 && z < 28) {
            wall = hex(0x3A2614); // the frame
            if (lx >= 11 && lx < 21 && z < 26) {
                wall = hex(0x7A4E2A) * (0.85f + 0.25f * float((lx - 11) % 3 == 0 ? 0 : 1));
                if (lx == 18 && z >= 12 && z < 14)
                    wall = hex(0xE8C860); // the latch
            }
        }
    } else if (z >= 12 && z < 22) {
        for (int wx : {4, 20})
            if (lx >= wx && lx < wx + 9) {
                wall = hex(0x3A2614);
                if (lx > wx && lx < wx + 8 && z > 12 && z < 21)
                    wall = (lx == wx + 4 || z == 16) ? hex(0x5A3E28)
                                                     : hex(0x42587A) * (0.85f + 0.03f * z - 0.3f);
            }
    }
    // In the shade of the eaves at the top; the face looks south, half lit.
    return wall * (0.82f - 0.22f * smooth(houseHeight - 10, houseHeight, float(z)));
}

// The roof at plan point (x, py) of cell (r, c).
Col paintRoof(const Cells &m, int x, int py, int r, int c)
{
    static const Col roofs[4] = {hex(0xB04A34), hex(0x566482), hex(0x8E3A30), hex(0x4A5E78)};
    const int comp = m.component[r][c];
    const Col base = roofs[hash3(comp, 0, 93) % 4];
    auto height = [&](int px, int qy) {
        px = std::clamp(px, 0, villageW - 1), qy = std::clamp(qy, 0, villageH - 1);
        return m.roofHeight[size_t(qy) * villageW + px];
    };
    const float h = height(x, py);
    const float gx = (height(x + 1, py) - height(x - 1, py)) / 2,
                gy = (height(x, py + 1) - height(x, py - 1)) / 2;
    // The slope's normal, lit from the north-west and above.
    const float nx = -gx * 0.9f, ny = -gy * 0.9f, nz = 1;
    const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
    const float lit = (-0.55f * nx - 0.6f * ny + 0.58f * nz) / len;
    const int course = int(h / 4.5f);
    const float along = std::fabs(gy) >= std::fabs(gx) ? float(x) : float(py);
    const int tile = int(std::floor((along + course * 4) / 8));
    Col c2 = base * (0.88f + 0.24f * hashUnit(tile, course, comp + 94));
    c2 = c2 * (0.45f + 0.85f * lit);
    if (std::fmod(h, 4.5f) < 1.0f)
        c2 = c2 * 0.72f; // each course's lower edge
    else if (std::fmod(along + course * 4, 8.f) < 1)
        c2 = c2 * 0.85f; // joints between tiles
    if (std::hypot(gx, gy) < 0.55f && h > 3)
        c2 = base * 1.15f; // ridges and hips
    c2 = c2 * (0.95f + 0.08f * hashUnit(x / 2, py / 2, 95));
    if (h < 1.5f)
        c2 = c2 * 0.5f; // dark eaves line
    return c2;
}

// The south face of a stone wall at height z.
Col paintWallFace(int x, int z, int r)
{
    const int course = z / 5;
    const int brick = int(std::floor((x + course * 6) / 12.f));
    Col s = hex(0x6E6E7C) * (0.85f + 0.3f * hashUnit(brick, course + r * 16, 101));
    if (z % 5 == 4 || (x + course * 6) % 12 == 0)
        s = hex(0x3E3E48);
    if (z >= wallHeight - 6) { // the parapet's merlons, and the sky-lit gaps between them
        s = s * 1.08f;
        if ((x / 7) % 2 == 1 && z >= wallHeight - 3)
            s = hex(0x4A4A56);
    }
    return s * (0.92f - 0.18f * smooth(0, wallHeight, float(wallHeight - z)));
}

// The top of a wall at plan point (x, py): a walk of slabs between
// battlements along every edge of the plan.
Col paintWallTop(const Cells &m, int x, int py)
{
    const int row = int(std::floor(py / 10.f));
    const int slab = int(std::floor((x + (row & 1) * 8) / 16.f));
    Col s = mix(hex(0x8C8E9A), hex(0xAEB0BA), hashUnit(slab, row, 102));
    s = s * (0.9f + 0.16f * hashUnit(x / 2, py / 2, 103));
    const float fx = (x + (row & 1) * 8) / 16.f - slab, fy = py / 10.f - row;
    if (fx < 0.07f || fy < 0.1f)
        s = s * 0.6f;
    // Distance to the plan's edge, up to 6 pixels each way.
    int edge = 6;
    bool southEdge = false;
    for (int d = 1; d < 6; ++d) {
        const bool n = planKind(m, x, py - d) != oWall, so = planKind(m, x, py + d) != oWall;
        const bool w = planKind(m, x - d, py) != oWall, e = planKind(m, x + d, py) != oWall;
        if (n || so || w || e) {
            edge = d;
            southEdge = so;
            break;
        }
    }
    if (edge < 6) {
        // Battlements: merlons of dressed stone, crenels between them.
        const int along = southEdge || edge == 6                                                       ? x
                          : (planKind(m, x - edge, py) != oWall || planKind(m, x + edge, py) != oWall) ? py
                                                                                                       : x;
        const bool merlon = (along / 7) % 2 == 0;
        s = merlon ? hex(0xB4B6C0) * (0.9f + 0.12f * hashUnit(along / 7, edge, 105)) : s * 0.55f;
        if (edge == 1)
            s = s * 0.7f;
    }
    const float moss = fractal(x / 25.f, py / 25.f, 3, 104);
    return mix(s, hex(0x5E7A3A), 0.4f * smooth(0.66f, 0.78f, moss));
}

// The undergrowth of a wood: its south face at height z < hedgeHeight, its
// top (the forest floor in shade) at z == hedgeHeight.
Col paintHedge(int x, int py, int z)
{
    const float leaves = hashUnit(x / 2, (py - z) / 2, 143);
    const float clump = fractal(x / 6.f, py / 6.f, 2, 144);
    Col c = mix(hex(0x1E3A1A), hex(0x3E6A2A), 0.35f * clump + 0.4f * leaves);
    if (z < hedgeHeight)
        c = c * (0.7f + 0.3f * float(z) / hedgeHeight); // darker toward the ground
    return c;
}

Col shadeCrown(const Crown &cr, int x, int y, bool rock)
{
    const float dx = (x + 0.5f - cr.x) / cr.r, dy = (y + 0.5f - cr.y) / (rock ? cr.r * 0.85f : cr.r);
    const float d2 = dx * dx + dy * dy;
    const float nz = std::sqrt(std::max(0.f, 1 - d2));
    const float lit = std::max(0.f, (-0.5f * dx - 0.55f * dy + 0.67f * nz));
    if (rock) {
        static const Col greys[3] = {hex(0x8E8880), hex(0x7C7A7E), hex(0x968A78)};
        Col base = greys[cr.seed % 3];
        float k = 0.45f + 0.75f * lit + 0.35f * std::pow(lit, 12.f);
        const float crack = std::fabs(fractal(x / 7.f, y / 7.f, 2, cr.seed & 1023) - 0.5f);
        if (crack < 0.03f)
            k *= 0.6f;
        k *= 0.9f + 0.15f * valueNoise(x / 2.f, y / 2.f, 111);
        if (d2 > 0.8f)
            k *= 0.65f;
        return base * k;
    }
    static const Col greens[4] = {hex(0x3C7A30), hex(0x2E6A3A), hex(0x4A7E28), hex(0x356E2A)};
    Col base = greens[cr.seed % 4];
    const float leaves = fractal(x / 3.5f + cr.seed % 97, y / 3.5f, 2, 112);
    float k = 0.36f + 0.56f * lit + 0.4f * (leaves - 0.5f);
    if (d2 > 0.82f)
        k *= 0.62f; // a dark rim reads as a crown
    return base * k;
}

Col paintCrag(int x, int y, float inside)
{
    const float h = fractal(x / 38.f, y / 38.f, 4, 121);
    const float hx = fractal((x + 2) / 38.f, y / 38.f, 4, 121),
                hy = fractal(x / 38.f, (y + 2) / 38.f, 4, 121);
    const float slope = clamp01(0.5f + 14 * (h - hx) + 14 * (h - hy));
    Col rock = mix(hex(0x2A2226), hex(0x5E5052), slope);
    rock = rock * (0.85f + 0.3f * valueNoise(x / 2.5f, y / 2.5f, 122));
    const float crack = std::fabs(fractal(x / 64.f, y / 64.f, 3, 123) - 0.5f);
    if (crack < 0.06f) {
        const float glow = 1 - crack / 0.06f;
        rock = mix(rock, hex(0xB8340C), 0.7f * glow * glow);
        if (crack < 0.014f)
            rock = mix(hex(0xFF7A10), hex(0xFFE070), 1 - crack / 0.014f);
    }
    if (inside < 3)
        rock = rock * 0.6f;
    return rock;
}

struct Look {
    Col c;
    bool over = false; // also drawn over the figures
};

struct Painter {
    const Cells &m;

    Col groundAt(int x, int y, int r, int c) const
    {
        const Ground g0 = m.ground[r][c];
        float best = 8;
        Ground g1 = g0;
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                const int rr = std::clamp(r + dr, 0, N - 1), cc = std::clamp(c + dc, 0, N - 1);
                if (m.ground[rr][cc] == g0)
                    continue;
                const float d = boxDistance(x + 0.5f, y + 0.5f, rr, cc);
                if (d < best)
                    best = d, g1 = m.ground[rr][cc];
            }
        const Col own = paintGround(g0, x, y);
        if (g1 == g0)
            return own;
        const float n = fractal(x / 7.f, y / 7.f, 2, 131) - 0.5f;
        const float t = best + (g0 < g1 ? 1 : -1) * n * 9;
        const float w = smooth(-3, 3, t); // 0.5 on the border itself
        return mix(paintGround(g1, x, y), own, w);
    }

    // Calls visit(boulder) for every boulder of the rock cells around cell (r, c).
    template <class Visit> void forNearBoulders(int r, int c, Visit visit) const
    {
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                const int rr = r + dr, cc = c + dc;
                if (rr < 0 || cc < 0 || rr >= N || cc >= N || m.kind[rr][cc] != oRock)
                    continue;
                for (const Crown &cr : m.crowns[rr][cc])
                    visit(cr);
            }
    }

    // Boulders over this pixel, the front-most (largest y) wins.
    const Crown *boulderAt(int x, int y, int r, int c) const
    {
        const Crown *best = nullptr;
        forNearBoulders(r, c, [&](const Crown &cr) {
            const float dx = x + 0.5f - cr.x, dy = (y + 0.5f - cr.y) / 0.85f;
            if (dx * dx + dy * dy < cr.r * cr.r && (!best || cr.y > best->y))
                best = &cr;
        });
        return best;
    }

    // How much scree lies here: 1 near a boulder, fading out a few pixels further.
    float screeAt(int x, int y, int r, int c) const
    {
        float best = 0;
        forNearBoulders(r, c, [&](const Crown &cr) {
            const float d = std::hypot(x + 0.5f - cr.x, (y + 0.5f - cr.y) / 0.85f) - cr.r;
            best = std::max(best, 1 - smooth(3, 7 + 2 * hashUnit(x / 3, y / 3, 147), d));
        });
        return best;
    }

    // The tree whose crown or trunk covers the pixel, the front-most (the
    // largest foot y) winning; `crown` tells which part.
    const Crown *treeAt(int x, int y, bool &crown) const
    {
        const Crown *best = nullptr;
        const int c = x / 32;
        for (int r = y / 32 - 1; r <= (y + crownLift + 40) / 32; ++r)
            for (int cc = c - 1; cc <= c + 1; ++cc) {
                if (r < 0 || cc < 0 || r >= N || cc >= N || m.kind[r][cc] != oForest)
                    continue;
                for (const Crown &cr : m.crowns[r][cc]) {
                    if (best && cr.y <= best->y)
                        continue;
                    const float cy = cr.y - crownLift - cr.r;
                    const float dx = x + 0.5f - cr.x, dy = y + 0.5f - cy;
                    const bool inCrown = dx * dx + dy * dy < cr.r * cr.r;
                    const bool inTrunk = std::fabs(dx) < 2.6f && y + 0.5f >= cy && y + 0.5f <= cr.y;
                    if (inCrown || inTrunk)
                        best = &cr, crown = inCrown;
                }
            }
        return best;
    }

    Col paintTree(const Crown &cr, int x, int y, bool crown) const
    {
        if (!crown) {
            const float dx = x + 0.5f - cr.x;
            Col bark = hex(0x5A3E24) * (0.75f + 0.35f * clamp01(0.5f - dx / 2.6f));
            return bark * (0.9f + 0.2f * hashUnit(x, y / 2, cr.seed & 1023));
        }
        Crown lifted = cr;
        lifted.y = cr.y - crownLift - cr.r;
        return shadeCrown(lifted, x, y, false);
    }

    // What stands taller than a figure, if anything covers the pixel.
    bool tallLook(int x, int y, Look &out) const
    {
        Obstacle k = oNone;
        int z = tallestThing, py = 0;
        for (; z >= 0; --z) {
            k = planKind(m, x, y + z);
            if (k != oNone && z <= heightOf(k))
                break;
        }
        py = y + z;
        bool crown = false;
        const Crown *tree = treeAt(x, y, crown);
        if (tree && (z < 0 || tree->y >= py)) {
            out = {paintTree(*tree, x, y, crown), crown};
            return true;
        }
        if (z < 0)
            return false;
        const int r = planRow(m, x, py), c = x / 32;
        switch (k) {
        case oHouse:
            out = z == houseHeight ? Look{paintRoof(m, x, py, r, c), true}
                                   : Look{paintHouseFace(m, x, z, r, c)};
            return true;
        case oWall:
            out = z == wallHeight ? Look{paintWallTop(m, x, py), true} : Look{paintWallFace(x, z, r)};
            return true;
        case oCrag:
            out = {z == cragHeight ? paintCrag(x, py, 10) : paintCrag(x, py - z, 10) * (0.45f + 0.03f * z)};
            return true;
        default: out = {paintHedge(x, py, z)}; return true;
        }
    }

    // Whether something stands on the ground here, for the shadows it throws.
    bool solidAt(int x, int y) const
    {
        if (x < 0 || y < 0)
            return false;
        if (planKind(m, x, y) != oNone)
            return true;
        const int r = y / 32, c = x / 32;
        if (boulderAt(x, y, r, c))
            return true;
        return false; // crags are low, and a pile of boulders is only its boulders
    }

    Look pixel(int x, int y) const
    {
        Look tall;
        if (tallLook(x, y, tall))
            return tall;
        const int r = y / 32, c = x / 32;
        const bool blocked = m.blocked[r][c];
        const Near n = nearestOther(m, x + 0.5f, y + 0.5f, r, c, blocked);
        // Boulders first: they may reach over their cell a little.
        const Crown *cr = (blocked || n.dist < 8) ? boulderAt(x, y, r, c) : nullptr;
        if (cr)
            return {shadeCrown(*cr, x, y, true)};
        // Around the boulders of a pile lies scree, as far as they reach, never a square.
        if (const float s = screeAt(x, y, r, c); s > 0) {
            Col g = mix(hex(0x6E665C), hex(0x9A9284), hashUnit(x / 2, y / 2, 145));
            if (hashUnit(x / 3, y / 3, 146) < 0.12f)
                g = hex(0x58524A);
            return {mix(groundAt(x, y, r, c) * 0.85f, g, s)};
        }
        if (blocked && m.kind[r][c] == oCrag)
            return {paintCrag(x, y, n.dist)};
        if (!blocked && n.dist < 8 && m.kind[n.r][n.c] == oCrag &&
            n.dist < outlineSlack(oCrag, float(x), float(y)))
            return {paintCrag(x, y, 0)};
        // Open ground (also between the boulders of a pile), with the shadows
        // things throw to the south-east.
        Col g = groundAt(x, y, r, c);
        float shade = 1;
        if (!blocked && n.dist < 12 && m.kind[n.r][n.c] != oRock)
            shade -= 0.1f * (1 - n.dist / 12);
        if (solidAt(x - 5, y - 7) && !solidAt(x, y))
            shade -= 0.2f;
        return {g * shade};
    }
};

} // namespace

WorldPictures paintWorld()
{
    static Cells cells; // large: kept off the stack
    classify(cells);
    WorldPictures out;
    Image &im = out.world;
    im = Image(worldPixels, worldPixels, 0);
    out.overlay = Image(worldPixels, worldPixels, magenta);
    const Painter painter{cells};
    auto band = [&](int part, int parts) {
        for (int y = part; y < im.h; y += parts)
            for (int x = 0; x < im.w; ++x) {
                const Look l = painter.pixel(x, y);
                uint32_t c = pack(l.c);
                if (c == magenta)
                    c ^= 0x000100; // never the transparent colour
                im.px[size_t(y) * im.w + x] = c;
                if (l.over)
                    out.overlay.px[size_t(y) * im.w + x] = c;
            }
    };
    const unsigned hw = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < hw; ++i)
        workers.emplace_back(band, int(i), int(hw));
    band(0, int(hw));
    for (std::thread &t : workers)
        t.join();
    return out;
}

Image overlayAtlas(const Image &full)
{
    std::vector<int> used;
    for (int cy = 0; cy < overlayCells; ++cy)
        for (int cx = 0; cx < overlayCells; ++cx) {
            bool any = false;
            for (int y = cy * overlayCell; y < (cy + 1) * overlayCell && !any; ++y)
                for (int x = cx * overlayCell; x < (cx + 1) * overlayCell && !any; ++x)
                    any = full.at(x, y) != magenta;
            if (any)
                used.push_back(cy * overlayCells + cx);
        }
    const int slotRows = (int(used.size()) + overlayCells - 1) / overlayCells;
    Image atlas(overlayCells * overlayCell, overlayCell * (1 + slotRows), magenta);
    for (size_t k = 0; k < used.size(); ++k) {
        for (int bit = 0; bit < 12; ++bit)
            atlas.px[(k / 256) * size_t(atlas.w) + k % 256 * 12 + bit] =
                (used[k] >> (11 - bit) & 1) ? 0xFFFFFF : 0;
        const int sx = int(k % overlayCells) * overlayCell, sy = overlayCell * (1 + int(k / overlayCells));
        const int wx = used[k] % overlayCells * overlayCell, wy = used[k] / overlayCells * overlayCell;
        for (int y = 0; y < overlayCell; ++y)
            for (int x = 0; x < overlayCell; ++x)
                atlas.px[size_t(sy + y) * atlas.w + sx + x] = full.at(wx + x, wy + y);
    }
    return atlas;
}
