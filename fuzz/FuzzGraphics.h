#pragma once
// Shared by the harnesses of texture-using readers: a device that draws nothing, a texture store
// and the resource context pointing at both, made once and kept for the process.
#include "fuzz/FuzzSupport.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/resource/ResourceContext.h"
#include "graphics/resource/Texture.h"

inline GraphicsDevice& FuzzDevice()
{
    static const std::unique_ptr<GraphicsDevice> device = [] {
        ScratchFolder();
        std::unique_ptr<GraphicsDevice> made = GraphicsDevice::CreateNull(DeviceDesc());
        static TextureStore textures;
        ResourceContext::Set(made.get(), &textures, false);
        return made;
    }();
    return *device;
}

// Loads a texture file through the store as a material or frame list would, then lets it go.
inline void FuzzLoadTexture(const std::string& name)
{
    FuzzDevice();
    TextureRef ref;
    ref.SetFile(name);
    ref.GetTexture();
    ref.Reset();
    ResourceContext::Textures()->ReleaseAll();
}
