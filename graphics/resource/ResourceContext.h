#pragma once
#include "graphics/device/GraphicsDevice.h"

class TextureStore;

// What resources reach while they load: the device, the texture store and the texture format
// the loom chose. The loom fills it at Init and empties it at Shutdown; a test that fills it
// restores it (ResourceContext::Scope).
class ResourceContext
{
public:
    static GraphicsDevice* Device() { return sDevice; }
    static TextureStore* Textures() { return sTextures; }
    // True: textures go to the device as DXT5 (file blocks as they are); false: RGBA8.
    static bool Compressed() { return sCompressed; }

    static void Set(GraphicsDevice* device, TextureStore* textures, bool compressed)
    {
        sDevice = device;
        sTextures = textures;
        sCompressed = compressed;
    }

    class Scope
    {
    public:
        Scope(GraphicsDevice* device, TextureStore* textures, bool compressed)
            : mDevice(sDevice), mTextures(sTextures), mCompressed(sCompressed)
        {
            Set(device, textures, compressed);
        }
        ~Scope() { Set(mDevice, mTextures, mCompressed); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        GraphicsDevice* mDevice;
        TextureStore* mTextures;
        bool mCompressed;
    };

private:
    static inline GraphicsDevice* sDevice = nullptr;
    static inline TextureStore* sTextures = nullptr;
    static inline bool sCompressed = false;
};
