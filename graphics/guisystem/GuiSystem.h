#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/math/Vector3.h"
#include "graphics/GuiSeam.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/guisystem/GuiFonts.h"
#include "graphics/guisystem/GuiLooks.h"
#include "graphics/guisystem/GuiMouse.h"
#include "graphics/guisystem/GuiPainter.h"
#include "graphics/guisystem/GuiUnits.h"
#include "graphics/resource/Texture.h"

class BitmapFont;
class FontList;
class GuiSystem;

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

// The GUI system: the visibility flag and the widget layer over its parts - the mouse, the
// fonts, the full-screen backgrounds and the pointer, and the 2-D painter widgets and the
// overlay draw with.
class GuiSystem : public GuiSeam
{
public:
    static constexpr float kTop = GuiUnits::kTop;

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
    float GetMouseX() const override { return mMouse.GetX(); }
    float GetMouseY() const override { return mMouse.GetY(); }
    bool HasMouse() const override { return mMouse.IsPresent(); }
    bool IsVisible() const override { return mVisible; }
    void ToggleVisible() override { mVisible = !mVisible; }
    void ScreenToClip(float x, float y, float& clipX, float& clipY) const override;
    GuiSystem* AsGuiSystem() override { return this; }

    // The configuration file, relative to the data folder; set before Init.
    void SetConfigFile(std::string file) { mConfigFile = std::move(file); }
    // Fonts: a list of this system's own (tests, tools) or, by default, the overlay's.
    size_t LoadFonts(const std::string& configFile) { return mFonts.Load(configFile, mPainter.GetDevice()); }
    FontList* GetFonts() const { return mFonts.GetList(); }
    BitmapFont* GetFont(int32_t index) const { return mFonts.GetFont(index); }

    void SetLayer(std::unique_ptr<GuiWidgetLayer> layer) { mLayer = std::move(layer); }
    GuiWidgetLayer* GetLayer() const { return mLayer.get(); }

    // Mouse-over state, reported by the widget layer each frame.
    void SetMouseOver(bool over, const std::string& name) { mMouse.SetOver(over, name); }
    bool IsMouseOverGui() const { return mMouse.IsOver(); }
    const std::string& GetMouseOverName() const { return mMouse.GetOverName(); }
    void OnlyShowMouseOnGui(bool only) { mMouse.OnlyShowOnGui(only); }
    bool GetOnlyShowMouseOnGui() const { return mMouse.GetOnlyShowOnGui(); }
    // -1 or an index out of range: no background.
    void ActivateBackground(int32_t index) { mLooks.ActivateBackground(index); }
    int32_t GetBackground() const { return mLooks.GetBackground(); }
    size_t GetBackgroundCount() const { return mLooks.GetBackgroundCount(); }
    const TextureRef& GetPointer() const { return mLooks.GetPointer(); }
    float GetPointerSize() const { return mLooks.GetPointerSize(); }

    // 2-D drawing. BeginDraw opens a batch; EndDraw flushes it and restores the device states.
    void BeginDraw() { mPainter.BeginDraw(); }
    void EndDraw() { mPainter.EndDraw(); }
    // Draws what is waiting (quads, then text) so that someone else can draw over it.
    void Flush() { mPainter.Flush(); }
    // Puts the batch's states back after someone else drew in between.
    void RestoreRenderStates() { mPainter.RestoreRenderStates(); }
    void SetColor(float r, float g, float b, float a);
    void SetColorArgb(uint32_t argb) { mPainter.SetColorArgb(argb); }
    uint32_t GetColor() const { return mPainter.GetColor(); }
    // The texture quads sample; null draws the plain colour.
    void SetTexture(const TextureRef& texture)
    {
        mPainter.SetTexture(texture.GetTexture(), texture.GetWidth(), texture.GetHeight());
    }
    void SetTexture(GpuTexture* texture, uint32_t width, uint32_t height)
    {
        mPainter.SetTexture(texture, width, height);
    }
    void SetWidgetTransform(const GuiBox& box) { mPainter.SetWidgetTransform(box); }
    const GuiBox& GetWidgetTransform() const { return mPainter.GetWidgetTransform(); }
    // The current box, sampling the texel rectangle of the current texture; an empty
    // rectangle samples the whole texture.
    void DrawQuad(const Rect& texels) { mPainter.DrawQuad(texels); }
    // A quad by its corners in GUI units (top-left, top-right, bottom-left, bottom-right),
    // each with its own texture coordinates (u, v pairs, 0..1), for pictures their caller
    // turns or cuts; the widget transform is not used.
    void DrawMappedQuad(const float corners[8], const float uv[8]) { mPainter.DrawMappedQuad(corners, uv); }
    // A quad in back-buffer pixels, whole texture.
    void DrawPixelQuad(float left, float top, float right, float bottom)
    {
        mPainter.DrawPixelQuad(left, top, right, bottom);
    }
    void DrawFullScreenQuad() { DrawPixelQuad(0.0f, 0.0f, float(mUnits.mWidth), float(mUnits.mHeight)); }
    // Unknown font indices are logged once and draw nothing.
    void SetFont(int32_t index) { mPainter.SetFont(index); }
    void BeginText() { mPainter.BeginText(); }
    // Pixels, top-left; current font and colour.
    void DrawText(float x, float y, const char* text) { mPainter.DrawText(x, y, text); }
    // Alignment as BitmapFont::DrawTextAligned takes it (0 centred, 1 top-left wrapped, 3 right);
    // the scale multiplies the font's own.
    void DrawTextInRect(const char* text, const Rect& rect, int32_t alignment = 1, float scale = 1.0f)
    {
        mPainter.DrawTextInRect(text, rect, alignment, scale);
    }
    void SetTextEffect(int32_t mode, float time, const Vector3& values) { mPainter.SetTextEffect(mode, time, values); }
    void ClearTextEffect() { mPainter.ClearTextEffect(); }
    void EndText() { mPainter.EndText(); }

    // Unit conversions; the screen is the back buffer.
    float GuiToPixelX(float x) const { return mUnits.GuiToPixelX(x); }
    float GuiToPixelY(float y) const { return mUnits.GuiToPixelY(y); }
    float PixelToGuiX(float x) const { return mUnits.PixelToGuiX(x); }
    float PixelToGuiY(float y) const { return mUnits.PixelToGuiY(y); }
    Rect BoxToPixels(const GuiBox& box) const { return mUnits.BoxToPixels(box); }
    // The mouse in GUI units.
    float GetMouseGuiX() const { return PixelToGuiX(mMouse.GetX()); }
    float GetMouseGuiY() const { return PixelToGuiY(mMouse.GetY()); }
    int GetWidth() const { return mUnits.mWidth; }
    int GetHeight() const { return mUnits.mHeight; }
    GraphicsDevice* GetDevice() const { return mPainter.GetDevice(); }
    // Draw calls of the last BeginDraw..EndDraw (quads and text).
    uint32_t GetDrawCount() const { return mPainter.GetDrawCount(); }

private:
    void RegisterCommands();
    // The tip of the widget under the mouse beside the pointer: wrapped, on a dark card, on the screen.
    void RenderTooltip();

    GuiUnits mUnits;
    GuiMouse mMouse;
    GuiFonts mFonts;
    GuiLooks mLooks;
    GuiPainter mPainter{mUnits, mFonts};
    std::unique_ptr<GuiWidgetLayer> mLayer;
    std::string mConfigFile;
    bool mVisible = true;
};
