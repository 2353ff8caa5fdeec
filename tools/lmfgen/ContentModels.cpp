#include "tools/lmfgen/ContentModels.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "tools/lmfgen/GameModels.h"
#include "tools/lmfgen/ModelShapes.h"

namespace {
constexpr float kPi = 3.14159265358979f;

// Several shapes as one part.
LmfPart Merge(std::initializer_list<LmfPart> shapes)
{
    LmfPart part;
    for (const LmfPart& shape : shapes)
        Append(part, shape);
    ComputeAdjacency(part);
    return part;
}

LmfPart Box(const Vector3& min, const Vector3& max) { return MakeBox(min, max); }

LmfPart TubeAt(float radius, float y0, float y1, const Vector3& at, int segments = 10)
{
    LmfPart tube = MakeTube(radius, y1 - y0, 1, segments);
    Offset(tube, {at.x, at.y + y0, at.z});
    return tube;
}

LmfPart Ball(float radius, const Vector3& at, int rings = 8, int segments = 12)
{
    LmfPart ball = MakeSphere(radius, rings, segments);
    Offset(ball, at);
    return ball;
}

// Squashes and roughens a shape; the same position always moves the same way, so shared
// corners stay shared.
void Roughen(LmfPart& part, const Vector3& scale, float amount)
{
    for (FileVertex& v : part.vertices)
    {
        const Vector3 p = v.position;
        const float n = std::sin(p.x * 12.9898f + p.y * 78.233f + p.z * 37.719f) * 43758.5453f;
        const float jitter = 1.0f + amount * (2.0f * (n - std::floor(n)) - 1.0f);
        v.position = {p.x * scale.x * jitter, p.y * scale.y * jitter, p.z * scale.z * jitter};
        Vector3 normal(v.position.x / (scale.x * scale.x), v.position.y / (scale.y * scale.y),
                       v.position.z / (scale.z * scale.z));
        const float length = normal.Length();
        v.normal = length > 0.0f ? normal * (1.0f / length) : Vector3(0, 1, 0);
    }
}

// Turns an inward surface outward.
void FlipFaces(LmfPart& part)
{
    for (size_t i = 0; i + 2 < part.indices.size(); i += 3)
        std::swap(part.indices[i + 1], part.indices[i + 2]);
    for (FileVertex& v : part.vertices)
        v.normal = -v.normal;
    ComputeAdjacency(part);
}

LmfMesh Single(LmfPart part)
{
    LmfMesh mesh;
    mesh.parts.push_back(std::move(part));
    FitBounds(mesh);
    return mesh;
}

// Parts drawn with their own materials, all in model space.
LmfMesh Several(std::vector<LmfPart> parts)
{
    LmfMesh mesh;
    mesh.parts = std::move(parts);
    FitBounds(mesh);
    return mesh;
}

std::string MeshBytes(const LmfMesh& mesh) { return LmfWriter().Header().Mesh(mesh).End().Bytes(); }

// A rigid part hierarchy (kind 1). Every part hangs below part 0.
struct RigidPiece
{
    uint32_t parent;
    Vector3 rest;
    LmfPart shape;
};

// The square plate a trap stands on, the root of its hierarchy.
RigidPiece TrapBase() { return {kLmfNone, {0, 0, 0}, Box({-3.8f, 0.0f, -3.8f}, {3.8f, 0.4f, 3.8f})}; }

LmfMesh RigidMesh(std::vector<RigidPiece> pieces)
{
    LmfMesh mesh;
    mesh.kind = 1;
    for (uint32_t i = 0; i < pieces.size(); ++i)
    {
        LmfPart part = std::move(pieces[i].shape);
        part.index = i;
        part.parent = pieces[i].parent;
        mesh.parts.push_back(std::move(part));
        mesh.partBones.push_back({i, pieces[i].parent, 0});
    }
    FitBounds(mesh);
    return mesh;
}

// One motion of one track inside a clip: the track leaves its rest pose for the target pose
// and comes back, or stays there when hold is set.
struct Motion
{
    uint32_t track;
    Vector3 move;
    Vector3 axis;
    float degrees;
    bool hold;
};

LmfClip RigidClip(const std::string& name, float length, const std::vector<Vector3>& rest,
                  const std::vector<Motion>& motions)
{
    LmfClip clip;
    clip.name = name;
    clip.length = length;
    for (const Vector3& offset : rest)
        clip.tracks.push_back({Key(0.0f, offset)});
    for (const Motion& m : motions)
    {
        const Vector3 base = rest[m.track];
        const Quat turned = Turn(m.axis, m.degrees);
        auto& track = clip.tracks[m.track];
        track.clear();
        if (m.hold)
        {
            track.push_back(Key(0.0f, base));
            track.push_back(Key(length * 0.6f, base + m.move, turned));
            track.push_back(Key(length, base + m.move, turned));
        }
        else
        {
            track.push_back(Key(0.0f, base));
            track.push_back(Key(length * 0.5f, base + m.move, turned));
            track.push_back(Key(length, base));
        }
    }
    return clip;
}

// A clip whose every track sits at its pose for the whole length.
LmfClip PoseClip(const std::string& name, float length, const std::vector<Vector3>& rest,
                 const std::vector<Motion>& poses)
{
    LmfClip clip = RigidClip(name, length, rest, {});
    for (const Motion& m : poses)
        clip.tracks[m.track] = {Key(0.0f, rest[m.track] + m.move, Turn(m.axis, m.degrees))};
    return clip;
}

// The clip played backwards.
LmfClip Reverse(LmfClip clip, const std::string& name)
{
    clip.name = name;
    for (auto& track : clip.tracks)
    {
        std::reverse(track.begin(), track.end());
        for (AnimationKey& key : track)
            key.time = clip.length - key.time;
    }
    return clip;
}

std::vector<Vector3> RestOf(const std::vector<RigidPiece>& pieces)
{
    std::vector<Vector3> rest;
    rest.reserve(pieces.size());
    for (const RigidPiece& piece : pieces)
        rest.push_back(piece.rest);
    return rest;
}

// ---- Tower ----------------------------------------------------------------------------

std::vector<LmfPart> TowerShapes()
{
    std::vector<LmfPart> s;
    s.push_back(Merge({Box({-6.5f, 0.0f, -6.5f}, {6.5f, 1.0f, 6.5f}), Box({-6.0f, 1.0f, -6.0f}, {6.0f, 6.5f, 6.0f})}));
    s.push_back(Box({-5.0f, 6.5f, -5.0f}, {5.0f, 9.0f, 5.0f}));
    s.push_back(Box({-5.5f, 9.0f, -5.5f}, {5.5f, 10.5f, 5.5f}));
    s.push_back(Box({-4.5f, 10.5f, -4.5f}, {4.5f, 15.0f, 4.5f}));
    s.push_back(Box({-4.8f, 15.0f, -4.8f}, {4.8f, 16.0f, 4.8f}));
    s.push_back(Box({-4.5f, 16.0f, -4.5f}, {4.5f, 18.5f, 4.5f}));
    s.push_back(Box({-5.0f, 18.5f, -5.0f}, {5.0f, 23.5f, 5.0f}));
    for (int corner = 0; corner < 4; ++corner)
    {
        const float x = (corner & 1) ? 4.6f : -4.6f;
        const float z = (corner & 2) ? 4.6f : -4.6f;
        s.push_back(TubeAt(1.3f, 18.5f, 25.0f, {x, 0.0f, z}));
    }
    // Crenels along the four edges of the top.
    for (int side = 0; side < 4; ++side)
    {
        LmfPart crenels;
        for (int k = -1; k <= 1; ++k)
        {
            const float along = 2.6f * float(k);
            const bool alongX = side < 2;
            const float edge = (side % 2 == 0) ? 4.4f : -4.4f;
            const Vector3 c = alongX ? Vector3(along, 0.0f, edge) : Vector3(edge, 0.0f, along);
            Append(crenels, Box({c.x - 0.6f, 23.5f, c.z - 0.6f}, {c.x + 0.6f, 25.0f, c.z + 0.6f}));
        }
        ComputeAdjacency(crenels);
        s.push_back(std::move(crenels));
    }
    s.push_back(Box({-2.5f, 23.5f, -2.5f}, {2.5f, 28.0f, 2.5f}));
    s.push_back(Box({-3.0f, 28.0f, -3.0f}, {3.0f, 29.0f, 3.0f}));
    s.push_back(TubeAt(0.25f, 29.0f, 34.0f, {0.0f, 0.0f, 0.0f}, 6));
    s.push_back(Box({0.25f, 32.0f, -0.05f}, {3.0f, 33.8f, 0.05f}));
    // The banner over the door, on the storeys of parts 3 to 5.
    s.push_back(Box({-1.6f, 11.0f, 4.5f}, {1.6f, 17.5f, 4.7f}));
    return s;
}

// Which parts each break clip throws down.
struct BreakRow
{
    int first;
    int last;
    bool banner;
};
const BreakRow kBreaks[5] = {{0, 0, false}, {1, 2, true}, {3, 5, true}, {6, 10, false}, {11, 18, false}};

// ---- Traps ----------------------------------------------------------------------------
// A trap recharges only while "Inactive" plays, and once ready again it restarts clip 0: every
// trap model lists "Inactive" first.

std::vector<RigidPiece> SpikesPieces()
{
    LmfPart field;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
        {
            const float x = -2.7f + 1.8f * float(i), z = -2.7f + 1.8f * float(j);
            Append(field, Box({x - 0.25f, 0.0f, z - 0.25f}, {x + 0.25f, 2.2f, z + 0.25f}));
            Append(field, Box({x - 0.1f, 2.2f, z - 0.1f}, {x + 0.1f, 2.8f, z + 0.1f}));
        }
    ComputeAdjacency(field);
    std::vector<RigidPiece> p;
    p.push_back({kLmfNone, {0, 0, 0}, Box({-3.8f, 0.0f, -3.8f}, {3.8f, 0.5f, 3.8f})});
    p.push_back({0, {0, -2.4f, 0}, std::move(field)});
    return p;
}

std::vector<LmfClip> SpikesClips()
{
    const auto pieces = SpikesPieces();
    const auto rest = RestOf(pieces);
    const Vector3 up(0, 2.6f, 0);
    const LmfClip activate = RigidClip("Activate", 0.3f, rest, {{1, up, {1, 0, 0}, 0.0f, true}});
    return {RigidClip("Inactive", 1.0f, rest, {}), activate,
            Reverse(RigidClip("Lower", 1.0f, rest, {{1, up, {1, 0, 0}, 0.0f, true}}), "Deactivate"),
            RigidClip("Idle", 2.0f, rest, {})};
}

std::vector<RigidPiece> HammerPieces()
{
    std::vector<RigidPiece> p;
    p.push_back(TrapBase());
    p.push_back({0, {-3.0f, 0.4f, 0}, Box({-0.5f, 0.0f, -0.5f}, {0.5f, 5.0f, 0.5f})});
    p.push_back({1, {0, 5.0f, 0}, Box({0.0f, -0.3f, -0.3f}, {5.5f, 0.3f, 0.3f})});
    p.push_back({2, {5.5f, 0, 0}, Box({-1.0f, -1.6f, -1.2f}, {1.0f, 0.4f, 1.2f})});
    return p;
}

std::vector<LmfClip> HammerClips()
{
    const auto rest = RestOf(HammerPieces());
    const Vector3 none;
    const Motion raised{2, none, {0, 0, 1}, 55.0f, true};
    return {PoseClip("Inactive", 1.0f, rest, {raised}),
            PoseClip("Activate", 0.25f, rest, {{2, none, {0, 0, 1}, -10.0f, true}}),
            RigidClip("Deactivate", 1.2f, rest, {raised}), PoseClip("Idle", 2.0f, rest, {raised})};
}

// The four trap clips around an activation whose way back is a still pose at rest.
std::vector<LmfClip> StillBackClips(const std::vector<Vector3>& rest, LmfClip activate, float back)
{
    return {RigidClip("Inactive", 1.0f, rest, {}), std::move(activate), RigidClip("Deactivate", back, rest, {}),
            RigidClip("Idle", 2.0f, rest, {})};
}

std::vector<RigidPiece> SpringPieces()
{
    std::vector<RigidPiece> p;
    p.push_back(TrapBase());
    p.push_back({0, {0, 0.4f, 0}, TubeAt(1.4f, 0.0f, 1.2f, {0, 0, 0}, 12)});
    p.push_back({0, {0, 1.6f, 0}, Box({-3.2f, 0.0f, -3.2f}, {3.2f, 0.4f, 3.2f})});
    return p;
}

std::vector<LmfClip> SpringClips()
{
    const auto rest = RestOf(SpringPieces());
    return StillBackClips(
        rest,
        RigidClip("Activate", 0.4f, rest,
                  {{2, {0, 3.5f, 0}, {1, 0, 0}, 0.0f, false}, {1, {0, 1.2f, 0}, {1, 0, 0}, 0.0f, false}}),
        0.6f);
}

// The fan blows along -z: the housing faces that way and the rotor turns about z.
std::vector<RigidPiece> FanPieces()
{
    LmfPart blades;
    for (int i = 0; i < 4; ++i)
    {
        const bool across = i % 2 == 0;
        const float sign = i < 2 ? 1.0f : -1.0f;
        if (across)
            Append(blades, Box({sign > 0 ? 0.2f : -2.4f, -0.35f, -0.05f}, {sign > 0 ? 2.4f : -0.2f, 0.35f, 0.05f}));
        else
            Append(blades, Box({-0.35f, sign > 0 ? 0.2f : -2.4f, -0.05f}, {0.35f, sign > 0 ? 2.4f : -0.2f, 0.05f}));
    }
    ComputeAdjacency(blades);
    std::vector<RigidPiece> p;
    p.push_back(TrapBase());
    p.push_back({0, {0, 0.4f, 1.5f}, Box({-0.6f, 0.0f, -0.6f}, {0.6f, 3.0f, 0.6f})});
    p.push_back({1, {0, 3.0f, -0.8f}, Ball(0.5f, {0, 0, 0})});
    p.push_back({2, {0, 0, -0.3f}, std::move(blades)});
    return p;
}

std::vector<LmfClip> FanClips()
{
    const auto rest = RestOf(FanPieces());
    LmfClip spin = RigidClip("Activate", 0.5f, rest, {});
    spin.tracks[3].clear();
    for (int k = 0; k <= 4; ++k)
        spin.tracks[3].push_back(Key(0.125f * float(k), rest[3], Turn({0, 0, 1}, 90.0f * float(k))));
    return StillBackClips(rest, std::move(spin), 0.5f);
}

std::vector<RigidPiece> PoisonPieces()
{
    std::vector<RigidPiece> p;
    p.push_back({kLmfNone, {0, 0, 0}, Box({-5.8f, 0.0f, -5.8f}, {5.8f, 0.4f, 5.8f})});
    p.push_back({0, {0, 0.4f, 0}, TubeAt(3.0f, 0.0f, 3.0f, {0, 0, 0}, 14)});
    p.push_back({1, {0, 3.0f, 0}, Box({-3.2f, 0.0f, -3.2f}, {3.2f, 0.4f, 3.2f})});
    p.push_back({1, {-3.4f, 0.0f, 0}, TubeAt(0.3f, 0.0f, 4.0f, {0, 0, 0}, 6)});
    return p;
}

std::vector<LmfClip> PoisonClips()
{
    const auto rest = RestOf(PoisonPieces());
    return StillBackClips(rest, RigidClip("Activate", 1.0f, rest, {{2, {0, 2.0f, 0}, {0, 0, 1}, 25.0f, false}}), 0.5f);
}

// A squat tank with a chimney; the cap lifts and turns as a cloud puffs out.
std::vector<RigidPiece> MistPieces()
{
    std::vector<RigidPiece> p;
    p.push_back({kLmfNone, {0, 0, 0}, Box({-3.6f, 0.0f, -3.6f}, {3.6f, 0.4f, 3.6f})});
    p.push_back({0, {0, 0.4f, 0}, Merge({TubeAt(2.4f, 0.0f, 2.2f, {0, 0, 0}, 14), Ball(2.4f, {0, 2.2f, 0}, 6, 14)})});
    p.push_back({1, {0, 3.6f, 0}, TubeAt(0.6f, 0.0f, 1.8f, {0, 0, 0}, 10)});
    p.push_back({2, {0, 1.8f, 0}, Box({-0.9f, 0.0f, -0.9f}, {0.9f, 0.3f, 0.9f})});
    return p;
}

std::vector<LmfClip> MistClips()
{
    const auto rest = RestOf(MistPieces());
    return StillBackClips(rest, RigidClip("Activate", 0.8f, rest, {{3, {0, 1.2f, 0}, {0, 1, 0}, 90.0f, false}}), 0.5f);
}

// The usual four trap clips around an activation: "Inactive" at rest first, "Deactivate" the
// way back, "Idle" at rest.
std::vector<LmfClip> TrapClips(const std::vector<Vector3>& rest, LmfClip activate, float back)
{
    LmfClip deactivate = Reverse(activate, "Deactivate");
    deactivate.length = back;
    for (auto& track : deactivate.tracks)
        for (AnimationKey& key : track)
            key.time *= back / activate.length;
    return {RigidClip("Inactive", 1.0f, rest, {}), std::move(activate), std::move(deactivate),
            RigidClip("Idle", 2.0f, rest, {})};
}

// A turn of a track through a whole circle about an axis in quarter steps.
void Spin(LmfClip& clip, uint32_t track, const Vector3& at, const Vector3& axis, float turns)
{
    auto& keys = clip.tracks[track];
    keys.clear();
    const int steps = static_cast<int>(4.0f * turns);
    for (int k = 0; k <= steps; ++k)
        keys.push_back(Key(clip.length * float(k) / float(steps), at, Turn(axis, 90.0f * float(k))));
}

// The clips of a trap whose activation turns part 2 once round the vertical.
std::vector<LmfClip> SpinTrapClips(const std::vector<Vector3>& rest, float spin, float back)
{
    LmfClip activate = RigidClip("Activate", spin, rest, {});
    Spin(activate, 2, rest[2], {0, 1, 0}, 1.0f);
    return TrapClips(rest, std::move(activate), back);
}

// An axe blade on an arm that sweeps once round its post.
std::vector<RigidPiece> AxePieces()
{
    std::vector<RigidPiece> p;
    p.push_back(TrapBase());
    p.push_back({0, {0, 0.4f, 0}, TubeAt(0.5f, 0.0f, 2.6f, {0, 0, 0}, 10)});
    p.push_back(
        {1,
         {0, 2.6f, 0},
         Merge({Box({0.0f, -0.2f, -0.2f}, {3.0f, 0.2f, 0.2f}), Box({2.6f, -1.2f, -0.08f}, {3.8f, 1.2f, 0.08f})})});
    return p;
}

std::vector<LmfClip> AxeClips() { return SpinTrapClips(RestOf(AxePieces()), 0.6f, 0.3f); }

// A framed hole whose two doors drop open.
std::vector<RigidPiece> PitPieces()
{
    LmfPart frame = Merge({Box({-3.8f, 0.0f, -3.8f}, {3.8f, 0.4f, -3.2f}), Box({-3.8f, 0.0f, 3.2f}, {3.8f, 0.4f, 3.8f}),
                           Box({-3.8f, 0.0f, -3.2f}, {-3.2f, 0.4f, 3.2f}), Box({3.2f, 0.0f, -3.2f}, {3.8f, 0.4f, 3.2f}),
                           Box({-3.2f, -3.0f, -3.2f}, {3.2f, -2.8f, 3.2f})});
    std::vector<RigidPiece> p;
    p.push_back({kLmfNone, {0, 0, 0}, std::move(frame)});
    p.push_back({0, {-3.2f, 0.3f, 0}, Box({0.0f, -0.1f, -3.2f}, {3.2f, 0.1f, 3.2f})});
    p.push_back({0, {3.2f, 0.3f, 0}, Box({-3.2f, -0.1f, -3.2f}, {0.0f, 0.1f, 3.2f})});
    return p;
}

std::vector<LmfClip> PitClips()
{
    const auto rest = RestOf(PitPieces());
    const Vector3 none;
    return TrapClips(
        rest,
        RigidClip("Activate", 0.3f, rest, {{1, none, {0, 0, 1}, -90.0f, true}, {2, none, {0, 0, 1}, 90.0f, true}}),
        0.8f);
}

// A dish on a mast that the player steers from orbit.
std::vector<RigidPiece> SatellitePieces()
{
    LmfPart dish = MakeSphere(1.8f, 6, 12);
    Roughen(dish, {1.0f, 0.35f, 1.0f}, 0.0f);
    std::vector<RigidPiece> p;
    p.push_back(TrapBase());
    p.push_back({0, {0, 0.4f, 0}, TubeAt(0.3f, 0.0f, 3.5f, {0, 0, 0}, 8)});
    p.push_back({1, {0, 3.5f, 0}, Merge({dish, TubeAt(0.08f, 0.0f, 1.6f, {0, 0, 0}, 6)})});
    return p;
}

std::vector<LmfClip> SatelliteClips() { return SpinTrapClips(RestOf(SatellitePieces()), 4.0f, 0.5f); }

// The aiming satellite high over the field: clip 1 drops it in, clip 2 turns it while it fires.
LmfMesh SatelliteAimMesh()
{
    return RigidMesh([] {
        std::vector<RigidPiece> p;
        p.push_back(
            {kLmfNone, {0, 0, 0}, Merge({TubeAt(0.8f, -1.0f, 1.0f, {0, 0, 0}, 10), Ball(0.5f, {0, -1.2f, 0})})});
        p.push_back({0,
                     {0, 0, 0},
                     Merge({Box({-4.0f, -0.05f, -0.9f}, {-1.0f, 0.05f, 0.9f}),
                            Box({1.0f, -0.05f, -0.9f}, {4.0f, 0.05f, 0.9f})})});
        return p;
    }());
}

std::vector<LmfClip> SatelliteAimClips()
{
    const std::vector<Vector3> rest = {{0, 0, 0}, {0, 0, 0}};
    LmfClip arrive = RigidClip("Arrive", 1.0f, rest, {});
    arrive.tracks[0] = {Key(0.0f, {0, 30.0f, 0}), Key(1.0f, {0, 0, 0})};
    LmfClip fire = RigidClip("Fire", 1.0f, rest, {});
    Spin(fire, 1, rest[1], {0, 1, 0}, 1.0f);
    return {RigidClip("Idle", 2.0f, rest, {}), std::move(arrive), std::move(fire)};
}

// A rocket on a launch pad: part 3 is the rocket, whose exhaust leaves along its -y.
std::vector<RigidPiece> MissilePieces()
{
    std::vector<RigidPiece> p;
    p.push_back({kLmfNone, {0, 0, 0}, Box({-3.8f, 0.0f, -3.8f}, {3.8f, 0.6f, 3.8f})});
    p.push_back({0, {-1.2f, 0.6f, 0}, Box({-0.2f, 0.0f, -0.2f}, {0.2f, 4.0f, 0.2f})});
    p.push_back({0, {1.2f, 0.6f, 0}, Box({-0.2f, 0.0f, -0.2f}, {0.2f, 4.0f, 0.2f})});
    p.push_back({0,
                 {0, 1.2f, 0},
                 Merge({TubeAt(0.7f, 0.0f, 4.0f, {0, 0, 0}, 10), Box({-0.5f, 4.0f, -0.5f}, {0.5f, 4.8f, 0.5f}),
                        Box({-0.2f, 4.8f, -0.2f}, {0.2f, 5.4f, 0.2f}), Box({-1.3f, 0.0f, -0.08f}, {1.3f, 1.2f, 0.08f}),
                        Box({-0.08f, 0.0f, -1.3f}, {0.08f, 1.2f, 1.3f})})});
    return p;
}

std::vector<LmfClip> MissileClips()
{
    const auto rest = RestOf(MissilePieces());
    LmfClip launch = RigidClip("Activate", 1.0f, rest, {});
    launch.tracks[3] = {Key(0.0f, rest[3]), Key(0.3f, rest[3] + Vector3(0, 0.5f, 0)),
                        Key(1.0f, rest[3] + Vector3(0, 12.0f, 0))};
    return TrapClips(rest, std::move(launch), 0.5f);
}

// A pole with a humming cage on top, where the sparks start.
std::vector<RigidPiece> ZapperPieces()
{
    LmfPart cage;
    for (int i = 0; i < 6; ++i)
    {
        const float a = float(i) * kPi / 3.0f;
        Append(cage, TubeAt(0.08f, -1.0f, 1.0f, {std::cos(a) * 0.9f, 0, std::sin(a) * 0.9f}, 5));
    }
    Append(cage, Ball(0.6f, {0, 0, 0}));
    ComputeAdjacency(cage);
    std::vector<RigidPiece> p;
    p.push_back(TrapBase());
    p.push_back({0, {0, 0.4f, 0}, TubeAt(0.25f, 0.0f, 3.6f, {0, 0, 0}, 8)});
    p.push_back({1, {0, 4.6f, 0}, std::move(cage)});
    return p;
}

std::vector<LmfClip> ZapperClips() { return SpinTrapClips(RestOf(ZapperPieces()), 0.4f, 0.3f); }

// A lamp post whose bulb flashes five units up.
std::vector<RigidPiece> LightBulbPieces()
{
    std::vector<RigidPiece> p;
    p.push_back(TrapBase());
    p.push_back({0, {0, 0.4f, 0}, TubeAt(0.25f, 0.0f, 3.4f, {0, 0, 0}, 8)});
    p.push_back({1, {0, 3.4f, 0}, Merge({TubeAt(0.4f, 0.0f, 0.5f, {0, 0, 0}, 8), Ball(1.0f, {0, 1.3f, 0})})});
    return p;
}

std::vector<LmfClip> LightBulbClips()
{
    const auto rest = RestOf(LightBulbPieces());
    return TrapClips(rest, RigidClip("Activate", 0.3f, rest, {{2, {0, 0.4f, 0}, {0, 1, 0}, 45.0f, true}}), 0.5f);
}

// Turns a part upside down about x, so its -y points up.
void Upend(LmfPart& part)
{
    for (FileVertex& v : part.vertices)
    {
        v.position = {v.position.x, -v.position.y, -v.position.z};
        v.normal = {v.normal.x, -v.normal.y, -v.normal.z};
    }
}

// A burner plate and three nozzles round it. Flames leave along each jet part's -y, so the
// plate (part 0) stands upside down and everything on it is given in its turned frame; parts
// 5, 6 and 7 are the nozzles, 1 to 4 the posts at the corners.
std::vector<RigidPiece> FlamePieces()
{
    auto upended = [](LmfPart part) {
        Upend(part);
        return part;
    };
    auto below = [](const Vector3& v) { return Vector3(v.x, -v.y, -v.z); };
    std::vector<RigidPiece> p;
    p.push_back({kLmfNone,
                 {0, 0, 0},
                 upended(Merge(
                     {Box({-3.8f, 0.0f, -3.8f}, {3.8f, 0.4f, 3.8f}), Box({-0.8f, 0.4f, -0.8f}, {0.8f, 0.7f, 0.8f})}))});
    for (int corner = 0; corner < 4; ++corner)
    {
        const float x = (corner & 1) ? 3.2f : -3.2f;
        const float z = (corner & 2) ? 3.2f : -3.2f;
        p.push_back({0, below({x, 0.4f, z}), upended(Box({-0.3f, 0.0f, -0.3f}, {0.3f, 1.2f, 0.3f}))});
    }
    for (int jet = 0; jet < 3; ++jet)
    {
        const float a = float(jet) * 2.0f * kPi / 3.0f;
        p.push_back(
            {0, below({std::cos(a) * 2.2f, 0.4f, std::sin(a) * 2.2f}),
             upended(Merge({TubeAt(0.35f, 0.0f, 1.4f, {0, 0, 0}, 8), Box({-0.5f, 1.4f, -0.5f}, {0.5f, 1.7f, 0.5f})}))});
    }
    return p;
}

std::vector<LmfClip> FlameClips()
{
    const auto rest = RestOf(FlamePieces());
    const Vector3 none;
    LmfClip burst = RigidClip(
        "Activate", 0.4f, rest,
        {{5, none, {1, 0, 0}, 10.0f, true}, {6, none, {0, 0, 1}, 10.0f, true}, {7, none, {1, 0, 0}, -10.0f, true}});
    std::vector<LmfClip> clips = TrapClips(rest, std::move(burst), 0.4f);
    for (LmfClip& clip : clips)
        clip.tracks[0] = {Key(0.0f, rest[0], Turn({1, 0, 0}, 180.0f))};
    return clips;
}

// A ring of stones under the sphere that swallows invaders.
std::vector<RigidPiece> VortexPieces()
{
    LmfPart stones;
    for (int i = 0; i < 6; ++i)
    {
        const float a = float(i) * kPi / 3.0f;
        const Vector3 c(std::cos(a) * 3.0f, 0.0f, std::sin(a) * 3.0f);
        Append(stones, Box({c.x - 0.4f, 0.0f, c.z - 0.4f}, {c.x + 0.4f, 2.0f, c.z + 0.4f}));
    }
    ComputeAdjacency(stones);
    std::vector<RigidPiece> p;
    p.push_back({kLmfNone, {0, 0, 0}, TubeAt(3.8f, 0.0f, 0.4f, {0, 0, 0}, 16)});
    p.push_back({0, {0, 0.4f, 0}, std::move(stones)});
    return p;
}

std::vector<LmfClip> VortexClips()
{
    const auto rest = RestOf(VortexPieces());
    LmfClip whirl = RigidClip("Activate", 1.0f, rest, {});
    Spin(whirl, 1, rest[1], {0, 1, 0}, 1.0f);
    return TrapClips(rest, std::move(whirl), 0.5f);
}

// The turret model as a trap: the same parts three times their size, so that it stands at the
// scale every trap stands at, on the trap plate (part 9, under the base) that shows its footprint
// as every trap's does, in the drop preview too; its clips with "Inactive" first and the muzzle
// (part 8) turned so that its +y runs along the barrel, where the shot goes.
std::string LaserTurretFile()
{
    constexpr float kSize = 3.0f;
    LmfMesh mesh = TurretMesh();
    for (LmfPart& part : mesh.parts)
        for (FileVertex& v : part.vertices)
            v.position = v.position * kSize;
    RigidPiece plate = TrapBase();
    plate.shape.index = static_cast<uint32_t>(mesh.parts.size());
    plate.shape.parent = 0;
    mesh.partBones.push_back({plate.shape.index, 0, 0});
    mesh.parts.push_back(std::move(plate.shape));
    // The posed parts reach past their own boxes: the turret's bounds grown, and the plate's.
    mesh.radius *= kSize;
    mesh.corner1 = {-3.8f, 0.0f, mesh.corner1.z * kSize};
    mesh.corner2 = {3.8f, mesh.corner2.y * kSize, 3.8f};
    std::vector<LmfClip> clips = TurretClips();
    std::stable_partition(clips.begin(), clips.end(), [](const LmfClip& clip) { return clip.name == "Inactive"; });
    for (LmfClip& clip : clips)
    {
        for (auto& track : clip.tracks)
            for (AnimationKey& key : track)
                key.position = key.position * kSize;
        for (AnimationKey& key : clip.tracks[8])
            key.rotation = Turn({1, 0, 0}, -90.0f);
        clip.tracks.push_back({Key(0.0f, {0, 0, 0})});
    }
    return LmfWriter().Header().Mesh(mesh).Clips(clips).End().Bytes();
}

// ---- Invader bodies -------------------------------------------------------------------

struct BodyBone
{
    int32_t parent;
    Vector3 bind;
    Vector3 extent;
};

// Hips, spine, head, left arm and forearm, right arm and forearm, left thigh and shin, right
// thigh and shin: the bone order of the game's skinned invader.
const BodyBone kBody[11] = {
    {-1, {0, 1.0f, 0}, {0.25f, 0.3f, 0.15f}},      {0, {0, 1.3f, 0}, {0.3f, 0.5f, 0.18f}},
    {1, {0, 1.85f, 0}, {0.18f, 0.3f, 0.18f}},      {1, {0.4f, 1.7f, 0}, {0.08f, -0.4f, 0.08f}},
    {3, {0.4f, 1.3f, 0}, {0.07f, -0.4f, 0.07f}},   {1, {-0.4f, 1.7f, 0}, {0.08f, -0.4f, 0.08f}},
    {5, {-0.4f, 1.3f, 0}, {0.07f, -0.4f, 0.07f}},  {0, {0.15f, 0.95f, 0}, {0.1f, -0.45f, 0.1f}},
    {7, {0.15f, 0.5f, 0}, {0.09f, -0.5f, 0.09f}},  {0, {-0.15f, 0.95f, 0}, {0.1f, -0.45f, 0.1f}},
    {9, {-0.15f, 0.5f, 0}, {0.09f, -0.5f, 0.09f}},
};
constexpr uint32_t kBodyBones = 11;
// The invaders stand about three world units tall next to four-unit tiles.
constexpr float kBodySize = 1.6f;

Vector3 ShapeBind(const BodyShape& shape, uint32_t bone)
{
    const Vector3 b = kBody[bone].bind;
    return {b.x * shape.width * kBodySize, b.y * shape.height * kBodySize, b.z * kBodySize};
}

Vector3 BodyOffset(const BodyShape& shape, uint32_t bone)
{
    const int32_t parent = kBody[bone].parent;
    return parent < 0 ? ShapeBind(shape, bone) : ShapeBind(shape, bone) - ShapeBind(shape, uint32_t(parent));
}

struct Swing
{
    uint32_t bone;
    Vector3 axis;
    float degrees;
};

struct BodyClipRow
{
    const char* name;
    float length;
    std::vector<Swing> swings;
    // The hips sink by this much at the middle of the clip.
    float crouch;
};

std::vector<BodyClipRow> BodyClipRows()
{
    const Vector3 x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
    return {
        {"Stand", 1.6f, {{1, x, 3.0f}, {2, y, 5.0f}}, 0.0f},
        {"Walk",
         0.8f,
         {{7, x, 30.0f}, {9, x, -30.0f}, {8, x, -20.0f}, {10, x, 20.0f}, {3, x, -25.0f}, {5, x, 25.0f}},
         0.05f},
        {"Idle", 2.0f, {{2, y, 30.0f}, {1, z, 6.0f}}, 0.0f},
        {"Attack", 0.8f, {{5, x, -110.0f}, {6, x, -40.0f}, {1, x, 20.0f}}, 0.0f},
        {"Special", 1.5f, {{3, z, 80.0f}, {5, z, -80.0f}, {2, x, -20.0f}}, 0.1f},
        {"Special1", 1.2f, {{0, y, 120.0f}, {3, z, 60.0f}, {5, z, -60.0f}}, 0.0f},
        {"Special2", 1.0f, {{1, x, 40.0f}, {7, x, -50.0f}, {9, x, -50.0f}, {8, x, 60.0f}, {10, x, 60.0f}}, 0.35f},
        {"Struggle", 0.5f, {{3, z, 70.0f}, {5, z, -70.0f}, {7, x, 40.0f}, {9, x, -40.0f}, {2, z, 20.0f}}, 0.0f},
    };
}

// ---- Cursor claw ----------------------------------------------------------------------

constexpr uint32_t kFingers = 3;
constexpr float kFingerRadius = 0.9f;
constexpr float kFingerLength = 1.2f;

Vector3 FingerRoot(uint32_t finger)
{
    const float a = 2.0f * kPi * float(finger) / float(kFingers);
    return {std::cos(a) * kFingerRadius, -0.3f, std::sin(a) * kFingerRadius};
}

// Turning about this axis by a positive angle swings the finger's tip inward.
Vector3 CurlAxis(uint32_t finger)
{
    const float a = 2.0f * kPi * float(finger) / float(kFingers);
    return {std::sin(a), 0.0f, -std::cos(a)};
}

// Bone 0 the palm; finger f has bone 1 + 2f (root) and 2 + 2f (tip).
Vector3 ClawBind(uint32_t bone)
{
    if (bone == 0)
        return {0, 0, 0};
    const uint32_t finger = (bone - 1) / 2;
    const Vector3 root = FingerRoot(finger);
    return (bone - 1) % 2 == 0 ? root : root + Vector3(0, -kFingerLength, 0);
}

int32_t ClawParent(uint32_t bone)
{
    if (bone == 0)
        return -1;
    return (bone - 1) % 2 == 0 ? 0 : int32_t(bone - 1);
}

Vector3 ClawOffset(uint32_t bone)
{
    const int32_t parent = ClawParent(bone);
    return parent < 0 ? ClawBind(bone) : ClawBind(bone) - ClawBind(uint32_t(parent));
}

constexpr uint32_t kClawBones = 1 + 2 * kFingers;

LmfClip ClawClip(const std::string& name, float length, float from, float to, float mid, float spin)
{
    LmfClip clip;
    clip.name = name;
    clip.length = length;
    for (uint32_t bone = 0; bone < kClawBones; ++bone)
    {
        const Vector3 offset = ClawOffset(bone);
        if (bone == 0)
        {
            if (spin == 0.0f)
                clip.tracks.push_back({Key(0.0f, offset)});
            else
                clip.tracks.push_back({Key(0.0f, offset), Key(length * 0.5f, offset, Turn({0, 1, 0}, spin)),
                                       Key(length, offset, Turn({0, 1, 0}, 2.0f * spin))});
            continue;
        }
        const Vector3 axis = CurlAxis((bone - 1) / 2);
        const float scale = (bone - 1) % 2 == 0 ? 1.0f : 0.7f;
        clip.tracks.push_back({Key(0.0f, offset, Turn(axis, from * scale)),
                               Key(length * 0.5f, offset, Turn(axis, mid * scale)),
                               Key(length, offset, Turn(axis, to * scale))});
    }
    return clip;
}

// ---- Small things ---------------------------------------------------------------------

LmfMesh WallMesh(bool super)
{
    const float h = super ? 7.0f : 5.0f;
    const float d = super ? 1.4f : 1.0f;
    LmfPart wall = Merge({Box({-2.0f, 0.0f, -d}, {2.0f, h, d}), Box({-2.0f, h, -d * 0.4f}, {-0.8f, h + 1.0f, d * 0.4f}),
                          Box({0.8f, h, -d * 0.4f}, {2.0f, h + 1.0f, d * 0.4f})});
    if (super)
        Append(wall, Box({-0.6f, 0.0f, -2.0f}, {0.6f, h - 1.0f, 2.0f}));
    ComputeAdjacency(wall);
    return Single(std::move(wall));
}

LmfMesh SpawnerMesh()
{
    LmfPart pad = Merge({Box({-3.5f, 0.0f, -3.5f}, {3.5f, 0.4f, 3.5f}), TubeAt(2.6f, 0.4f, 0.8f, {0, 0, 0}, 16)});
    LmfPart pillars;
    for (int i = 0; i < 4; ++i)
    {
        const float x = (i & 1) ? 3.0f : -3.0f, z = (i & 2) ? 3.0f : -3.0f;
        Append(pillars, Box({x - 0.4f, 0.4f, z - 0.4f}, {x + 0.4f, 6.0f, z + 0.4f}));
    }
    Append(pillars, Box({-3.4f, 6.0f, -3.4f}, {3.4f, 6.6f, -2.6f}));
    Append(pillars, Box({-3.4f, 6.0f, 2.6f}, {3.4f, 6.6f, 3.4f}));
    ComputeAdjacency(pillars);
    return Several({std::move(pad), std::move(pillars)});
}

LmfMesh BombMesh()
{
    return Several(
        {Ball(1.2f, {0, 1.2f, 0}, 10, 14),
         Merge({TubeAt(0.3f, 2.3f, 2.7f, {0, 0, 0}, 8), Box({-0.06f, 2.7f, -0.06f}, {0.06f, 3.3f, 0.06f})})});
}

LmfMesh ParachuteMesh()
{
    LmfPart canopy = MakeDome(1.0f, 6, 16);
    FlipFaces(canopy);
    Roughen(canopy, {3.2f, 1.6f, 3.2f}, 0.0f);
    Offset(canopy, {0, 4.5f, 0});
    LmfPart lines;
    for (int i = 0; i < 4; ++i)
    {
        const float a = kPi * 0.5f * float(i) + kPi * 0.25f;
        const float x = std::cos(a) * 2.2f, z = std::sin(a) * 2.2f;
        // Four cords as thin posts leaning from the rim to the harness.
        for (int step = 0; step < 4; ++step)
        {
            const float t = float(step) / 4.0f;
            const float px = x * (1.0f - t), pz = z * (1.0f - t), py = 4.5f - 4.0f * t;
            Append(lines, Box({px - 0.05f, py - 1.0f, pz - 0.05f}, {px + 0.05f, py, pz + 0.05f}));
        }
    }
    ComputeAdjacency(lines);
    return Several({std::move(canopy), std::move(lines)});
}

LmfMesh MissileMesh()
{
    LmfPart body = Merge({TubeAt(0.4f, 0.0f, 2.6f, {0, 0, 0}, 10), Box({-0.3f, 2.6f, -0.3f}, {0.3f, 3.2f, 0.3f}),
                          Box({-0.12f, 3.2f, -0.12f}, {0.12f, 3.5f, 0.12f})});
    LmfPart fins =
        Merge({Box({-1.0f, 0.0f, -0.05f}, {1.0f, 0.8f, 0.05f}), Box({-0.05f, 0.0f, -1.0f}, {0.05f, 0.8f, 1.0f})});
    return Several({std::move(body), std::move(fins)});
}

LmfMesh RockMesh(float size, const Vector3& squash)
{
    LmfPart rock = MakeSphere(1.0f, 7, 10);
    Roughen(rock, squash * size, 0.18f);
    Offset(rock, {0, squash.y * size * 0.6f, 0});
    return Single(std::move(rock));
}

LmfMesh TreeMesh()
{
    LmfPart trunk = TubeAt(0.6f, 0.0f, 5.0f, {0, 0, 0}, 8);
    LmfPart crown = MakeSphere(1.0f, 8, 12);
    Roughen(crown, {3.0f, 3.6f, 3.0f}, 0.12f);
    Offset(crown, {0, 7.0f, 0});
    LmfPart top = MakeSphere(1.0f, 6, 10);
    Roughen(top, {1.8f, 2.0f, 1.8f}, 0.1f);
    Offset(top, {0.6f, 10.0f, 0.3f});
    return Several({std::move(trunk), Merge({crown, top})});
}

LmfMesh BushMesh()
{
    LmfPart a = MakeSphere(1.0f, 6, 10);
    Roughen(a, {1.6f, 1.2f, 1.6f}, 0.15f);
    LmfPart b = a;
    LmfPart c = a;
    Offset(a, {0, 0.9f, 0});
    Offset(b, {1.2f, 0.7f, 0.4f});
    Offset(c, {-0.9f, 0.6f, -0.8f});
    return Single(Merge({a, b, c}));
}

std::string RigidFile(const std::vector<RigidPiece>& pieces, const std::vector<LmfClip>& clips)
{
    std::vector<RigidPiece> copy = pieces;
    return LmfWriter().Header().Mesh(RigidMesh(std::move(copy))).Clips(clips).End().Bytes();
}

std::string BodyFile(const BodyShape& shape)
{
    return LmfWriter().Header().Mesh(BodyMesh(shape)).Bones(BodyBones(shape)).Clips(BodyClips(shape)).End().Bytes();
}

struct NamedShape
{
    const char* file;
    BodyShape shape;
};

// The invader kinds of the game data, each with its own build.
const NamedShape kBodies[] = {
    {"Models/Invaders/Grunt.lmf", {1.0f, 1.0f, 1.0f, 1.0f}},
    {"Models/Invaders/Bomber.lmf", {1.25f, 0.9f, 0.9f, 1.7f}},
    {"Models/Invaders/Stacker.lmf", {1.5f, 0.8f, 0.8f, 1.3f}},
    {"Models/Invaders/Squad.lmf", {0.95f, 1.15f, 0.9f, 0.9f}},
    {"Models/Invaders/Kamikaze.lmf", {0.8f, 1.05f, 1.35f, 0.8f}},
    {"Models/Invaders/Jumper.lmf", {0.85f, 1.2f, 0.95f, 0.8f}},
    {"Models/Invaders/AntiGrabber.lmf", {1.3f, 0.95f, 0.85f, 1.15f}},
    {"Models/Invaders/Ninja.lmf", {0.85f, 1.05f, 0.9f, 0.75f}},
    {"Models/Invaders/Spiker.lmf", {1.1f, 0.95f, 1.1f, 1.05f}},
    {"Models/Invaders/Psychic.lmf", {0.8f, 1.0f, 1.6f, 0.8f}},
    {"Models/Invaders/Driller.lmf", {1.4f, 0.85f, 0.85f, 1.25f}},
    {"Models/Invaders/Plain.lmf", {1.0f, 1.0f, 1.0f, 1.0f}},
};
} // namespace

LmfMesh TowerMesh()
{
    std::vector<LmfPart> shapes = TowerShapes();
    std::vector<RigidPiece> pieces;
    for (uint32_t i = 0; i < shapes.size(); ++i)
        pieces.push_back({i == 0 ? kLmfNone : 0u, {0, 0, 0}, std::move(shapes[i])});
    return RigidMesh(std::move(pieces));
}

std::vector<LmfClip> TowerClips()
{
    const std::vector<Vector3> rest(20, Vector3(0, 0, 0));
    std::vector<LmfClip> clips{RigidClip("Idle", 2.0f, rest, {})};
    for (int n = 1; n <= 5; ++n)
    {
        const BreakRow& row = kBreaks[n - 1];
        std::vector<Motion> falls;
        for (int part = row.first; part <= row.last; ++part)
        {
            // Each piece drops and tips away from the middle, alternating sides.
            const float side = (part % 2 == 0) ? 1.0f : -1.0f;
            const Vector3 axis = (part % 4 < 2) ? Vector3(1, 0, 0) : Vector3(0, 0, 1);
            falls.push_back(
                {uint32_t(part), {side * 1.5f, -4.0f - 0.5f * float(part % 3), side * 1.0f}, axis, side * 12.0f, true});
        }
        if (row.banner)
            falls.push_back({19, {0, -6.0f, 1.0f}, {1, 0, 0}, 30.0f, true});
        clips.push_back(RigidClip("Break" + std::to_string(n), 1.5f, rest, falls));
    }
    return clips;
}

LmfMesh BodyMesh(const BodyShape& shape)
{
    LmfPart body;
    std::vector<Influence> influences;
    const uint32_t order[kBodyBones] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 2};
    uint32_t headFaces = 0;
    for (uint32_t bone : order)
    {
        const BodyBone& b = kBody[bone];
        float girth = b.extent.x * shape.width * kBodySize;
        if (bone <= 1)
            girth *= shape.belly;
        if (bone == 2)
            girth *= shape.head;
        const float length = std::fabs(b.extent.y) * shape.height * kBodySize * (bone == 2 ? shape.head : 1.0f);
        const Vector3 bind = ShapeBind(shape, bone);
        LmfPart segment = MakeTube(girth, length, 3, 8);
        Offset(segment, {bind.x, bind.y + (b.extent.y < 0.0f ? -length : 0.0f), bind.z});
        const uint32_t parent = b.parent < 0 ? bone : uint32_t(b.parent);
        for (const FileVertex& v : segment.vertices)
        {
            const float along = std::fabs(v.position.y - bind.y) / std::max(length, 0.01f);
            const float own = b.extent.y < 0.0f ? std::min(1.0f, 0.5f + along) : 1.0f;
            influences.push_back({own, bone});
            influences.push_back({1.0f - own, parent});
        }
        if (bone == 2)
        {
            // Two eyes on the front of the head, riding on the head bone.
            for (float side : {-1.0f, 1.0f})
            {
                LmfPart eye = Box({-0.06f, -0.06f, -0.03f}, {0.06f, 0.06f, 0.03f});
                Offset(eye, {bind.x + side * girth * 0.45f, bind.y + length * 0.65f, bind.z + girth});
                for (size_t k = 0; k < eye.vertices.size(); ++k)
                {
                    influences.push_back({1.0f, bone});
                    influences.push_back({0.0f, parent});
                }
                Append(segment, eye);
            }
            headFaces = uint32_t(segment.indices.size() / 3);
        }
        Append(body, segment);
    }
    ComputeAdjacency(body);
    body.influencesPerVertex = 2;
    body.influences = std::move(influences);
    body.target = uint32_t(body.indices.size() / 3 / 2);
    body.keepApartChunk = true;
    body.keepApart = headFaces;
    return SkinnedMesh(std::move(body));
}

std::vector<LmfBone> BodyBones(const BodyShape& shape)
{
    std::vector<LmfBone> bones;
    for (uint32_t i = 0; i < kBodyBones; ++i)
    {
        bones.push_back(BindBone(kBody[i].parent, ShapeBind(shape, i)));
    }
    return bones;
}

std::vector<LmfClip> BodyClips(const BodyShape& shape)
{
    std::vector<LmfClip> clips;
    for (const BodyClipRow& row : BodyClipRows())
    {
        LmfClip clip;
        clip.name = row.name;
        clip.length = row.length;
        for (uint32_t bone = 0; bone < kBodyBones; ++bone)
        {
            const Vector3 offset = BodyOffset(shape, bone);
            const Swing* swing = nullptr;
            for (const Swing& s : row.swings)
                if (s.bone == bone)
                    swing = &s;
            Vector3 low = offset;
            if (bone == 0)
                low.y -= row.crouch * kBodySize;
            if (!swing && low.y == offset.y)
            {
                clip.tracks.push_back({Key(0.0f, offset)});
                continue;
            }
            const float deg = swing ? swing->degrees : 0.0f;
            const Vector3 axis = swing ? swing->axis : Vector3(1, 0, 0);
            clip.tracks.push_back({Key(0.0f, offset, Turn(axis, -deg * 0.5f)),
                                   Key(row.length * 0.5f, low, Turn(axis, deg * 0.5f)),
                                   Key(row.length, offset, Turn(axis, -deg * 0.5f))});
        }
        clips.push_back(std::move(clip));
    }
    return clips;
}

LmfMesh CursorMesh()
{
    LmfPart claw;
    std::vector<Influence> influences;
    auto add = [&](LmfPart shape, uint32_t bone) {
        for (size_t k = 0; k < shape.vertices.size(); ++k)
        {
            influences.push_back({1.0f, bone});
            influences.push_back({0.0f, 0});
        }
        Append(claw, shape);
    };
    LmfPart palm = MakeSphere(1.0f, 6, 12);
    Roughen(palm, {1.2f, 0.6f, 1.2f}, 0.0f);
    add(palm, 0);
    add(TubeAt(0.25f, 0.3f, 1.6f, {0, 0, 0}, 8), 0);
    for (uint32_t finger = 0; finger < kFingers; ++finger)
    {
        const uint32_t root = 1 + 2 * finger;
        const Vector3 at = ClawBind(root);
        add(TubeAt(0.18f, -kFingerLength, 0.0f, at, 6), root);
        LmfPart tip = Box({-0.12f, -0.9f, -0.12f}, {0.12f, 0.0f, 0.12f});
        Offset(tip, ClawBind(root + 1));
        add(tip, root + 1);
    }
    ComputeAdjacency(claw);
    claw.influencesPerVertex = 2;
    claw.influences = std::move(influences);
    return SkinnedMesh(std::move(claw));
}

std::vector<LmfBone> CursorBones()
{
    std::vector<LmfBone> bones;
    for (uint32_t i = 0; i < kClawBones; ++i)
    {
        bones.push_back(BindBone(ClawParent(i), ClawBind(i)));
    }
    return bones;
}

std::vector<LmfClip> CursorClips()
{
    // Angles of the finger roots: negative opens the claw, positive closes it.
    return {
        ClawClip("Idle", 1.5f, -15.0f, -15.0f, -5.0f, 0.0f),    ClawClip("Idle2", 2.0f, -15.0f, -15.0f, -15.0f, 90.0f),
        ClawClip("Grab", 0.4f, -15.0f, 35.0f, 10.0f, 0.0f),     ClawClip("Hold", 1.0f, 35.0f, 35.0f, 30.0f, 0.0f),
        ClawClip("Release", 0.4f, 35.0f, -15.0f, -30.0f, 0.0f), ClawClip("Stun", 1.2f, -15.0f, -15.0f, -40.0f, 180.0f)};
}

std::vector<ContentFile> ContentModelFiles()
{
    std::vector<ContentFile> files;
    files.push_back({"Models/Tower.lmf", LmfWriter().Header().Mesh(TowerMesh()).Clips(TowerClips()).End().Bytes()});
    files.push_back({"Models/Wall.lmf", MeshBytes(WallMesh(false))});
    files.push_back({"Models/SuperWall.lmf", MeshBytes(WallMesh(true))});
    files.push_back({"Models/Spawner.lmf", MeshBytes(SpawnerMesh())});
    files.push_back({"Models/Traps/Spikes.lmf", RigidFile(SpikesPieces(), SpikesClips())});
    files.push_back({"Models/Traps/Hammer.lmf", RigidFile(HammerPieces(), HammerClips())});
    files.push_back({"Models/Traps/Spring.lmf", RigidFile(SpringPieces(), SpringClips())});
    files.push_back({"Models/Traps/Fan.lmf", RigidFile(FanPieces(), FanClips())});
    files.push_back({"Models/Traps/Poison.lmf", RigidFile(PoisonPieces(), PoisonClips())});
    files.push_back({"Models/Traps/Wall.lmf", MeshBytes(WallMesh(false))});
    files.push_back({"Models/Traps/Axe.lmf", RigidFile(AxePieces(), AxeClips())});
    files.push_back({"Models/Traps/Pit.lmf", RigidFile(PitPieces(), PitClips())});
    files.push_back({"Models/Traps/Satellite.lmf", RigidFile(SatellitePieces(), SatelliteClips())});
    files.push_back({"Models/Traps/SatelliteAim.lmf",
                     LmfWriter().Header().Mesh(SatelliteAimMesh()).Clips(SatelliteAimClips()).End().Bytes()});
    files.push_back({"Models/Traps/Missile.lmf", RigidFile(MissilePieces(), MissileClips())});
    files.push_back({"Models/Traps/Zapper.lmf", RigidFile(ZapperPieces(), ZapperClips())});
    files.push_back({"Models/Traps/LaserTurret.lmf", LaserTurretFile()});
    files.push_back({"Models/Traps/LightBulb.lmf", RigidFile(LightBulbPieces(), LightBulbClips())});
    files.push_back({"Models/Traps/Flame.lmf", RigidFile(FlamePieces(), FlameClips())});
    files.push_back({"Models/Traps/Vortex.lmf", RigidFile(VortexPieces(), VortexClips())});
    files.push_back({"Models/Traps/Mist.lmf", RigidFile(MistPieces(), MistClips())});
    for (const NamedShape& body : kBodies)
        files.push_back({body.file, BodyFile(body.shape)});
    files.push_back({"Models/Cursor.lmf",
                     LmfWriter().Header().Mesh(CursorMesh()).Bones(CursorBones()).Clips(CursorClips()).End().Bytes()});
    files.push_back({"Models/Bomb.lmf", MeshBytes(BombMesh())});
    files.push_back({"Models/Parachute.lmf", MeshBytes(ParachuteMesh())});
    files.push_back({"Models/Missile.lmf", MeshBytes(MissileMesh())});
    files.push_back({"Models/Boulder.lmf", MeshBytes(RockMesh(0.8f, {1.0f, 0.9f, 1.0f}))});
    files.push_back({"Models/Doodads/Rock.lmf", MeshBytes(RockMesh(2.5f, {1.3f, 0.7f, 1.0f}))});
    files.push_back({"Models/Doodads/Tree.lmf", MeshBytes(TreeMesh())});
    files.push_back({"Models/Doodads/Bush.lmf", MeshBytes(BushMesh())});
    return files;
}

bool WriteContentModels(const std::string& dataFolder)
{
    namespace fs = std::filesystem;
    bool ok = true;
    for (const ContentFile& file : ContentModelFiles())
    {
        const fs::path path = fs::path(dataFolder) / file.name;
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        ok = SaveBytes(path.string(), file.bytes) && ok;
    }
    return ok;
}
