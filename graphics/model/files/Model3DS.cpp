#include "graphics/model/files/Model3DS.h"

#include <cstring>
#include <sstream>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "graphics/model/Mesh.h"

namespace {
constexpr size_t kHeaderSize = 6;

enum : uint16_t
{
    kVersion = 0x0002,
    kEditor = 0x3D3D,
    kMeshVersion = 0x3D3E,
    kObject = 0x4000,
    kTriMesh = 0x4100,
    kVertexList = 0x4110,
    kFaceList = 0x4120,
    kFaceMaterials = 0x4130,
    kMapCoords = 0x4140,
    kSmoothing = 0x4150,
    kLocalCoords = 0x4160,
    kKeyFramer = 0xB000,
};
} // namespace

template <typename Visit>
void Model3DS::ForEachChunk(const Chunk3& parent, Visit visit)
{
    while (!mFailed && mPos < parent.end)
    {
        Chunk3 chunk;
        if (!ReadChunkHeader(chunk, parent.end))
            return;
        visit(chunk);
        SkipChunk(chunk);
    }
}

bool Model3DS::ReadMainChunk(Mesh& mesh, const std::string& fileName)
{
    Console::Instance().Log("Loading Mesh " + DataRelativeName(fileName), LogLoading);
    mesh.Clear();
    mesh.mName = fileName;
    std::string bytes;
    if (!ReadWholeFile(fileName, bytes))
    {
        Console::Instance().Log("3DS file " + fileName + ": cannot be opened", LogError);
        return false;
    }
    // The chunk trace is saved like every other file: whole or not at all.
    std::ostringstream trace;
    Model3DS reader;
    const bool read = reader.Read(bytes, fileName, mesh, &trace);
    SaveWholeFile("output.txt", trace.str());
    return read;
}

bool Model3DS::Read(const std::string& bytes, const std::string& name, Mesh& mesh, std::ostream* trace)
{
    mData = &bytes;
    mName = name;
    mPos = 0;
    mFailed = false;
    mMesh = &mesh;
    mPart = nullptr;
    mTrace = trace;
    mCoords.clear();
    mesh.Clear();
    mesh.mName = name;

    Chunk3 main;
    if (ReadChunkHeader(main, bytes.size()))
    {
        Trace("Main Chunk");
        ForEachChunk(main, [this](const Chunk3& chunk) {
            if (chunk.id == kVersion)
                Trace("Version");
            else if (chunk.id == kEditor)
            {
                Trace("Editor Info");
                ReadEditor(chunk);
            }
            else if (chunk.id == kKeyFramer)
                Trace("Key Framer");
        });
    }
    return Finish();
}

bool Model3DS::Finish()
{
    uint32_t faces = 0;
    for (uint32_t p = 0; p < mMesh->GetPartCount() && !mFailed; ++p)
    {
        MeshPart& part = *mMesh->GetPart(p);
        for (uint16_t index : part.mIndices)
        {
            if (index >= part.mVertexCount)
            {
                Fail("face index " + std::to_string(index) + " past the vertices");
                break;
            }
        }
        // Surplus coordinates are dropped; missing ones stay zero.
        const std::vector<float>& coords = mCoords[p];
        for (uint32_t v = 0; v < part.mVertexCount && 2 * size_t(v) + 1 < coords.size(); ++v)
        {
            part.mVertices[v].u = coords[2 * v];
            part.mVertices[v].v = coords[2 * v + 1];
        }
        part.mAdjacency.assign(part.mIndices.size(), kNoNeighbour);
        faces += part.mFaceCount;
    }
    if (!mFailed && faces == 0)
        Fail("no faces");
    if (mFailed || !mMesh->Build())
    {
        mMesh->Clear();
        return false;
    }
    return true;
}

void Model3DS::Fail(const std::string& what)
{
    if (mFailed)
        return;
    mFailed = true;
    Console::Instance().Log("3DS file " + mName + ": " + what + " (offset " + std::to_string(mPos) + ")", LogError);
}

void Model3DS::Trace(const std::string& line)
{
    if (mTrace)
        *mTrace << line << '\n';
}

bool Model3DS::ReadChunkHeader(Chunk3& chunk, size_t parentEnd)
{
    if (mFailed)
        return false;
    if (parentEnd - mPos < kHeaderSize)
    {
        Fail("chunk header cut short");
        return false;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(mData->data() + mPos);
    chunk.id = static_cast<uint16_t>(b[0] | b[1] << 8);
    chunk.length = uint32_t(b[2]) | uint32_t(b[3]) << 8 | uint32_t(b[4]) << 16 | uint32_t(b[5]) << 24;
    if (chunk.length < kHeaderSize || chunk.length > parentEnd - mPos)
    {
        Fail("chunk 0x" + std::to_string(chunk.id) + " of length " + std::to_string(chunk.length) +
             " does not fit in its parent");
        return false;
    }
    chunk.start = mPos;
    chunk.end = mPos + chunk.length;
    mPos += kHeaderSize;
    return true;
}

const unsigned char* Model3DS::Take(size_t size, size_t end)
{
    if (mFailed || end - mPos < size)
    {
        Fail("chunk cut short");
        return nullptr;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(mData->data() + mPos);
    mPos += size;
    return bytes;
}

bool Model3DS::ReadU16(uint16_t& value, size_t end)
{
    const unsigned char* b = Take(2, end);
    if (b)
        value = static_cast<uint16_t>(b[0] | b[1] << 8);
    return b != nullptr;
}

bool Model3DS::ReadFloat(float& value, size_t end)
{
    const unsigned char* b = Take(4, end);
    if (b)
        std::memcpy(&value, b, 4);
    return b != nullptr;
}

bool Model3DS::ReadCount(uint16_t& count, size_t recordSize, const Chunk3& chunk, const char* what)
{
    if (!ReadU16(count, chunk.end))
        return false;
    if (size_t(count) * recordSize > chunk.end - mPos)
    {
        Fail(std::string(what) + " cut short");
        return false;
    }
    return true;
}

bool Model3DS::ReadString(std::string& out, size_t end)
{
    const void* nul = std::memchr(mData->data() + mPos, 0, end - mPos);
    if (!nul)
    {
        Fail("name without its end");
        return false;
    }
    const size_t length = static_cast<const char*>(nul) - (mData->data() + mPos);
    out.assign(mData->data() + mPos, length);
    mPos += length + 1;
    return true;
}

void Model3DS::ReadEditor(const Chunk3& parent)
{
    ForEachChunk(parent, [this](const Chunk3& chunk) {
        if (chunk.id == kMeshVersion)
            Trace("Mesh Version");
        else if (chunk.id == kObject)
            ReadObject(chunk);
    });
}

void Model3DS::ReadObject(const Chunk3& chunk)
{
    Trace("Object Chunk");
    std::string name;
    if (ReadString(name, chunk.end))
        ReadObjectBody(chunk);
}

void Model3DS::ReadObjectBody(const Chunk3& parent)
{
    ForEachChunk(parent, [this](const Chunk3& chunk) {
        if (chunk.id != kTriMesh)
            return;
        Trace("Mesh");
        mPart = mMesh->AddPart();
        mCoords.emplace_back();
        ReadMesh(chunk);
        mPart = nullptr;
    });
}

void Model3DS::ReadMesh(const Chunk3& parent)
{
    ForEachChunk(parent, [this](const Chunk3& chunk) {
        if (chunk.id == kVertexList)
            ReadVertices(chunk);
        else if (chunk.id == kFaceList)
            ReadFaces(chunk);
        else if (chunk.id == kMapCoords)
            ReadTexCoords(chunk);
        else if (chunk.id == kLocalCoords)
            Trace("Coord System");
    });
}

void Model3DS::ReadVertices(const Chunk3& chunk)
{
    Trace("Mesh Vertices");
    uint16_t count = 0;
    if (!ReadCount(count, 12, chunk, "vertex list"))
        return;
    mPart->mVertices.resize(count);
    for (FileVertex& vertex : mPart->mVertices)
        ReadFloat(vertex.position.x, chunk.end) && ReadFloat(vertex.position.y, chunk.end) &&
            ReadFloat(vertex.position.z, chunk.end);
    mPart->mVertexCount = count;
}

void Model3DS::ReadFaces(const Chunk3& chunk)
{
    Trace("Mesh Faces");
    uint16_t count = 0;
    if (!ReadCount(count, 8, chunk, "face list"))
        return;
    Trace(" Num Faces " + std::to_string(count));
    mPart->mIndices.resize(3 * size_t(count));
    for (uint16_t f = 0; f < count; ++f)
    {
        uint16_t flags = 0;
        ReadU16(mPart->mIndices[3 * f], chunk.end);
        ReadU16(mPart->mIndices[3 * f + 1], chunk.end);
        ReadU16(mPart->mIndices[3 * f + 2], chunk.end);
        ReadU16(flags, chunk.end);
    }
    mPart->mFaceCount = count;
    mPart->mIndexCount = 3 * count;
    ForEachChunk(chunk, [this](const Chunk3& sub) {
        if (sub.id == kFaceMaterials)
            ReadFaceMaterials(sub);
    });
}

void Model3DS::ReadTexCoords(const Chunk3& chunk)
{
    Trace("Mesh Coords");
    uint16_t count = 0;
    if (!ReadCount(count, 8, chunk, "mapping coordinates"))
        return;
    std::vector<float>& coords = mCoords.back();
    coords.resize(2 * size_t(count));
    for (float& value : coords)
        ReadFloat(value, chunk.end);
}

void Model3DS::ReadFaceMaterials(const Chunk3& chunk)
{
    Trace("Face Materials");
    std::string material;
    uint16_t count = 0;
    if (ReadString(material, chunk.end))
        ReadU16(count, chunk.end);
}
