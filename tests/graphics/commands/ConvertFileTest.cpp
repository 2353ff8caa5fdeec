#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/model/files/XMeshReader.h"
#include "tests/input/LogProbe.h"
#include "tests/platform/WindowFixture.h"
#include "tools/lmfgen/ModelShapes.h"
#include "tools/lmfgen/WriterX.h"

namespace {

// The real command on a scratch data folder.
class ConvertFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mOldData = GetDataPath();
        SetDataPath(mScratch.Path().string() + "/");
        mLoom.reset(GraphicsLoom::Create());
        mCommands = std::make_unique<GraphicsCommands>(*mLoom);
    }
    void TearDown() override
    {
        mCommands.reset();
        mLoom.reset();
        SetDataPath(mOldData);
    }
    void Write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(mScratch.Path() / name, std::ios::binary) << bytes;
    }
    std::filesystem::path Path(const std::string& name) const { return mScratch.Path() / name; }

    ScratchFolder mScratch{"convert"};
    std::string mOldData;
    std::unique_ptr<GraphicsLoom> mLoom;
    std::unique_ptr<GraphicsCommands> mCommands;
};

} // namespace

TEST_F(ConvertFileTest, ToolMeshComesBackFromTheBinaryFile)
{
    const Vector3 offset(1.0f, -2.0f, 0.5f);
    for (const LmfPart& part : {MakeBox(Vector3(-1, -2, -3), Vector3(2, 1, 0.5f)), MakeTube(0.75f, 3.0f, 3, 7)})
    {
        Write("in.x", WriteXText(part, Matrix4::Translation(offset), "Textures/Tube.dds"));
        std::filesystem::remove(Path("out.x"));
        LogProbe log;
        Console::Instance().ExecuteLine("ConvertFile \"in.x\" \"out.x\"");
        EXPECT_EQ(log.Count("X file"), 0) << Console::Instance().GetEntries().FromNewest(0).mText;
        ASSERT_TRUE(std::filesystem::exists(Path("out.x")));
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(Path("out.x").string(), bytes));
        EXPECT_EQ(bytes.substr(0, 16), "xof 0303bin 0032");

        XMesh mesh;
        ASSERT_TRUE(XMeshReader::ReadFile(Path("out.x").string(), mesh));
        ASSERT_EQ(mesh.positions.size(), part.vertices.size());
        ASSERT_EQ(mesh.normals.size(), part.vertices.size());
        ASSERT_EQ(mesh.texCoords.size(), part.vertices.size());
        for (size_t v = 0; v < part.vertices.size(); ++v)
        {
            const FileVertex& want = part.vertices[v];
            EXPECT_FLOAT_EQ(mesh.positions[v].x, want.position.x + offset.x) << v;
            EXPECT_FLOAT_EQ(mesh.positions[v].y, want.position.y + offset.y) << v;
            EXPECT_FLOAT_EQ(mesh.positions[v].z, want.position.z + offset.z) << v;
            EXPECT_NEAR(mesh.normals[v].x, want.normal.x, 1e-6f) << v;
            EXPECT_NEAR(mesh.normals[v].y, want.normal.y, 1e-6f) << v;
            EXPECT_NEAR(mesh.normals[v].z, want.normal.z, 1e-6f) << v;
            EXPECT_EQ(mesh.texCoords[v][0], want.u) << v;
            EXPECT_EQ(mesh.texCoords[v][1], want.v) << v;
        }
        ASSERT_EQ(mesh.faces.size() * 3, part.indices.size());
        for (size_t f = 0; f < mesh.faces.size(); ++f)
            for (size_t k = 0; k < 3; ++k)
                EXPECT_EQ(mesh.faces[f][k], part.indices[3 * f + k]) << f;
        // Written without materials.
        EXPECT_TRUE(mesh.materials.empty());
        EXPECT_TRUE(mesh.faceMaterials.empty());
    }
}

TEST_F(ConvertFileTest, MalformedFilesAreRefusedWithOneLine)
{
    const std::string box = WriteXText(MakeBox(Vector3(-1, -1, -1), Vector3(1, 1, 1)), Matrix4(), "Box.png");
    const std::string bin = "xof 0303bin 0032";
    auto word = [](uint16_t w) { return std::string{char(w & 0xFF), char(w >> 8)}; };
    auto dword = [](uint32_t d) {
        return std::string{char(d & 0xFF), char(d >> 8 & 0xFF), char(d >> 16 & 0xFF), char(d >> 24)};
    };
    struct Case
    {
        const char* name;
        std::string bytes;
        const char* logged;
    };
    const Case cases[] = {
        {"truncated", box.substr(0, box.find("MeshNormals")), "file ends inside a Mesh"},
        {"short", "xof 0303", "shorter than its 16-byte header"},
        {"header", "XOF 0303txt 0032 Mesh { }", "no \"xof \" header: not an X file"},
        {"format", "xof 0303dat 0032 Mesh { }", "unknown format \"dat \""},
        {"floats", "xof 0303txt 0016 Mesh { }", "float size \"0016\" is neither 0032 nor 0064"},
        {"count", "xof 0303txt 0032 Mesh { 1000; 0;0;0;; 1; 3;0,0,0;; }", "Mesh vertices needs 3000 numbers"},
        {"index", "xof 0303txt 0032 Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,5;; }",
         "Mesh face 0 names index 5 of only 3"},
        {"token", "xof 0303txt 0032 Mesh { 3; 0;0;0;, 1;0;@;, 0;1;0;; }", "unexpected character '@'"},
        {"bintoken", bin + word(1) + dword(4) + "Mesh" + word(10) + word(99), "unknown token 99"},
        {"binlist", bin + word(1) + dword(4) + "Mesh" + word(10) + word(7) + dword(1000) + dword(0),
         "list of 1000 values runs past the file"},
        {"empty", "xof 0303txt 0032 Header { 1; 0; 1; }", "holds no mesh with faces"},
    };
    for (const Case& c : cases)
    {
        const std::string in = std::string(c.name) + ".x";
        Write(in, c.bytes);
        LogProbe log;
        Console::Instance().ExecuteLine("ConvertFile \"" + in + "\" \"out_" + in + "\"");
        EXPECT_EQ(log.Written(), 2u) << c.name; // the echoed command and its one error
        EXPECT_EQ(log.Count("X file "), 1) << c.name;
        EXPECT_EQ(log.Count(in + ": " + c.logged), 1)
            << c.name << ": " << Console::Instance().GetEntries().FromNewest(0).mText;
        EXPECT_FALSE(std::filesystem::exists(Path("out_" + in))) << c.name;
    }
}
