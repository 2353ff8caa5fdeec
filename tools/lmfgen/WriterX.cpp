#include "tools/lmfgen/WriterX.h"

#include <cstdio>
#include <filesystem>

#include "graphics/model/files/XMeshWriter.h"
#include "tools/lmfgen/ModelShapes.h"

namespace {
std::string Num(float value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", double(value));
    return text;
}

std::string Triple(const Vector3& v) { return Num(v.x) + ";" + Num(v.y) + ";" + Num(v.z) + ";"; }
} // namespace

std::string WriteXText(const LmfPart& part, const Matrix4& frame, const std::string& texture)
{
    const size_t faces = part.indices.size() / 3;
    std::string x = "xof 0303txt 0032\n";
    x += "template Coords2d {\n <F6F23F44-7686-11cf-8F52-0040333594A3>\n FLOAT u;\n FLOAT v;\n}\n\n";
    x += "Material Skin {\n 1.000000;1.000000;1.000000;1.000000;;\n 8.000000;\n 0.500000;0.500000;0.500000;;\n"
         " 0.000000;0.000000;0.000000;;\n TextureFilename {\n  \"" +
        texture + "\";\n }\n}\n\n";
    x += "Frame Root {\n FrameTransformMatrix {\n  ";
    for (int i = 0; i < 16; ++i)
        x += Num(frame[i]) + (i < 15 ? "," : ";;\n }\n");
    x += " Mesh Part {\n  " + std::to_string(part.vertices.size()) + ";\n";
    for (size_t v = 0; v < part.vertices.size(); ++v)
        x += "  " + Triple(part.vertices[v].position) + (v + 1 < part.vertices.size() ? ",\n" : ";\n");
    auto faceList = [&](const std::vector<uint32_t>& map) {
        std::string list = "  " + std::to_string(faces) + ";\n";
        for (size_t f = 0; f < faces; ++f)
        {
            list += "  3;" + std::to_string(map[part.indices[3 * f]]) + "," +
                std::to_string(map[part.indices[3 * f + 1]]) + "," + std::to_string(map[part.indices[3 * f + 2]]) +
                (f + 1 < faces ? ";,\n" : ";;\n");
        }
        return list;
    };
    std::vector<uint32_t> same(part.vertices.size());
    for (uint32_t v = 0; v < same.size(); ++v)
        same[v] = v;
    x += faceList(same);

    // Normals as the format keeps them: each distinct normal once, faces pointing into the list.
    std::vector<Vector3> normals;
    std::vector<uint32_t> normalOf(part.vertices.size());
    for (size_t v = 0; v < part.vertices.size(); ++v)
    {
        size_t n = 0;
        while (n < normals.size() && !(normals[n] == part.vertices[v].normal))
            ++n;
        if (n == normals.size())
            normals.push_back(part.vertices[v].normal);
        normalOf[v] = static_cast<uint32_t>(n);
    }
    x += "  MeshNormals {\n  " + std::to_string(normals.size()) + ";\n";
    for (size_t n = 0; n < normals.size(); ++n)
        x += "  " + Triple(normals[n]) + (n + 1 < normals.size() ? ",\n" : ";\n");
    x += faceList(normalOf) + "  }\n";

    x += "  MeshTextureCoords {\n  " + std::to_string(part.vertices.size()) + ";\n";
    for (size_t v = 0; v < part.vertices.size(); ++v)
    {
        const FileVertex& vertex = part.vertices[v];
        x += "  " + Num(vertex.u) + ";" + Num(vertex.v) + (v + 1 < part.vertices.size() ? ";,\n" : ";;\n");
    }
    x += "  }\n  MeshMaterialList {\n  1;\n  " + std::to_string(faces) + ";\n";
    for (size_t f = 0; f < faces; ++f)
        x += f + 1 < faces ? "  0,\n" : "  0;\n";
    x += "  {Skin}\n  }\n }\n}\n";
    return x;
}

XMesh PartAsXMesh(const LmfPart& part)
{
    XMesh mesh;
    for (const FileVertex& v : part.vertices)
    {
        mesh.positions.push_back(v.position);
        mesh.normals.push_back(v.normal);
        mesh.texCoords.push_back({v.u, v.v});
    }
    for (size_t i = 0; i + 2 < part.indices.size(); i += 3)
        mesh.faces.push_back({part.indices[i], part.indices[i + 1], part.indices[i + 2]});
    return mesh;
}

bool WriteXCorpus(const std::string& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const LmfPart box = MakeBox(Vector3(-1, -1, -1), Vector3(1, 1, 1));
    const LmfPart tube = MakeTube(0.5f, 2.0f, 2, 5);
    bool ok = SaveBytes(folder + "/box.x", WriteXText(box, Matrix4(), "Textures/Box.png"));
    ok = SaveBytes(folder + "/tube.x", WriteXText(tube, Matrix4::Translation(Vector3(1, 2, 3)), "Tube.dds")) && ok;
    ok = SaveBytes(folder + "/box_bin.x", XMeshWriter::WriteBinary(PartAsXMesh(box))) && ok;
    return ok;
}
