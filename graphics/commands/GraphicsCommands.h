#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/math/Color.h"
#include "LOOM/math/Vector3.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/overlay/ConsoleOverlay.h"

class Cog;
class FontList;
class GraphicsLoom;

// The loom's render switches that the console flips.
struct RenderToggles
{
    bool mWireframe = false;
    bool mShadows = true;
    bool mParticles = true;
    bool mBounding = false;
    bool mModelObjects = true;
    bool mTerrain = true;
    bool mAnimations = true;
    bool mHud = true;
    float mLodLimit = 0.0f;
};

// The graphics console commands, the console overlay with its fonts, and the screenshots.
// Registers its commands at construction and removes them at destruction.
class GraphicsCommands
{
public:
    static constexpr int32_t kMaxScreenshots = 100;

    explicit GraphicsCommands(GraphicsLoom& loom);
    ~GraphicsCommands();
    GraphicsCommands(const GraphicsCommands&) = delete;
    GraphicsCommands& operator=(const GraphicsCommands&) = delete;

    // Device hand-out: fonts from the GUI configuration, the overlay's background.
    void Init(GraphicsDevice* device, const std::string& guiConfig, const std::string& consoleBackground);
    void Shutdown();
    // The overlay and statistics over the finished frame.
    void RenderStats(float dt, bool loading, const FrameStats& stats);
    // Debug lines in world space with the device's view and projection.
    void DrawLines();

    // Commands.
    void Wire() { mToggles.mWireframe = !mToggles.mWireframe; }
    void Simple() {}
    void Shadow() { mToggles.mShadows = !mToggles.mShadows; }
    void FPS() { mOverlay.ToggleStats(); }
    void HUD() { mToggles.mHud = !mToggles.mHud; }
    void Particles() { mToggles.mParticles = !mToggles.mParticles; }
    void Bounding() { mToggles.mBounding = !mToggles.mBounding; }
    void Objs() { mToggles.mModelObjects = !mToggles.mModelObjects; }
    void Tera() { mToggles.mTerrain = !mToggles.mTerrain; }
    void Anim() { mToggles.mAnimations = !mToggles.mAnimations; }
    void RenderLoading();
    void DoneLoading();
    Cog* ScreenPick();
    void GenIK(Cog* cog, Vector3 target);
    void ScreenCap();
    void AddLine(Vector3 from, Vector3 to);
    void SetLOD(float limit) { mToggles.mLodLimit = limit; }
    void SaveInfo(std::string file);
    void SetShadows(bool on) { mToggles.mShadows = on; }
    Vector3 GetTerrainHeight(Vector3 position);
    Vector3 GetTerrainIntersection();
    void ConsoleTrans(float transparency) { mOverlay.SetTransparency(transparency); }
    void TextColor(Color color) { mOverlay.SetTextColor(color); }
    void ConsoleBack(std::string file) { mOverlay.SetBackground(file); }
    void ConvertFile(std::string in, std::string out);
    void TerraInfo(std::string file);

    RenderToggles& Toggles() { return mToggles; }
    ConsoleOverlay& Overlay() { return mOverlay; }
    FontList& Fonts() { return *mFonts; }
    int32_t GetScreenshotCounter() const { return mScreenshotCounter; }
    size_t GetLineCount() const { return mLines.size(); }

private:
    GraphicsLoom& mLoom;
    GraphicsDevice* mDevice = nullptr;
    RenderToggles mToggles;
    ConsoleOverlay mOverlay;
    std::unique_ptr<FontList> mFonts;
    int32_t mScreenshotCounter = 0;
    std::vector<Vector3> mLines;
    std::vector<GraphicsDevice::ColorVertex> mLineVertices;
    std::unique_ptr<VertexLayout> mLineLayout;
    std::vector<std::string> mNames;
};
