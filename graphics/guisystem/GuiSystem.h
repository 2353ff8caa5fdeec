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

    void SetLayer(std::unique_ptr<GuiWidgetLayer> layer) { mLayer = std::move(layer); }
    GuiWidgetLayer* GetLayer() const { return mLayer.get(); }

    // The parts. The painter draws in 2-D between BeginDraw and EndDraw; the units convert
    // between GUI units and the back buffer's pixels; the widget layer reports to the mouse
    // what it is over each frame.
    GuiPainter& Painter() { return mPainter; }
    const GuiUnits& Units() const { return mUnits; }
    GuiMouse& Mouse() { return mMouse; }
    const GuiMouse& Mouse() const { return mMouse; }
    GuiLooks& Looks() { return mLooks; }
    const GuiFonts& Fonts() const { return mFonts; }

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
