#include "graphics/DisplayControl.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "graphics/GraphicsLoom.h"
#include "platform/PlatformWindow.h"

namespace {
// Samples a settings change asks for when multisampling is on.
constexpr int32_t kChangeSamples = 2;

// The console types whole numbers as signed ones and scripts pass them as the signature says:
// either is a size in pixels, when it is one.
class ResolutionCommand final : public ConsoleCommand
{
public:
    explicit ResolutionCommand(DisplayControl& display) : mDisplay(display) {}

    uint32_t Signature() const override { return MakeSignature<uint32_t, uint32_t>(); }

    void Execute(ParamBuffer& params) override
    {
        params.Rewind();
        int64_t size[2] = {0, 0};
        bool numbers = params.GetCount() == 2;
        for (uint32_t i = 0; i < 2 && numbers; ++i)
        {
            const uint8_t tag = params.GetTag(i);
            if (tag == ParamTraits<uint32_t>::kCode)
                size[i] = ParamTraits<uint32_t>::Pop(params);
            else if (tag == ParamTraits<int32_t>::kCode)
                size[i] = ParamTraits<int32_t>::Pop(params);
            else
                numbers = false;
        }
        params.Clear();
        if (!numbers)
        {
            Console::Instance().Log("SetResolution: expected a width and a height in pixels, as in "
                                    "\"SetResolution 1024 768\"",
                                    LogError);
            return;
        }
        Set(size[0], size[1]);
    }

    void Execute() override { Set(0, 0); }

private:
    void Set(int64_t width, int64_t height)
    {
        // A size the device cannot take is its to refuse; a negative one is no size at all.
        if (width < 0 || height < 0 || width > INT32_MAX || height > INT32_MAX)
        {
            Console::Instance().Log("SetResolution: " + std::to_string(width) + " x " + std::to_string(height) +
                                        " is no size in pixels; the resolution stays as it is",
                                    LogError);
            return;
        }
        // Buffers the size asked would take gigabytes the screen cannot show: the display's own
        // size is the most there is.
        const int64_t most[2] = {gPlatformWindow ? gPlatformWindow->GetScreenWidth() : 0,
                                 gPlatformWindow ? gPlatformWindow->GetScreenHeight() : 0};
        if (most[0] > 0 && most[1] > 0 && (width > most[0] || height > most[1]))
        {
            const int64_t asked[2] = {width, height};
            width = std::min(width, most[0]);
            height = std::min(height, most[1]);
            Console::Instance().Log("SetResolution: " + std::to_string(asked[0]) + " x " + std::to_string(asked[1]) +
                                        " is larger than the display (" + std::to_string(most[0]) + " x " +
                                        std::to_string(most[1]) + "): clamped to " + std::to_string(width) + " x " +
                                        std::to_string(height),
                                    LogError);
        }
        mDisplay.SetResolution(uint32_t(width), uint32_t(height));
    }

    DisplayControl& mDisplay;
};
} // namespace

std::unique_ptr<ConsoleCommand> DisplayControl::MakeResolutionCommand()
{
    return std::make_unique<ResolutionCommand>(*this);
}

void DisplayControl::MarkLost()
{
    mLost = true;
    if (gCoreEngine)
        gCoreEngine->SetDisplayLost(true);
}

void DisplayControl::ResetDevice()
{
    GraphicsDevice* device = mLoom.GetDevice();
    if (!device || device->Loss().TestCooperativeLevel() != CooperativeLevel::NotReset)
        return;
    mLoom.OnDeviceLost();
    device->Reset(mLoom.GetScene()->mPresent);
    mLoom.OnDeviceReset();
    mLost = false;
    if (gCoreEngine)
        gCoreEngine->SetDisplayLost(false);
}

void DisplayControl::ResetWith(const DeviceDesc& previous, const char* failText)
{
    GraphicsDevice& device = *mLoom.GetDevice();
    DeviceDesc& present = mLoom.GetScene()->mPresent;
    mLoom.OnDeviceLost();
    const std::string refusal = device.ResetRefusal(present);
    if (!device.Reset(present))
    {
        const std::string why = refusal.empty()
            ? "the device could not make a back buffer of " + std::to_string(present.mWidth) + " x " +
                std::to_string(present.mHeight) + " with " + std::to_string(present.mSamples) + " samples a pixel"
            : refusal;
        Console::Instance().Log(std::string(failText) + ": " + why + "; the previous settings stay", LogGeneral);
        present = previous;
        mLoom.GetToggles().mVSync = previous.mVSync;
        if (!device.Reset(present) && AssertFailedString("SUCCEEDED(hr)", "GraphicsLoom", __LINE__, "Device Failure"))
            DebugBreakIfAttached();
    }
    mLoom.OnDeviceReset();
}

void DisplayControl::GetDisplaySettings(DisplaySettings& out) const
{
    const GraphicsScene* scene = mLoom.GetScene();
    if (!scene)
        return;
    out.mScreenWidth = scene->mPresent.mWidth;
    out.mScreenHeight = scene->mPresent.mHeight;
    out.mVsync = scene->mPresent.mVSync;
    out.mFullscreen = !scene->mPresent.mWindowed;
    out.mAntiAliasing = scene->mPresent.mSamples > 1;
    out.mShadows = mLoom.GetToggles().mShadows;
}

void DisplayControl::SetFullScreen(bool fullscreen)
{
    if (!mLoom.GetDevice())
        return;
    DeviceDesc& present = mLoom.GetScene()->mPresent;
    const DeviceDesc previous = present;
    present.mWindowed = !fullscreen;
    ResetWith(previous, "Setting Change Failed");
}

void DisplayControl::Fullscreen()
{
    if (const GraphicsScene* scene = mLoom.GetScene())
        SetFullScreen(scene->mPresent.mWindowed);
}

void DisplayControl::SetVSync(bool vsync)
{
    if (!mLoom.GetDevice())
        return;
    DeviceDesc& present = mLoom.GetScene()->mPresent;
    const DeviceDesc previous = present;
    present.mVSync = vsync;
    mLoom.GetToggles().mVSync = vsync;
    ResetWith(previous, "Setting Change Failed");
}

void DisplayControl::VSync()
{
    if (const GraphicsScene* scene = mLoom.GetScene())
        SetVSync(!scene->mPresent.mVSync);
}

void DisplayControl::SetResolution(uint32_t width, uint32_t height)
{
    if (!mLoom.GetDevice())
        return;
    DeviceDesc& present = mLoom.GetScene()->mPresent;
    const DeviceDesc previous = present;
    present.mWidth = int32_t(std::min<uint32_t>(width, INT32_MAX));
    present.mHeight = int32_t(std::min<uint32_t>(height, INT32_MAX));
    ResetWith(previous, "Resolution Change Failed");
    if (present.mWindowed && gPlatformWindow)
        gPlatformWindow->ResizeAndCenter(present.mWidth, present.mHeight);
}

void DisplayControl::ChangeSettings(const DisplaySettings& settings)
{
    if (!mLoom.GetDevice())
        return;
    DeviceDesc& present = mLoom.GetScene()->mPresent;
    const DeviceDesc previous = present;
    present.mWidth = settings.mScreenWidth;
    present.mHeight = settings.mScreenHeight;
    // No larger than the display, as SetResolution.
    const int32_t most[2] = {gPlatformWindow ? gPlatformWindow->GetScreenWidth() : 0,
                             gPlatformWindow ? gPlatformWindow->GetScreenHeight() : 0};
    if (most[0] > 0 && most[1] > 0 && (present.mWidth > most[0] || present.mHeight > most[1]))
    {
        present.mWidth = std::min(present.mWidth, most[0]);
        present.mHeight = std::min(present.mHeight, most[1]);
        Console::Instance().Log("ChangeSettings: " + std::to_string(settings.mScreenWidth) + " x " +
                                    std::to_string(settings.mScreenHeight) + " is larger than the display (" +
                                    std::to_string(most[0]) + " x " + std::to_string(most[1]) + "): clamped to " +
                                    std::to_string(present.mWidth) + " x " + std::to_string(present.mHeight),
                                LogError);
    }
    present.mWindowed = !settings.mFullscreen;
    present.mVSync = settings.mVsync;
    present.mSamples = settings.mAntiAliasing ? kChangeSamples : 0;
    mLoom.GetToggles().mShadows = settings.mShadows;
    mLoom.GetToggles().mVSync = settings.mVsync;
    ResetWith(previous, "Setting Change Failed");
    if (present.mWindowed && gPlatformWindow)
        gPlatformWindow->ResizeAndCenter(present.mWidth, present.mHeight);
}
