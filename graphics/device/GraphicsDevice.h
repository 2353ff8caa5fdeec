#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "LOOM/math/Matrix4.h"
#include "graphics/device/DeviceLoss.h"
#include "graphics/device/Image.h"

struct SDL_Window;

// The device layer: a Direct3D 9 shaped device on OpenGL 3.3 core. Nothing above it calls
// OpenGL. Engine conventions hold here unchanged (row-major matrices, left-handed, depth
// 0..1, v = 0 on the top row, clockwise front faces); the programs' toClip() and Present's
// flip are the only places that know about GL.

struct DeviceDesc
{
    int32_t mWidth = 800;
    int32_t mHeight = 600;
    bool mWindowed = true;
    bool mVSync = true;
    // 0 or 1: no multisampling.
    int32_t mSamples = 0;
};

struct DeviceCaps
{
    bool mCompressedTextures = false;
    int32_t mMaxTextureSize = 0;
    int32_t mMaxSamples = 0;
    // Shader model checks of the old design always pass here.
    bool mPixelShader20 = true;
    bool mTwoSidedStencil = true;
    // Largest point-sprite size in pixels.
    float mMaxPointSize = 1000.0f;
};

enum ClearFlag : uint32_t
{
    ClearTarget = 1,
    ClearZBuffer = 2,
    ClearStencil = 4,
};

enum class TransformKind : uint8_t
{
    World,
    View,
    Projection,
    Count
};
enum class FillMode : uint8_t
{
    Solid,
    Wireframe,
    Point
};
// Which winding is culled, as the design names it.
enum class CullMode : uint8_t
{
    None,
    CW,
    CCW
};
enum class CompareFunc : uint8_t
{
    Never,
    Less,
    Equal,
    LessEqual,
    Greater,
    NotEqual,
    GreaterEqual,
    Always
};
enum class BlendFactor : uint8_t
{
    Zero,
    One,
    SrcColor,
    InvSrcColor,
    SrcAlpha,
    InvSrcAlpha,
    DestAlpha,
    InvDestAlpha,
    DestColor,
    InvDestColor
};
enum class BlendOp : uint8_t
{
    Add,
    Subtract,
    RevSubtract,
    Min,
    Max
};
enum class StencilOp : uint8_t
{
    Keep,
    Zero,
    Replace,
    IncrSat,
    DecrSat,
    Invert,
    Incr,
    Decr
};

struct StencilFace
{
    CompareFunc mFunc = CompareFunc::Always;
    StencilOp mFail = StencilOp::Keep;
    StencilOp mZFail = StencilOp::Keep;
    StencilOp mPass = StencilOp::Keep;

    bool operator==(const StencilFace&) const = default;
};

// Every fixed render state the renderers set. A state block is a copy of this record.
struct RenderStates
{
    FillMode mFill = FillMode::Solid;
    CullMode mCull = CullMode::CCW;
    bool mDepthEnable = true;
    bool mDepthWrite = true;
    CompareFunc mDepthFunc = CompareFunc::LessEqual;
    bool mBlendEnable = false;
    BlendFactor mSrcBlend = BlendFactor::One;
    BlendFactor mDestBlend = BlendFactor::Zero;
    BlendOp mBlendOp = BlendOp::Add;
    // Bits 0..3: red, green, blue, alpha.
    uint8_t mColorMask = 0xF;
    bool mAlphaTest = false;
    CompareFunc mAlphaFunc = CompareFunc::Always;
    // 0..255 as in the design.
    uint32_t mAlphaRef = 0;
    bool mStencilEnable = false;
    bool mTwoSidedStencil = false;
    StencilFace mStencil;
    StencilFace mStencilCcw;
    uint32_t mStencilRef = 0;
    uint32_t mStencilMask = 0xFFFFFFFF;
    uint32_t mStencilWriteMask = 0xFFFFFFFF;
    uint32_t mClipPlaneMask = 0;
    float mDepthBias = 0.0f;
    float mSlopeScaleDepthBias = 0.0f;
    float mPointSize = 1.0f;
    // Point sprites sized by distance: viewport height x point size / eye distance, clamped
    // to [min, max] pixels.
    bool mPointScaleEnable = false;
    float mPointSizeMin = 1.0f;
    float mPointSizeMax = 64.0f;

    bool operator==(const RenderStates&) const = default;
};

enum class TextureFilter : uint8_t
{
    Point,
    Linear
};
enum class TextureAddress : uint8_t
{
    Wrap,
    Mirror,
    Clamp,
    Border
};

struct SamplerState
{
    TextureFilter mMin = TextureFilter::Linear;
    TextureFilter mMag = TextureFilter::Linear;
    // Point or Linear between levels; mMipEnable false samples level 0 only.
    TextureFilter mMip = TextureFilter::Linear;
    bool mMipEnable = true;
    TextureAddress mU = TextureAddress::Wrap;
    TextureAddress mV = TextureAddress::Wrap;
    TextureAddress mW = TextureAddress::Wrap;

    bool operator==(const SamplerState&) const = default;
};

enum class PrimitiveType : uint8_t
{
    PointList,
    LineList,
    LineStrip,
    TriangleList,
    TriangleStrip,
    TriangleFan
};

// Vertex element types: float1..4, packed ARGB colour (read as BGRA bytes, normalised) and
// four unsigned bytes as an integer attribute (bone indices).
enum class VertexType : uint8_t
{
    Float1,
    Float2,
    Float3,
    Float4,
    Color,
    UByte4,
    UByte4N
};
enum class VertexSemantic : uint8_t
{
    Position,
    Normal,
    Color,
    TexCoord,
    Tangent,
    Binormal,
    BlendWeight,
    BlendIndices
};

struct VertexElement
{
    uint16_t mOffset = 0;
    VertexType mType = VertexType::Float3;
    VertexSemantic mSemantic = VertexSemantic::Position;
    uint8_t mIndex = 0;
};

// A vertex input as every program declares it in GLSL.
struct VertexAttribute
{
    VertexSemantic mSemantic;
    uint8_t mIndex;
    const char* mGlslType;
    const char* mName;
};

// The layer's fixed attribute locations: each input sits at its place here, where the GLSL
// prelude declares it.
inline constexpr std::array<VertexAttribute, 12> kVertexAttributes = {{
    {VertexSemantic::Position, 0, "vec4", "aPosition"},
    {VertexSemantic::Normal, 0, "vec3", "aNormal"},
    {VertexSemantic::Color, 0, "vec4", "aColor0"},
    {VertexSemantic::Color, 1, "vec4", "aColor1"},
    {VertexSemantic::TexCoord, 0, "vec4", "aTexCoord0"},
    {VertexSemantic::TexCoord, 1, "vec4", "aTexCoord1"},
    {VertexSemantic::TexCoord, 2, "vec4", "aTexCoord2"},
    {VertexSemantic::TexCoord, 3, "vec4", "aTexCoord3"},
    {VertexSemantic::Tangent, 0, "vec3", "aTangent"},
    {VertexSemantic::Binormal, 0, "vec3", "aBinormal"},
    {VertexSemantic::BlendWeight, 0, "vec4", "aBlendWeight"},
    {VertexSemantic::BlendIndices, 0, "uvec4", "aBlendIndices"},
}};

// The attribute location of a semantic, -1 when the layer has none for it.
int32_t AttributeLocation(VertexSemantic semantic, uint8_t index);
uint32_t VertexTypeSize(VertexType type);

enum class TextureFormat : uint8_t
{
    RGBA8,
    RGB8,
    DXT1,
    DXT3,
    DXT5,
    RGBA16F
};
enum class TextureKind : uint8_t
{
    Tex2D,
    Cube
};

struct TextureDesc
{
    TextureKind mKind = TextureKind::Tex2D;
    TextureFormat mFormat = TextureFormat::RGBA8;
    uint32_t mWidth = 1;
    uint32_t mHeight = 1;
    uint32_t mLevels = 1;
    bool mRenderTarget = false;
};

// Bytes of one level of that format and size (blocks for DXT).
size_t TextureLevelSize(TextureFormat format, uint32_t width, uint32_t height);
// Number of levels of a full chain down to 1x1.
uint32_t FullMipCount(uint32_t width, uint32_t height);

enum class LockFlag : uint32_t
{
    None = 0,
    Discard = 1,
    NoOverwrite = 2
};

class GpuBuffer
{
public:
    virtual ~GpuBuffer() = default;
    // A CPU pointer to write [offset, offset + size); Discard orphans the whole buffer,
    // NoOverwrite promises not to touch data a pending draw uses. Null when out of range.
    virtual void* Lock(uint32_t offset, uint32_t size, LockFlag flag) = 0;
    virtual void Unlock() = 0;
    // Lock, copy, unlock.
    bool Write(uint32_t offset, const void* data, uint32_t size, LockFlag flag = LockFlag::None);
    uint32_t GetSize() const { return mSize; }
    bool IsDynamic() const { return mDynamic; }
    // Index buffers only.
    bool Is32Bit() const { return m32Bit; }

protected:
    uint32_t mSize = 0;
    bool mDynamic = false;
    bool m32Bit = false;
};

class VertexLayout
{
public:
    explicit VertexLayout(std::vector<VertexElement> elements) : mElements(std::move(elements)) {}
    virtual ~VertexLayout() = default;
    const std::vector<VertexElement>& GetElements() const { return mElements; }

private:
    std::vector<VertexElement> mElements;
};

class GpuTexture
{
public:
    virtual ~GpuTexture() = default;
    // Rows top first. Face 0..5 (+x, -x, +y, -y, +z, -z) for cube textures, 0 otherwise.
    // Compressed formats take their blocks as they are. False when the size does not match.
    virtual bool Upload(uint32_t face, uint32_t level, const void* data, size_t size) = 0;
    const TextureDesc& GetDesc() const { return mDesc; }
    uint32_t GetWidth() const { return mDesc.mWidth; }
    uint32_t GetHeight() const { return mDesc.mHeight; }

protected:
    TextureDesc mDesc;
};

// One uniform of a linked program.
struct UniformInfo
{
    std::string mName;
    int32_t mLocation = -1;
    // Components per element: 1, 2, 3, 4, 16 (mat4); 0 for a sampler.
    uint32_t mComponents = 0;
    uint32_t mArraySize = 1;
    bool mSampler = false;
    bool mInteger = false;
};

class GpuProgram
{
public:
    virtual ~GpuProgram() = default;
    const std::vector<UniformInfo>& GetUniforms() const { return mUniforms; }
    // Index into GetUniforms, -1 when the program has no such uniform. Array uniforms by base name.
    int32_t FindUniform(const std::string& name) const;

protected:
    std::vector<UniformInfo> mUniforms;
};

// Counts of what reached the device, kept by every device; the null device also records.
struct DeviceCounters
{
    uint64_t mClears = 0;
    uint64_t mDraws = 0;
    uint64_t mPrimitives = 0;
    uint64_t mPresents = 0;
    uint64_t mStateChanges = 0;
    uint64_t mTextureBinds = 0;
    uint64_t mUniformUploads = 0;
    uint64_t mResets = 0;
};

// What the device has bound, as last set: read for the current camera transforms, and by code
// that puts the bindings back after drawing its own way.
struct DeviceBindings
{
    static constexpr uint32_t kStages = 8;

    const Matrix4& Transform(TransformKind kind) const { return mTransforms[static_cast<int>(kind)]; }

    std::array<Matrix4, static_cast<int>(TransformKind::Count)> mTransforms{};
    std::array<SamplerState, kStages> mSamplers{};
    std::array<GpuTexture*, kStages> mTextures{};
    GpuProgram* mProgram = nullptr;
};

struct Rect
{
    int32_t mLeft = 0;
    int32_t mTop = 0;
    int32_t mRight = 0;
    int32_t mBottom = 0;
};

class GraphicsDevice
{
public:
    virtual ~GraphicsDevice() = default;

    // An OpenGL 3.3 core context in the window with our own back buffer; null with the reason
    // in error.
    static std::unique_ptr<GraphicsDevice> CreateGl(SDL_Window* window, const DeviceDesc& desc, std::string& error);
    // Draws nothing, keeps every object on the CPU and counts calls; for tests and headless use.
    static std::unique_ptr<GraphicsDevice> CreateNull(const DeviceDesc& desc);

    const DeviceDesc& GetDesc() const { return mDesc; }
    const DeviceCaps& GetCaps() const { return mCaps; }
    DeviceCounters& Counters() { return mCounters; }
    int32_t GetWidth() const { return mDesc.mWidth; }
    int32_t GetHeight() const { return mDesc.mHeight; }

    // New back-buffer size, samples, swap interval and window mode. False (nothing changed)
    // when the device refuses the settings.
    virtual bool Reset(const DeviceDesc& desc) = 0;
    // Why Reset would refuse the settings out of hand; empty when it may try them.
    std::string ResetRefusal(const DeviceDesc& desc) const;
    // False when the device is lost (the frame was not shown).
    virtual bool Present() = 0;
    DeviceLoss& Loss() { return mLoss; }

    virtual void Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) = 0;
    // In back-buffer (or render target) pixels, top-left origin.
    virtual void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height, float minZ = 0.0f,
                             float maxZ = 1.0f) = 0;
    void SetTransform(TransformKind kind, const Matrix4& m) { mBound.mTransforms[static_cast<int>(kind)] = m; }
    const DeviceBindings& Bound() const { return mBound; }

    // Render states take effect at the next draw.
    RenderStates& States() { return mStates; }
    const RenderStates& States() const { return mStates; }
    // Clip plane i (0..5) in clip space, used where the mask bit is set.
    void SetClipPlane(uint32_t index, const float plane[4]);

    virtual void SetSamplerState(uint32_t stage, const SamplerState& state) = 0;
    virtual void SetTexture(uint32_t stage, GpuTexture* texture) = 0;

    virtual std::unique_ptr<GpuBuffer> CreateVertexBuffer(uint32_t size, bool dynamic) = 0;
    virtual std::unique_ptr<GpuBuffer> CreateIndexBuffer(uint32_t size, bool dynamic, bool bits32) = 0;
    std::unique_ptr<VertexLayout> CreateVertexLayout(std::span<const VertexElement> elements);
    virtual std::unique_ptr<GpuTexture> CreateTexture(const TextureDesc& desc) = 0;
    // Null with the compile or link log in log.
    virtual std::unique_ptr<GpuProgram> CreateProgram(const std::string& vertexSource,
                                                      const std::string& fragmentSource, std::string& log) = 0;

    void SetVertexLayout(VertexLayout* layout) { mLayout = layout; }
    void SetStreamSource(GpuBuffer* buffer, uint32_t offset, uint32_t stride)
    {
        mStream = buffer;
        mStreamOffset = offset;
        mStride = stride;
    }
    void SetIndices(GpuBuffer* buffer) { mIndices = buffer; }

    // The program the next draws use, or null for none.
    virtual void SetProgram(GpuProgram* program) = 0;
    // Uniform uploads to the current program; index as from FindUniform. count in elements.
    virtual void SetUniformFloats(int32_t uniform, const float* values, uint32_t count) = 0;
    virtual void SetUniformInt(int32_t uniform, int32_t value) = 0;

    virtual void Draw(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) = 0;
    virtual void DrawIndexed(PrimitiveType type, int32_t baseVertex, uint32_t startIndex, uint32_t primitiveCount) = 0;
    // Vertices from user memory through a streaming buffer inside the layer.
    virtual void DrawUser(PrimitiveType type, uint32_t primitiveCount, const void* vertices, uint32_t stride) = 0;
    virtual void DrawIndexedUser(PrimitiveType type, uint32_t vertexCount, uint32_t primitiveCount,
                                 const uint16_t* indices, const void* vertices, uint32_t stride) = 0;

    // A render-target texture in slot 0..3 (null: the back buffer for slot 0, nothing for the
    // others). A depth-stencil buffer of the target's size comes with it. Resets the viewport.
    virtual bool SetRenderTarget(uint32_t index, GpuTexture* target, uint32_t face = 0) = 0;
    GpuTexture* GetRenderTarget(uint32_t index) const { return mTargets[index]; }
    // Copies a rectangle between render targets or the back buffer (null), scaling.
    virtual bool StretchCopy(GpuTexture* source, const Rect* sourceRect, GpuTexture* dest, const Rect* destRect,
                             bool linear) = 0;
    // The back buffer (null) or a render target as a BGR image, top row first.
    virtual bool ReadBack(GpuTexture* source, Image& out) = 0;

    // Vertices the built-in programs take.
    struct ColorVertex
    {
        float mX, mY, mZ;
        uint32_t mColor;
    };
    struct TexturedVertex
    {
        float mX, mY, mZ;
        uint32_t mColor;
        float mU, mV;
    };
    enum class Builtin : uint8_t
    {
        ScreenText,
        WorldQuads,
        Lines,
        PointSprites
    };
    // Binds a built-in program: ScreenText takes TexturedVertex in back-buffer pixels; WorldQuads
    // TexturedVertex and Lines ColorVertex through World x View x Projection; PointSprites
    // ColorVertex with the point size. All multiply texture stage 0 (white when none) by colour
    // and honour the alpha test.
    virtual void UseBuiltin(Builtin which) = 0;

protected:
    static constexpr uint32_t kStages = DeviceBindings::kStages;
    static constexpr uint32_t kTargets = 4;

    // Whether Reset may try the settings: a back buffer within the caps.
    bool CanReset(const DeviceDesc& desc) const;
    // After a successful Reset: the device is usable again.
    void MarkReset();

    DeviceDesc mDesc;
    DeviceCaps mCaps;
    DeviceCounters mCounters;
    RenderStates mStates;
    DeviceBindings mBound;
    std::array<std::array<float, 4>, 6> mClipPlanes{};
    uint64_t mClipGeneration = 1;
    std::array<GpuTexture*, kTargets> mTargets{};
    VertexLayout* mLayout = nullptr;
    GpuBuffer* mStream = nullptr;
    uint32_t mStreamOffset = 0;
    uint32_t mStride = 0;
    GpuBuffer* mIndices = nullptr;
    DeviceLoss mLoss;
};

// Vertices needed for that many primitives.
uint32_t VertexCount(PrimitiveType type, uint32_t primitiveCount);
// The layout of GraphicsDevice::TexturedVertex: position, colour, one texture coordinate.
std::span<const VertexElement> TexturedVertexElements();
