#include "graphics/guisystem/GuiPainter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "LOOM/console/Console.h"
#include "LOOM/math/Color.h"
#include "graphics/QuadBatcher.h"
#include "graphics/font/BitmapFont.h"
#include "graphics/guisystem/GuiFonts.h"

void GuiPainter::Init(GraphicsDevice* device)
{
    mDevice = device;
    mBatcher = device ? std::make_unique<GuiQuads>(*device) : nullptr;
}

void GuiPainter::Shutdown()
{
    EndDraw();
    mBatcher.reset();
    mDevice = nullptr;
}

void GuiPainter::OnDeviceLost()
{
    EndDraw();
    if (mBatcher)
        mBatcher->OnDeviceLost();
}

void GuiPainter::OnDeviceReset()
{
    if (mBatcher)
        mBatcher->OnDeviceReset();
}

void GuiPainter::BeginDraw()
{
    if (!mBatcher || mDrawing)
        return;
    mDrawing = true;
    mDraws = 0;
    mTexture = nullptr;
    mBatcher->ResetDrawCount();
    mBatcher->BeginFrame();
    mBatcher->SetTexture(nullptr);
    mSavedStates = mDevice->States();
    SetScreenQuadStates(mDevice->States());
    mQuadStates = mDevice->States();
    // Widgets are drawn near their texture's size: one level, bilinear, clamped at the edges.
    SamplerState sampler;
    sampler.mMipEnable = false;
    sampler.mU = sampler.mV = TextureAddress::Clamp;
    mDevice->SetSamplerState(0, sampler);
}

void GuiPainter::EndDraw()
{
    if (!mDrawing)
        return;
    mTextOpen = false;
    Flush();
    mDraws += mBatcher->GetDrawCount();
    mDevice->States() = mSavedStates;
    mDevice->SetTexture(0, nullptr);
    mDrawing = false;
}

void GuiPainter::RestoreRenderStates()
{
    if (mDrawing)
        mDevice->States() = mQuadStates;
}

void GuiPainter::Flush()
{
    if (!mDrawing)
        return;
    mBatcher->Flush();
    for (BitmapFont* font : mOpenFonts)
    {
        if (font->GetBatchGlyphs() > 0)
            ++mDraws;
        font->ApplyStates(false);
        font->Flush();
    }
    if (!mOpenFonts.empty())
        mDevice->States() = mQuadStates;
    mOpenFonts.clear();
    mTextPending = false;
    // Text still open goes on in a new batch.
    if (mTextOpen && mTextFont)
    {
        mTextFont->Begin();
        mDevice->States() = mQuadStates;
        mOpenFonts.push_back(mTextFont);
    }
}

void GuiPainter::BeforeQuad(float left, float top, float right, float bottom)
{
    if (mTextPending && left < mTextRight && right > mTextLeft && top < mTextBottom && bottom > mTextTop)
        Flush();
}

void GuiPainter::AddTextBounds(const Rect& rect)
{
    const float left = float(std::min(rect.mLeft, rect.mRight)), right = float(std::max(rect.mLeft, rect.mRight));
    const float top = float(std::min(rect.mTop, rect.mBottom)), bottom = float(std::max(rect.mTop, rect.mBottom));
    if (!mTextPending)
    {
        mTextLeft = left;
        mTextTop = top;
        mTextRight = right;
        mTextBottom = bottom;
        mTextPending = true;
        return;
    }
    mTextLeft = std::min(mTextLeft, left);
    mTextTop = std::min(mTextTop, top);
    mTextRight = std::max(mTextRight, right);
    mTextBottom = std::max(mTextBottom, bottom);
}

void GuiPainter::SetColorArgb(uint32_t argb)
{
    mColor = argb;
    if (mBatcher)
        mBatcher->SetColor(argb);
}

void GuiPainter::SetColor(float r, float g, float b, float a) { SetColorArgb(Color(r, g, b, a).ToARGB()); }

void GuiPainter::SetTexture(GpuTexture* texture, uint32_t width, uint32_t height)
{
    mTexture = texture;
    mTextureWidth = width ? width : 1;
    mTextureHeight = height ? height : 1;
    if (mDrawing)
        mBatcher->SetTexture(texture);
}

void GuiPainter::AddQuad(float left, float top, float right, float bottom, float u0, float v0, float u1, float v1)
{
    BeforeQuad(left, top, right, bottom);
    mBatcher->Add(left, top, right, bottom, u0, v0, u1, v1);
}

void GuiPainter::DrawQuad(const Rect& texels)
{
    if (!mDrawing)
        return;
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    if (texels.mRight != texels.mLeft && texels.mBottom != texels.mTop)
    {
        u0 = float(texels.mLeft) / float(mTextureWidth);
        u1 = float(texels.mRight) / float(mTextureWidth);
        v0 = float(texels.mTop) / float(mTextureHeight);
        v1 = float(texels.mBottom) / float(mTextureHeight);
    }
    const float left = mUnits.GuiToPixelX(mBox.mX), right = mUnits.GuiToPixelX(mBox.mX + mBox.mWidth);
    const float top = mUnits.GuiToPixelY(mBox.mY), bottom = mUnits.GuiToPixelY(mBox.mY - mBox.mHeight);
    if (mBox.mRotation == 0.0f)
        return AddQuad(left, top, right, bottom, u0, v0, u1, v1);
    // Turned about the centre, in pixels so the quad keeps its shape on a wide screen.
    const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
    const float hx = (right - left) * 0.5f, hy = (bottom - top) * 0.5f;
    const float c = std::cos(mBox.mRotation), s = std::sin(mBox.mRotation);
    const float corners[4][2] = {{-hx, -hy}, {hx, -hy}, {-hx, hy}, {hx, hy}};
    float xy[8];
    for (int i = 0; i < 4; ++i)
    {
        xy[i * 2] = cx + corners[i][0] * c - corners[i][1] * s;
        xy[i * 2 + 1] = cy + corners[i][0] * s + corners[i][1] * c;
    }
    const float uv[8] = {u0, v0, u1, v0, u0, v1, u1, v1};
    AddCornerQuad(xy, uv);
}

void GuiPainter::DrawMappedQuad(const float corners[8], const float uv[8])
{
    if (!mDrawing)
        return;
    float xy[8];
    for (int i = 0; i < 8; i += 2)
    {
        xy[i] = mUnits.GuiToPixelX(corners[i]);
        xy[i + 1] = mUnits.GuiToPixelY(corners[i + 1]);
    }
    AddCornerQuad(xy, uv);
}

void GuiPainter::AddCornerQuad(const float xy[8], const float uv[8])
{
    float minX = xy[0], minY = xy[1], maxX = xy[0], maxY = xy[1];
    for (int i = 2; i < 8; i += 2)
    {
        minX = std::min(minX, xy[i]);
        maxX = std::max(maxX, xy[i]);
        minY = std::min(minY, xy[i + 1]);
        maxY = std::max(maxY, xy[i + 1]);
    }
    BeforeQuad(minX, minY, maxX, maxY);
    mBatcher->AddCorners(xy, uv);
}

void GuiPainter::DrawPixelQuad(float left, float top, float right, float bottom)
{
    if (mDrawing)
        AddQuad(left, top, right, bottom, 0.0f, 0.0f, 1.0f, 1.0f);
}

void GuiPainter::SetFont(int32_t index)
{
    if (index == mFontIndex)
        return;
    if (!mFonts.GetFont(index))
    {
        if (std::find(mWarnedFonts.begin(), mWarnedFonts.end(), index) == mWarnedFonts.end())
        {
            mWarnedFonts.push_back(index);
            Console::Instance().Log("GuiSystem: no font " + std::to_string(index), LogError);
        }
    }
    const bool reopen = mTextOpen;
    if (reopen)
        EndText();
    mFontIndex = index;
    if (reopen)
        BeginText();
}

void GuiPainter::BeginText()
{
    if (!mDrawing || mTextOpen)
        return;
    mTextOpen = true;
    mTextFont = mFonts.GetFont(mFontIndex);
    if (!mTextFont || std::find(mOpenFonts.begin(), mOpenFonts.end(), mTextFont) != mOpenFonts.end())
        return;
    // The font's batch stays open beside the quads'; Begin sets text states, the quads get
    // theirs back at once.
    mTextFont->Begin();
    mDevice->States() = mQuadStates;
    mOpenFonts.push_back(mTextFont);
}

void GuiPainter::EndText()
{
    if (!mTextOpen)
        return;
    if (mTextFont)
        mTextFont->ClearTextEffect();
    mTextOpen = false;
    mTextFont = nullptr;
}

namespace {

// Room for the glyphs of one more text in the font's open batch.
bool Fits(const BitmapFont& font, const char* text)
{
    return (font.GetBatchGlyphs() + std::strlen(text)) * 6 <= BitmapFont::kScreenVertices;
}

// The pixels aligned text may cover, as BitmapFont::DrawTextAligned places it.
Rect TextBounds(const BitmapFont& font, const char* text, const Rect& rect, int32_t alignment, float size)
{
    const float scale = font.GetTextScale() * size;
    const auto width = int32_t(std::ceil(font.GetLineWidth(text, scale, 0)));
    auto height = int32_t(std::ceil(font.GetTextHeight(text, scale)));
    const int32_t lineHeight = font.GetCellHeight() * 2;
    switch (alignment)
    {
    case 0:
    {
        const int32_t cx = (rect.mLeft + rect.mRight) / 2, cy = (rect.mTop + rect.mBottom) / 2;
        return Rect{cx - width / 2 - 1, cy - height / 2 - 1, cx + width / 2 + 1, cy + height / 2 + 1};
    }
    case 1:
    {
        // Wrapped at the rectangle's width: a line per width, and one more for a broken word.
        const int32_t rectWidth = std::max(rect.mRight - rect.mLeft, 1);
        height += (width / rectWidth + 1) * lineHeight;
        return Rect{rect.mLeft, rect.mTop, std::max(rect.mRight, rect.mLeft + width), rect.mTop + height};
    }
    case 3:
    {
        const int32_t cy = (rect.mTop + rect.mBottom) / 2;
        return Rect{rect.mRight - width - 1, cy - height / 2 - 1, rect.mRight, cy + height / 2 + 1};
    }
    default:
        return Rect{};
    }
}

} // namespace

void GuiPainter::DrawText(float x, float y, const char* text)
{
    if (!mTextOpen || !mTextFont || !text)
        return;
    if (!Fits(*mTextFont, text))
        Flush();
    mTextFont->DrawTextScreen(text, x, y, mColor, 1.0f, true, false, 0.0f);
    AddTextBounds(mTextFont->MeasureRect(text, int32_t(x), int32_t(y), mTextFont->GetTextScale()));
}

void GuiPainter::DrawTextInRect(const char* text, const Rect& rect, int32_t alignment, float scale)
{
    if (!mTextOpen || !mTextFont || !text)
        return;
    if (!Fits(*mTextFont, text))
        Flush();
    mTextFont->DrawTextAligned(text, rect, mColor, scale, alignment);
    AddTextBounds(TextBounds(*mTextFont, text, rect, alignment, scale));
}

void GuiPainter::SetTextEffect(int32_t mode, float time, const Vector3& values)
{
    if (mTextFont)
        mTextFont->SetTextEffect(mode, time, values);
}

void GuiPainter::ClearTextEffect()
{
    if (mTextFont)
        mTextFont->ClearTextEffect();
}
