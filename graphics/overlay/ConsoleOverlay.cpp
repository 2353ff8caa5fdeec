#include "graphics/overlay/ConsoleOverlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "LOOM/console/Console.h"
#include "LOOM/math/Matrix4.h"
#include "graphics/QuadBatcher.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/font/BitmapFont.h"

namespace {

// The statistics and debug values take the right edge between the HUD's counters and its
// mini-map, clear of the menu windows in the middle and the HUD's buttons: shares of the screen.
constexpr float kStatsLeft = 0.8f;
constexpr float kStatsTop = 0.18f;
constexpr float kStatsMargin = 4.0f;
constexpr float kTextX = 10.0f;
constexpr float kPausedScale = 2.0f;
constexpr float kGlyphWidth = 8.0f;

void Text(BitmapFont& font, const char* text, float x, float y, uint32_t color)
{
    font.DrawTextScreen(text, x, y, color, 1.0f, true, true, 0.0f);
}

// A share of the frame as a whole percentage; nothing measured shows 0. Part and whole are
// measured apart, so rounding may put the part a little over the whole: a share stops at 100.
int32_t Percent(float part, float whole)
{
    return whole > 0.0f ? std::clamp(static_cast<int32_t>(std::floor(part / whole * 100.0f)), 0, 100) : 0;
}

} // namespace

ConsoleOverlay::ConsoleOverlay() = default;

void ConsoleOverlay::SetDevice(GraphicsDevice* device) { mDevice = device; }

void ConsoleOverlay::DrawBackground(QuadBatcher& quads, GpuTexture* texture, float transparency)
{
    if (!texture)
        return;
    quads.Begin();
    quads.SetTexture(texture);
    quads.SetColor(Color(1.0f, 1.0f, 1.0f, transparency).ToARGB());
    quads.AddQuad(0.0f, 0.0f, static_cast<float>(mDevice->GetWidth()), static_cast<float>(mDevice->GetHeight()));
    quads.End();
}

void ConsoleOverlay::Render(BitmapFont* font, float dt, bool loading, bool showStats, const FrameStats& stats,
                            Look look)
{
    const Console& console = Console::Instance();
    float& position = look.mPosition;
    if (loading)
        position = static_cast<float>(mDevice ? mDevice->GetHeight() : 0) - 230.0f;
    else if (console.GetShowConsole())
        position = std::min(0.0f, position + kSlideSpeed * dt);
    else
        position = std::max(kHidden, position - kSlideSpeed * dt);
    mLinesDrawn = 0;
    if (!mDevice)
        return;
    mDevice->SetTransform(TransformKind::View, Matrix4());
    mDevice->SetTransform(TransformKind::Projection, Matrix4());

    if (position > kHidden && look.mQuads)
        DrawBackground(*look.mQuads, look.mBackground, look.mTransparency);
    if (!font)
        return;
    font->Begin();
    const uint32_t textColor = mTextColor.ToARGB();
    if (position > kHidden)
    {
        // Eighteen lines ending at the newest one, moved back by the scroll offset; slots the
        // log has not filled yet stay blank.
        const EntryRing& ring = console.GetEntries();
        const size_t scroll = static_cast<size_t>(std::max(0, console.GetScroll()));
        for (int32_t k = 0; k < kMaxLines; ++k)
        {
            const size_t fromNewest = scroll + static_cast<size_t>(kMaxLines - 1 - k);
            if (fromNewest < ring.Size())
                Text(*font, ring.FromNewest(fromNewest).mText.c_str(), kTextX,
                     position + static_cast<float>(kLinePitch * k), textColor);
            ++mLinesDrawn;
        }
    }
    float statsEnd = 0.0f;
    if (showStats)
        statsEnd = DrawStats(*font, stats, textColor);
    if (stats.mPaused)
    {
        // Centred: nothing else on the screen says the game stands still.
        const char* paused = "PAUSED";
        const float width = kGlyphWidth * kPausedScale * static_cast<float>(std::strlen(paused));
        font->DrawTextScreen(paused, (static_cast<float>(mDevice->GetWidth()) - width) * 0.5f,
                             static_cast<float>(mDevice->GetHeight() - kLinePitch) * 0.5f, textColor, kPausedScale,
                             true, true, 0.0f);
    }
    if (console.GetInputActive())
    {
        const float y = (console.GetShowConsole() ? position : 0.0f) + static_cast<float>(kLinePitch * mLinesDrawn);
        Text(*font, ">", kTextX, y, textColor);
        Text(*font, console.InputLine().Text().c_str(), 15.0f, y, textColor);
        if ((stats.mRunTimeMs / 500) % 2 == 0)
            Text(*font, "|", static_cast<float>(8 * console.InputLine().Cursor() + 12), y, textColor);
    }
    if (showStats)
    {
        // Under the statistics, in their column.
        char line[256];
        float y = statsEnd;
        for (const auto& [name, value] : Console::Instance().GetDebugValues().All())
        {
            std::snprintf(line, sizeof(line), "%s: %s", name.c_str(), value.c_str());
            y = DrawColumnLine(*font, line, y, textColor);
        }
    }
    font->Flush();
}

float ConsoleOverlay::StatsLeft(int32_t screenWidth)
{
    return std::floor(static_cast<float>(screenWidth) * kStatsLeft) + kStatsMargin;
}

size_t ConsoleOverlay::RowLength(std::string_view line, int32_t screenWidth)
{
    const float room = static_cast<float>(screenWidth) - StatsLeft(screenWidth);
    const size_t fits = static_cast<size_t>(std::max(1.0f, std::floor(room / kGlyphWidth)));
    // Trailing blanks draw nothing, so they may run past the edge.
    const size_t last = line.find_last_not_of(' ');
    if (last == std::string_view::npos || last < fits)
        return line.size();
    const size_t space = line.rfind(' ', fits);
    return space != std::string_view::npos && space > 0 ? space : fits;
}

// The column is narrow (a fifth of the screen): a line too long for it goes on in the rows under
// it rather than past the screen's edge.
float ConsoleOverlay::DrawColumnLine(BitmapFont& font, std::string_view line, float y, uint32_t color)
{
    const int32_t width = mDevice->GetWidth();
    const float x = StatsLeft(width);
    char row[256];
    do
    {
        const size_t length = std::min(RowLength(line, width), sizeof(row) - 1);
        line.copy(row, length);
        row[length] = '\0';
        Text(font, row, x, y, color);
        y += kLinePitch;
        line.remove_prefix(length);
        line.remove_prefix(std::min(line.size(), line.find_first_not_of(' ')));
    } while (!line.empty());
    return y;
}

float ConsoleOverlay::StatsY() const { return std::floor(static_cast<float>(mDevice->GetHeight()) * kStatsTop); }

float ConsoleOverlay::DrawStats(BitmapFont& font, const FrameStats& stats, uint32_t color)
{
    char line[96];
    float y = StatsY();
    auto put = [&]() { y = DrawColumnLine(font, line, y, color); };
    std::snprintf(line, sizeof(line), "Compositions: %d ", stats.mCogs);
    put();
    const long long seconds = stats.mRunTimeMs / 1000;
    std::snprintf(line, sizeof(line), "Run Time: %02lld:%02lld", seconds / 60, seconds % 60);
    put();
    std::snprintf(line, sizeof(line), "Frame Rate: %ld ", std::lround(stats.mFrameRate));
    put();
    std::snprintf(line, sizeof(line), "Triangles: %u", stats.mTriangles);
    put();
    const double tps = stats.mGraphicsTime > 0.0f ? std::floor(stats.mTriangles / double(stats.mGraphicsTime)) : 0.0;
    std::snprintf(line, sizeof(line), "TPS: %.0f", tps);
    put();
    std::snprintf(line, sizeof(line), "Particles: %u", stats.mParticles);
    put();
    std::snprintf(line, sizeof(line), "Graphics Time: %d%% ", Percent(stats.mGraphicsTime, stats.mFrameTime));
    put();
    std::snprintf(line, sizeof(line), "Physics Time: %d%% ", Percent(stats.mPhysicsTime, stats.mFrameTime));
    put();
    std::snprintf(line, sizeof(line), "Logic Time: %d%% ", Percent(stats.mLogicTime, stats.mFrameTime));
    put();
    if (stats.mHasTerrain)
    {
        std::snprintf(line, sizeof(line), "Tiles : %u", stats.mPatches);
        put();
    }
    return y;
}
