#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "graphics/model/files/XMeshReader.h"
#include "tests/input/LogProbe.h"

namespace {

// Binary X tokens, written the way the format lays them out.
class BinaryX
{
public:
    explicit BinaryX(bool doubles) : mDoubles(doubles), mBytes(doubles ? "xof 0303bin 0064" : "xof 0303bin 0032") {}

    BinaryX& Token(uint16_t token)
    {
        mBytes.push_back(char(token & 0xFF));
        mBytes.push_back(char(token >> 8));
        return *this;
    }
    BinaryX& Dword(uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            mBytes.push_back(char((value >> shift) & 0xFF));
        return *this;
    }
    BinaryX& Name(const std::string& name)
    {
        Token(1).Dword(uint32_t(name.size()));
        mBytes += name;
        return *this;
    }
    BinaryX& String(const std::string& text)
    {
        Token(2).Dword(uint32_t(text.size()));
        mBytes += text;
        return Dword(20);
    }
    BinaryX& Guid() { return Token(5).Dword(0x3D82AB44).Dword(0x11CF62DA).Dword(0x00200000).Dword(0x33E471AF); }
    BinaryX& Open(const std::string& type) { return Name(type).Token(10); }
    BinaryX& Close() { return Token(11); }
    BinaryX& Ints(std::initializer_list<uint32_t> values)
    {
        Token(6).Dword(uint32_t(values.size()));
        for (uint32_t v : values)
            Dword(v);
        return *this;
    }
    BinaryX& Floats(std::initializer_list<float> values)
    {
        Token(7).Dword(uint32_t(values.size()));
        for (float v : values)
        {
            if (mDoubles)
            {
                const double d = v;
                mBytes.append(reinterpret_cast<const char*>(&d), 8);
            }
            else
                mBytes.append(reinterpret_cast<const char*>(&v), 4);
        }
        return *this;
    }
    const std::string& Bytes() const { return mBytes; }

private:
    bool mDoubles;
    std::string mBytes;
};

std::string QuadAndTriangle(bool doubles)
{
    BinaryX x(doubles);
    // A template to skip: template Vector { <guid> FLOAT x; FLOAT y; FLOAT z; }
    x.Token(31).Name("Vector").Token(10).Guid();
    for (const char* field : {"x", "y", "z"})
        x.Token(42).Name(field).Token(20);
    x.Close();
    x.Name("Frame").Name("Root").Token(10);
    x.Open("FrameTransformMatrix").Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}).Close();
    x.Name("Mesh").Name("Plate").Guid().Token(10);
    x.Ints({5}).Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, -1, 0.5f, 0});
    // A quad and a triangle; the triangle's normals differ at vertices 0 and 3.
    x.Ints({2, 4, 0, 1, 2, 3, 3, 0, 3, 4});
    x.Open("MeshNormals").Ints({2}).Floats({0, 0, 1, 0, 1, 0}).Ints({2, 4, 0, 0, 0, 0}).Ints({3, 1, 1, 1}).Close();
    x.Open("MeshTextureCoords").Ints({5}).Floats({0, 0, 1, 0, 1, 1, 0, 1, 0.25f, 0.5f}).Close();
    x.Open("MeshMaterialList").Ints({2, 2, 1, 0});
    x.Name("Material").Name("Red").Token(10).Floats({1, 0, 0, 1, 8, 0.5f, 0.5f, 0.5f, 0, 0, 0});
    x.Open("TextureFilename").String("Red.dds").Close().Close();
    x.Name("Material").Token(10).Floats({0, 0, 1, 1, 4, 0, 0, 0, 0, 0, 0}).Close();
    x.Close();
    x.Close().Close();
    return x.Bytes();
}

} // namespace

TEST(XMeshReader, BinaryFileWithFramesTemplatesAndSplitNormals)
{
    for (bool doubles : {false, true})
    {
        LogProbe log;
        XMesh mesh;
        ASSERT_TRUE(XMeshReader().Read(QuadAndTriangle(doubles), "plate.x", mesh)) << doubles;
        EXPECT_EQ(log.Written(), 0u);
        // The quad fans into two triangles; vertices 0 and 3 are copied for the triangle's normal.
        const std::vector<std::array<uint32_t, 3>> faces = {{0, 1, 2}, {0, 2, 3}, {5, 6, 4}};
        EXPECT_EQ(mesh.faces, faces);
        ASSERT_EQ(mesh.positions.size(), 7u);
        const Vector3 positions[7] = {{0, 0, 5}, {1, 0, 5}, {1, 1, 5}, {0, 1, 5}, {-1, 0.5f, 5}, {0, 0, 5}, {0, 1, 5}};
        const Vector3 normals[7] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}};
        const std::array<float, 2> coords[7] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.25f, 0.5f}, {0, 0}, {0, 1}};
        for (size_t v = 0; v < 7; ++v)
        {
            EXPECT_EQ(mesh.positions[v], positions[v]) << v;
            EXPECT_EQ(mesh.normals[v], normals[v]) << v;
            EXPECT_EQ(mesh.texCoords[v], coords[v]) << v;
        }
        EXPECT_EQ(mesh.faceMaterials, (std::vector<uint32_t>{1, 1, 0}));
        ASSERT_EQ(mesh.materials.size(), 2u);
        EXPECT_EQ(mesh.materials[0].name, "Red");
        EXPECT_EQ(mesh.materials[0].texture, "Red.dds");
        EXPECT_EQ(mesh.materials[0].faceColor.r, 1.0f);
        EXPECT_EQ(mesh.materials[1].faceColor.b, 1.0f);
        EXPECT_EQ(mesh.materials[1].power, 4.0f);

        // Cut anywhere, the file is refused with one line and nothing left behind.
        const std::string whole = QuadAndTriangle(doubles);
        for (size_t cut = 16; cut < whole.size(); cut += 7)
        {
            LogProbe cutLog;
            XMesh part;
            EXPECT_FALSE(XMeshReader().Read(whole.substr(0, cut), "cut.x", part)) << cut;
            EXPECT_EQ(cutLog.Count("X file cut.x: "), 1) << cut;
            EXPECT_TRUE(part.positions.empty() && part.faces.empty()) << cut;
        }
    }
}
