#include <gtest/gtest.h>

#include <functional>

#include "graphics/model/files/LMLoader.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/GameModels.h"
#include "tools/lmfgen/ModelShapes.h"

namespace {

// Offset of the first top-level chunk header of that type (chunks read in sequence).
size_t FindMark(const std::string& bytes, uint32_t mark)
{
    size_t at = 0;
    while (at + 8 <= bytes.size())
    {
        uint32_t m, size;
        std::memcpy(&m, bytes.data() + at, 4);
        std::memcpy(&size, bytes.data() + at + 4, 4);
        if (m == mark)
            return at;
        at += 8 + size;
    }
    return std::string::npos;
}

void PutU32(std::string& bytes, size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

std::string CubeWith(const std::function<void(LmfPart&)>& change, uint32_t kind = 0)
{
    LmfMesh mesh = UnitCubeMesh();
    mesh.kind = kind;
    change(mesh.parts[0]);
    return LmfWriter().Header().Mesh(mesh).End().Bytes();
}

struct BadFile
{
    const char* name;
    std::string bytes;
    int assertions;
};

} // namespace

TEST(MalformedLmf, EveryBadMeshFileIsRefusedWithOneErrorLine)
{
    const std::string cube = UnitCubeFile();
    std::string hugeVertices = cube;
    PutU32(hugeVertices, FindMark(cube, 0x06) + 8, 0xFFFFFFFFu);
    std::string hugeParts = cube;
    PutU32(hugeParts, FindMark(cube, 0x02) + 8, 0xFFFFFFFFu);
    std::string wrongType = cube;
    PutU32(wrongType, FindMark(cube, 0x05), 0x07);
    std::string pastEnd = cube;
    PutU32(pastEnd, FindMark(cube, 0x06) + 4, 0x7FFFFFFFu);
    LmfMesh twoRoots = TurretMesh();
    twoRoots.parts[1].index = 0;
    LmfMesh cycle = TurretMesh();
    cycle.parts[0].parent = 8;
    LmfMesh badParent = TurretMesh();
    badParent.parts[2].parent = 9;

    const BadFile rows[] = {
        {"Cut.lmf", cube.substr(0, cube.size() / 2), 0},
        {"NoHeader.lmf", std::string(), 0},
        {"HugeVertices.lmf", hugeVertices, 0},
        {"HugeParts.lmf", hugeParts, 0},
        {"WrongType.lmf", wrongType, 1},
        {"PastEnd.lmf", pastEnd, 0},
        {"IndexPastVertices.lmf", CubeWith([](LmfPart& p) { p.indices[4] = 24; }), 0},
        {"NeighbourPastFaces.lmf", CubeWith([](LmfPart& p) { p.adjacency[2] = 12; }), 0},
        {"IndicesNotThreePerFace.lmf", CubeWith([](LmfPart& p) { p.indices.pop_back(); }), 0},
        {"AdjacencyShort.lmf", CubeWith([](LmfPart& p) { p.adjacency.pop_back(); }), 0},
        {"InfluencesTooMany.lmf", CubeWith([](LmfPart& p) {
             p.influencesPerVertex = 0x40000000u;
             p.influences.resize(1);
         }),
         0},
        {"RepeatedPart.lmf", LmfWriter().Header().Mesh(twoRoots).End().Bytes(), 0},
        {"PartCycle.lmf", LmfWriter().Header().Mesh(cycle).End().Bytes(), 0},
        {"PartParentOutside.lmf", LmfWriter().Header().Mesh(badParent).End().Bytes(), 0},
    };
    TempDir dir;
    for (const BadFile& row : rows)
    {
        SCOPED_TRACE(row.name);
        const std::string file = dir.Write(row.name, row.bytes);
        LogProbe probe;
        const int assertionsBefore = AssertFailureCount();
        Held<Mesh> mesh(new Mesh());
        EXPECT_FALSE(LMLoader::LoadMesh(*mesh, file));
        EXPECT_EQ(AssertFailureCount() - assertionsBefore, row.assertions);
        // "Loading Mesh <file>" and one line saying what is wrong.
        EXPECT_EQ(probe.Count(row.name), 2);
        EXPECT_EQ(mesh->GetPartCount(), 0u);
        EXPECT_TRUE(mesh->GetGeometry().indices.empty());
        EXPECT_FALSE(mesh->IsBuilt());
        mesh->BuildEdges();
        EXPECT_EQ(mesh->GetShadowGeometry().vertexCount, 0u);
    }
}

TEST(MalformedLmf, TolerableOddities)
{
    // Extra payload in a chunk, and a chunk of another type between two parts.
    LmfMesh two = TurretMesh();
    two.parts.resize(2);
    two.partBones.clear();
    two.kind = 0;
    std::string bytes = LmfWriter().Header().Mesh(two).End().Bytes();
    const size_t secondPart = FindMark(bytes.substr(0), 0x03);
    // The second part's 0x03 is the second one in sequence; find it past the first.
    size_t at = secondPart + 8 + 16;
    for (int skip = 0; skip < 3; ++skip)
    {
        uint32_t size;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        at += 8 + size;
    }
    LmfWriter filler;
    filler.Raw(0x77, std::string(10, 'x'));
    bytes.insert(at, filler.Bytes());
    const size_t bounds = FindMark(bytes, 0x0B);
    uint32_t size;
    std::memcpy(&size, bytes.data() + bounds + 4, 4);
    PutU32(bytes, bounds + 4, size + 4);
    bytes.insert(bounds + 8 + size, "pad!");

    TempDir dir;
    Held<Mesh> mesh(new Mesh());
    LogProbe probe;
    ASSERT_TRUE(LMLoader::LoadMesh(*mesh, dir.Write("Odd.lmf", bytes)));
    EXPECT_EQ(mesh->GetPartCount(), 2u);
    EXPECT_EQ(mesh->GetPart(1)->mFaceCount, 12u);
    EXPECT_EQ(mesh->GetPart(0)->mKeepApart, 0u);
    EXPECT_EQ(mesh->GetPart(0)->mInfluencesPerVertex, 0u);
    EXPECT_EQ(probe.Count("Odd.lmf"), 1);
}

TEST(MalformedLmf, MissingFileAssertsOnceAndLeavesAnEmptyMesh)
{
    const int before = AssertFailureCount();
    LogProbe probe;
    Held<Mesh> mesh(new Mesh());
    EXPECT_FALSE(LMLoader::LoadMesh(*mesh, "/nonexistent/Nothing.lmf"));
    EXPECT_EQ(AssertFailureCount() - before, 1);
    EXPECT_EQ(probe.Count("Could not Find Model File "), 1);
    EXPECT_EQ(probe.Count("Nothing.lmf"), 2);
    EXPECT_EQ(mesh->GetPartCount(), 0u);
}

TEST(MalformedLmf, SkeletonFiles)
{
    std::vector<LmfBone> childFirst(3);
    childFirst[0].parent = 2;
    childFirst[1].parent = -1;
    childFirst[2].parent = 1;
    std::vector<LmfBone> outside(2);
    outside[1].parent = 5;
    std::vector<LmfBone> loop(2);
    loop[0].parent = 1;
    loop[1].parent = 0;
    const std::vector<LmfNamedBone> named = {{"root", kLmfNone}, {"arm", 0}, {"hand", 1}};

    struct Row
    {
        const char* name;
        std::string bytes;
        bool loads;
        uint32_t bones;
        int assertions;
    };
    const Row rows[] = {
        {"ChildFirst.lmf", LmfWriter().Header().Bones(childFirst).End().Bytes(), true, 3, 0},
        {"Named.lmf", LmfWriter().Header().Raw(0x55, "zz").NamedBones(named).End().Bytes(), true, 3, 0},
        {"ParentOutside.lmf", LmfWriter().Header().Bones(outside).End().Bytes(), false, 0, 0},
        {"Loop.lmf", LmfWriter().Header().Bones(loop).End().Bytes(), false, 0, 0},
        {"NoBones.lmf", LmfWriter().Header().End().Bytes(), false, 0, 1},
    };
    TempDir dir;
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        const int before = AssertFailureCount();
        Held<Skeleton> skeleton(new Skeleton());
        EXPECT_EQ(LMLoader::LoadSkeleton(*skeleton, dir.Write(row.name, row.bytes)), row.loads);
        EXPECT_EQ(skeleton->GetBoneCount(), row.bones);
        EXPECT_EQ(AssertFailureCount() - before, row.assertions);
    }
    Held<Skeleton> skeleton(new Skeleton());
    ASSERT_TRUE(LMLoader::LoadSkeleton(*skeleton, dir.Path("Named.lmf")));
    EXPECT_EQ(skeleton->GetBone(2)->mName, "hand");
    EXPECT_EQ(skeleton->GetBone(2)->mParent, 1);
    EXPECT_FALSE(skeleton->GetBone(2)->mBindMatrix);
    ASSERT_EQ(skeleton->GetBone(1)->mChildren.size(), 1u);
    EXPECT_EQ(skeleton->GetBone(1)->mChildren[0], skeleton->GetBone(2));
}

TEST(MalformedLmf, AnimationFiles)
{
    LmfClip clip;
    clip.name = "Odd";
    clip.second = 2.5f;
    clip.tracks = {{Key(0.0f, {}), Key(1.0f, {1, 0, 0})}};
    LmfClip backwards = clip;
    backwards.tracks[0][1].time = -1.0f;
    TempDir dir;

    Held<AnimationSet> set(new AnimationSet());
    ASSERT_TRUE(LMLoader::LoadAnimations(*set, dir.Write("Odd.lmf", LmfWriter().Header().Clips({clip}).End().Bytes())));
    ASSERT_EQ(set->Animations.size(), 1u);
    EXPECT_EQ(set->Animations[0]->mSecond, 1.0f);
    EXPECT_EQ(set->Animations[0]->mTracks[0].keys[1].position, Vector3(1, 0, 0));

    LogProbe probe;
    EXPECT_FALSE(LMLoader::LoadAnimations(
        *set, dir.Write("Backwards.lmf", LmfWriter().Header().Clips({clip, backwards}).End().Bytes())));
    EXPECT_TRUE(set->Animations.empty());
    EXPECT_EQ(probe.Count("Backwards.lmf"), 2);

    const int before = AssertFailureCount();
    EXPECT_FALSE(LMLoader::LoadAnimations(*set, dir.Write("None.lmf", LmfWriter().Header().End().Bytes())));
    EXPECT_EQ(AssertFailureCount() - before, 1);

    std::string cut = LmfWriter().Header().Clips({clip, clip}).End().Bytes();
    EXPECT_FALSE(LMLoader::LoadAnimations(*set, dir.Write("CutClip.lmf", cut.substr(0, cut.size() - 30))));
    EXPECT_TRUE(set->Animations.empty());

    Held<DistanceMap> map(new DistanceMap());
    LogProbe mapProbe;
    EXPECT_FALSE(LMLoader::LoadDistanceMapMesh(*map, dir.Write("NoPoints.lmf", LmfWriter().Header().End().Bytes())));
    EXPECT_TRUE(map->mPoints.empty());
    EXPECT_EQ(mapProbe.Count("NoPoints.lmf"), 2);
}
