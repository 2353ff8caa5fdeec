#include <gtest/gtest.h>

#include <set>

#include "LOOM/base/FileUtils.h"
#include "graphics/model/files/LMLoader.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/GameModels.h"

namespace {

struct FileRow
{
    const char* file;
    LmfMesh (*mesh)();
    bool skinned;
    bool hierarchy;
};

// The faces of a part as sets of corners, whatever order the build left them in.
std::multiset<std::array<uint32_t, 3>> FaceSet(const std::vector<uint16_t>& indices, size_t faces, uint32_t base)
{
    std::multiset<std::array<uint32_t, 3>> out;
    for (size_t f = 0; f < faces; ++f)
    {
        std::array<uint32_t, 3> t{indices[3 * f] + base, indices[3 * f + 1] + base, indices[3 * f + 2] + base};
        std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
        out.insert(t);
    }
    return out;
}

} // namespace

TEST(LmfFiles, GeneratedFilesLoadBackWithWhatWasWritten)
{
    const FileRow rows[] = {
        {"Models/UnitCube.lmf", UnitCubeMesh, false, false}, {"Models/UnitSphere.lmf", UnitSphereMesh, false, false},
        {"Models/Plane.lmf", PlaneMesh, false, false},       {"Models/skydome.lmf", SkydomeMesh, false, false},
        {"Models/Water.LMF", WaterMesh, false, false},       {"Models/Turret.lmf", TurretMesh, false, true},
        {"Models/Invader.lmf", InvaderMesh, true, false},    {"Models/Tube.lmf", TubeMesh, true, false},
    };
    for (const FileRow& row : rows)
    {
        SCOPED_TRACE(row.file);
        const LmfMesh written = row.mesh();
        Held<Mesh> mesh(new Mesh());
        ASSERT_TRUE(LMLoader::LoadMesh(*mesh, RepoDataPath(row.file)));
        EXPECT_EQ(mesh->mSkinned, row.skinned);
        EXPECT_EQ(mesh->mPartHierarchy, row.hierarchy);
        EXPECT_EQ(mesh->mRadius, written.radius);
        EXPECT_EQ(mesh->mBoxCorner1, written.corner1);
        EXPECT_EQ(mesh->mBoxCorner2, written.corner2);
        ASSERT_EQ(mesh->GetPartCount(), written.parts.size());
        const MeshGeometry& geometry = mesh->GetGeometry();
        EXPECT_EQ(geometry.stride, row.skinned ? 52u : 56u);
        uint32_t vertices = 0, faces = 0;
        for (uint32_t p = 0; p < mesh->GetPartCount(); ++p)
        {
            const MeshPart& part = *mesh->GetPart(p);
            const LmfPart& source = written.parts[p];
            EXPECT_EQ(part.mFirstVertex, vertices);
            EXPECT_EQ(part.mFirstFace, faces);
            EXPECT_EQ(part.mVertexCount, source.vertices.size());
            EXPECT_EQ(part.mFaceCount, source.indices.size() / 3);
            EXPECT_EQ(part.mInfluencesPerVertex, source.influencesPerVertex);
            // The build may reorder faces but must keep every one of them, in the part's range.
            std::vector<uint16_t> built;
            for (uint32_t i = 0; i < 3 * part.mFaceCount; ++i)
                built.push_back(static_cast<uint16_t>(geometry.indices[3 * part.mFirstFace + i] - part.mFirstVertex));
            EXPECT_EQ(FaceSet(built, part.mFaceCount, 0), FaceSet(source.indices, part.mFaceCount, 0));
            for (uint32_t v = 0; v < part.mVertexCount; ++v)
            {
                const size_t at = size_t(part.mFirstVertex + v) * geometry.stride;
                ASSERT_EQ(ReadFloatAt(geometry.vertices, at), source.vertices[v].position.x);
                ASSERT_EQ(ReadFloatAt(geometry.vertices, at + 24), source.vertices[v].u);
                if (!row.skinned)
                    continue;
                // Weights in slot order, then one index byte per slot.
                for (uint32_t slot = 0; slot < 4; ++slot)
                {
                    const Influence expected = slot < source.influencesPerVertex
                        ? source.influences[v * source.influencesPerVertex + slot]
                        : Influence{};
                    ASSERT_EQ(ReadFloatAt(geometry.vertices, at + 32 + 4 * slot), expected.weight);
                    ASSERT_EQ(geometry.vertices[at + 48 + slot], expected.bone & 0xFF);
                }
            }
            vertices += part.mVertexCount;
            faces += part.mFaceCount;
        }
        EXPECT_EQ(geometry.vertexCount, vertices);
        EXPECT_EQ(geometry.faceCount, faces);
        EXPECT_EQ(geometry.indexSize, 2u);
        EXPECT_EQ(mesh->GetSkeleton() != nullptr, row.hierarchy);
    }
}

TEST(LmfFiles, InvaderLodKeepsTheHeadApartAndAimsAtItsTarget)
{
    const LmfMesh written = InvaderMesh();
    const LmfPart& source = written.parts[0];
    Held<Mesh> mesh(new Mesh());
    ASSERT_TRUE(LMLoader::LoadMesh(*mesh, RepoDataPath("Models/Invader.lmf")));
    const MeshPart& part = *mesh->GetPart(0);
    const MeshGeometry& geometry = mesh->GetGeometry();
    ASSERT_GT(part.mKeepApart, 0u);
    EXPECT_EQ(part.mKeepApart, source.keepApart);
    // The simplified range follows the full-detail faces in the same index list.
    EXPECT_EQ(part.mLodFirstFace, geometry.faceCount);
    EXPECT_LT(part.mLodFaceCount, part.mFaceCount);
    EXPECT_LE(part.mLodFaceCount, source.target + part.mKeepApart);
    ASSERT_EQ(geometry.indices.size(), 3 * size_t(geometry.faceCount + part.mLodFaceCount));
    // The kept faces end both ranges unchanged.
    for (uint32_t i = 0; i < 3 * part.mKeepApart; ++i)
    {
        const size_t fromEnd = 3 * size_t(part.mKeepApart) - i;
        const uint32_t full = geometry.indices[3 * size_t(part.mFaceCount) - fromEnd];
        const uint32_t lod = geometry.indices[geometry.indices.size() - fromEnd];
        EXPECT_EQ(full, lod);
    }
    std::multiset<std::array<uint32_t, 3>> head;
    const size_t headStart = source.indices.size() / 3 - part.mKeepApart;
    std::vector<uint16_t> headIndices(source.indices.begin() + 3 * headStart, source.indices.end());
    std::vector<uint16_t> tail(geometry.indices.end() - 3 * part.mKeepApart, geometry.indices.end());
    EXPECT_EQ(FaceSet(tail, part.mKeepApart, 0), FaceSet(headIndices, part.mKeepApart, 0));
}

TEST(LmfFiles, TwoPartsShareOneBufferWithOffsetIndicesAndAdjacency)
{
    LmfMesh two;
    two.parts = {UnitCubeMesh().parts[0], UnitCubeMesh().parts[0]};
    TempDir dir;
    const std::string file = dir.Write("Two.lmf", LmfWriter().Header().Mesh(two).End().Bytes());
    Held<Mesh> mesh(new Mesh());
    ASSERT_TRUE(LMLoader::LoadMesh(*mesh, file));
    const MeshPart& second = *mesh->GetPart(1);
    EXPECT_EQ(second.mFirstVertex, 24u);
    EXPECT_EQ(second.mFirstFace, 12u);
    const auto& indices = mesh->GetGeometry().indices;
    const auto& adjacency = mesh->GetAdjacency();
    ASSERT_EQ(adjacency.size(), 72u);
    for (size_t i = 36; i < 72; ++i)
    {
        EXPECT_GE(indices[i], 24u);
        EXPECT_LT(indices[i], 48u);
        EXPECT_GE(adjacency[i], 12u);
        EXPECT_LT(adjacency[i], 24u);
        // Across the edge is a face that names this face back.
        const uint32_t g = adjacency[i];
        const uint32_t f = static_cast<uint32_t>(i / 3);
        EXPECT_TRUE(adjacency[3 * g] == f || adjacency[3 * g + 1] == f || adjacency[3 * g + 2] == f);
    }
}

// The cache order reorders faces; each keeps its own neighbours, and of two equal triangles
// the one first in the new order is the one first in the file.
TEST(LmfFiles, CacheOrderKeepsNeighboursWithTheirFacesAlsoForRepeatedTriangles)
{
    LmfMesh doubled = UnitCubeMesh();
    LmfPart& part = doubled.parts[0];
    const size_t faces = part.indices.size() / 3;
    ASSERT_EQ(std::count(part.adjacency.begin(), part.adjacency.end(), 0xFFFF), 0);
    for (size_t i = 0; i < 3 * faces; ++i)
    {
        part.indices.push_back(part.indices[i]);
        part.adjacency.push_back(0xFFFF);
    }
    ChunkReader reader;
    reader.OpenBuffer(LmfWriter().Header().Mesh(doubled).End().Bytes(), "doubled");
    Mesh mesh;
    ASSERT_TRUE(LMLoader::ReadMesh(reader, mesh));
    const auto& indices = mesh.GetGeometry().indices;
    const auto& adjacency = mesh.GetAdjacency();
    ASSERT_EQ(adjacency.size(), 6 * faces);
    auto corners = [&](uint32_t f) {
        std::array<uint32_t, 3> t{indices[3 * f], indices[3 * f + 1], indices[3 * f + 2]};
        std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
        return t;
    };
    std::set<std::array<uint32_t, 3>> seen;
    for (uint32_t f = 0; f < 2 * faces; ++f)
    {
        SCOPED_TRACE(f);
        const bool first = seen.insert(corners(f)).second;
        for (uint32_t e = 0; e < 3; ++e)
        {
            const uint32_t g = adjacency[3 * f + e];
            if (!first)
            {
                EXPECT_EQ(g, kNoNeighbour);
                continue;
            }
            ASSERT_LT(g, 2 * faces);
            // The neighbour has corners where the edge's two ends are.
            const auto& vertices = mesh.GetPart(0)->mVertices;
            auto hasCornerAt = [&](uint32_t face, uint32_t vertex) {
                for (uint32_t c : corners(face))
                    if (vertices[c].position == vertices[vertex].position)
                        return true;
                return false;
            };
            EXPECT_TRUE(hasCornerAt(g, indices[3 * f + e]));
            EXPECT_TRUE(hasCornerAt(g, indices[3 * f + (e + 1) % 3]));
            EXPECT_NE(corners(f), corners(g));
        }
    }
    EXPECT_EQ(seen.size(), faces);
}

TEST(LmfFiles, SeventyThousandVerticesTakeThirtyTwoBitIndicesReachingTheLast)
{
    LmfMesh big;
    for (int p = 0; p < 2; ++p)
    {
        LmfPart part;
        for (int v = 0; v < 35000; ++v)
        {
            FileVertex vertex;
            vertex.position = {float(v % 200), float(v / 200), float(p)};
            part.vertices.push_back(vertex);
        }
        for (uint16_t v = 0; v + 2 < 35000; v += 3)
            part.indices.insert(part.indices.end(), {v, uint16_t(v + 1), uint16_t(v + 2)});
        part.indices.insert(part.indices.end(), {34997, 34998, 34999});
        part.adjacency.assign(part.indices.size(), 0xFFFF);
        big.parts.push_back(part);
    }
    TempDir dir;
    const std::string file = dir.Write("Big.lmf", LmfWriter().Header().Mesh(big).End().Bytes());
    Held<Mesh> mesh(new Mesh());
    ASSERT_TRUE(LMLoader::LoadMesh(*mesh, file));
    const MeshGeometry& geometry = mesh->GetGeometry();
    EXPECT_EQ(geometry.vertexCount, 70000u);
    EXPECT_EQ(geometry.indexSize, 4u);
    EXPECT_EQ(*std::max_element(geometry.indices.begin(), geometry.indices.end()), 69999u);
}

TEST(LmfFiles, ClosedCubeShadowHasTwoTrianglesPerSharedEdgeAlsoAfterFreeingArrays)
{
    for (bool freeFirst : {false, true})
    {
        SCOPED_TRACE(freeFirst);
        Held<Mesh> mesh(new Mesh());
        ASSERT_TRUE(LMLoader::LoadMesh(*mesh, RepoDataPath("Models/UnitCube.lmf")));
        if (freeFirst)
            mesh->FreePartArrays();
        mesh->BuildEdges();
        mesh->BuildEdges();
        const MeshPart& part = *mesh->GetPart(0);
        EXPECT_EQ(part.mShadowVertexCount, 36u);
        EXPECT_EQ(part.mShadowFaceCount, 12u + 2u * 18u);
        const MeshGeometry& shadow = mesh->GetShadowGeometry();
        EXPECT_EQ(shadow.stride, 24u);
        EXPECT_EQ(shadow.vertexCount, 36u);
        EXPECT_EQ(shadow.indices.size(), 3u * 48u);
        // Each shadow vertex carries its face's outward normal.
        for (uint32_t v = 0; v < 36; ++v)
        {
            const Vector3 position(ReadFloatAt(shadow.vertices, v * 24), ReadFloatAt(shadow.vertices, v * 24 + 4),
                                   ReadFloatAt(shadow.vertices, v * 24 + 8));
            const Vector3 normal(ReadFloatAt(shadow.vertices, v * 24 + 12), ReadFloatAt(shadow.vertices, v * 24 + 16),
                                 ReadFloatAt(shadow.vertices, v * 24 + 20));
            EXPECT_NEAR(DotProduct(position, normal), 0.5f, 1e-5f);
        }
    }
}

TEST(LmfFiles, SkeletonAndClipsShareTheInvaderFile)
{
    Held<Skeleton> skeleton(new Skeleton());
    ASSERT_TRUE(LMLoader::LoadSkeleton(*skeleton, RepoDataPath("Models/Invader.lmf")));
    EXPECT_EQ(skeleton->GetBoneCount(), InvaderBones().size());
    EXPECT_LE(skeleton->GetBoneCount(), 30u);
    ASSERT_EQ(skeleton->GetRoots().size(), 1u);
    for (uint32_t i = 0; i < skeleton->GetBoneCount(); ++i)
    {
        ASSERT_TRUE(skeleton->GetBone(i)->mBindMatrix);
        EXPECT_EQ(*skeleton->GetBone(i)->mBindMatrix, InvaderBones()[i].matrix);
    }
    Held<AnimationSet> set(new AnimationSet());
    ASSERT_TRUE(LMLoader::LoadAnimations(*set, RepoDataPath("Models/Invader.lmf")));
    const char* names[] = {"Stand", "Walk", "Idle", "Attack", "Special", "Special1", "Special2", "Struggle"};
    ASSERT_EQ(set->Animations.size(), 8u);
    for (size_t i = 0; i < 8; ++i)
    {
        EXPECT_EQ(set->Animations[i]->mName, names[i]);
        EXPECT_EQ(set->Animations[i]->NumPaths, skeleton->GetBoneCount());
    }
    Held<DistanceMap> map(new DistanceMap());
    ASSERT_TRUE(LMLoader::LoadDistanceMapMesh(*map, RepoDataPath("Models/InvaderDM.lmf")));
    EXPECT_EQ(map->mPoints.size(), InvaderMesh().parts[0].vertices.size());
    EXPECT_EQ(map->GetMemorySize(), 12 * map->mPoints.size());
}

TEST(LmfFiles, LmfgenRerunsGiveTheCheckedInBytes)
{
    const std::pair<const char*, std::string> files[] = {
        {"Models/UnitCube.lmf", UnitCubeFile()}, {"Models/UnitSphere.lmf", UnitSphereFile()},
        {"Models/Plane.lmf", PlaneFile()},       {"Models/skydome.lmf", SkydomeFile()},
        {"Models/Water.LMF", WaterFile()},       {"Models/Turret.lmf", TurretFile()},
        {"Models/Invader.lmf", InvaderFile()},   {"Models/InvaderDM.lmf", InvaderDistanceMapFile()},
        {"Models/Tube.lmf", TubeFile()},         {"Models/SevenTex.3ds", SevenTexFile()},
    };
    for (const auto& [name, bytes] : files)
    {
        SCOPED_TRACE(name);
        EXPECT_EQ(TempDir::Read(RepoDataPath(name)), bytes);
    }
    TempDir dir;
    ASSERT_TRUE(WriteAllModels(dir.Path()));
    EXPECT_EQ(TempDir::Read(dir.Path("Data/Constraints.xml")), TempDir::Read(RepoDataPath("Data/Constraints.xml")));
}
