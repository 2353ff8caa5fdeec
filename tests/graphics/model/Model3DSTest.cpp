#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "graphics/model/files/Model3DS.h"
#include "tests/LOOM/support/MathTestHelpers.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/GameModels.h"
#include "tools/lmfgen/ModelShapes.h"
#include "tools/lmfgen/Writer3DS.h"

namespace {
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Main and editor chunks around whatever the body writes.
template <typename Body>
std::string File3DS(Body body)
{
    Writer3DS out;
    out.Begin(0x4D4D);
    out.Begin(0x3D3D);
    body(out);
    out.End();
    out.End();
    return out.Bytes();
}
} // namespace

TEST(Model3DS, SevenTexLoadsSevenWeldedSmoothPartsAndTracesItsChunks)
{
    // The trace goes to the working folder; a private one keeps tests running beside it out of it.
    TempDir folder;
    ScopedCwd inFolder(folder.Path());
    ScopedModelStores stores;
    Ref<Mesh> mesh = stores.mMeshes.GetRef(RepoDataPath("Models/SevenTex.3ds"));
    ASSERT_EQ(mesh->GetPartCount(), 7u);
    for (uint32_t p = 0; p < 7; ++p)
    {
        const MeshPart& part = *mesh->GetPart(p);
        EXPECT_EQ(part.mVertexCount, 24u);
        EXPECT_EQ(part.mFaceCount, 12u);
        // Closed boxes: every edge finds its neighbour once the corners are welded.
        for (uint32_t neighbour : part.mAdjacency)
            EXPECT_LT(neighbour, 12u);
        // Smooth normals: each corner points away from the box's centre.
        const Vector3 centre(float(p) - 3.0f, 0.4f, 0.0f);
        for (const FileVertex& v : part.mVertices)
            EXPECT_TRUE(VectorNear(v.normal, (v.position - centre).Normalized(), 1e-4f));
    }
    EXPECT_FALSE(mesh->mFromLmf);
    mesh->BuildEdges();
    EXPECT_EQ(mesh->GetPart(6)->mShadowFaceCount, 12u + 36u);

    const std::vector<std::string> lines = Lines(TempDir::Read("output.txt"));
    std::vector<std::string> expected = {"Main Chunk", "Version", "Editor Info", "Mesh Version"};
    for (int i = 0; i < 7; ++i)
        expected.insert(expected.end(),
                        {"Object Chunk", "Mesh", "Mesh Vertices", "Mesh Coords", "Mesh Faces", " Num Faces 12",
                         "Face Materials", "Coord System"});
    expected.push_back("Key Framer");
    EXPECT_EQ(lines, expected);
}

TEST(Model3DS, CoordinatesAreOptionalAndSurplusOnesDropped)
{
    LmfPart box = MakeBox({0, 0, 0}, {1, 1, 1});
    const std::string bytes = File3DS([&](Writer3DS& out) {
        out.Begin(0x4000);
        out.Str("NoCoords");
        out.Begin(0x4100);
        out.Begin(0x4110);
        out.U16(static_cast<uint16_t>(box.vertices.size()));
        for (const FileVertex& v : box.vertices)
            for (float f : {v.position.x, v.position.y, v.position.z})
                out.F32(f);
        out.End();
        out.Begin(0x4120);
        out.U16(static_cast<uint16_t>(box.indices.size() / 3));
        for (size_t i = 0; i < box.indices.size(); i += 3)
            for (uint16_t value : {box.indices[i], box.indices[i + 1], box.indices[i + 2], uint16_t(0)})
                out.U16(value);
        out.End();
        out.End();
        out.End();
        LmfPart extra = box;
        extra.vertices.resize(30);
        extra.vertices[0].u = 0.25f;
        // Mapping coordinates for 30 vertices over 24 positions: the surplus goes.
        out.Object("Surplus", extra);
        // Lists outside a mesh are not geometry.
        out.Begin(0x4110);
        out.U16(0);
        out.End();
    });
    Mesh mesh;
    Model3DS reader;
    ASSERT_TRUE(reader.Read(bytes, "Coords.3ds", mesh, nullptr));
    ASSERT_EQ(mesh.GetPartCount(), 2u);
    for (const FileVertex& v : mesh.GetPart(0)->mVertices)
        EXPECT_EQ(v.u + v.v, 0.0f);
    EXPECT_EQ(mesh.GetPart(1)->mVertexCount, 30u);
    EXPECT_EQ(mesh.GetPart(1)->mVertices[0].u, 0.25f);
}

TEST(Model3DS, BadFilesGiveOneErrorLineAndAnEmptyMesh)
{
    const std::string good = SevenTexFile();
    std::string shortChunk = good;
    shortChunk[6 + 2] = 3; // the version chunk claims 3 bytes, less than its header
    shortChunk[6 + 3] = 0;
    std::string pastParent = good;
    pastParent[6 + 2] = static_cast<char>(0xFF);
    pastParent[6 + 3] = static_cast<char>(0xFF);
    LmfPart box = MakeBox({0, 0, 0}, {1, 1, 1});
    box.indices[5] = 40;
    const std::string badIndex = File3DS([&](Writer3DS& out) { out.Object("Bad", box); });
    const std::string faceless = File3DS([](Writer3DS& out) {
        out.Begin(0x4000);
        out.Str("Empty");
        out.End();
    });
    const std::pair<const char*, std::string> rows[] = {
        {"Short.3ds", shortChunk},  {"PastParent.3ds", pastParent}, {"Cut.3ds", good.substr(0, good.size() / 3)},
        {"BadIndex.3ds", badIndex}, {"Faceless.3ds", faceless},     {"Empty.3ds", std::string()},
    };
    TempDir dir;
    ScopedCwd inFolder(dir.Path());
    for (const auto& [name, bytes] : rows)
    {
        SCOPED_TRACE(name);
        LogProbe probe;
        Held<Mesh> mesh(new Mesh());
        std::ostringstream trace;
        EXPECT_FALSE(Model3DS::ReadMainChunk(*mesh, dir.Write(name, bytes)));
        EXPECT_EQ(probe.Count(name), 2);
        EXPECT_EQ(mesh->GetPartCount(), 0u);
        EXPECT_TRUE(mesh->GetGeometry().vertices.empty());
    }
    std::filesystem::remove("output.txt");
    Held<Mesh> mesh(new Mesh());
    LogProbe probe;
    EXPECT_FALSE(Model3DS::ReadMainChunk(*mesh, dir.Path("Missing.3ds")));
    EXPECT_EQ(probe.Count("Missing.3ds"), 2);
    EXPECT_FALSE(std::filesystem::exists("output.txt"));
}
