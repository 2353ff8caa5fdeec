#pragma once
// The playable game's textures and materials: surfaces for the tower, walls, traps, invaders,
// cursor and scenery, trap icons, invader portraits, status icons, and one material file per
// surface. Everything is drawn from hashed noise and simple shapes, so reruns give the same bytes.
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "graphics/resource/DdsReader.h"
#include "graphics/resource/TextureData.h"
#include "tools/TextureFiles.h"

namespace content {

struct Rgb
{
    float r, g, b;
};

inline Rgb Mix(const Rgb& a, const Rgb& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

inline float Hash(int x, int y, int seed)
{
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return float(h & 0xFFFFu) / 65535.0f;
}

// Smooth value noise that wraps every period cells, so the textures tile.
inline float Noise(float x, float y, int period, int seed)
{
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const float fx = x - float(x0), fy = y - float(y0);
    const float sx = fx * fx * (3.0f - 2.0f * fx), sy = fy * fy * (3.0f - 2.0f * fy);
    auto at = [&](int i, int j) {
        return Hash(((i % period) + period) % period, ((j % period) + period) % period, seed);
    };
    const float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
    const float bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
    return top + (bottom - top) * sy;
}

// Three octaves in 0..1 over a texture of the given size.
inline float Fractal(uint32_t x, uint32_t y, uint32_t size, int seed)
{
    float sum = 0.0f, weight = 0.5f, total = 0.0f;
    for (int octave = 0; octave < 3; ++octave)
    {
        const int period = 4 << octave;
        const float scale = float(period) / float(size);
        sum += Noise(float(x) * scale, float(y) * scale, period, seed + octave) * weight;
        total += weight;
        weight *= 0.5f;
    }
    return sum / total;
}

struct Canvas
{
    uint32_t size;
    std::vector<uint8_t> rgba;

    explicit Canvas(uint32_t s) : size(s), rgba(size_t(s) * s * 4, 0) {}

    void Set(uint32_t x, uint32_t y, const Rgb& c, float alpha = 1.0f)
    {
        uint8_t* p = &rgba[(size_t(y) * size + x) * 4];
        p[0] = uint8_t(std::lround(std::clamp(c.r, 0.0f, 1.0f) * 255.0f));
        p[1] = uint8_t(std::lround(std::clamp(c.g, 0.0f, 1.0f) * 255.0f));
        p[2] = uint8_t(std::lround(std::clamp(c.b, 0.0f, 1.0f) * 255.0f));
        p[3] = uint8_t(std::lround(std::clamp(alpha, 0.0f, 1.0f) * 255.0f));
    }
    void Fill(const std::function<Rgb(uint32_t, uint32_t)>& paint)
    {
        for (uint32_t y = 0; y < size; ++y)
            for (uint32_t x = 0; x < size; ++x)
                Set(x, y, paint(x, y));
    }
    // Paints where the test holds, in unit coordinates (0..1 across, 0..1 down).
    void Shape(const std::function<bool(float, float)>& inside, const Rgb& c)
    {
        for (uint32_t y = 0; y < size; ++y)
            for (uint32_t x = 0; x < size; ++x)
                if (inside((float(x) + 0.5f) / float(size), (float(y) + 0.5f) / float(size)))
                    Set(x, y, c);
    }
};

// Opaque surfaces go out as DXT1 with their mip chain.
inline bool SaveDds(const std::filesystem::path& path, const Canvas& canvas)
{
    return WriteDds(path, Compressed(canvas.rgba, canvas.size, TextureFormat::DXT1), true);
}

inline bool SavePng(const std::filesystem::path& path, const Canvas& canvas)
{
    return WritePng(path, canvas.size, canvas.size, canvas.rgba);
}

// ---- Surfaces ---------------------------------------------------------------------------

// Courses of blocks with darker mortar between them.
inline Canvas Blocks(uint32_t size, int rows, int columns, const Rgb& stone, const Rgb& mortar, int seed)
{
    Canvas c(size);
    const float rowHeight = float(size) / float(rows), blockWidth = float(size) / float(columns);
    c.Fill([&](uint32_t x, uint32_t y) {
        const int row = int(float(y) / rowHeight);
        const float shifted = float(x) + (row % 2 ? blockWidth * 0.5f : 0.0f);
        const float bx = std::fmod(shifted, blockWidth), by = std::fmod(float(y), rowHeight);
        const int block = int(shifted / blockWidth) % columns;
        const float n = Fractal(x, y, size, seed);
        if (bx < 1.5f || by < 1.5f)
            return Mix(mortar, stone, n * 0.3f);
        const float shade = 0.8f + 0.25f * Hash(block, row, seed) + 0.2f * (n - 0.5f);
        return Rgb{stone.r * shade, stone.g * shade, stone.b * shade};
    });
    return c;
}

inline Canvas Mottled(uint32_t size, const Rgb& dark, const Rgb& light, int seed)
{
    Canvas c(size);
    c.Fill([&](uint32_t x, uint32_t y) { return Mix(dark, light, Fractal(x, y, size, seed)); });
    return c;
}

inline Canvas Stripes(uint32_t size, int count, const Rgb& a, const Rgb& b, bool across)
{
    Canvas c(size);
    c.Fill([&](uint32_t x, uint32_t y) {
        const uint32_t t = across ? y : x;
        return ((t * uint32_t(count)) / size) % 2 == 0 ? a : b;
    });
    return c;
}

// Brushed plates with rivets along the seams.
inline Canvas Metal(uint32_t size, const Rgb& tint, int seed)
{
    Canvas c(size);
    const uint32_t plate = size / 2;
    c.Fill([&](uint32_t x, uint32_t y) {
        const float brush = Noise(float(x) * 0.5f, float(y) * 0.05f, int(size / 2), seed) * 0.15f;
        const uint32_t px = x % plate, py = y % plate;
        float shade = 0.75f + brush;
        if (px < 1 || py < 1)
            shade = 0.45f;
        const int rx = int(px) - 4, ry = int(py) - 4;
        if (rx * rx + ry * ry < 5)
            shade = 1.0f;
        return Rgb{tint.r * shade, tint.g * shade, tint.b * shade};
    });
    return c;
}

// Invader skin: mottled hide with a dark belt across the middle.
inline Canvas Skin(uint32_t size, const Rgb& hide, int seed)
{
    Canvas c(size);
    const Rgb dark{hide.r * 0.45f, hide.g * 0.45f, hide.b * 0.45f};
    c.Fill([&](uint32_t x, uint32_t y) {
        const float v = float(y) / float(size);
        if (v > 0.55f && v < 0.62f)
            return Rgb{0.2f, 0.15f, 0.1f};
        return Mix(dark, hide, 0.5f + 0.5f * Fractal(x, y, size, seed));
    });
    return c;
}

// ---- Pictures ---------------------------------------------------------------------------

inline bool InCircle(float u, float v, float cu, float cv, float r)
{
    return (u - cu) * (u - cu) + (v - cv) * (v - cv) < r * r;
}

inline bool InRect(float u, float v, float u0, float v0, float u1, float v1)
{
    return u >= u0 && u <= u1 && v >= v0 && v <= v1;
}

// A portrait for the invader viewer: the kind's silhouette on a sky gradient.
inline Canvas Portrait(const Rgb& hide, float width, float head, float belly)
{
    Canvas c(128);
    c.Fill([&](uint32_t, uint32_t y) {
        return Mix(Rgb{0.55f, 0.7f, 0.95f}, Rgb{0.95f, 0.85f, 0.6f}, float(y) / 128.0f);
    });
    c.Shape([&](float u, float v) { return InRect(u, v, 0.0f, 0.85f, 1.0f, 1.0f); }, {0.3f, 0.55f, 0.2f});
    const Rgb dark{hide.r * 0.5f, hide.g * 0.5f, hide.b * 0.5f};
    c.Shape([&](float u, float v) { return InRect(u, v, 0.5f - 0.12f * width, 0.6f, 0.5f - 0.03f, 0.88f); }, dark);
    c.Shape([&](float u, float v) { return InRect(u, v, 0.5f + 0.03f, 0.6f, 0.5f + 0.12f * width, 0.88f); }, dark);
    c.Shape(
        [&](float u, float v) {
            const float du = (u - 0.5f) / (0.2f * width * belly), dv = (v - 0.48f) / 0.2f;
            return du * du + dv * dv < 1.0f;
        },
        hide);
    c.Shape([&](float u, float v) { return InCircle(u, v, 0.5f, 0.22f, 0.1f * head); }, hide);
    c.Shape(
        [&](float u, float v) {
            return InCircle(u, v, 0.46f, 0.2f, 0.02f * head) || InCircle(u, v, 0.54f, 0.2f, 0.02f * head);
        },
        {1.0f, 1.0f, 1.0f});
    return c;
}

// A trap button picture: a glyph on a rounded panel of the trap's colour.
inline Canvas Icon(const Rgb& panel, const std::function<bool(float, float)>& glyph)
{
    Canvas c(64);
    c.Fill([&](uint32_t x, uint32_t y) {
        const float u = (float(x) + 0.5f) / 64.0f, v = (float(y) + 0.5f) / 64.0f;
        const bool edge = u < 0.06f || v < 0.06f || u > 0.94f || v > 0.94f;
        return edge ? Rgb{0.1f, 0.1f, 0.1f} : Mix(panel, Rgb{0.1f, 0.1f, 0.15f}, v * 0.5f);
    });
    c.Shape(glyph, {0.95f, 0.95f, 0.9f});
    return c;
}

// ---- The game's set ---------------------------------------------------------------------

struct InvaderLook
{
    const char* name;
    const char* file;
    Rgb hide;
    float width, head, belly;
};

inline const std::vector<InvaderLook>& InvaderLooks()
{
    static const std::vector<InvaderLook> looks = {
        {"grunt", "Grunt", {0.35f, 0.7f, 0.3f}, 1.0f, 1.0f, 1.0f},
        {"bomber", "Bomber", {0.85f, 0.35f, 0.2f}, 1.25f, 0.9f, 1.7f},
        {"stacker", "Stacker", {0.3f, 0.45f, 0.85f}, 1.5f, 0.8f, 1.3f},
        {"squad", "Squad", {0.6f, 0.35f, 0.75f}, 0.95f, 0.9f, 0.9f},
        {"kamikaze", "Kamikaze", {0.9f, 0.8f, 0.2f}, 0.8f, 1.35f, 0.8f},
        {"jumper", "Jumper", {0.7f, 0.9f, 0.3f}, 0.85f, 0.95f, 0.8f},
        {"antigrabber", "AntiGrabber", {0.5f, 0.52f, 0.58f}, 1.3f, 0.85f, 1.15f},
        // Dusky, yet light enough to stand out on the viewer's dark panel.
        {"ninja", "Ninja", {0.36f, 0.36f, 0.5f}, 0.85f, 0.9f, 0.75f},
        {"spiker", "Spiker", {0.3f, 0.75f, 0.7f}, 1.1f, 1.1f, 1.05f},
        {"psychic", "Psychic", {0.95f, 0.6f, 0.85f}, 0.8f, 1.6f, 0.8f},
        {"driller", "Driller", {0.55f, 0.4f, 0.25f}, 1.4f, 0.85f, 1.25f},
        {"plain", "Plain", {0.7f, 0.68f, 0.6f}, 1.0f, 1.0f, 1.0f},
        // The viewer's first invader before the player browses.
        {"Normal", "Normal", {0.55f, 0.6f, 0.5f}, 1.0f, 1.0f, 1.0f},
    };
    return looks;
}

// One material file: a diffuse texture and its colours.
inline bool SaveMaterial(const std::filesystem::path& path, const std::string& texture, const Rgb& diffuse, float power,
                         float ambient = 0.5f)
{
    auto real = [](float v) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", double(v));
        return std::string(text);
    };
    auto color = [&](const char* name, const Rgb& c) {
        return std::string("\t\t<color name=\"") + name + "\">\n\t\t\t<real name=\"Red\">" + real(c.r) +
            "</real>\n\t\t\t<real name=\"Green\">" + real(c.g) + "</real>\n\t\t\t<real name=\"Blue\">" + real(c.b) +
            "</real>\n\t\t\t<real name=\"Alpha\">1</real>\n\t\t</color>\n";
    };
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n\t<material>\n";
    xml += "\t\t<texture name=\"Diffuse\">" + texture + "</texture>\n";
    xml += "\t\t<texture name=\"Normal\"></texture>\n\t\t<texture name=\"Effect\"></texture>\n";
    xml += color("AmbientColor", {ambient, ambient, ambient});
    xml += color("DiffuseColor", diffuse);
    xml += color("SpecularColor", {0.3f, 0.3f, 0.3f});
    xml += "\t\t<real name=\"Power\">" + real(power) + "</real>\n";
    xml += "\t\t<vector name=\"Params\">\n\t\t\t<real name=\"x\">0</real>\n\t\t\t<real name=\"y\">0</real>\n"
           "\t\t\t<real name=\"z\">0</real>\n\t\t</vector>\n";
    xml += "\t</material>\n</Stream>\n";
    return WriteBytes(path, xml.data(), xml.size());
}

// Tower, wall, trap and prop surfaces: a texture and a plain material each.
inline bool WriteSurfaces(const std::filesystem::path& t, const std::filesystem::path& m)
{
    const Rgb white{1, 1, 1};
    bool ok = true;
    struct Surface
    {
        const char* texture;
        const char* material;
        Canvas canvas;
        float power;
    };
    std::vector<Surface> surfaces;
    surfaces.push_back(
        {"Tower/Stone.dds", "Tower.xml", Blocks(128, 8, 4, {0.72f, 0.7f, 0.65f}, {0.3f, 0.28f, 0.25f}, 1), 8});
    Canvas banner = Stripes(64, 1, {0.15f, 0.25f, 0.7f}, {0.15f, 0.25f, 0.7f}, false);
    banner.Shape(
        [](float u, float v) { return InCircle(u, v, 0.5f, 0.4f, 0.22f) && !InCircle(u, v, 0.5f, 0.4f, 0.14f); },
        {0.95f, 0.8f, 0.2f});
    banner.Shape([](float u, float v) { return InRect(u, v, 0.45f, 0.6f, 0.55f, 0.95f); }, {0.95f, 0.8f, 0.2f});
    surfaces.push_back({"Tower/Banner.dds", "Banner.xml", banner, 4});
    surfaces.push_back(
        {"Walls/Brick.dds", "Wall.xml", Blocks(64, 8, 4, {0.7f, 0.35f, 0.25f}, {0.55f, 0.5f, 0.45f}, 2), 4});
    surfaces.push_back(
        {"Walls/SuperBrick.dds", "SuperWall.xml", Blocks(64, 4, 2, {0.45f, 0.45f, 0.5f}, {0.2f, 0.2f, 0.2f}, 3), 16});
    surfaces.push_back({"Traps/Metal.dds", "Metal.xml", Metal(64, {0.7f, 0.72f, 0.75f}, 4), 32});
    surfaces.push_back({"Traps/Wood.dds", "Wood.xml", Mottled(64, {0.35f, 0.22f, 0.1f}, {0.6f, 0.42f, 0.22f}, 5), 4});
    surfaces.push_back({"Traps/Slime.dds", "Slime.xml", Mottled(64, {0.2f, 0.45f, 0.1f}, {0.55f, 0.95f, 0.3f}, 6), 24});
    surfaces.push_back({"Props/Claw.dds", "Claw.xml", Metal(64, {0.95f, 0.78f, 0.3f}, 7), 48});
    surfaces.push_back(
        {"Props/Cloth.dds", "Cloth.xml", Stripes(64, 8, {0.9f, 0.2f, 0.2f}, {0.95f, 0.95f, 0.95f}, false), 2});
    surfaces.push_back(
        {"Props/Leaves.dds", "Leaves.xml", Mottled(64, {0.1f, 0.35f, 0.1f}, {0.35f, 0.65f, 0.2f}, 8), 2});
    surfaces.push_back(
        {"Props/Bark.dds", "Bark.xml", Stripes(64, 6, {0.35f, 0.25f, 0.15f}, {0.28f, 0.2f, 0.12f}, false), 2});
    surfaces.push_back({"Props/Rock.dds", "Rock.xml", Mottled(64, {0.35f, 0.33f, 0.3f}, {0.65f, 0.62f, 0.58f}, 9), 8});
    surfaces.push_back({"Props/Bomb.dds", "Bomb.xml", Metal(64, {0.2f, 0.2f, 0.22f}, 10), 40});
    surfaces.push_back(
        {"Props/Portal.dds", "Portal.xml", Mottled(64, {0.25f, 0.05f, 0.35f}, {0.8f, 0.4f, 0.95f}, 11), 16});
    surfaces.push_back(
        {"Props/Missile.dds", "Missile.xml", Stripes(64, 4, {0.85f, 0.85f, 0.85f}, {0.8f, 0.15f, 0.1f}, true), 24});
    for (const Surface& s : surfaces)
    {
        ok = SaveDds(t / s.texture, s.canvas) && ok;
        ok = SaveMaterial(m / s.material, std::string("Textures/") + s.texture, white, s.power) && ok;
    }

    return ok;
}

// Each invader's skin, portrait and its plain, blind and dumb materials, with the shared status looks.
inline bool WriteInvaderLooks(const std::filesystem::path& t, const std::filesystem::path& m)
{
    const Rgb white{1, 1, 1};
    bool ok = true;
    // The menu's status looks: the plain hide, blind (dimmed), dumb (washed out) and metallic.
    ok = SaveMaterial(m / "Metallic.xml", "Textures/Traps/Metal.dds", {0.8f, 0.85f, 0.9f}, 64) && ok;
    // The invader component's own looks for the dumb (and poisoned) and blind effects.
    ok = SaveMaterial(m / "DumbMat.xml", "Textures/Traps/Slime.dds", {1.0f, 0.85f, 1.0f}, 2, 0.9f) && ok;
    ok = SaveMaterial(m / "BlindMat.xml", "Textures/Props/Bomb.dds", {0.35f, 0.35f, 0.4f}, 8, 0.2f) && ok;
    for (const InvaderLook& look : InvaderLooks())
    {
        const std::string skin = std::string("Invaders/") + look.file + ".dds";
        ok = SaveDds(t / skin, Skin(64, look.hide, 20 + int(look.name[0]))) && ok;
        ok = SaveDds(t / "Art" / (std::string(look.file) + ".dds"),
                     Portrait(look.hide, look.width, look.head, look.belly)) &&
            ok;
        const std::string texture = "Textures/" + skin;
        ok = SaveMaterial(m / (std::string(look.name) + "Mat.xml"), texture, white, 8) && ok;
        ok = SaveMaterial(m / (std::string(look.name) + "BlindMat.xml"), texture, {0.35f, 0.35f, 0.4f}, 8, 0.2f) && ok;
        ok = SaveMaterial(m / (std::string(look.name) + "DumbMat.xml"), texture, {1.0f, 0.85f, 1.0f}, 2, 0.9f) && ok;
    }

    return ok;
}

// Trap buttons.
inline bool WriteTrapIcons(const std::filesystem::path& t)
{
    bool ok = true;
    struct IconRow
    {
        const char* file;
        Rgb panel;
        std::function<bool(float, float)> glyph;
    };
    const std::vector<IconRow> icons = {
        {"Spikes",
         {0.55f, 0.55f, 0.6f},
         [](float u, float v) {
             const float cell = std::fmod(u * 3.0f, 1.0f);
             return v > 0.3f && v < 0.8f && std::fabs(cell - 0.5f) < (v - 0.3f) * 0.9f;
         }},
        {"Hammer",
         {0.6f, 0.4f, 0.2f},
         [](float u, float v) {
             return InRect(u, v, 0.2f, 0.2f, 0.8f, 0.4f) || InRect(u, v, 0.44f, 0.4f, 0.56f, 0.85f);
         }},
        {"Spring",
         {0.3f, 0.55f, 0.3f},
         [](float u, float v) {
             const float wave = 0.5f + 0.25f * std::sin(v * 28.0f);
             return v > 0.2f && v < 0.8f && std::fabs(u - wave) < 0.06f;
         }},
        {"Poison",
         {0.35f, 0.6f, 0.15f},
         [](float u, float v) {
             return InCircle(u, v, 0.5f, 0.55f, 0.25f) && !InCircle(u, v, 0.42f, 0.5f, 0.06f) &&
                 !InCircle(u, v, 0.58f, 0.5f, 0.06f);
         }},
        {"Fan",
         {0.25f, 0.45f, 0.7f},
         [](float u, float v) {
             return InCircle(u, v, 0.5f, 0.5f, 0.32f) && (std::fabs(u - 0.5f) < 0.07f || std::fabs(v - 0.5f) < 0.07f);
         }},
        {"Wall",
         {0.65f, 0.3f, 0.2f},
         [](float u, float v) {
             const int row = int(v * 6.0f);
             const float x = std::fmod(u * 3.0f + (row % 2 ? 0.5f : 0.0f), 1.0f);
             return v > 0.2f && v < 0.8f && x > 0.08f && std::fmod(v * 6.0f, 1.0f) > 0.15f;
         }},
    };
    for (const IconRow& row : icons)
        ok = SaveDds(t / "Icons" / (std::string(row.file) + ".dds"), Icon(row.panel, row.glyph)) && ok;

    return ok;
}

// The invader viewer's icon sheet: a grid of four by four cells, one per invader index, as
// the viewer's icon box cuts it.
inline bool WriteInvaderSheet(const std::filesystem::path& t)
{
    Canvas sheet(256);
    sheet.Fill([](uint32_t, uint32_t) { return Rgb{0.1f, 0.1f, 0.15f}; });
    for (const InvaderLook& look : InvaderLooks())
    {
        static const std::vector<std::string> order = {"grunt",    "stacker", "bomber",      "squad",
                                                       "kamikaze", "jumper",  "antigrabber", "ninja",
                                                       "spiker",   "psychic", "driller",     "plain"};
        const auto at = std::find(order.begin(), order.end(), std::string(look.name));
        if (at == order.end())
            continue;
        const int index = int(at - order.begin());
        const float cu = (float(index % 4) + 0.5f) / 4.0f, cv = (float(index / 4) + 0.5f) / 4.0f;
        sheet.Shape([&](float u, float v) { return InCircle(u, v, cu, cv - 0.04f, 0.05f * look.head); }, look.hide);
        sheet.Shape(
            [&](float u, float v) {
                const float du = (u - cu) / (0.05f * look.width * look.belly), dv = (v - cv - 0.05f) / 0.06f;
                return du * du + dv * dv < 1.0f;
            },
            look.hide);
    }
    return SaveDds(t / "Icons" / "Invaders.dds", sheet);
}

// The mini-map's icons (its ground comes from the terrain writer): invaders red, traps
// yellow, walls brown, the camera, cursor and tower white, in four columns.
inline bool WriteMapIcons(const std::filesystem::path& t)
{
    Canvas icons(64);
    const Rgb colours[4] = {{0.9f, 0.2f, 0.2f}, {1.0f, 0.9f, 0.2f}, {0.55f, 0.35f, 0.2f}, {1.0f, 1.0f, 1.0f}};
    for (int k = 0; k < 4; ++k)
        icons.Shape(
            [&](float u, float v) { return v < 0.25f && InCircle(u, v, (float(k) + 0.5f) / 4.0f, 0.125f, 0.1f); },
            colours[k]);
    return SavePng(t / "MapIcons.png", icons);
}

// The levels' ground: 257 x 257 heights (grey / 255 x the height scale) spread over the
// 512-unit field, nearly flat so the tiles' objects stand on it, with low swells for the eye.
inline bool WriteLevelHeight(const std::filesystem::path& data)
{
    constexpr int kSize = 257;
    std::vector<uint8_t> grey(size_t(kSize) * kSize * 3);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
        {
            const float n = Fractal(uint32_t(x), uint32_t(y), 256, 30);
            const auto v = uint8_t(std::lround(std::max(0.0f, n - 0.35f) * 24.0f));
            uint8_t* p = &grey[(size_t(y) * kSize + size_t(x)) * 3];
            p[0] = p[1] = p[2] = v;
        }
    std::vector<uint8_t> bmp;
    return stbi_write_bmp_to_func(
               [](void* context, void* data, int n) {
                   auto* out = static_cast<std::vector<uint8_t>*>(context);
                   out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
               },
               &bmp, kSize, kSize, 3, grey.data()) != 0 &&
        WriteBytes(data / "Data" / "LevelHeight.bmp", bmp.data(), bmp.size());
}

// The invader viewer's status icons, named as the menu asks for them.
inline bool WriteStatusIcons(const std::filesystem::path& t)
{
    bool ok = true;
    struct StatusRow
    {
        const char* file;
        Rgb colour;
    };
    for (const StatusRow& row : {StatusRow{"BLIND", {0.2f, 0.2f, 0.25f}}, StatusRow{"DUMB", {0.85f, 0.6f, 0.9f}},
                                 StatusRow{"METAL", {0.75f, 0.78f, 0.82f}}, StatusRow{"AURA", {0.95f, 0.85f, 0.3f}}})
    {
        Canvas icon(32);
        icon.Shape([](float u, float v) { return InCircle(u, v, 0.5f, 0.5f, 0.45f); }, row.colour);
        icon.Shape(
            [](float u, float v) { return InCircle(u, v, 0.5f, 0.5f, 0.45f) && !InCircle(u, v, 0.5f, 0.5f, 0.38f); },
            {0.1f, 0.1f, 0.1f});
        ok = SavePng(t / "StatusIcons" / (std::string(row.file) + ".png"), icon) && ok;
    }
    return ok;
}

inline bool WriteContentTextures(const std::filesystem::path& data)
{
    const std::filesystem::path t = data / "Textures";
    const std::filesystem::path m = data / "Materials";
    bool ok = WriteSurfaces(t, m);
    ok = WriteInvaderLooks(t, m) && ok;
    ok = WriteTrapIcons(t) && ok;
    ok = WriteInvaderSheet(t) && ok;
    ok = WriteMapIcons(t) && ok;
    ok = WriteLevelHeight(data) && ok;
    ok = WriteStatusIcons(t) && ok;
    return ok;
}

} // namespace content
