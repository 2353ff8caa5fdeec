#include "graphics/model/files/XMeshWriter.h"

#include <cstdint>
#include <cstring>

#include "LOOM/base/FileUtils.h"
#include "graphics/model/files/XMeshReader.h"

namespace {
enum : uint16_t
{
    kTokName = 1,
    kTokIntegerList = 6,
    kTokFloatList = 7,
    kTokOpenBrace = 10,
    kTokCloseBrace = 11,
};

class BinaryOut
{
public:
    void Word(uint16_t value)
    {
        mBytes.push_back(static_cast<char>(value & 0xFF));
        mBytes.push_back(static_cast<char>(value >> 8));
    }
    void Dword(uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            mBytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
    void Float(float value)
    {
        uint32_t raw;
        std::memcpy(&raw, &value, 4);
        Dword(raw);
    }
    void Open(const std::string& name)
    {
        Word(kTokName);
        Dword(static_cast<uint32_t>(name.size()));
        mBytes += name;
        Word(kTokOpenBrace);
    }
    void Close() { Word(kTokCloseBrace); }
    void Count(size_t value)
    {
        Word(kTokIntegerList);
        Dword(1);
        Dword(static_cast<uint32_t>(value));
    }
    void FloatList(size_t count)
    {
        Word(kTokFloatList);
        Dword(static_cast<uint32_t>(count));
    }
    // A count, then the vectors' components as one float list.
    void Vectors(const std::vector<Vector3>& vectors)
    {
        Count(vectors.size());
        FloatList(3 * vectors.size());
        for (const Vector3& v : vectors)
        {
            Float(v.x);
            Float(v.y);
            Float(v.z);
        }
    }
    // Face count, then corner count and corners of each triangle.
    void Faces(const std::vector<std::array<uint32_t, 3>>& faces)
    {
        Word(kTokIntegerList);
        Dword(static_cast<uint32_t>(1 + 4 * faces.size()));
        Dword(static_cast<uint32_t>(faces.size()));
        for (const std::array<uint32_t, 3>& face : faces)
        {
            Dword(3);
            for (uint32_t index : face)
                Dword(index);
        }
    }

    std::string mBytes;
};
} // namespace

std::string XMeshWriter::WriteBinary(const XMesh& mesh)
{
    BinaryOut out;
    out.mBytes = "xof 0303bin 0032";
    out.Open("Mesh");
    out.Vectors(mesh.positions);
    out.Faces(mesh.faces);
    if (!mesh.normals.empty())
    {
        // One normal per vertex: the normal faces are the faces.
        out.Open("MeshNormals");
        out.Vectors(mesh.normals);
        out.Faces(mesh.faces);
        out.Close();
    }
    if (!mesh.texCoords.empty())
    {
        out.Open("MeshTextureCoords");
        out.Count(mesh.texCoords.size());
        out.FloatList(2 * mesh.texCoords.size());
        for (const std::array<float, 2>& uv : mesh.texCoords)
        {
            out.Float(uv[0]);
            out.Float(uv[1]);
        }
        out.Close();
    }
    out.Close();
    return out.mBytes;
}

bool XMeshWriter::SaveBinary(const XMesh& mesh, const std::string& path)
{
    const std::string bytes = WriteBinary(mesh);
    return SaveWholeFile(path, bytes);
}
