#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/math/Color.h"
#include "LOOM/math/Vector3.h"
#include "graphics/overlay/ConsoleOverlay.h"

class Cog;
class FontList;
class GraphicsDevice;
class GraphicsLoom;
class QuadBatcher;

// The graphics console commands, the console overlay with its fonts, and the screenshots.
// Registers its commands at construction and removes them at destruction.
class GraphicsCommands
{
public:
    static constexpr int32_t kMaxScreenshots = 100;
    // Radians per second the console's IK aim turns at.
    static constexpr float kGenIKTurnRate = 2.0f;

    explicit GraphicsCommands(GraphicsLoom& loom);
    ~GraphicsCommands();
    GraphicsCommands(const GraphicsCommands&) = delete;
    GraphicsCommands& operator=(const GraphicsCommands&) = delete;

    // Device hand-out: fonts from the GUI configuration and the overlay's quads.
    void Init(GraphicsDevice* device, const std::string& guiConfig);
    void Shutdown();
    // The overlay and statistics over the finished frame.
    void RenderStats(float dt, bool loading, const FrameStats& stats);

    // Commands.
    void Wire();
    void Simple() {}
    void Shadow();
    void FPS();
    void HUD();
    void Particles();
    void Bounding();
    void Objs();
    void Tera();
    void Anim();
    void RenderLoading();
    void DoneLoading();
    Cog* ScreenPick();
    void GenIK(Cog* cog, Vector3 target);
    bool ScreenCap();
    void DoDeferred(bool on);
    void AddLine(Vector3 from, Vector3 to);
    void SetLOD(float limit);
    bool SaveInfo(std::string file);
    void SetShadows(bool on);
    Vector3 GetTerrainHeight(Vector3 position);
    Vector3 GetTerrainIntersection();
    void ConsoleTrans(float transparency);
    void TextColor(Color color) { mOverlay.SetTextColor(color); }
    void ConsoleBack(std::string file);
    void ConvertFile(std::string in, std::string out);
    void TerraInfo(std::string file);

    ConsoleOverlay& Overlay() { return mOverlay; }
    // The overlay's 2-D quads; null without a device.
    QuadBatcher* Quads() const { return mQuads.get(); }
    FontList& Fonts() { return *mFonts; }
    int32_t GetScreenshotCounter() const { return mScreenshotCounter; }

private:
    GraphicsLoom& mLoom;
    GraphicsDevice* mDevice = nullptr;
    ConsoleOverlay mOverlay;
    std::unique_ptr<FontList> mFonts;
    std::unique_ptr<QuadBatcher> mQuads;
    int32_t mScreenshotCounter = 0;
    std::vector<std::string> mNames;
};
