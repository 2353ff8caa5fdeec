#include "graphics/font/BitmapFont.h"

#include <cmath>
#include <cstring>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/math/Random.h"
#include "graphics/resource/DdsReader.h"
#include "graphics/resource/TextureData.h"

namespace {

using Vertex = GraphicsDevice::TexturedVertex;
constexpr uint32_t kVerticesPerGlyph = 6;
constexpr uint32_t kWorldGlyphs = BitmapFont::kWorldVertices / kVerticesPerGlyph;
constexpr float kLineSpacing = 0.8f;

void WriteQuad(Vertex* v, float left, float top, float right, float bottom, float z, uint32_t color, float u0, float v0,
               float u1, float v1)
{
    v[0] = {left, top, z, color, u0, v0};
    v[1] = {right, top, z, color, u1, v0};
    v[2] = {left, bottom, z, color, u0, v1};
    v[3] = {right, top, z, color, u1, v0};
    v[4] = {right, bottom, z, color, u1, v1};
    v[5] = {left, bottom, z, color, u0, v1};
}

RenderStates MakeTextStates(bool is3D)
{
    RenderStates states;
    states.mBlendEnable = true;
    states.mSrcBlend = BlendFactor::SrcAlpha;
    states.mDestBlend = BlendFactor::InvSrcAlpha;
    states.mAlphaFunc = CompareFunc::GreaterEqual;
    states.mFill = FillMode::Solid;
    states.mCull = CullMode::CCW;
    states.mDepthEnable = is3D;
    states.mDepthWrite = false;
    states.mStencilEnable = false;
    states.mClipPlaneMask = 0;
    return states;
}

} // namespace

BitmapFont::BitmapFont(GraphicsDevice* device) : mDevice(device)
{
    SetDefaultWidths();
    RestoreDeviceObjects();
}

BitmapFont::~BitmapFont() { DeleteDeviceObjects(); }

uint32_t BitmapFont::GlyphIndex(char c)
{
    const int32_t g = static_cast<int32_t>(static_cast<signed char>(c)) + kGlyphBase;
    return static_cast<uint32_t>(g < 0 ? 0 : (g > 255 ? 255 : g));
}

void BitmapFont::SetDefaultWidths()
{
    // Without a width file every glyph advances by the cell; 0 would hide all text.
    const int32_t width = mCellWidth > 127 ? 127 : mCellWidth;
    mGlyphWidths.fill(static_cast<int8_t>(width));
}

bool BitmapFont::Load(const std::string& textureFile, const std::string& widthFile)
{
    Console::Instance().Log("Loading Bitmap Font: " + textureFile, LogLoading);
    mTexture.reset();
    mTextureWidth = mTextureHeight = mCellWidth = mCellHeight = 0;
    std::string bytes;
    TextureData data;
    std::string error;
    if (!ReadWholeFile(DataFilePath(textureFile), bytes))
        error = "cannot be read";
    else
        DdsReader::Read(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), data, error);
    if (error.empty() && !LoadTexture(data))
        error = "the device refused the texture";
    if (!error.empty())
        Console::Instance().Log("BitmapFont: " + textureFile + ": " + error, LogError);

    std::string widths;
    if (!ReadWholeFile(DataFilePath(widthFile), widths))
        widths.clear();
    LoadWidths(reinterpret_cast<const uint8_t*>(widths.data()), widths.size(), widthFile);
    return mTexture != nullptr;
}

bool BitmapFont::LoadTexture(const TextureData& source)
{
    mTexture.reset();
    if (!mDevice || source.mKind != TextureKind::Tex2D || source.mLevels == 0 || source.mWidth == 0 ||
        source.mHeight == 0 || source.mLevelData.empty())
        return false;
    // One level, as the glyphs are drawn 1:1.
    TextureData data;
    data.mFormat = source.mFormat;
    data.mWidth = source.mWidth;
    data.mHeight = source.mHeight;
    data.mLevels = 1;
    data.mLevelData.push_back(source.mLevelData[0]);
    ConvertTextureData(data, mDevice->GetCaps().mCompressedTextures);
    TextureDesc desc;
    desc.mFormat = data.mFormat;
    desc.mWidth = data.mWidth;
    desc.mHeight = data.mHeight;
    desc.mLevels = 1;
    std::unique_ptr<GpuTexture> texture = mDevice->CreateTexture(desc);
    if (!texture || !texture->Upload(0, 0, data.mLevelData[0].data(), data.mLevelData[0].size()))
        return false;
    mTexture = std::move(texture);
    mTextureWidth = static_cast<int32_t>(data.mWidth);
    mTextureHeight = static_cast<int32_t>(data.mHeight);
    mCellWidth = mTextureWidth / 16;
    mCellHeight = mTextureHeight / 16;
    return true;
}

void BitmapFont::LoadWidths(const uint8_t* bytes, size_t size, const std::string& fileName)
{
    if (size < 2 * mGlyphWidths.size())
    {
        Console::Instance().Log(
            "BitmapFont: glyph-width file " + fileName + " is missing or short, using the cell width", LogError);
        SetDefaultWidths();
        return;
    }
    // A width outside the cell would draw its neighbour's texels or run text backwards: the file
    // is damaged, so none of it is trusted.
    for (size_t i = 0; i < mGlyphWidths.size() && mCellWidth > 0; ++i)
    {
        // NOLINTNEXTLINE(bugprone-signed-char-misuse): the file keeps widths as signed bytes.
        const int32_t width = static_cast<int8_t>(bytes[2 * i]);
        if (width < 0 || width > mCellWidth)
        {
            Console::Instance().Log("BitmapFont: glyph-width file " + fileName + " gives glyph " + std::to_string(i) +
                                        " the width " + std::to_string(width) + ", outside its " +
                                        std::to_string(mCellWidth) + "-texel cell; using the cell width",
                                    LogError);
            SetDefaultWidths();
            return;
        }
    }
    for (size_t i = 0; i < mGlyphWidths.size(); ++i)
        mGlyphWidths[i] = static_cast<int8_t>(bytes[2 * i]);
}

void BitmapFont::RestoreDeviceObjects()
{
    if (!mDevice)
        return;
    mScreenBuffer = mDevice->CreateVertexBuffer(kScreenVertices * sizeof(Vertex), true);
    mWorldBuffer = mDevice->CreateVertexBuffer(kWorldVertices * sizeof(Vertex), true);
    mLayout = mDevice->CreateVertexLayout(TexturedVertexElements());
    mTextStates = MakeTextStates(false);
    mText3DStates = MakeTextStates(true);
    mTextScale = static_cast<float>(mDevice->GetHeight()) * 0.0016666667f;
}

void BitmapFont::InvalidateDeviceObjects()
{
    if (mBatchOpen && mScreenBuffer)
        mScreenBuffer->Unlock();
    mBatchOpen = false;
    mLocked = nullptr;
    mScreenBuffer.reset();
    mWorldBuffer.reset();
    mLayout.reset();
}

void BitmapFont::DeleteDeviceObjects()
{
    InvalidateDeviceObjects();
    mTexture.reset();
}

void BitmapFont::ApplyStates(bool is3D)
{
    if (!mDevice)
        return;
    mDevice->States() = is3D ? mText3DStates : mTextStates;
    SamplerState sampler;
    sampler.mMin = TextureFilter::Linear;
    sampler.mMag = TextureFilter::Linear;
    sampler.mMipEnable = false;
    mDevice->SetSamplerState(0, sampler);
}

void BitmapFont::Begin()
{
    mBatchGlyphs = 0;
    mBatchOpen = true;
    if (!mDevice || !mScreenBuffer)
        return;
    // Text states last until Flush; the device gets its own back then.
    mSavedStates = mDevice->States();
    ApplyStates(false);
    mDevice->SetTexture(0, mTexture.get());
    mLocked = static_cast<Vertex*>(mScreenBuffer->Lock(0, mScreenBuffer->GetSize(), LockFlag::Discard));
}

void BitmapFont::Flush()
{
    if (!mBatchOpen)
        return;
    mBatchOpen = false;
    if (!mDevice || !mScreenBuffer)
        return;
    if (mLocked)
    {
        mScreenBuffer->Unlock();
        mLocked = nullptr;
        if (mBatchGlyphs != 0)
        {
            mDevice->SetTexture(0, mTexture.get());
            mDevice->SetVertexLayout(mLayout.get());
            mDevice->SetStreamSource(mScreenBuffer.get(), 0, sizeof(Vertex));
            mDevice->UseBuiltin(GraphicsDevice::Builtin::ScreenText);
            mDevice->Draw(PrimitiveType::TriangleList, 0, 2 * mBatchGlyphs);
        }
    }
    mDevice->States() = mSavedStates;
}

BitmapFont::GlyphRect BitmapFont::Glyph(uint32_t index) const
{
    const float tw = static_cast<float>(mTextureWidth);
    const float th = static_cast<float>(mTextureHeight);
    GlyphRect r;
    r.mLeft = static_cast<float>(static_cast<int32_t>(index % 16) * mCellWidth) / tw;
    r.mTop = static_cast<float>(static_cast<int32_t>(index / 16) * mCellHeight) / th;
    r.mRight = r.mLeft + static_cast<float>(mGlyphWidths[index]) / tw;
    r.mBottom = r.mTop + static_cast<float>(mCellHeight) / th;
    return r;
}

void BitmapFont::DrawTextScreen(const char* text, float x, float y, uint32_t color, float scale, bool topLeft,
                                bool absoluteScale, float wrapWidth)
{
    if (!absoluteScale)
        scale *= mTextScale;
    if (!mTexture || !text || text[0] == '\0')
        return;
    const size_t length = std::strlen(text);
    if (length * kVerticesPerGlyph > kScreenVertices)
        return;
    if (mBatchOpen && (mBatchGlyphs + length) * kVerticesPerGlyph > kScreenVertices)
    {
        Flush();
        Begin();
    }
    const bool ownBatch = !mBatchOpen;
    if (ownBatch)
        Begin();
    if (!mLocked)
    {
        if (ownBatch)
            Flush();
        return;
    }

    if (!topLeft)
    {
        x -= GetLineWidth(text, scale, 0) * 0.5f;
        y -= GetTextHeight(text, scale) * 0.5f;
    }
    const float cellHeight = static_cast<float>(mCellHeight) * scale;
    const float count = static_cast<float>(length);
    float penX = x;
    float penY = y;
    float lineOffset = 0.0f;
    Vertex* out = mLocked + mBatchGlyphs * kVerticesPerGlyph;
    uint32_t written = 0;
    for (size_t i = 0; i < length; ++i)
    {
        const char c = text[i];
        if (c == '\n' || (wrapWidth != 0.0f && lineOffset + GetWordWidth(text + i, scale) > wrapWidth))
        {
            penY += cellHeight * kLineSpacing;
            penX = x;
            lineOffset = 0.0f;
            if (c == '\n')
                continue;
        }
        // GL samples texel centres at pixel centres: whole-pixel corners map glyphs 1:1.
        const float advance = WriteGlyph(out, c, penX, penY, scale, cellHeight, 0.9f, color, i, count);
        out += kVerticesPerGlyph;
        ++written;
        penX += advance;
        lineOffset += advance;
    }
    mBatchGlyphs += written;
    if (ownBatch)
        Flush();
}

void BitmapFont::DrawTextSimple(const char* text, int32_t x, int32_t y, uint32_t color)
{
    DrawTextScreen(text, static_cast<float>(x), static_cast<float>(y), color, 1.0f, true, false, 0.0f);
}

void BitmapFont::DrawTextAligned(const char* text, const Rect& rect, uint32_t color, float scale, int32_t alignment)
{
    switch (alignment)
    {
    case 1:
        DrawTextScreen(text, static_cast<float>(rect.mLeft), static_cast<float>(rect.mTop), color, scale, true, false,
                       static_cast<float>(rect.mRight - rect.mLeft));
        break;
    case 0:
        DrawTextScreen(text, static_cast<float>(rect.mLeft + rect.mRight) * 0.5f,
                       static_cast<float>(rect.mTop + rect.mBottom) * 0.5f, color, scale, false, false, 0.0f);
        break;
    case 3:
    {
        const float s = scale * mTextScale;
        const float x = static_cast<float>(rect.mRight) - GetLineWidth(text, s, 0);
        const float y = static_cast<float>(rect.mTop + rect.mBottom) * 0.5f - GetTextHeight(text, s) * 0.5f;
        DrawTextScreen(text, x, y, color, scale, true, false, 0.0f);
        break;
    }
    default:
        break;
    }
}

void BitmapFont::DrawText3D(const char* text, float x, float y, uint32_t color, float height, bool topLeft,
                            bool overScene)
{
    if (!mDevice || !mWorldBuffer || !mTexture || !text || text[0] == '\0' || mCellHeight == 0)
        return;
    const float scale = height / static_cast<float>(mCellHeight);
    const RenderStates saved = mDevice->States();
    ApplyStates(true);
    if (overScene)
        mDevice->States().mDepthEnable = false;
    Vertex* start = static_cast<Vertex*>(mWorldBuffer->Lock(0, mWorldBuffer->GetSize(), LockFlag::Discard));
    if (!start)
    {
        mDevice->States() = saved;
        return;
    }
    const float originX = x;
    if (!topLeft)
    {
        x -= GetLineWidth(text, scale, 0) * 0.5f;
        y += GetTextHeight(text, scale) * 0.5f;
    }
    const float cellHeight = static_cast<float>(mCellHeight) * scale;
    const size_t length = std::strlen(text);
    const float count = static_cast<float>(length);
    float penX = x;
    float penY = y;
    uint32_t inBatch = 0;
    for (size_t i = 0; i < length; ++i)
    {
        const char c = text[i];
        if (c == '\n')
        {
            penY -= cellHeight * kLineSpacing;
            penX = topLeft ? originX : originX - GetLineWidth(text, scale, i + 1) * 0.5f;
            continue;
        }
        if (c == '\t')
            continue;
        // The buffer holds 85 glyphs: longer text is drawn in batches.
        if (inBatch == kWorldGlyphs)
        {
            DrawWorldGlyphs(inBatch);
            inBatch = 0;
            start = static_cast<Vertex*>(mWorldBuffer->Lock(0, mWorldBuffer->GetSize(), LockFlag::Discard));
            if (!start)
            {
                mDevice->States() = saved;
                return;
            }
        }
        const float advance =
            WriteGlyph(start + inBatch * kVerticesPerGlyph, c, penX, penY, scale, -cellHeight, 0.0f, color, i, count);
        ++inBatch;
        penX += advance;
    }
    DrawWorldGlyphs(inBatch);
    mDevice->States() = saved;
}

float BitmapFont::WriteGlyph(Vertex* out, char c, float penX, float penY, float scale, float cellHeight, float z,
                             uint32_t color, size_t i, float count) const
{
    const uint32_t index = GlyphIndex(c);
    const float advance = static_cast<float>(mGlyphWidths[index]) * scale;
    float gx = penX;
    float gy = penY;
    float size = 1.0f;
    GlyphEffect(gx, gy, static_cast<float>(i), mEffectTime, mEffectMode, count, size);
    const GlyphRect r = Glyph(index);
    WriteQuad(out, gx, gy, gx + advance * size, gy + cellHeight * size, z, color, r.mLeft, r.mTop, r.mRight, r.mBottom);
    return advance;
}

void BitmapFont::DrawWorldGlyphs(uint32_t glyphs)
{
    mWorldBuffer->Unlock();
    if (glyphs == 0)
        return;
    mDevice->SetTexture(0, mTexture.get());
    mDevice->SetVertexLayout(mLayout.get());
    mDevice->SetStreamSource(mWorldBuffer.get(), 0, sizeof(Vertex));
    mDevice->UseBuiltin(GraphicsDevice::Builtin::WorldQuads);
    mDevice->Draw(PrimitiveType::TriangleList, 0, 2 * glyphs);
}

float BitmapFont::GetTextHeight(const char* text, float scale) const
{
    int32_t lines = 1;
    for (const char* p = text; p && *p; ++p)
        lines += *p == '\n' ? 1 : 0;
    return static_cast<float>(mCellHeight) * scale * kLineSpacing * static_cast<float>(lines);
}

float BitmapFont::GetLineWidth(const char* text, float scale, size_t start) const
{
    if (!text)
        return 0.0f;
    float width = 0.0f;
    for (const char* p = text + start; *p && *p != '\n'; ++p)
        if (*p != '\t')
            width += static_cast<float>(mGlyphWidths[GlyphIndex(*p)]) * scale;
    return width;
}

float BitmapFont::GetWordWidth(const char* text, float scale) const
{
    float width = 0.0f;
    for (const char* p = text; p && *p && *p != '\n' && *p != ' ' && *p != '\t'; ++p)
        width += static_cast<float>(mGlyphWidths[GlyphIndex(*p)]) * scale;
    return width;
}

Rect BitmapFont::MeasureRect(const char* text, int32_t x, int32_t y, float scale) const
{
    int32_t width = 0;
    for (const char* p = text; p && *p; ++p)
        width += static_cast<int32_t>(static_cast<float>(mGlyphWidths[GlyphIndex(*p)]) * scale);
    return Rect{x, y, x + width, y + static_cast<int32_t>(static_cast<float>(mCellHeight) * scale)};
}

void BitmapFont::SetTextEffect(int32_t mode, float time, const Vector3& values)
{
    mEffectMode = mode;
    mEffectTime = time;
    mEffectValues = values;
}

void BitmapFont::ClearTextEffect() { SetTextEffect(0, 0.0f, Vector3()); }

void BitmapFont::GlyphEffect(float& x, float& y, float glyph, float time, int32_t mode, float glyphCount, float& size)
{
    (void)x;
    size = 1.0f;
    const float u = glyphCount > 0.0f ? glyph / glyphCount : 0.0f;
    switch (mode)
    {
    case 1:
        y += 4.0f * std::cos(20.0f * u + time);
        break;
    case 2:
        y += 4.0f * std::cos(u + time);
        break;
    case 3:
        y += 4.0f * RandomFloat(-0.5f, 0.5f);
        break;
    case 5:
        size = time * 20.0f > u ? 1.0f : 0.0f;
        break;
    default:
        break;
    }
}
