#pragma once
#include <cstdint>
#include <memory>

#include "LOOM/calls/DisplaySettings.h"

class ConsoleCommand;
class GraphicsLoom;
struct DeviceDesc;

// Device loss and the display settings: a lost device is reset once it can be, and a settings
// change resets it with new present parameters, falling back to the previous ones when that
// fails. The loom releases and remakes its device objects around every reset.
class DisplayControl
{
public:
    explicit DisplayControl(GraphicsLoom& loom) : mLoom(loom) {}

    bool IsLost() const { return mLost; }
    // Presenting failed: the game clock stops until the device is back.
    void MarkLost();
    void Clear() { mLost = false; }
    // Resets a lost device once it reports it can be.
    void ResetDevice();

    void GetDisplaySettings(DisplaySettings& out) const;
    void ChangeSettings(const DisplaySettings& settings);
    void SetFullScreen(bool fullscreen);
    void Fullscreen();
    void SetVSync(bool vsync);
    void VSync();
    void SetResolution(uint32_t width, uint32_t height);
    // The console's "SetResolution": a width and a height in pixels, typed as plain numbers
    // ("SetResolution 1024 768") or passed as unsigned ones; any other size is refused with a
    // logged error.
    std::unique_ptr<ConsoleCommand> MakeResolutionCommand();

private:
    // A reset with the stored parameters; on failure the previous ones are restored and reset
    // again, logging failText.
    void ResetWith(const DeviceDesc& previous, const char* failText);

    GraphicsLoom& mLoom;
    bool mLost = false;
};
