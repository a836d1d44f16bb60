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
    std::vector<float> roofHeight; // village pixels: distance to the roof's edge
};

constexpr int villageW = 32 * 32, villageH = 56 * 32;

bool frontWallPixel(const Cells &m, int x, int y)
{
    const int r = y / 32, c = x / 32;
    return r + 1 < N && !m.blocked[r + 1][c] && y - r * 32 >= 21;
}

bool inBossBox(int r, int c)
{
    return r >= 73 && r <= 92 && c >= 69 && c <= 94;
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
    // Roofs: a chamfer distance from every roof pixel to the nearest pixel
    // that is not roof gives hipped roofs of any outline.
    m.roofHeight.assign(size_t(villageW) * villageH, 0);
    for (int y = 0; y < villageH; ++y)
        for (int x = 0; x < villageW; ++x)
            if (m.kind[y / 32][x / 32] == oHouse && !frontWallPixel(m, x, y))
                m.roofHeight[size_t(y) * villageW + x] = 1e6f;
    auto relax = [&](int x, int y, int dx, int dy, float step) {
        const int nx = x + dx, ny = y + dy;
        float &h = m.roofHeight[size_t(y) * villageW + x];
        const float other = (nx < 0 || ny < 0 || nx >= villageW || ny >= villageH)
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
            const int count = m.kind[r][c] == oForest ? 3 : 2;
            for (int k = 0; k < count; ++k) {
                const uint32_t s = hash3(c, r, 900 + k);
                Crown cr;
                cr.x = c * 32.f + 5 + 22 * hashUnit(c, r, 910 + k);
                cr.y = r * 32.f + 5 + 22 * hashUnit(c, r, 920 + k);
                cr.r = m.kind[r][c] == oForest ? 12 + 7 * hashUnit(c, r, 930 + k)
                                               : 9 + 6 * hashUnit(c, r, 930 + k);
                cr.seed = s;
                float room = 1e9f; // distance to the nearest free cell
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
    const float e = smooth(0.60f, 0.68f, earth + 0.08f * (mid - 0.5f));
    if (e > 0) {
        Col dirt = mix(hex(0x8C6E48), hex(0xA88A5E), valueNoise(x / 6.f, y / 6.f, 15));
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
    c = c * (0.92f + 0.14f * valueNoise(x / 2.5f, y / 2.5f, 42));
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
    soil = soil * (0.9f + 0.2f * valueNoise(x / 3.f, y / 3.f, 52));
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

Col paintHouse(const Cells &m, int x, int y, int r, int c, float inside)
{
    static const Col roofs[4] = {hex(0xB04A34), hex(0x566482), hex(0x8E3A30), hex(0x4A5E78)};
    const int comp = m.component[r][c];
    const bool southFree = r + 1 < N && !m.blocked[r + 1][c];
    const int ly = y - r * 32;
    if (southFree && ly >= 21) {
        // The front wall: plaster between timber posts, a window or a door.
        Col wall = hex(0xE2D2AE) * (0.92f + 0.1f * valueNoise(x / 3.f, y / 3.f, 91));
        const int lx = x - c * 32;
        if (lx % 16 < 2 || ly < 23 || ly >= 30)
            wall = hex(0x5A3E28);
        const uint32_t feature = hash3(c, r, 92) % 3;
        if (feature == 0 && lx >= 10 && lx < 22 && ly >= 23 && ly < 28)
            wall = (lx == 15 || lx == 16) ? hex(0x5A3E28) : hex(0x3A4A66);
        else if (feature == 1 && lx >= 11 && lx < 20 && ly >= 23)
            wall = hex(0x6B4426) * (0.9f + 0.2f * float(lx % 3 == 0));
        return wall * (1.0f - 0.25f * float(ly - 21) / 11);
    }
    const Col base = roofs[hash3(comp, 0, 93) % 4];
    auto height = [&](int px, int py) {
        px = std::clamp(px, 0, villageW - 1), py = std::clamp(py, 0, villageH - 1);
        return m.roofHeight[size_t(py) * villageW + px];
    };
    const float h = height(x, y);
    const float gx = (height(x + 1, y) - height(x - 1, y)) / 2,
                gy = (height(x, y + 1) - height(x, y - 1)) / 2;
    // The slope's normal, lit from the north-west and above.
    const float nx = -gx * 0.9f, ny = -gy * 0.9f, nz = 1;
    const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
    const float lit = (-0.55f * nx - 0.6f * ny + 0.58f * nz) / len;
    const int course = int(h / 4.5f);
    const float along = std::fabs(gy) >= std::fabs(gx) ? float(x) : float(y);
    const int tile = int(std::floor((along + course * 4) / 8));
    Col c2 = base * (0.88f + 0.24f * hashUnit(tile, course, comp + 94));
    c2 = c2 * (0.45f + 0.85f * lit);
    if (std::fmod(h, 4.5f) < 1.0f)
        c2 = c2 * 0.72f; // each course's lower edge
    else if (std::fmod(along + course * 4, 8.f) < 1)
        c2 = c2 * 0.85f; // joints between tiles
    if (std::hypot(gx, gy) < 0.55f && h > 3)
        c2 = base * 1.15f; // ridges and hips
    c2 = c2 * (0.95f + 0.08f * valueNoise(x / 2.f, y / 2.f, 95));
    if (inside < 1.5f)
        c2 = c2 * 0.5f; // dark eaves line
    return c2;
}

Col paintWall(const Cells &m, int x, int y, int r, int c, float inside)
{
    const bool southFree = r + 1 < N && !m.blocked[r + 1][c];
    const bool northFree = r > 0 && !m.blocked[r - 1][c];
    const int ly = y - r * 32;
    if (southFree && ly >= 22) {
        // The wall's face: courses of dressed stone in shade.
        const int course = (ly - 22) / 4;
        const int brick = int(std::floor((x + course * 6) / 12.f));
        Col s = hex(0x6E6E7C) * (0.85f + 0.3f * hashUnit(brick, course + r * 8, 101));
        if ((ly - 22) % 4 == 3 || (x + course * 6) % 12 == 0)
            s = hex(0x3E3E48);
        return s * (1.0f - 0.2f * float(ly - 22) / 10);
    }
    // The walk on top: large slabs, lit from the north-west.
    const int row = int(std::floor(y / 10.f));
    const int slab = int(std::floor((x + (row & 1) * 8) / 16.f));
    Col s = mix(hex(0x8C8E9A), hex(0xAEB0BA), hashUnit(slab, row, 102));
    s = s * (0.9f + 0.16f * fractal(x / 4.f, y / 4.f, 2, 103));
    const float fx = (x + (row & 1) * 8) / 16.f - slab, fy = y / 10.f - row;
    if (fx < 0.07f || fy < 0.1f)
        s = s * 0.6f;
    if (inside < 2.5f)
        s = (northFree && ly < 3) ? s * 1.2f : s * 0.7f;
    const float moss = fractal(x / 25.f, y / 25.f, 3, 104);
    return mix(s, hex(0x5E7A3A), 0.4f * smooth(0.66f, 0.78f, moss));
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

    Col obstacleAt(int x, int y, int r, int c, const Near &n) const
    {
        const Obstacle k = m.kind[r][c];
        const float inside = n.dist; // distance to the nearest free cell
        switch (k) {
        case oHouse: return paintHouse(m, x, y, r, c, inside);
        case oWall: return paintWall(m, x, y, r, c, inside);
        case oCrag: return paintCrag(x, y, inside);
        default: break;
        }
        return Col{-1, 0, 0};
    }

    // Tree crowns and boulders over this pixel, the front-most (largest y) wins.
    const Crown *crownAt(int x, int y, int r, int c, bool &rock) const
    {
        const Crown *best = nullptr;
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                const int rr = r + dr, cc = c + dc;
                if (rr < 0 || cc < 0 || rr >= N || cc >= N)
                    continue;
                for (const Crown &cr : m.crowns[rr][cc]) {
                    const bool isRock = m.kind[rr][cc] == oRock;
                    const float dx = x + 0.5f - cr.x, dy = (y + 0.5f - cr.y) / (isRock ? 0.85f : 1.f);
                    if (dx * dx + dy * dy < cr.r * cr.r && (!best || cr.y > best->y)) {
                        best = &cr;
                        rock = isRock;
                    }
                }
            }
        return best;
    }

    // Whether an obstacle (not the low crags) covers the pixel: for shadows.
    bool solidAt(int x, int y) const
    {
        if (x < 0 || y < 0)
            return false;
        const int r = y / 32, c = x / 32;
        bool rock = false;
        if (crownAt(x, y, r, c, rock))
            return true;
        const bool blocked = m.blocked[r][c];
        const Near n = nearestOther(m, x + 0.5f, y + 0.5f, r, c, blocked);
        if (blocked)
            return m.kind[r][c] != oCrag && n.dist > -outlineSlack(m.kind[r][c], float(x), float(y));
        return n.dist < 8 && m.kind[n.r][n.c] != oCrag &&
               n.dist < outlineSlack(m.kind[n.r][n.c], float(x), float(y));
    }

    Col pixel(int x, int y) const
    {
        const int r = y / 32, c = x / 32;
        const bool blocked = m.blocked[r][c];
        const Near n = nearestOther(m, x + 0.5f, y + 0.5f, r, c, blocked);
        // Which obstacle, if any, covers the pixel.
        bool covered = false;
        int orow = r, ocol = c;
        if (blocked) {
            const float slack = outlineSlack(m.kind[r][c], float(x), float(y));
            covered = slack >= 0 || n.dist > -slack;
        } else if (n.dist < 8) {
            const Obstacle k = m.kind[n.r][n.c];
            covered = n.dist < outlineSlack(k, float(x), float(y));
            orow = n.r, ocol = n.c;
        }
        // Crowns and boulders first: they may reach over the outline a little.
        bool rock = false;
        const Crown *cr = (blocked || n.dist < 8) ? crownAt(x, y, r, c, rock) : nullptr;
        if (cr)
            return shadeCrown(*cr, x, y, rock);
        if (covered) {
            const Obstacle k = m.kind[orow][ocol];
            if (k == oForest)
                return hex(0x22401E) * (0.75f + 0.5f * fractal(x / 5.f, y / 5.f, 2, 141));
            if (k == oRock)
                return hex(0x6A6258) * (0.7f + 0.5f * fractal(x / 3.f, y / 3.f, 2, 142));
            const Near inner = blocked ? n : Near{0, r, c};
            return obstacleAt(x, y, orow, ocol, inner);
        }
        // Open ground, with the shadows the obstacles throw to the south-east.
        Col g = groundAt(x, y, r, c);
        float shade = 1;
        if (n.dist < 12 && !blocked)
            shade -= 0.1f * (1 - n.dist / 12);
        if (!blocked && n.dist < 16 && solidAt(x - 5, y - 7))
            shade -= 0.2f;
        return g * shade;
    }
};

} // namespace

Image paintWorld()
{
    static Cells cells; // large: kept off the stack
    classify(cells);
    Image im(worldPixels, worldPixels, 0);
    const Painter painter{cells};
    auto band = [&](int part, int parts) {
        for (int y = part; y < im.h; y += parts)
            for (int x = 0; x < im.w; ++x)
                im.px[size_t(y) * im.w + x] = pack(painter.pixel(x, y));
    };
    const unsigned hw = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < hw; ++i)
        workers.emplace_back(band, int(i), int(hw));
    band(0, int(hw));
    for (std::thread &t : workers)
        t.join();
    return im;
}
