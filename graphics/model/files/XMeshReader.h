#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/math/Color.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Vector3.h"

struct XMaterial
{
    std::string name;
    Color faceColor;
    float power = 0.0f;
    Vector3 specular;
    Vector3 emissive;
    std::string texture;
};

// Every mesh of an X file merged into one, placed by its frames, with triangles only and one
// normal and one coordinate pair per vertex (a vertex whose faces disagree on its normal is split).
struct XMesh
{
    static constexpr uint32_t kNoMaterial = 0xFFFFFFFFu;

    std::vector<Vector3> positions;
    // Empty, or one per position.
    std::vector<Vector3> normals;
    std::vector<std::array<float, 2>> texCoords;
    std::vector<std::array<uint32_t, 3>> faces;
    // Empty, or one per face.
    std::vector<uint32_t> faceMaterials;
    std::vector<XMaterial> materials;
};

// Reads DirectX X mesh files, text ("xof 0303txt 0032") and binary ("xof 0303bin 0032", floats of
// 32 or 64 bits): frames with their matrices, Mesh, MeshNormals, MeshTextureCoords, MeshMaterialList,
// Material and TextureFilename; templates and other objects are skipped. Nothing a file says is
// trusted: counts are checked against the bytes left and capped, and a malformed file is refused
// with one logged error naming it.
class XMeshReader
{
public:
    // Far beyond any model of ours; keeps a lying count from asking for gigabytes.
    static constexpr uint32_t kMaxVertices = 1u << 20;
    static constexpr uint32_t kMaxFaces = 1u << 21;
    static constexpr uint32_t kMaxCorners = 64;
    static constexpr int kMaxDepth = 32;

    static bool ReadFile(const std::string& fileName, XMesh& mesh);
    // The bytes of a whole file; name is used in the error line only.
    bool Read(const std::string& bytes, const std::string& name, XMesh& mesh);

private:
    enum class Token
    {
        End,
        Name,
        String,
        Integer,
        Float,
        Guid,
        OpenBrace,
        CloseBrace,
        Template,
        Other,
    };

    // One mesh as the file gives it, before it is merged.
    struct RawMesh
    {
        std::vector<Vector3> positions;
        std::vector<std::vector<uint32_t>> faces;
        std::vector<Vector3> normals;
        std::vector<std::vector<uint32_t>> normalFaces;
        std::vector<std::array<float, 2>> texCoords;
        std::vector<uint32_t> faceMaterials;
        std::vector<XMaterial> materials;
        bool hasMaterials = false;
    };

    Token Next();
    Token Peek();
    Token NextText();
    void SkipTextSpace();
    Token TextNumber();
    Token NextBinary();
    Token BinaryText(uint16_t token);
    bool BeginBinaryList(uint16_t token);
    bool BinaryBytes(void* out, size_t count);
    bool BinaryU32(uint32_t& value, const char* shortWhy = "token cut short");
    bool NextListValue();
    void SetInteger(uint32_t value);
    // Fail for the token readers.
    Token Failed(const std::string& what);
    size_t Left() const { return mData->size() - mPos; }

    bool ReadCount(uint32_t& value, uint32_t cap, const char* what);
    bool ReadFloat(float& value, const char* what);
    bool ReadFloats(float* values, size_t count, const char* what);
    bool CheckRoom(size_t numbers, const char* what);
    bool ReadString(std::string& value, const char* what);
    // Takes the type by value: it is often the token text the next token overwrites.
    bool OpenObject(std::string what);
    bool SkipObject();
    bool SkipTemplate();
    // Opens and skips the object whose type was just read.
    bool SkipNamed();
    // Reads the objects inside the one just opened up to its '}': each named one goes to
    // readChild, each anonymous '{...}' (a reference) to readReference; other data fails.
    template <typename ReadChild, typename ReadReference>
    bool ReadChildren(const char* owner, const char* extraData, ReadChild readChild, ReadReference readReference);
    template <typename ReadChild>
    bool ReadChildren(const char* owner, const char* extraData, ReadChild readChild);
    // Reads count items after checking the input can hold them.
    template <typename Item>
    bool ReadItems(std::vector<Item>& items, uint32_t count, size_t numbersPerItem, const char* what);
    bool ReadItem(Vector3& item, const char* what);
    bool ReadItem(std::array<float, 2>& item, const char* what);

    bool ReadTopLevel();
    bool ReadFrame(int depth);
    bool ReadMatrix(Matrix4& matrix);
    bool ReadMesh(int depth);
    bool ReadFaces(std::vector<std::vector<uint32_t>>& faces, uint32_t indexLimit, const char* what);
    bool ReadNormals(RawMesh& mesh);
    bool ReadTexCoords(RawMesh& mesh);
    bool ReadMaterialList(RawMesh& mesh, int depth);
    bool ReadMaterialIndices(RawMesh& mesh, uint32_t materials);
    bool ReadMaterialReference(RawMesh& mesh);
    // A Material object, named by the token after its type when there is one.
    bool ReadMaterialInto(std::vector<XMaterial>& materials, int depth);
    bool ReadMaterial(XMaterial& material, int depth);
    bool Merge(const RawMesh& raw);
    void PlaceFrom(size_t firstVertex, const Matrix4& matrix);
    bool Fail(const std::string& what);

    const std::string* mData = nullptr;
    std::string mName;
    size_t mPos = 0;
    bool mBinary = false;
    bool mDoubles = false;
    bool mFailed = false;
    uint32_t mLine = 1;

    // The token just read.
    Token mToken = Token::End;
    std::string mText;
    uint32_t mInteger = 0;
    float mFloat = 0.0f;
    bool mNegative = false;
    bool mPeeked = false;
    // Binary lists hand out one value per token.
    uint32_t mListLeft = 0;
    bool mListFloats = false;

    std::vector<XMaterial> mNamedMaterials;
    bool mAnyNormals = false;
    bool mAnyCoords = false;
    XMesh* mOut = nullptr;
};
