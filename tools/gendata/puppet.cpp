// puppet.cpp - the sprite canvas and the ellipsoid ray-caster.

#include "puppet.h"

#include <algorithm>

namespace
{

constexpr float elevation = 0.64f; // radians the view looks down (about 37 degrees)
const V3 viewDir = {0, std::cos(elevation), -std::sin(elevation)}; // into the scene
const V3 screenUp = {0, std::sin(elevation), std::cos(elevation)};
const V3 screenRight = {1, 0, 0};
const V3 toLight = normalised(screenRight * -0.6f + screenUp * 0.65f + viewDir * -0.55f);
const V3 halfway = normalised(toLight + viewDir * -1.f);

struct WorldPart {
    V3 centre, e[3]; // e: axis / |axis|^2
    const Part *part;
    int x0, y0, x1, y1; // pixel bounds
};

} // namespace

SpriteCanvas::SpriteCanvas(int w_, int h_)
    : w(w_), h(h_), colour(size_t(w_) * h_), cover(size_t(w_) * h_, 0), depth(size_t(w_) * h_, 1e9f),
      part(size_t(w_) * h_, -1)
{
}

void SpriteCanvas::add(int x, int y, Col c, float a, int partId, float z)
{
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0)
        return;
    const size_t i = size_t(y) * w + x;
    a = clamp01(a);
    colour[i] = cover[i] <= 0 ? c : mix(colour[i], c, a);
    cover[i] = cover[i] + a * (1 - cover[i]);
    if (a >= 0.5f) {
        part[i] = partId;
        depth[i] = z;
    }
}

void SpriteCanvas::capsule(float x0, float y0, float x1, float y1, float r, Col c)
{
    int bx0, by0, bx1, by1;
    capsuleBounds(x0, y0, x1, y1, r, bx0, by0, bx1, by1);
    for (int y = by0; y <= by1; ++y)
        for (int x = bx0; x <= bx1; ++x)
            add(x, y, c, capsuleCoverage(x0, y0, x1, y1, r, x, y), -2, -1e9f);
}

void SpriteCanvas::polygon(const std::vector<float> &xy, Col c)
{
    int x0, y0, x1, y1;
    polygonBounds(xy, x0, y0, x1, y1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            add(x, y, c, polygonCoverage(xy, x, y), -3, -1e9f);
}

Image SpriteCanvas::finish(bool inkLines) const
{
    Image im(w, h, magenta);
    auto solid = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h && cover[size_t(y) * w + x] >= 0.5f;
    };
    const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (solid(x, y)) {
                Col c = colour[i];
                if (inkLines && part[i] >= 0)
                    for (int k = 0; k < 4; ++k) {
                        const int nx = x + dx[k], ny = y + dy[k];
                        if (!solid(nx, ny))
                            continue;
                        const size_t j = size_t(ny) * w + nx;
                        if (part[j] >= 0 && part[j] != part[i] && depth[j] < depth[i] - 2.5f) {
                            c = c * 0.55f;
                            break;
                        }
                    }
                im.px[i] = pack(c);
                continue;
            }
            // Outside: a dark outline next to the figure.
            for (int k = 0; k < 4; ++k)
                if (solid(x + dx[k], y + dy[k])) {
                    const Col n = colour[size_t(y + dy[k]) * w + x + dx[k]];
                    im.px[i] = pack(mix(n * 0.22f, hex(0x141014), 0.5f));
                    break;
                }
        }
    return im;
}

void Figure::blob(V3 centre, V3 radii, Col c, float shine)
{
    oriented(centre, v3(radii.x, 0, 0), v3(0, radii.y, 0), v3(0, 0, radii.z), c, shine);
}

void Figure::glowBlob(V3 centre, float r, Col c)
{
    oriented(centre, v3(r, 0, 0), v3(0, r, 0), v3(0, 0, r), c, 0, true);
}

void Figure::limb(V3 a, V3 b, float r, Col c, float shine)
{
    const V3 d = b - a;
    const float len = length(d);
    const V3 u = len > 1e-4f ? d * (1 / len) : v3(0, 0, 1);
    V3 p = std::fabs(u.z) < 0.9f ? cross(u, v3(0, 0, 1)) : cross(u, v3(1, 0, 0));
    p = normalised(p);
    const V3 q = cross(u, p);
    oriented((a + b) * 0.5f, u * (len / 2 + r * 0.85f), p * r, q * r, c, shine);
}

void Figure::oriented(V3 centre, V3 a0, V3 a1, V3 a2, Col c, float shine, bool glow)
{
    Part p;
    p.centre = centre;
    p.axis[0] = a0, p.axis[1] = a1, p.axis[2] = a2;
    p.colour = c;
    p.shine = shine;
    p.glow = glow;
    p.group = group;
    parts.push_back(p);
}

V3 toWorld(V3 l, float facing)
{
    const float c = std::cos(facing), s = std::sin(facing);
    // forward (c, s); the figure's right hand is (s, -c)
    return {l.x * c + l.y * s, l.x * s - l.y * c, l.z};
}

void project(const View &v, V3 local, float &sx, float &sy)
{
    const V3 p = toWorld(local, v.facing);
    sx = v.groundX + dot(p, screenRight) * v.scale;
    sy = v.groundY - dot(p, screenUp) * v.scale;
}

void render(SpriteCanvas &canvas, const Figure &f, const View &v)
{
    std::vector<WorldPart> parts;
    for (const Part &p : f.parts) {
        WorldPart w;
        w.centre = toWorld(p.centre, v.facing);
        float reach = 0;
        for (int k = 0; k < 3; ++k) {
            const V3 a = toWorld(p.axis[k], v.facing);
            const float l2 = std::max(1e-8f, dot(a, a));
            w.e[k] = a * (1 / l2);
            reach += std::sqrt(l2) * std::sqrt(l2); // sum of squares, root below
        }
        reach = std::sqrt(reach);
        float sx, sy;
        project(v, p.centre, sx, sy);
        w.x0 = int(std::floor(sx - reach * v.scale)) - 1, w.x1 = int(std::ceil(sx + reach * v.scale)) + 1;
        w.y0 = int(std::floor(sy - reach * v.scale)) - 1, w.y1 = int(std::ceil(sy + reach * v.scale)) + 1;
        w.part = &p;
        parts.push_back(w);
    }
    int bx0 = canvas.w, by0 = canvas.h, bx1 = -1, by1 = -1;
    for (const WorldPart &w : parts)
        bx0 = std::min(bx0, w.x0), by0 = std::min(by0, w.y0), bx1 = std::max(bx1, w.x1),
        by1 = std::max(by1, w.y1);
    bx0 = std::max(bx0, 0), by0 = std::max(by0, 0), bx1 = std::min(bx1, canvas.w - 1),
    by1 = std::min(by1, canvas.h - 1);
    std::vector<const WorldPart *> here;
    for (int y = by0; y <= by1; ++y)
        for (int x = bx0; x <= bx1; ++x) {
            here.clear();
            for (const WorldPart &w : parts)
                if (x >= w.x0 && x <= w.x1 && y >= w.y0 && y <= w.y1)
                    here.push_back(&w);
            if (here.empty())
                continue;
            Col sum;
            int hits = 0, centreGroup = -1;
            float centreDepth = 1e9f;
            for (int s = 0; s < 9; ++s) {
                const float px = x + (s % 3 + 0.5f) / 3, py = y + (s / 3 + 0.5f) / 3;
                const V3 o = screenRight * ((px - v.groundX) / v.scale) +
                             screenUp * ((v.groundY - py) / v.scale) - viewDir * 500.f;
                float best = 1e9f;
                const WorldPart *hit = nullptr;
                V3 normal;
                for (const WorldPart *w : here) {
                    const V3 rel = o - w->centre;
                    float a = 0, b = 0, c = -1, u0[3], du[3];
                    for (int k = 0; k < 3; ++k) {
                        u0[k] = dot(rel, w->e[k]);
                        du[k] = dot(viewDir, w->e[k]);
                        a += du[k] * du[k], b += u0[k] * du[k], c += u0[k] * u0[k];
                    }
                    const float disc = b * b - a * c;
                    if (disc < 0)
                        continue;
                    const float t = (-b - std::sqrt(disc)) / a;
                    if (t < best) {
                        best = t;
                        hit = w;
                        normal = w->e[0] * (u0[0] + t * du[0]) + w->e[1] * (u0[1] + t * du[1]) +
                                 w->e[2] * (u0[2] + t * du[2]);
                    }
                }
                if (!hit)
                    continue;
                ++hits;
                const Part &p = *hit->part;
                Col c = p.colour;
                if (!p.glow) {
                    const V3 n = normalised(normal);
                    const float diffuse = std::max(0.f, dot(n, toLight));
                    const float facingViewer = std::max(0.f, -dot(n, viewDir));
                    float k = (0.42f + 0.75f * diffuse) * (0.74f + 0.26f * facingViewer);
                    const float spec = p.shine * std::pow(std::max(0.f, dot(n, halfway)), 22.f) * 255;
                    c = c * k + col(spec, spec, spec);
                }
                sum = sum + c;
                if (s == 4 || centreGroup < 0) {
                    centreGroup = p.group;
                    centreDepth = best * v.scale;
                }
            }
            if (hits)
                canvas.add(x, y, sum * (1.f / hits), hits / 9.f, centreGroup, centreDepth);
        }
}

float rowFacing(int row)
{
    static const float degrees[8] = {0, 90, 45, 135, 270, 315, 225, 180};
    return degrees[row & 7] * float(M_PI) / 180;
}
