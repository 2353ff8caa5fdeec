#pragma once
#include <cstddef>
#include <cstdint>

#include "LOOM/base/TypeCode.h"
#include "LOOM/calls/ParamBuffer.h"

// The display-settings record exchanged between the game logic, the graphics loom and scripts.
// Six 4-byte words; carried in parameter buffers as one record.
struct DisplaySettings
{
    int32_t mScreenWidth = 800;
    int32_t mScreenHeight = 600;
    bool mVsync = true;
    bool mFullscreen = false;
    bool mAntiAliasing = false;
    bool mInvaderSpeech = true; // filled by the game logic; the graphics loom ignores it
    bool mShadows = true;
    bool mFurtherFlag = true;
    int32_t mQuality = 3;
    float mFurtherValue = 0.5f;
};
static_assert(sizeof(DisplaySettings) == 24, "the display-settings record is six 4-byte words");
static_assert(offsetof(DisplaySettings, mInvaderSpeech) == 11, "invader speech is the third word's fourth byte");
static_assert(offsetof(DisplaySettings, mQuality) == 16);

template <>
struct ParamTraits<DisplaySettings> : RecordParamTraits<DisplaySettings, TypeConfig>
{
};
