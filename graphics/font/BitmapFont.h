#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "LOOM/math/Vector3.h"
#include "graphics/device/GraphicsDevice.h"

struct TextureData;

// Text from a 16 x 16 grid of glyph cells in one texture (cell i holds code 32 + i) with a
// per-glyph advance read from a companion file. Screen text of many calls is batched into one
// dynamic buffer; world text (HUD displays, font effects) goes through a second one.
class BitmapFont
{
public:
    static constexpr uint32_t kScreenVertices = 4096;
    static constexpr uint32_t kWorldVertices = 512;
    static constexpr int32_t kGlyphBase = -32;

    explicit BitmapFont(GraphicsDevice* device);
    ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // Texture file (DDS) and glyph-width file (256 records of 2 bytes). False when the texture
    // cannot be read; the font then draws nothing.
    bool Load(const std::string& textureFile, const std::string& widthFile);
    // The same from memory, for fonts made at run time.
    bool LoadTexture(const TextureData& data);
    void LoadWidths(const uint8_t* bytes, size_t size, const std::string& fileName);

    void RestoreDeviceObjects();
    void InvalidateDeviceObjects();
    void DeleteDeviceObjects();
    void ApplyStates(bool is3D);

    void Begin();
    void Flush();
    void DrawTextScreen(const char* text, float x, float y, uint32_t color, float scale, bool topLeft,
                        bool absoluteScale, float wrapWidth);
    void DrawTextSimple(const char* text, int32_t x, int32_t y, uint32_t color);
    // Alignment 1: top-left, wrapped to the width; 0: centred; 3: right, vertically centred.
    void DrawTextAligned(const char* text, const Rect& rect, uint32_t color, float scale, int32_t alignment);
    // In the device's world transform; a cell is height units tall. Over the scene: drawn
    // whatever stands in front of it (a label on the world, not a thing in it).
    void DrawText3D(const char* text, float x, float y, uint32_t color, float height, bool topLeft,
                    bool overScene = false);

    float GetTextHeight(const char* text, float scale) const;
    float GetLineWidth(const char* text, float scale, size_t start) const;
    float GetWordWidth(const char* text, float scale) const;
    Rect MeasureRect(const char* text, int32_t x, int32_t y, float scale) const;

    void SetTextEffect(int32_t mode, float time, const Vector3& values);
    void ClearTextEffect();
    // Moves a glyph and gives its size factor (0 hides it).
    static void GlyphEffect(float& x, float& y, float glyph, float time, int32_t mode, float glyphCount, float& size);

    bool HasTexture() const { return mTexture != nullptr; }
    int32_t GetCellWidth() const { return mCellWidth; }
    int32_t GetCellHeight() const { return mCellHeight; }
    int32_t GetGlyphWidth(char c) const { return mGlyphWidths[GlyphIndex(c)]; }
    float GetTextScale() const { return mTextScale; }
    bool IsBatchOpen() const { return mBatchOpen; }
    uint32_t GetBatchGlyphs() const { return mBatchGlyphs; }
    GpuTexture* GetTexture() const { return mTexture.get(); }

    static uint32_t GlyphIndex(char c);

private:
    struct GlyphRect
    {
        float mLeft, mTop, mRight, mBottom;
    };
    GlyphRect Glyph(uint32_t index) const;
    void SetDefaultWidths();
    void DrawWorldGlyphs(uint32_t glyphs);
    // Writes glyph i of count at the pen with the text effect; a negative cell height runs up
    // (world text). Answers how far the pen moves.
    float WriteGlyph(GraphicsDevice::TexturedVertex* out, char c, float penX, float penY, float scale, float cellHeight,
                     float z, uint32_t color, size_t i, float count) const;

    GraphicsDevice* mDevice;
    std::unique_ptr<GpuTexture> mTexture;
    std::unique_ptr<GpuBuffer> mScreenBuffer;
    std::unique_ptr<GpuBuffer> mWorldBuffer;
    std::unique_ptr<VertexLayout> mLayout;
    GraphicsDevice::TexturedVertex* mLocked = nullptr;
    int32_t mTextureWidth = 0;
    int32_t mTextureHeight = 0;
    int32_t mCellWidth = 0;
    int32_t mCellHeight = 0;
    std::array<int8_t, 256> mGlyphWidths{};
    RenderStates mTextStates;
    RenderStates mText3DStates;
    RenderStates mSavedStates;
    uint32_t mBatchGlyphs = 0;
    bool mBatchOpen = false;
    float mTextScale = 1.0f;
    int32_t mEffectMode = 0;
    float mEffectTime = 0.0f;
    Vector3 mEffectValues;
};
