#pragma once
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

class Mesh;
class MeshPart;

// Reads the triangle meshes of a 3D Studio file into mesh parts and traces the chunks it
// meets to "output.txt". Adjacency and normals come from Mesh::Build.
class Model3DS
{
public:
    // Creates the mesh when null. False, with one error line, when the file cannot be used.
    static bool ReadMainChunk(Mesh& mesh, const std::string& fileName);
    // The walk over bytes in memory; trace may be null.
    bool Read(const std::string& bytes, const std::string& name, Mesh& mesh, std::ostream* trace);

private:
    struct Chunk3
    {
        uint16_t id = 0;
        uint32_t length = 0;
        size_t start = 0;
        size_t end = 0;
    };

    bool ReadChunkHeader(Chunk3& chunk, size_t parentEnd);
    void SkipChunk(const Chunk3& chunk) { mPos = chunk.end; }
    // Calls visit with each child chunk of parent, leaving the cursor past it.
    template <typename Visit>
    void ForEachChunk(const Chunk3& parent, Visit visit);
    // The next size bytes before end, or null (and failed) when they are not there.
    const unsigned char* Take(size_t size, size_t end);
    bool ReadString(std::string& out, size_t end);
    bool ReadU16(uint16_t& value, size_t end);
    bool ReadFloat(float& value, size_t end);
    // A record count, failed with "<what> cut short" when that many records do not fit.
    bool ReadCount(uint16_t& count, size_t recordSize, const Chunk3& chunk, const char* what);
    void ReadEditor(const Chunk3& parent);
    void ReadObject(const Chunk3& parent);
    void ReadObjectBody(const Chunk3& parent);
    void ReadMesh(const Chunk3& parent);
    void ReadVertices(const Chunk3& chunk);
    void ReadFaces(const Chunk3& chunk);
    void ReadTexCoords(const Chunk3& chunk);
    void ReadFaceMaterials(const Chunk3& chunk);
    void Trace(const std::string& line);
    void Fail(const std::string& what);
    bool Finish();

    const std::string* mData = nullptr;
    std::string mName;
    size_t mPos = 0;
    bool mFailed = false;
    Mesh* mMesh = nullptr;
    MeshPart* mPart = nullptr;
    std::ostream* mTrace = nullptr;
    // Texture coordinates per part, applied once the vertex count is known.
    std::vector<std::vector<float>> mCoords;
};
