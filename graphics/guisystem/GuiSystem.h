#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/math/Vector3.h"
#include "graphics/GuiSeam.h"
#include "graphics/guisystem/GuiQuads.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/resource/Texture.h"

class BitmapFont;
class FontList;
class GuiSystem;

// A widget's place in GUI units: x runs -1 (left) to 1 (right), y 0.75 (top) to -0.75
// (bottom). (mX, mY) is the top-left corner; the size grows right and down; the rotation
// (radians) turns the quad about its centre.
struct GuiBox
{
    float mX = 0.0f;
    float mY = 0.0f;
    float mWidth = 0.0f;
    float mHeight = 0.0f;
    float mRotation = 0.0f;
};

// The widget side of the GUI. It lives above graphics; the program installs its maker.
class GuiWidgetLayer
{
public:
    virtual ~GuiWidgetLayer() = default;
    // Hit test and dispatch for this frame; it reports the widget under the mouse through
    // GuiSystem::SetMouseOver. Runs only while the GUI is visible.
    virtual void Update(GuiSystem& gui) = 0;
    // Between BeginDraw and EndDraw.
    virtual void Render(GuiSystem& gui) = 0;
    // The tooltip of the widget under the mouse; empty for none.
    virtual std::string GetDescription() = 0;

    using Maker = std::unique_ptr<GuiWidgetLayer> (*)();
};

// The GUI system: the mouse, the visibility flag, the fonts, the full-screen backgrounds and
// the pointer, the mouse-over state, and the 2-D batcher widgets and the overlay draw with.
// Quads go through one batcher (one draw per texture change); text goes through each bitmap
// font's own buffer and is drawn over the quads when the batch ends, or earlier when a later
// quad would cover it, so a HUD costs one draw per texture and one per font.
class GuiSystem : public GuiSeam
{
public:
    static constexpr float kTop = 0.75f;

    // The widget layer every GuiSystem made from now on gets; null for none.
    static void SetLayerMaker(GuiWidgetLayer::Maker maker);
    // The loom's maker.
    static std::unique_ptr<GuiSeam> Make();

    GuiSystem();
    ~GuiSystem() override;
    GuiSystem(const GuiSystem&) = delete;
    GuiSystem& operator=(const GuiSystem&) = delete;

    // Reads the configuration (backgrounds, pointer); a missing file gives the defaults.
    void Init(GraphicsDevice* device, int width, int height) override;
    void Update() override;
    void Render() override;
    void Shutdown() override;
    void OnDeviceLost() override;
    void OnDeviceReset(int width, int height) override;
    float GetMouseX() const override { return mMouseX; }
    float GetMouseY() const override { return mMouseY; }
    bool HasMouse() const override { return mHasMouse; }
    bool IsVisible() const override { return mVisible; }
    void ToggleVisible() override { mVisible = !mVisible; }
    void ScreenToClip(float x, float y, float& clipX, float& clipY) const override;
    GuiSystem* AsGuiSystem() override { return this; }

    // The configuration file, relative to the data folder; set before Init.
    void SetConfigFile(std::string file) { mConfigFile = std::move(file); }
    // Fonts: a list of this system's own (tests, tools) or, by default, the overlay's.
    size_t LoadFonts(const std::string& configFile);
    FontList* GetFonts() const;
    BitmapFont* GetFont(int32_t index) const;

    void SetLayer(std::unique_ptr<GuiWidgetLayer> layer) { mLayer = std::move(layer); }
    GuiWidgetLayer* GetLayer() const { return mLayer.get(); }

    // Mouse-over state, reported by the widget layer each frame.
    void SetMouseOver(bool over, const std::string& name);
    bool IsMouseOverGui() const { return mMouseOver; }
    const std::string& GetMouseOverName() const { return mMouseOverName; }
    void OnlyShowMouseOnGui(bool only) { mOnlyOnGui = only; }
    bool GetOnlyShowMouseOnGui() const { return mOnlyOnGui; }
    // -1 or an index out of range: no background.
    void ActivateBackground(int32_t index);
    int32_t GetBackground() const { return mBackground; }
    size_t GetBackgroundCount() const { return mBackgrounds.size(); }
    const TextureRef& GetPointer() const { return mPointer; }
    float GetPointerSize() const { return mPointerSize; }

    // 2-D drawing. BeginDraw opens a batch; EndDraw flushes it and restores the device states.
    void BeginDraw();
    void EndDraw();
    // Draws what is waiting (quads, then text) so that someone else can draw over it.
    void Flush() { FlushAll(); }
    // Puts the batch's states back after someone else drew in between.
    void RestoreRenderStates();
    void SetColor(float r, float g, float b, float a);
    void SetColorArgb(uint32_t argb);
    uint32_t GetColor() const { return mColor; }
    // The texture quads sample; null draws the plain colour.
    void SetTexture(const TextureRef& texture);
    void SetTexture(GpuTexture* texture, uint32_t width, uint32_t height);
    void SetWidgetTransform(const GuiBox& box) { mBox = box; }
    const GuiBox& GetWidgetTransform() const { return mBox; }
    // The current box, sampling the texel rectangle of the current texture; an empty
    // rectangle samples the whole texture.
    void DrawQuad(const Rect& texels);
    // A quad by its corners in GUI units (top-left, top-right, bottom-left, bottom-right),
    // each with its own texture coordinates (u, v pairs, 0..1), for pictures their caller
    // turns or cuts; the widget transform is not used.
    void DrawMappedQuad(const float corners[8], const float uv[8]);
    // A quad in back-buffer pixels, whole texture.
    void DrawPixelQuad(float left, float top, float right, float bottom);
    void DrawFullScreenQuad();
    // Unknown font indices are logged once and draw nothing.
    void SetFont(int32_t index);
    void BeginText();
    // Pixels, top-left; current font and colour.
    void DrawText(float x, float y, const char* text);
    // Alignment as BitmapFont::DrawTextAligned takes it (0 centred, 1 top-left wrapped, 3 right).
    void DrawTextInRect(const char* text, const Rect& rect, int32_t alignment = 1);
    void SetTextEffect(int32_t mode, float time, const Vector3& values);
    void ClearTextEffect();
    void EndText();

    // Unit conversions; the screen is the back buffer.
    float GuiToPixelX(float x) const { return (x + 1.0f) * 0.5f * float(mWidth); }
    float GuiToPixelY(float y) const { return (kTop - y) / (2.0f * kTop) * float(mHeight); }
    float PixelToGuiX(float x) const { return x / float(mWidth) * 2.0f - 1.0f; }
    float PixelToGuiY(float y) const { return kTop - y / float(mHeight) * 2.0f * kTop; }
    Rect BoxToPixels(const GuiBox& box) const;
    // The mouse in GUI units.
    float GetMouseGuiX() const { return PixelToGuiX(mMouseX); }
    float GetMouseGuiY() const { return PixelToGuiY(mMouseY); }
    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }
    GraphicsDevice* GetDevice() const { return mDevice; }
    // Draw calls of the last BeginDraw..EndDraw (quads and text).
    uint32_t GetDrawCount() const { return mDraws; }

private:
    void ReadConfig();
    void SetSize(int width, int height);
    void RegisterCommands();
    // Draws what is pending: the quads, then the text over them.
    void FlushAll();
    // Text waits for the end of the batch unless a later quad lands on it.
    void BeforeQuad(float left, float top, float right, float bottom);
    void AddTextBounds(const Rect& rect);
    void AddQuad(float left, float top, float right, float bottom, float u0, float v0, float u1, float v1);
    // Corners in pixels, in the batcher's order.
    void AddCornerQuad(const float xy[8], const float uv[8]);

    GraphicsDevice* mDevice = nullptr;
    std::unique_ptr<GuiQuads> mBatcher;
    std::unique_ptr<FontList> mOwnFonts;
    std::unique_ptr<GuiWidgetLayer> mLayer;
    std::string mConfigFile;
    int mWidth = 1;
    int mHeight = 1;
    float mMouseX = 0.0f;
    float mMouseY = 0.0f;
    bool mHasMouse = false;
    bool mVisible = true;
    bool mMouseOver = false;
    std::string mMouseOverName;
    bool mOnlyOnGui = false;
    int32_t mBackground = -1;
    std::vector<TextureRef> mBackgrounds;
    TextureRef mPointer;
    float mPointerSize = 24.0f;
    bool mCommands = false;

    // Drawing state.
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
