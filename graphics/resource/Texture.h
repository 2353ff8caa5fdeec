#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/assets/AssetManager.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/resource/Resource.h"

class Texture;

// The frames of an animated texture; each frame holds one reference (with its own frames').
class AnimTex
{
public:
    ~AnimTex();
    // Advances the tick and returns the device texture of the current frame, descending into
    // frames that are animated themselves.
    GpuTexture* NextFrame();
    // Gives every frame's reference back and empties the list.
    void ReleaseFrames();

    uint32_t mFrameDelay = 0;
    uint32_t mCurrent = 0;
    uint32_t mTick = 0;
    std::vector<Ref<Texture>> mFrames;
};

class Texture : public Resource
{
public:
    ~Texture() override;
    void Load(const std::string& fileName) override;
    uint32_t GetMemorySize() const override { return mMemory; }

    // Textures made outside the store, held by the caller alone: a one-level RGBA8 render
    // target; a file loaded uncompressed; a file loaded in the loom's format.
    static Ref<Texture> CreateRenderTarget(uint32_t width, uint32_t height);
    static Ref<Texture> CreateFromFileArgb(const std::string& fileName);
    static Ref<Texture> CreateFromFileUnfiltered(const std::string& fileName);

    // The device texture to bind: the frame step's result when animated.
    GpuTexture* GetTexture();
    // A holder's reference: one on this texture and, first, one on every frame (recursively).
    void AddRef();
    uint32_t Release();
    // Frame references alone (the store's own reference carries none).
    void AddFrameRefs();
    void ReleaseFrameRefs();

    uint32_t GetWidth() const { return mWidth; }
    uint32_t GetHeight() const { return mHeight; }
    uint32_t GetLevels() const { return mLevels; }
    AnimTex* GetAnimTex() const { return mAnim.get(); }
    GpuTexture* GetDeviceTexture() const { return mTexture.get(); }
    // Drops the device texture (the file is read again by the next Load).
    void ReleaseDeviceTexture() { mTexture.reset(); }
    bool IsLoading() const { return mLoading; }

private:
    void LoadAnimated(const std::string& fileName);
    void LoadImage(const std::string& fileName);
    void Fail(const std::string& fileName, const std::string& why);

    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
    uint32_t mLevels = 0;
    uint32_t mMemory = 0;
    std::unique_ptr<GpuTexture> mTexture;
    std::unique_ptr<AnimTex> mAnim;
    bool mLoading = false;
    bool mUncompressed = false;
};

// The texture store: every reference it hands out carries the frame references too.
class TextureStore : public AssetManager<Texture>
{
public:
    ~TextureStore() override { ReleaseAll(); }
    // Find-or-load, logging "Loading Texture <name>" on first sight.
    Texture* Get(const std::string& name);
    // The same, the caller's reference held by a handle.
    Ref<Texture> GetRef(const std::string& name) { return Ref<Texture>::Adopt(Get(name)); }
    // Frame lists are emptied first so that frames are not reported as leaks of their lists.
    void ReleaseAll() override;
};

// A texture held by file name: the handle every user of a texture keeps.
class TextureRef
{
public:
    TextureRef() = default;

    void SetFile(const std::string& name);
    void Reload();
    // Reload, then read the file anew although the store had it.
    void ReloadFromFile();
    // Takes the other's texture; keeps this handle's name.
    void Assign(const TextureRef& other) { mTexture = other.mTexture; }
    void Reset() { mTexture.Reset(); }

    GpuTexture* GetTexture() const;
    void Bind(uint32_t stage, GraphicsDevice& device) const;
    // 1 when empty.
    uint32_t GetWidth() const;
    uint32_t GetHeight() const;

    const std::string& GetFile() const { return mFile; }
    std::string& File() { return mFile; }
    Texture* Get() const { return mTexture.Get(); }

private:
    std::string mFile;
    Ref<Texture> mTexture;
};
