#include "graphics/model/files/XMeshReader.h"

#include <charconv>
#include <cstring>
#include <map>
#include <utility>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"

namespace {
constexpr size_t kHeaderSize = 16;
constexpr uint32_t kMaxMaterials = 4096;
constexpr uint32_t kMaxNameBytes = 4096;
constexpr uint32_t kUnset = 0xFFFFFFFFu;

// Binary tokens are little-endian 16-bit words.
enum : uint16_t
{
    kTokName = 1,
    kTokString = 2,
    kTokInteger = 3,
    kTokGuid = 5,
    kTokIntegerList = 6,
    kTokFloatList = 7,
    kTokOpenBrace = 10,
    kTokCloseBrace = 11,
    kTokOpenParen = 12,
    kTokDot = 18,
    kTokComma = 19,
    kTokSemicolon = 20,
    kTokTemplate = 31,
    kTokWord = 40,
    kTokArray = 52,
};

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

uint32_t U32At(const std::string& bytes, size_t at)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
} // namespace

bool XMeshReader::ReadFile(const std::string& fileName, XMesh& mesh)
{
    std::string bytes;
    if (!ReadWholeFile(fileName, bytes))
    {
        Console::Instance().Log("X file " + fileName + ": cannot be opened", LogError);
        return false;
    }
    XMeshReader reader;
    return reader.Read(bytes, fileName, mesh);
}

bool XMeshReader::Read(const std::string& bytes, const std::string& name, XMesh& mesh)
{
    *this = XMeshReader();
    mData = &bytes;
    mName = name;
    mOut = &mesh;
    mesh = XMesh();

    if (bytes.size() < kHeaderSize)
        return Fail("shorter than its 16-byte header");
    if (bytes.compare(0, 4, "xof ") != 0)
        return Fail("no \"xof \" header: not an X file");
    const std::string format = bytes.substr(8, 4);
    const std::string floats = bytes.substr(12, 4);
    if (format == "tzip" || format == "bzip")
        return Fail("compressed X files are not read");
    if (format != "txt " && format != "bin ")
        return Fail("unknown format \"" + format + "\"");
    if (floats != "0032" && floats != "0064")
        return Fail("float size \"" + floats + "\" is neither 0032 nor 0064");
    mBinary = format == "bin ";
    mDoubles = floats == "0064";
    mPos = kHeaderSize;

    if (!ReadTopLevel())
    {
        mesh = XMesh();
        return false;
    }
    if (mesh.faces.empty())
    {
        Fail("holds no mesh with faces");
        mesh = XMesh();
        return false;
    }
    if (!mAnyNormals)
        mesh.normals.clear();
    if (!mAnyCoords)
        mesh.texCoords.clear();
    if (mesh.materials.empty())
        mesh.faceMaterials.clear();
    else
    {
        // Meshes without a material list share one plain material.
        const uint32_t plain = static_cast<uint32_t>(mesh.materials.size());
        bool used = false;
        for (uint32_t& material : mesh.faceMaterials)
        {
            if (material == XMesh::kNoMaterial)
            {
                material = plain;
                used = true;
            }
        }
        if (used)
            mesh.materials.emplace_back();
    }
    return true;
}

bool XMeshReader::Fail(const std::string& what)
{
    if (mFailed)
        return false;
    mFailed = true;
    const std::string where =
        mBinary ? " (offset " + std::to_string(mPos) + ")" : " (line " + std::to_string(mLine) + ")";
    Console::Instance().Log("X file " + mName + ": " + what + where, LogError);
    return false;
}

// ---- tokens ----

XMeshReader::Token XMeshReader::Peek()
{
    if (!mPeeked)
    {
        Next();
        mPeeked = true;
    }
    return mToken;
}

XMeshReader::Token XMeshReader::Next()
{
    if (mPeeked)
    {
        mPeeked = false;
        return mToken;
    }
    if (mFailed)
        return mToken = Token::End;
    return mToken = mBinary ? NextBinary() : NextText();
}

XMeshReader::Token XMeshReader::Failed(const std::string& what)
{
    Fail(what);
    return Token::End;
}

void XMeshReader::SkipTextSpace()
{
    const std::string& s = *mData;
    while (mPos < s.size())
    {
        const char c = s[mPos];
        if (c == '\n')
            ++mLine;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';')
        {
            ++mPos;
            continue;
        }
        if (c == '#' || (c == '/' && mPos + 1 < s.size() && s[mPos + 1] == '/'))
        {
            while (mPos < s.size() && s[mPos] != '\n')
                ++mPos;
            continue;
        }
        break;
    }
}

XMeshReader::Token XMeshReader::NextText()
{
    SkipTextSpace();
    const std::string& s = *mData;
    if (mPos >= s.size())
        return Token::End;

    const char c = s[mPos];
    if (c == '{' || c == '}')
    {
        ++mPos;
        return c == '{' ? Token::OpenBrace : Token::CloseBrace;
    }
    if (c == '"')
    {
        const size_t close = s.find('"', mPos + 1);
        if (close == std::string::npos)
            return Failed("string without its closing quote");
        mText.assign(s, mPos + 1, close - mPos - 1);
        mPos = close + 1;
        return Token::String;
    }
    if (c == '<')
    {
        const size_t close = s.find('>', mPos);
        if (close == std::string::npos || close - mPos > 40)
            return Failed("GUID without its closing '>'");
        mPos = close + 1;
        return Token::Guid;
    }
    const bool dotNumber = c == '.' && mPos + 1 < s.size() && IsDigit(s[mPos + 1]);
    if (IsDigit(c) || c == '-' || c == '+' || dotNumber)
        return TextNumber();
    if (IsNameStart(c))
    {
        const size_t start = mPos;
        while (mPos < s.size() && IsNameChar(s[mPos]) && mPos - start < kMaxNameBytes)
            ++mPos;
        mText.assign(s, start, mPos - start);
        return mText == "template" ? Token::Template : Token::Name;
    }
    if (c == '[' || c == ']' || c == '.' || c == '(' || c == ')')
    {
        ++mPos;
        return Token::Other;
    }
    return Failed(std::string("unexpected character '") + (c >= 32 && c < 127 ? std::string(1, c) : "?") + "'");
}

XMeshReader::Token XMeshReader::TextNumber()
{
    const std::string& s = *mData;
    const char c = s[mPos];
    const size_t start = mPos;
    bool real = false;
    while (mPos < s.size() &&
           (IsDigit(s[mPos]) || s[mPos] == '.' || s[mPos] == 'e' || s[mPos] == 'E' || s[mPos] == '-' || s[mPos] == '+'))
    {
        real = real || s[mPos] == '.' || s[mPos] == 'e' || s[mPos] == 'E';
        ++mPos;
    }
    const char* first = s.data() + start + (c == '+' ? 1 : 0);
    const char* last = s.data() + mPos;
    const std::string text(s, start, mPos - start);
    if (real)
    {
        const auto [end, error] = std::from_chars(first, last, mFloat);
        if (error != std::errc() || end != last)
            return Failed("bad number \"" + text + "\"");
        return Token::Float;
    }
    mNegative = first < last && *first == '-';
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(first + (mNegative ? 1 : 0), last, magnitude);
    if (error != std::errc() || end != last || magnitude > 0xFFFFFFFFull)
        return Failed("bad number \"" + text + "\"");
    mInteger = static_cast<uint32_t>(magnitude);
    mFloat = mNegative ? -float(magnitude) : float(magnitude);
    return Token::Integer;
}

bool XMeshReader::BinaryBytes(void* out, size_t count)
{
    if (Left() < count)
        return Fail("token cut short");
    std::memcpy(out, mData->data() + mPos, count);
    mPos += count;
    return true;
}

bool XMeshReader::BinaryU32(uint32_t& value, const char* shortWhy)
{
    if (Left() < 4)
        return Fail(shortWhy);
    value = U32At(*mData, mPos);
    mPos += 4;
    return true;
}

void XMeshReader::SetInteger(uint32_t value)
{
    mInteger = value;
    mNegative = false;
    mFloat = float(value);
}

bool XMeshReader::NextListValue()
{
    --mListLeft;
    // The list's length was checked against the file when it began.
    if (!mListFloats)
    {
        SetInteger(U32At(*mData, mPos));
        mPos += 4;
        return false;
    }
    if (mDoubles)
    {
        double value = 0.0;
        BinaryBytes(&value, 8);
        mFloat = static_cast<float>(value);
    }
    else
        BinaryBytes(&mFloat, 4);
    return true;
}

XMeshReader::Token XMeshReader::BinaryText(uint16_t token)
{
    uint32_t count = 0;
    if (!BinaryU32(count))
        return Token::End;
    if (count > Left() || count > kMaxNameBytes)
        return Failed("name of " + std::to_string(count) + " bytes runs past the file");
    mText.assign(*mData, mPos, count);
    mPos += count;
    if (token == kTokName)
        return Token::Name;
    uint32_t terminator = 0;
    if (!BinaryU32(terminator, "string without its terminator"))
        return Token::End;
    if (terminator != kTokComma && terminator != kTokSemicolon)
        return Failed("string ends in " + std::to_string(terminator) + ", not ',' or ';'");
    return Token::String;
}

bool XMeshReader::BeginBinaryList(uint16_t token)
{
    uint32_t count = 0;
    if (!BinaryU32(count))
        return false;
    const size_t size = token == kTokFloatList && mDoubles ? 8 : 4;
    if (count > Left() / size)
        return Fail("list of " + std::to_string(count) + " values runs past the file");
    mListLeft = count;
    mListFloats = token == kTokFloatList;
    return true;
}

XMeshReader::Token XMeshReader::NextBinary()
{
    while (true)
    {
        if (mListLeft > 0)
            return NextListValue() ? Token::Float : Token::Integer;
        if (Left() == 0)
            return Token::End;
        if (Left() < 2)
            return Failed("token cut short");
        const auto* b = reinterpret_cast<const unsigned char*>(mData->data() + mPos);
        const uint16_t token = static_cast<uint16_t>(b[0] | b[1] << 8);
        mPos += 2;
        switch (token)
        {
        case kTokName:
        case kTokString:
            return BinaryText(token);
        case kTokInteger:
        {
            uint32_t value = 0;
            if (!BinaryU32(value))
                return Token::End;
            SetInteger(value);
            return Token::Integer;
        }
        case kTokGuid:
            if (Left() < 16)
                return Failed("token cut short");
            mPos += 16;
            return Token::Guid;
        case kTokIntegerList:
        case kTokFloatList:
            if (!BeginBinaryList(token))
                return Token::End;
            continue;
        case kTokOpenBrace:
            return Token::OpenBrace;
        case kTokCloseBrace:
            return Token::CloseBrace;
        case kTokComma:
        case kTokSemicolon:
            continue;
        case kTokTemplate:
            return Token::Template;
        default:
            if ((token >= kTokOpenParen && token <= kTokDot) || (token >= kTokWord && token <= kTokArray))
                return Token::Other;
            mPos -= 2;
            return Failed("unknown token " + std::to_string(token));
        }
    }
}

// ---- values ----

bool XMeshReader::ReadCount(uint32_t& value, uint32_t cap, const char* what)
{
    const Token token = Next();
    if (token != Token::Integer || mNegative)
        return Fail(token == Token::End ? std::string("file ends before the ") + what
                                        : std::string(what) + " is not a whole number of 0 or more");
    if (mInteger > cap)
        return Fail(std::string(what) + " " + std::to_string(mInteger) + " is above the limit of " +
                    std::to_string(cap));
    value = mInteger;
    return true;
}

bool XMeshReader::ReadFloat(float& value, const char* what)
{
    const Token token = Next();
    if (token != Token::Integer && token != Token::Float)
        return Fail(token == Token::End ? std::string("file ends inside the ") + what
                                        : std::string(what) + " is not a number");
    value = mFloat;
    return true;
}

bool XMeshReader::ReadFloats(float* values, size_t count, const char* what)
{
    for (size_t i = 0; i < count; ++i)
    {
        if (!ReadFloat(values[i], what))
            return false;
    }
    return true;
}

bool XMeshReader::CheckRoom(size_t numbers, const char* what)
{
    // The fewest bytes a number takes: a digit and a separator, or a list entry.
    const size_t bytesPerNumber = mBinary ? 4 : 2;
    const size_t room = Left() / bytesPerNumber + 1;
    if (numbers > room)
        return Fail(std::string(what) + " needs " + std::to_string(numbers) + " numbers, more than the " +
                    std::to_string(Left()) + " bytes left can hold");
    return true;
}

bool XMeshReader::ReadString(std::string& value, const char* what)
{
    if (Next() == Token::String)
    {
        value = mText;
        return true;
    }
    return mFailed ? false : Fail(std::string(what) + " is not a string");
}

// ---- objects ----

bool XMeshReader::OpenObject(std::string what)
{
    Token token = Next();
    if (token == Token::Name)
        token = Next();
    if (token == Token::Guid)
        token = Next();
    if (token == Token::OpenBrace)
        return true;
    if (mFailed)
        return false;
    return Fail(what + " without its '{'");
}

bool XMeshReader::SkipObject()
{
    int depth = 1;
    while (depth > 0)
    {
        const Token token = Next();
        if (token == Token::OpenBrace)
            ++depth;
        else if (token == Token::CloseBrace)
            --depth;
        else if (token == Token::End)
            return mFailed ? false : Fail("file ends inside an object");
    }
    return true;
}

bool XMeshReader::SkipTemplate()
{
    if (Next() != Token::Name)
        return mFailed ? false : Fail("template without a name");
    if (Next() != Token::OpenBrace)
        return mFailed ? false : Fail("template " + mText + " without its '{'");
    return SkipObject();
}

bool XMeshReader::ReadTopLevel()
{
    while (true)
    {
        const Token token = Next();
        switch (token)
        {
        case Token::End:
            return !mFailed;
        case Token::Template:
            if (!SkipTemplate())
                return false;
            break;
        case Token::OpenBrace:
            if (!SkipObject())
                return false;
            break;
        case Token::Name:
            if (mText == "Frame")
            {
                if (!ReadFrame(1))
                    return false;
            }
            else if (mText == "Mesh")
            {
                if (!ReadMesh(1))
                    return false;
            }
            else if (mText == "Material")
            {
                // Named here, used by reference from a material list.
                if (!ReadMaterialInto(mNamedMaterials, 1))
                    return false;
            }
            else if (!SkipNamed())
                return false;
            break;
        case Token::CloseBrace:
            return Fail("'}' without its '{'");
        default:
            return Fail("data outside any object");
        }
    }
}

bool XMeshReader::SkipNamed() { return OpenObject(mText) && SkipObject(); }

template <typename ReadChild, typename ReadReference>
bool XMeshReader::ReadChildren(const char* owner, const char* extraData, ReadChild readChild,
                               ReadReference readReference)
{
    while (true)
    {
        const Token token = Next();
        if (token == Token::CloseBrace)
            return true;
        if (token == Token::OpenBrace)
        {
            if (!readReference())
                return false;
            continue;
        }
        if (token != Token::Name)
            return mFailed ? false : Fail(token == Token::End ? std::string("file ends inside a ") + owner : extraData);
        if (!readChild())
            return false;
    }
}

template <typename ReadChild>
bool XMeshReader::ReadChildren(const char* owner, const char* extraData, ReadChild readChild)
{
    return ReadChildren(owner, extraData, readChild, [this] { return SkipObject(); });
}

bool XMeshReader::ReadFrame(int depth)
{
    if (depth > kMaxDepth)
        return Fail("objects nested deeper than " + std::to_string(kMaxDepth));
    if (!OpenObject("Frame"))
        return false;
    const size_t firstVertex = mOut->positions.size();
    Matrix4 local;
    const bool read = ReadChildren("Frame", "data inside a Frame", [&] {
        if (mText == "FrameTransformMatrix")
            return OpenObject("FrameTransformMatrix") && ReadMatrix(local);
        if (mText == "Frame")
            return ReadFrame(depth + 1);
        if (mText == "Mesh")
            return ReadMesh(depth + 1);
        return SkipNamed();
    });
    if (!read)
        return false;
    PlaceFrom(firstVertex, local);
    return true;
}

bool XMeshReader::ReadMatrix(Matrix4& matrix)
{
    float values[16];
    if (!ReadFloats(values, 16, "FrameTransformMatrix"))
        return false;
    for (int i = 0; i < 16; ++i)
        matrix[i] = values[i];
    return SkipObject();
}

bool XMeshReader::ReadItem(Vector3& item, const char* what)
{
    return ReadFloat(item.x, what) && ReadFloat(item.y, what) && ReadFloat(item.z, what);
}

bool XMeshReader::ReadItem(std::array<float, 2>& item, const char* what) { return ReadFloats(item.data(), 2, what); }

template <typename Item>
bool XMeshReader::ReadItems(std::vector<Item>& items, uint32_t count, size_t numbersPerItem, const char* what)
{
    if (!CheckRoom(numbersPerItem * count, what))
        return false;
    items.resize(count);
    for (Item& item : items)
    {
        if (!ReadItem(item, what))
            return false;
    }
    return true;
}

bool XMeshReader::ReadFaces(std::vector<std::vector<uint32_t>>& faces, uint32_t indexLimit, const char* what)
{
    for (size_t f = 0; f < faces.size(); ++f)
    {
        uint32_t corners = 0;
        if (!ReadCount(corners, kMaxCorners, what))
            return false;
        if (corners < 3)
            return Fail(std::string(what) + " " + std::to_string(f) + " has " + std::to_string(corners) + " corners");
        if (!CheckRoom(corners, what))
            return false;
        faces[f].resize(corners);
        for (uint32_t& index : faces[f])
        {
            if (!ReadCount(index, 0xFFFFFFFFu, what))
                return false;
            if (index >= indexLimit)
                return Fail(std::string(what) + " " + std::to_string(f) + " names index " + std::to_string(index) +
                            " of only " + std::to_string(indexLimit));
        }
    }
    return true;
}

bool XMeshReader::ReadMesh(int depth)
{
    if (depth > kMaxDepth)
        return Fail("objects nested deeper than " + std::to_string(kMaxDepth));
    if (!OpenObject("Mesh"))
        return false;
    RawMesh raw;
    uint32_t count = 0;
    if (!ReadCount(count, kMaxVertices, "Mesh vertex count") || !ReadItems(raw.positions, count, 3, "Mesh vertices"))
        return false;
    if (!ReadCount(count, kMaxFaces, "Mesh face count") || !CheckRoom(4 * size_t(count), "Mesh faces"))
        return false;
    raw.faces.resize(count);
    if (!ReadFaces(raw.faces, static_cast<uint32_t>(raw.positions.size()), "Mesh face"))
        return false;

    const bool read = ReadChildren("Mesh", "more data than the Mesh counts", [&] {
        if (mText == "MeshNormals")
            return ReadNormals(raw);
        if (mText == "MeshTextureCoords")
            return ReadTexCoords(raw);
        if (mText == "MeshMaterialList")
            return ReadMaterialList(raw, depth + 1);
        return SkipNamed();
    });
    return read && Merge(raw);
}

bool XMeshReader::ReadNormals(RawMesh& mesh)
{
    if (!OpenObject("MeshNormals"))
        return false;
    uint32_t count = 0;
    if (!ReadCount(count, kMaxVertices, "MeshNormals count") || !ReadItems(mesh.normals, count, 3, "MeshNormals"))
        return false;
    if (!ReadCount(count, kMaxFaces, "MeshNormals face count"))
        return false;
    if (count != mesh.faces.size())
        return Fail("MeshNormals has " + std::to_string(count) + " faces, the Mesh " +
                    std::to_string(mesh.faces.size()));
    mesh.normalFaces.resize(count);
    if (!ReadFaces(mesh.normalFaces, static_cast<uint32_t>(mesh.normals.size()), "MeshNormals face"))
        return false;
    for (size_t f = 0; f < mesh.faces.size(); ++f)
    {
        if (mesh.normalFaces[f].size() != mesh.faces[f].size())
            return Fail("MeshNormals face " + std::to_string(f) + " has " + std::to_string(mesh.normalFaces[f].size()) +
                        " corners, the Mesh face " + std::to_string(mesh.faces[f].size()));
    }
    return SkipObject();
}

bool XMeshReader::ReadTexCoords(RawMesh& mesh)
{
    if (!OpenObject("MeshTextureCoords"))
        return false;
    uint32_t count = 0;
    if (!ReadCount(count, kMaxVertices, "MeshTextureCoords count"))
        return false;
    if (count != mesh.positions.size())
        return Fail("MeshTextureCoords has " + std::to_string(count) + " pairs for " +
                    std::to_string(mesh.positions.size()) + " vertices");
    return ReadItems(mesh.texCoords, count, 2, "MeshTextureCoords") && SkipObject();
}

bool XMeshReader::ReadMaterialIndices(RawMesh& mesh, uint32_t materials)
{
    uint32_t count = 0;
    if (!ReadCount(count, kMaxFaces, "MeshMaterialList face count"))
        return false;
    if (count > mesh.faces.size())
        return Fail("MeshMaterialList names " + std::to_string(count) + " faces of only " +
                    std::to_string(mesh.faces.size()));
    if (!CheckRoom(count, "MeshMaterialList"))
        return false;
    mesh.faceMaterials.resize(count);
    for (uint32_t& material : mesh.faceMaterials)
    {
        if (!ReadCount(material, 0xFFFFFFFFu, "MeshMaterialList index"))
            return false;
        if (material >= materials)
            return Fail("MeshMaterialList index " + std::to_string(material) + " of only " + std::to_string(materials) +
                        " materials");
    }
    // Faces past the list keep the last material.
    if (materials > 0)
        mesh.faceMaterials.resize(mesh.faces.size(), mesh.faceMaterials.empty() ? 0 : mesh.faceMaterials.back());
    return true;
}

bool XMeshReader::ReadMaterialReference(RawMesh& mesh)
{
    if (Next() != Token::Name)
        return mFailed ? false : Fail("material reference without a name");
    const std::string name = mText;
    const XMaterial* found = nullptr;
    for (const XMaterial& material : mNamedMaterials)
        found = material.name == name ? &material : found;
    if (!found)
        return Fail("material reference " + name + " names no material");
    mesh.materials.push_back(*found);
    return SkipObject();
}

bool XMeshReader::ReadMaterialList(RawMesh& mesh, int depth)
{
    if (!OpenObject("MeshMaterialList"))
        return false;
    uint32_t materials = 0;
    if (!ReadCount(materials, kMaxMaterials, "MeshMaterialList material count") ||
        !ReadMaterialIndices(mesh, materials))
        return false;
    const bool read = ReadChildren(
        "MeshMaterialList", "more data than the MeshMaterialList counts",
        [&] { return mText == "Material" ? ReadMaterialInto(mesh.materials, depth + 1) : SkipNamed(); },
        [&] { return ReadMaterialReference(mesh); });
    if (!read)
        return false;
    if (mesh.materials.size() != materials)
        return Fail("MeshMaterialList counts " + std::to_string(materials) + " materials but holds " +
                    std::to_string(mesh.materials.size()));
    mesh.hasMaterials = materials > 0;
    return true;
}

bool XMeshReader::ReadMaterialInto(std::vector<XMaterial>& materials, int depth)
{
    XMaterial material;
    if (Peek() == Token::Name)
        material.name = mText;
    if (!ReadMaterial(material, depth))
        return false;
    materials.push_back(std::move(material));
    return true;
}

bool XMeshReader::ReadMaterial(XMaterial& material, int depth)
{
    if (depth > kMaxDepth)
        return Fail("objects nested deeper than " + std::to_string(kMaxDepth));
    if (!OpenObject("Material"))
        return false;
    float values[11];
    if (!ReadFloats(values, 11, "Material"))
        return false;
    material.faceColor = Color(values[0], values[1], values[2], values[3]);
    material.power = values[4];
    material.specular = Vector3(values[5], values[6], values[7]);
    material.emissive = Vector3(values[8], values[9], values[10]);
    return ReadChildren("Material", "more data than a Material holds", [&] {
        if (mText == "TextureFilename")
            return OpenObject("TextureFilename") && ReadString(material.texture, "TextureFilename") && SkipObject();
        return SkipNamed();
    });
}

// ---- merging ----

bool XMeshReader::Merge(const RawMesh& raw)
{
    XMesh& out = *mOut;
    const uint32_t base = static_cast<uint32_t>(out.positions.size());
    const bool normals = !raw.normalFaces.empty();
    mAnyNormals = mAnyNormals || normals;
    mAnyCoords = mAnyCoords || !raw.texCoords.empty();

    size_t triangles = 0;
    for (const std::vector<uint32_t>& face : raw.faces)
        triangles += face.size() - 2;
    if (base + raw.positions.size() > kMaxVertices || out.faces.size() + triangles > kMaxFaces)
        return Fail("meshes together hold more than " + std::to_string(kMaxVertices) + " vertices or " +
                    std::to_string(kMaxFaces) + " faces");

    for (size_t v = 0; v < raw.positions.size(); ++v)
    {
        out.positions.push_back(raw.positions[v]);
        out.normals.emplace_back();
        out.texCoords.push_back(raw.texCoords.empty() ? std::array<float, 2>{} : raw.texCoords[v]);
    }

    // A vertex keeps the first normal its faces give it; another normal makes a copy of it.
    std::vector<uint32_t> normalOf(raw.positions.size(), kUnset);
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> copies;
    const uint32_t baseMaterial = static_cast<uint32_t>(out.materials.size());
    std::vector<uint32_t> corners;
    for (size_t f = 0; f < raw.faces.size(); ++f)
    {
        const std::vector<uint32_t>& face = raw.faces[f];
        corners.assign(face.size(), 0);
        for (size_t k = 0; k < face.size(); ++k)
        {
            const uint32_t v = face[k];
            uint32_t index = base + v;
            if (normals)
            {
                const uint32_t n = raw.normalFaces[f][k];
                if (normalOf[v] == kUnset)
                {
                    normalOf[v] = n;
                    out.normals[index] = raw.normals[n];
                }
                else if (normalOf[v] != n)
                {
                    const auto [it, added] = copies.try_emplace({v, n}, static_cast<uint32_t>(out.positions.size()));
                    if (added)
                    {
                        if (out.positions.size() >= kMaxVertices)
                            return Fail("split normals make more than " + std::to_string(kMaxVertices) + " vertices");
                        const std::array<float, 2> uv = out.texCoords[index];
                        out.positions.push_back(raw.positions[v]);
                        out.normals.push_back(raw.normals[n]);
                        out.texCoords.push_back(uv);
                    }
                    index = it->second;
                }
            }
            corners[k] = index;
        }
        const uint32_t material = raw.hasMaterials ? baseMaterial + raw.faceMaterials[f] : XMesh::kNoMaterial;
        for (size_t k = 1; k + 1 < corners.size(); ++k)
        {
            out.faces.push_back({corners[0], corners[k], corners[k + 1]});
            out.faceMaterials.push_back(material);
        }
    }
    out.materials.insert(out.materials.end(), raw.materials.begin(), raw.materials.end());
    return true;
}

void XMeshReader::PlaceFrom(size_t firstVertex, const Matrix4& matrix)
{
    if (matrix == Matrix4())
        return;
    XMesh& out = *mOut;
    for (size_t v = firstVertex; v < out.positions.size(); ++v)
    {
        out.positions[v] = matrix.TransformPoint(out.positions[v]);
        out.normals[v] = matrix.RotateVector(out.normals[v]).Normalized();
    }
}
