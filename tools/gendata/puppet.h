// puppet.h - figures built from ellipsoids, turned to any facing and ray-cast
// from the game's slanted top-down view; and the sprite canvas they land on.
//
// A sprite canvas blends only inside the figure: colour and coverage are kept
// apart, and when the canvas becomes a picture every pixel is either the
// figure's own solid colour or exact magenta, ringed by a dark outline.
#pragma once

#include "art.h"

struct V3 {
    float x = 0, y = 0, z = 0;
};
inline V3 v3(float x, float y, float z)
{
    return {x, y, z};
}
inline V3 operator+(V3 a, V3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline V3 operator-(V3 a, V3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline V3 operator*(V3 a, float k)
{
    return {a.x * k, a.y * k, a.z * k};
}
inline float dot(V3 a, V3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline V3 cross(V3 a, V3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(V3 a)
{
    return std::sqrt(dot(a, a));
}
inline V3 normalised(V3 a)
{
    return a * (1 / std::max(1e-6f, length(a)));
}

struct SpriteCanvas {
    int w, h;
    std::vector<Col> colour;
    std::vector<float> cover, depth;
    std::vector<int> part;
    SpriteCanvas(int w_, int h_);
    // Mixes c into the pixel by coverage a; a pixel nothing covered takes c as is.
    void add(int x, int y, Col c, float a, int partId = -1, float z = -1e9f);
    void capsule(float x0, float y0, float x1, float y1, float r, Col c);
    void polygon(const std::vector<float> &xy, Col c);
    // Solid pixels where coverage reaches one half, ink lines where a nearer
    // part overlaps a farther one, a dark outline outside; magenta elsewhere.
    Image finish(bool inkLines = true) const;
};

struct Part {
    V3 centre;
    V3 axis[3]; // semi-axes (length = radius)
    Col colour;
    float shine = 0.25f; // specular strength
    bool glow = false;   // unlit (eyes, embers)
    int group = 0;       // parts of one group draw no ink line between them
};

// A figure in its own frame: x forward, y to its right, z up; units are
// pixels at scale 1.
struct Figure {
    std::vector<Part> parts;
    int group = 0; // group given to the parts added next
    void blob(V3 centre, V3 radii, Col c, float shine = 0.25f);
    void glowBlob(V3 centre, float r, Col c);
    // An ellipsoid stretched from a to b, radius r across.
    void limb(V3 a, V3 b, float r, Col c, float shine = 0.2f);
    // An ellipsoid whose three axes are given (for tilted blades and capes).
    void oriented(V3 centre, V3 a0, V3 a1, V3 a2, Col c, float shine = 0.25f, bool glow = false);
};

struct View {
    float facing;       // radians, counter-clockwise from east (screen right), north is up
    float scale = 1;    // pixels per unit
    float groundX = 48; // where the figure's origin lands in the canvas
    float groundY = 66;
};

// The figure's point in world orientation (east, north, up) for a facing.
V3 toWorld(V3 local, float facing);
// Screen position (x, y) of a local point.
void project(const View &v, V3 local, float &sx, float &sy);
void render(SpriteCanvas &canvas, const Figure &f, const View &v);

// Facing angle of sheet row `row` (0 right, 1 up, 2 up-right, 3 up-left,
// 4 down, 5 down-right, 6 down-left, 7 left).
float rowFacing(int row);
