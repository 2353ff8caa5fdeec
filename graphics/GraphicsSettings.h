#pragma once
#include <cstdint>
#include <string>

// Display and device settings from "Graphics.xml".
struct GraphicsSettings
{
    bool mFullscreen = false;
    bool mVSync = true;
    uint32_t mResolutionWidth = 800;
    uint32_t mResolutionHeight = 600;
    uint32_t mRefreshRate = 60;
    uint32_t mMultiSample = 0;
    bool mHardwareVertexProcessing = true;
    bool mCompressTextures = false;
    bool mShowFPS = false;
    bool mStopOnFailure = false;
    std::string mConsoleBackground;
    // A texture or image file whose decoded size (mip levels included) is above this is refused.
    uint32_t mMaxTextureMegabytes = 64;

    // Reads the file; a missing file or missing fields keep the defaults above (the window's
    // size for the resolution) and log one line naming what was missing.
    static GraphicsSettings Load(const std::string& fileName, uint32_t windowWidth, uint32_t windowHeight);
    // 2 and 4 pass through; anything else is no multisampling.
    uint32_t Samples() const { return mMultiSample == 2 || mMultiSample == 4 ? mMultiSample : 0; }
};
