#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "LOOM/math/Vector3.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/guisystem/GuiQuads.h"
#include "graphics/guisystem/GuiUnits.h"
#include "graphics/resource/Texture.h"

class BitmapFont;
class GuiFonts;

// The GUI's 2-D drawing. Quads go through one batcher (one draw per texture change); text goes
// through each bitmap font's own buffer and is drawn over the quads when the batch ends, or
// earlier when a later quad would cover it, so a HUD costs one draw per texture and one per font.
class GuiPainter
{
public:
    GuiPainter(const GuiUnits& units, const GuiFonts& fonts) : mUnits(units), mFonts(fonts) {}

    // Without a device nothing is drawn.
    void Init(GraphicsDevice* device);
    void Shutdown();
    void OnDeviceLost();
    void OnDeviceReset();
    bool CanDraw() const { return mBatcher != nullptr; }
    GraphicsDevice* GetDevice() const { return mDevice; }

    void BeginDraw();
    void EndDraw();
    // Draws what is pending: the quads, then the text over them.
    void Flush();
    void RestoreRenderStates();
    void SetColorArgb(uint32_t argb);
    void SetColor(float r, float g, float b, float a);
    // The texture quads sample; null draws the plain colour.
    void SetTexture(GpuTexture* texture, uint32_t width, uint32_t height);
    void SetTexture(const TextureRef& texture)
    {
        SetTexture(texture.GetTexture(), texture.GetWidth(), texture.GetHeight());
    }
    void SetWidgetTransform(const GuiBox& box) { mBox = box; }
    // The current box, sampling the texel rectangle of the current texture; an empty
    // rectangle samples the whole texture.
    void DrawQuad(const Rect& texels);
    // A quad by its corners in GUI units (top-left, top-right, bottom-left, bottom-right),
    // each with its own texture coordinates (u, v pairs, 0..1), for pictures their caller
    // turns or cuts; the widget transform is not used.
    void DrawMappedQuad(const float corners[8], const float uv[8]);
    // A quad in back-buffer pixels, whole texture.
    void DrawPixelQuad(float left, float top, float right, float bottom);
    // Unknown font indices are logged once and draw nothing.
    void SetFont(int32_t index);
    void BeginText();
    // Pixels, top-left; current font and colour.
    void DrawText(float x, float y, const char* text);
    // Alignment as BitmapFont::DrawTextAligned takes it (0 centred, 1 top-left wrapped, 3 right);
    // the scale multiplies the font's own.
    void DrawTextInRect(const char* text, const Rect& rect, int32_t alignment = 1, float scale = 1.0f);
    void SetTextEffect(int32_t mode, float time, const Vector3& values);
    void ClearTextEffect();
    void EndText();
    // Draw calls of the last BeginDraw..EndDraw (quads and text).
    uint32_t GetDrawCount() const { return mDraws; }

private:
    // Text waits for the end of the batch unless a later quad lands on it.
    void BeforeQuad(float left, float top, float right, float bottom);
    void AddTextBounds(const Rect& rect);
    void AddQuad(float left, float top, float right, float bottom, float u0, float v0, float u1, float v1);
    // Corners in pixels, in the batcher's order.
    void AddCornerQuad(const float xy[8], const float uv[8]);

    const GuiUnits& mUnits;
    const GuiFonts& mFonts;
    GraphicsDevice* mDevice = nullptr;
    std::unique_ptr<GuiQuads> mBatcher;
    bool mDrawing = false;
    uint32_t mColor = 0xFFFFFFFF;
    GpuTexture* mTexture = nullptr;
    uint32_t mTextureWidth = 1;
    uint32_t mTextureHeight = 1;
    GuiBox mBox;
    int32_t mFontIndex = 0;
    BitmapFont* mTextFont = nullptr;
    bool mTextOpen = false;
    uint32_t mDraws = 0;
    RenderStates mQuadStates;
    RenderStates mSavedStates;
    // Fonts with glyphs waiting, and the pixels those glyphs may cover.
    std::vector<BitmapFont*> mOpenFonts;
    bool mTextPending = false;
    float mTextLeft = 0.0f;
    float mTextTop = 0.0f;
    float mTextRight = 0.0f;
    float mTextBottom = 0.0f;
    std::vector<int32_t> mWarnedFonts;
};
