#pragma once
#include <string>

struct XMesh;

// Writes a mesh as a binary X file ("xof 0303bin 0032"): one Mesh with its normals and texture
// coordinates, field by field, little-endian. Materials are left out.
class XMeshWriter
{
public:
    static std::string WriteBinary(const XMesh& mesh);
    // False when the file cannot be written.
    static bool SaveBinary(const XMesh& mesh, const std::string& path);
};
