#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "LOOM/math/Color.h"

class BitmapFont;
class GpuTexture;
class QuadBatcher;
class GraphicsDevice;

// What the statistics lines show; the loom fills it from the core engine and its counters.
struct FrameStats
{
    int32_t mCogs = 0;
    int64_t mRunTimeMs = 0;
    float mFrameRate = 0.0f;
    float mGraphicsTime = 0.0f;
    float mPhysicsTime = 0.0f;
    float mLogicTime = 0.0f;
    float mFrameTime = 0.0f;
    uint32_t mTriangles = 0;
    uint32_t mParticles = 0;
    bool mHasTerrain = false;
    uint32_t mPatches = 0;
    // The player paused the game.
    bool mPaused = false;
};

// The console panel that slides down over the frame, its input line, and the statistics and
// debug values. Text is drawn at absolute scale 1: the layout assumes an 8-pixel monospace font.
class ConsoleOverlay
{
public:
    static constexpr float kHidden = -240.0f;
    static constexpr float kSlideSpeed = 350.0f;
    static constexpr int32_t kLinePitch = 12;
    static constexpr int32_t kMaxLines = 18;

    // Where the panel is and how it looks; the loom's scene keeps these.
    struct Look
    {
        float& mPosition;
        float mTransparency;
        GpuTexture* mBackground;
        // The 2-D batcher the background quad goes through; none, no background.
        QuadBatcher* mQuads;
    };

    ConsoleOverlay();
    ~ConsoleOverlay() = default;

    void SetDevice(GraphicsDevice* device);
    void SetTextColor(const Color& color) { mTextColor = color; }
    const Color& GetTextColor() const { return mTextColor; }

    // One frame of the overlay: dt in seconds of the core timer; while loading the panel sits
    // near the bottom of the screen.
    void Render(BitmapFont* font, float dt, bool loading, bool showStats, const FrameStats& stats, Look look);
    // History lines drawn by the last Render.
    int32_t GetLinesDrawn() const { return mLinesDrawn; }

    // Left edge of the statistics column on a screen this wide.
    static float StatsLeft(int32_t screenWidth);
    // How much of a column line goes on its first row so that the row ends inside the screen:
    // all of it when it fits, else up to the last space that fits; a longer word is cut.
    static size_t RowLength(std::string_view line, int32_t screenWidth);

private:
    void DrawBackground(QuadBatcher& quads, GpuTexture* texture, float transparency);
    // Returns the height the lines took.
    float DrawStats(BitmapFont& font, const FrameStats& stats, uint32_t color);
    // Draws a line of the column in as many rows as it needs; returns the y under them.
    float DrawColumnLine(BitmapFont& font, std::string_view line, float y, uint32_t color);
    float StatsY() const;

    GraphicsDevice* mDevice = nullptr;
    Color mTextColor{1.0f, 1.0f, 1.0f, 1.0f};
    int32_t mLinesDrawn = 0;
};
