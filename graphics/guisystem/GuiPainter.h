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
    uint32_t GetColor() const { return mColor; }
    void SetTexture(GpuTexture* texture, uint32_t width, uint32_t height);
    void SetWidgetTransform(const GuiBox& box) { mBox = box; }
    const GuiBox& GetWidgetTransform() const { return mBox; }
    void DrawQuad(const Rect& texels);
    void DrawMappedQuad(const float corners[8], const float uv[8]);
    void DrawPixelQuad(float left, float top, float right, float bottom);
    void SetFont(int32_t index);
    void BeginText();
    void DrawText(float x, float y, const char* text);
    void DrawTextInRect(const char* text, const Rect& rect, int32_t alignment, float scale);
    void SetTextEffect(int32_t mode, float time, const Vector3& values);
    void ClearTextEffect();
    void EndText();
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
