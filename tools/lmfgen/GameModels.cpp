#include "tools/lmfgen/GameModels.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "graphics/model/animation/InverseKinematics.h"
#include "tools/lmfgen/ModelShapes.h"
#include "tools/lmfgen/Writer3DS.h"

namespace {
constexpr float kPi = 3.14159265358979f;

struct TurretPiece
{
    uint32_t parent;
    Vector3 offset;
    Vector3 min;
    Vector3 max;
};

// Local offsets from the parent; boxes in the part's own frame. Part 4 pivots the gun, which
// points down -z; the muzzle sits on that line.
const TurretPiece kTurret[9] = {
    {kLmfNone, {0, 0, 0}, {-1.0f, 0.0f, -1.0f}, {1.0f, 0.4f, 1.0f}},
    {0, {0, 0.4f, 0}, {-0.5f, 0.0f, -0.5f}, {0.5f, 0.6f, 0.5f}},
    {1, {0, 0.6f, 0}, {-0.7f, 0.0f, -0.7f}, {0.7f, 0.2f, 0.7f}},
    {2, {0, 0.2f, 0}, {-0.6f, 0.0f, -0.6f}, {0.6f, 0.5f, 0.6f}},
    {3, {0, 0.8f, 0}, {-0.3f, -0.3f, -0.3f}, {0.3f, 0.3f, 0.3f}},
    {4, {0, 0, -0.3f}, {-0.12f, -0.12f, -0.6f}, {0.12f, 0.12f, 0.0f}},
    {5, {0, 0, -0.6f}, {-0.1f, -0.1f, -0.6f}, {0.1f, 0.1f, 0.0f}},
    {6, {0, 0, -0.6f}, {-0.08f, -0.08f, -0.4f}, {0.08f, 0.08f, 0.0f}},
    {7, {0, 0, -0.4f}, {-0.1f, -0.1f, -0.1f}, {0.1f, 0.1f, 0.0f}},
};

// A clip with one key per track at rest, then the given track overridden.
LmfClip RestClip(const std::string& name, float length)
{
    LmfClip clip;
    clip.name = name;
    clip.length = length;
    for (const TurretPiece& piece : kTurret)
        clip.tracks.push_back({Key(0.0f, piece.offset)});
    return clip;
}

struct InvaderBone
{
    int32_t parent;
    Vector3 bind;
    Vector3 extent;
};

const InvaderBone kInvader[] = {
    {-1, {0, 1.0f, 0}, {0.25f, 0.3f, 0.15f}},      // hips
    {0, {0, 1.3f, 0}, {0.3f, 0.5f, 0.18f}},        // spine
    {1, {0, 1.85f, 0}, {0.18f, 0.3f, 0.18f}},      // head
    {1, {0.4f, 1.7f, 0}, {0.08f, -0.4f, 0.08f}},   // left arm
    {3, {0.4f, 1.3f, 0}, {0.07f, -0.4f, 0.07f}},   // left forearm
    {1, {-0.4f, 1.7f, 0}, {0.08f, -0.4f, 0.08f}},  // right arm
    {5, {-0.4f, 1.3f, 0}, {0.07f, -0.4f, 0.07f}},  // right forearm
    {0, {0.15f, 0.95f, 0}, {0.1f, -0.45f, 0.1f}},  // left thigh
    {7, {0.15f, 0.5f, 0}, {0.09f, -0.5f, 0.09f}},  // left shin
    {0, {-0.15f, 0.95f, 0}, {0.1f, -0.45f, 0.1f}}, // right thigh
    {9, {-0.15f, 0.5f, 0}, {0.09f, -0.5f, 0.09f}}, // right shin
};
constexpr uint32_t kInvaderBones = sizeof(kInvader) / sizeof(kInvader[0]);
// The head's faces come last in the part: they are kept out of simplification.
constexpr uint32_t kHeadBone = 2;

Vector3 LocalOffset(uint32_t bone)
{
    const InvaderBone& b = kInvader[bone];
    return b.parent < 0 ? b.bind : b.bind - kInvader[b.parent].bind;
}

struct ClipRow
{
    const char* name;
    float length;
    uint32_t bone;
    Vector3 axis;
    float degrees;
};

const ClipRow kInvaderClips[] = {
    {"Stand", 1.0f, 1, {1, 0, 0}, 0.0f},     {"Walk", 1.0f, 7, {1, 0, 0}, 35.0f},
    {"Idle", 2.0f, 1, {0, 0, 1}, 6.0f},      {"Attack", 0.8f, 5, {1, 0, 0}, -90.0f},
    {"Special", 1.5f, 3, {0, 0, 1}, 80.0f},  {"Special1", 1.2f, 0, {0, 1, 0}, 120.0f},
    {"Special2", 1.0f, 1, {1, 0, 0}, 40.0f}, {"Struggle", 0.6f, 3, {1, 0, 0}, 60.0f},
};
} // namespace

LmfMesh SinglePartMesh(LmfPart part)
{
    LmfMesh mesh;
    mesh.parts.push_back(std::move(part));
    FitBounds(mesh);
    return mesh;
}

LmfMesh UnitCubeMesh() { return SinglePartMesh(MakeBox({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f})); }

LmfMesh UnitSphereMesh() { return SinglePartMesh(MakeSphere(1.0f, 12, 16)); }

LmfMesh PlaneMesh() { return SinglePartMesh(MakeGrid(1.0f, 1)); }

LmfMesh SkydomeMesh() { return SinglePartMesh(MakeSkySphere(1.0f, 16, 24)); }

LmfMesh WaterMesh() { return SinglePartMesh(MakeGrid(1.0f, 8)); }

std::string MeshFile(const LmfMesh& mesh) { return LmfWriter().Header().Mesh(mesh).End().Bytes(); }

std::string UnitCubeFile() { return MeshFile(UnitCubeMesh()); }

std::string UnitSphereFile() { return MeshFile(UnitSphereMesh()); }

std::string PlaneFile() { return MeshFile(PlaneMesh()); }

std::string SkydomeFile() { return MeshFile(SkydomeMesh()); }

std::string WaterFile() { return MeshFile(WaterMesh()); }

LmfMesh TurretMesh()
{
    LmfMesh mesh;
    mesh.kind = 1;
    for (uint32_t i = 0; i < 9; ++i)
    {
        LmfPart part = MakeBox(kTurret[i].min, kTurret[i].max);
        part.index = i;
        part.parent = kTurret[i].parent;
        mesh.parts.push_back(std::move(part));
        mesh.partBones.push_back({i, kTurret[i].parent, 0});
    }
    mesh.radius = 3.0f;
    mesh.corner1 = {-1.0f, 0.0f, -2.5f};
    mesh.corner2 = {1.0f, 2.5f, 1.0f};
    return mesh;
}

std::vector<LmfClip> TurretClips()
{
    std::vector<LmfClip> clips;
    LmfClip idle = RestClip("Idle", 4.0f);
    auto& yaw = idle.tracks[3];
    yaw.clear();
    for (int k = 0; k <= 4; ++k)
        yaw.push_back(Key(float(k), kTurret[3].offset, Turn({0, 1, 0}, 90.0f * k)));
    clips.push_back(idle);

    LmfClip activate = RestClip("Activate", 1.0f);
    activate.tracks[4] = {Key(0.0f, kTurret[4].offset, Turn({1, 0, 0}, 30.0f)), Key(1.0f, kTurret[4].offset)};
    clips.push_back(activate);

    LmfClip deactivate = RestClip("Deactivate", 1.0f);
    deactivate.tracks[4] = {Key(0.0f, kTurret[4].offset), Key(1.0f, kTurret[4].offset, Turn({1, 0, 0}, 30.0f))};
    clips.push_back(deactivate);

    LmfClip inactive = RestClip("Inactive", 1.0f);
    inactive.tracks[4] = {Key(0.0f, kTurret[4].offset, Turn({1, 0, 0}, 30.0f))};
    clips.push_back(inactive);
    return clips;
}

std::string TurretFile() { return LmfWriter().Header().Mesh(TurretMesh()).Clips(TurretClips()).End().Bytes(); }

ConstraintInfo TurretConstraints()
{
    ConstraintInfo info;
    info.BaseAnimation = "Inactive";
    info.EndEffector = 8;
    info.MaxNumIterations = 4;
    info.SpeedNode = 3;
    Constraint yaw;
    yaw.Priority = 0;
    yaw.BoneIndex = 3;
    yaw.Type = 1;
    yaw.Direction = {0, 1, 0};
    Constraint pitch;
    pitch.Priority = 1;
    pitch.BoneIndex = 4;
    pitch.Type = 1;
    pitch.Direction = {1, 0, 0};
    info.JointConstraints = {pitch, yaw};
    return info;
}

LmfMesh InvaderMesh()
{
    LmfPart body;
    std::vector<Influence> influences;
    const uint32_t order[kInvaderBones] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, kHeadBone};
    uint32_t headFaces = 0;
    for (uint32_t bone : order)
    {
        const InvaderBone& b = kInvader[bone];
        Vector3 lo(-b.extent.x, std::min(0.0f, b.extent.y), -b.extent.z);
        Vector3 hi(b.extent.x, std::max(0.0f, b.extent.y), b.extent.z);
        // A box split along its length so the joint end can bend with the parent.
        LmfPart segment = MakeTube(b.extent.x, hi.y - lo.y, 3, 8);
        Offset(segment, {0.0f, lo.y, 0.0f});
        Offset(segment, b.bind);
        const uint32_t parent = b.parent < 0 ? bone : static_cast<uint32_t>(b.parent);
        for (const FileVertex& v : segment.vertices)
        {
            // Near the parent's joint the parent shares the vertex.
            const float along = std::fabs(v.position.y - b.bind.y) / std::max(std::fabs(hi.y - lo.y), 0.01f);
            const float own = b.extent.y < 0.0f ? std::min(1.0f, 0.5f + along) : 1.0f;
            influences.push_back({own, bone});
            influences.push_back({1.0f - own, parent});
        }
        if (bone == kHeadBone)
            headFaces = static_cast<uint32_t>(segment.indices.size() / 3);
        Append(body, segment);
    }
    ComputeAdjacency(body);
    body.influencesPerVertex = 2;
    body.influences = std::move(influences);
    body.target = static_cast<uint32_t>(body.indices.size() / 3 / 2);
    body.keepApartChunk = true;
    body.keepApart = headFaces;
    return SkinnedMesh(std::move(body));
}

std::vector<LmfBone> InvaderBones()
{
    std::vector<LmfBone> bones;
    for (const InvaderBone& b : kInvader)
    {
        bones.push_back(BindBone(b.parent, b.bind));
    }
    return bones;
}

std::vector<LmfClip> InvaderClips()
{
    std::vector<LmfClip> clips;
    for (const ClipRow& row : kInvaderClips)
    {
        LmfClip clip;
        clip.name = row.name;
        clip.length = row.length;
        for (uint32_t bone = 0; bone < kInvaderBones; ++bone)
        {
            if (bone != row.bone)
            {
                clip.tracks.push_back({Key(0.0f, LocalOffset(bone))});
                continue;
            }
            clip.tracks.push_back({Key(0.0f, LocalOffset(bone), Turn(row.axis, -row.degrees)),
                                   Key(row.length * 0.5f, LocalOffset(bone), Turn(row.axis, row.degrees)),
                                   Key(row.length, LocalOffset(bone), Turn(row.axis, -row.degrees))});
        }
        clips.push_back(std::move(clip));
    }
    return clips;
}

std::string InvaderFile()
{
    return LmfWriter().Header().Mesh(InvaderMesh()).Bones(InvaderBones()).Clips(InvaderClips()).End().Bytes();
}

std::string InvaderDistanceMapFile()
{
    std::vector<Vector3> points;
    const LmfMesh mesh = InvaderMesh();
    for (const FileVertex& v : mesh.parts[0].vertices)
        points.push_back(v.position);
    return LmfWriter().Header().DistancePoints(points).End().Bytes();
}

LmfMesh TubeMesh()
{
    LmfPart tube = MakeTube(0.2f, 2.0f, 8, 12);
    for (const FileVertex& v : tube.vertices)
    {
        const float t = std::clamp(v.position.y - 0.5f, 0.0f, 1.0f);
        tube.influences.push_back({1.0f - t, 0});
        tube.influences.push_back({t, 1});
    }
    tube.influencesPerVertex = 2;
    return SkinnedMesh(std::move(tube));
}

std::vector<LmfBone> TubeBones()
{
    std::vector<LmfBone> bones(2);
    bones[0].parent = -1;
    bones[1].parent = 0;
    bones[1].matrix = Matrix4::Translation({0.0f, -1.0f, 0.0f});
    return bones;
}

std::string TubeFile()
{
    LmfClip bend;
    bend.name = "Bend";
    bend.length = 2.0f;
    bend.tracks.push_back({Key(0.0f, {})});
    bend.tracks.push_back({Key(0.0f, {0, 1, 0}), Key(1.0f, {0, 1, 0}, Turn({0, 0, 1}, 90.0f)), Key(2.0f, {0, 1, 0})});
    return LmfWriter().Header().Mesh(TubeMesh()).Bones(TubeBones()).Clips({bend}).End().Bytes();
}

std::string FlashEffectFile()
{
    // One bone that swells to twice its size and back each second: effect sprites and bubble
    // texts sit on it and pulse with it.
    LmfClip pulse;
    pulse.name = "Pulse";
    pulse.length = 1.0f;
    AnimationKey small = Key(0.0f, {});
    AnimationKey large = Key(0.5f, {});
    large.scale = {2.0f, 2.0f, 2.0f};
    AnimationKey back = Key(1.0f, {});
    pulse.tracks.push_back({small, large, back});
    std::vector<LmfBone> bones(1);
    return LmfWriter().Header().Bones(bones).Clips({pulse}).End().Bytes();
}

LmfMesh FiveCubesMesh()
{
    LmfMesh mesh;
    for (int i = 0; i < 5; ++i)
    {
        LmfPart cube = MakeBox({-0.4f, -0.4f, -0.4f}, {0.4f, 0.4f, 0.4f});
        Offset(cube, {float(i) - 2.0f, 0.0f, 0.0f});
        mesh.parts.push_back(std::move(cube));
    }
    FitBounds(mesh);
    return mesh;
}

std::string FiveCubesFile() { return MeshFile(FiveCubesMesh()); }

std::string SevenTexFile()
{
    Writer3DS out;
    out.Begin(0x4D4D);
    out.Begin(0x0002);
    out.U32(3);
    out.End();
    out.Begin(0x3D3D);
    out.Begin(0x3D3E);
    out.U32(3);
    out.End();
    for (int i = 0; i < 7; ++i)
    {
        LmfPart box = MakeBox({-0.4f, 0.0f, -0.4f}, {0.4f, 0.8f, 0.4f});
        Offset(box, {float(i) - 3.0f, 0.0f, 0.0f});
        out.Object("Box" + std::to_string(i), box);
    }
    out.End();
    out.Begin(0xB000);
    out.End();
    out.End();
    return out.Bytes();
}

bool WriteAllModels(const std::string& dataFolder)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(fs::path(dataFolder) / "Models", ec);
    fs::create_directories(fs::path(dataFolder) / "Data", ec);
    auto save = [&](const std::string& name, const std::string& bytes) {
        return SaveBytes((fs::path(dataFolder) / name).string(), bytes);
    };
    bool ok = save("Models/UnitCube.lmf", UnitCubeFile());
    ok = save("Models/UnitSphere.lmf", UnitSphereFile()) && ok;
    ok = save("Models/Plane.lmf", PlaneFile()) && ok;
    ok = save("Models/skydome.lmf", SkydomeFile()) && ok;
    ok = save("Models/Water.LMF", WaterFile()) && ok;
    ok = save("Models/Turret.lmf", TurretFile()) && ok;
    ok = save("Models/Invader.lmf", InvaderFile()) && ok;
    ok = save("Models/InvaderDM.lmf", InvaderDistanceMapFile()) && ok;
    ok = save("Models/Tube.lmf", TubeFile()) && ok;
    ok = save("Models/SevenTex.3ds", SevenTexFile()) && ok;
    ok = save("Models/FiveCubes.lmf", FiveCubesFile()) && ok;
    ok = save("Models/FlashEffect.lmf", FlashEffectFile()) && ok;
    ConstraintInfo constraints = TurretConstraints();
    ok = SaveConstraintInfo(constraints, (fs::path(dataFolder) / "Data/Constraints.xml").string()) && ok;
    return ok;
}
