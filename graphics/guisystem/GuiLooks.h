#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/resource/Texture.h"

// The full-screen backgrounds and the pointer, as the GUI configuration names them.
class GuiLooks
{
public:
    // A missing file gives the defaults.
    void Read(const std::string& configFile);
    void Release();
    // -1 or an index out of range: no background.
    void ActivateBackground(int32_t index);
    int32_t GetBackground() const { return mBackground; }
    size_t GetBackgroundCount() const { return mBackgrounds.size(); }
    // The active one; call only while GetBackground() is not -1.
    const TextureRef& GetActiveBackground() const { return mBackgrounds[size_t(mBackground)]; }
    const TextureRef& GetPointer() const { return mPointer; }
    float GetPointerSize() const { return mPointerSize; }

private:
    int32_t mBackground = -1;
    std::vector<TextureRef> mBackgrounds;
    TextureRef mPointer;
    float mPointerSize = 24.0f;
};
