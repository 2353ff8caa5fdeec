#include "graphics/resource/Texture.h"

#include <algorithm>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLLoader.h"
#include "graphics/resource/DdsReader.h"
#include "graphics/resource/ResourceContext.h"
#include "graphics/resource/TextureData.h"
#include "platform/ImageDecode.h"

namespace {

// Lookups per frame of an animated texture (the first frame shows one lookup less).
constexpr uint32_t kTicksPerFrame = 8;

// The frames of an animated texture; none for a still one.
template <typename Visit>
void ForEachFrame(const AnimTex* anim, Visit visit)
{
    if (!anim)
        return;
    for (const Ref<Texture>& frame : anim->mFrames)
        if (frame)
            visit(*frame);
}

} // namespace

AnimTex::~AnimTex() { ReleaseFrames(); }

void AnimTex::ReleaseFrames()
{
    // Taken out first: a frame that dies may reach this list again.
    std::vector<Ref<Texture>> frames;
    frames.swap(mFrames);
    frames.clear();
    mCurrent = 0;
}

GpuTexture* AnimTex::NextFrame()
{
    AnimTex* list = this;
    // Loading refuses cycles, so this descent ends.
    while (list)
    {
        if (++list->mTick > kTicksPerFrame)
        {
            list->mTick = 0;
            if (++list->mCurrent >= list->mFrames.size())
                list->mCurrent = 0;
        }
        if (list->mFrames.empty())
            return nullptr;
        if (list->mCurrent >= list->mFrames.size())
            list->mCurrent = 0;
        Texture* frame = list->mFrames[list->mCurrent].Get();
        if (!frame->GetAnimTex())
            return frame->GetDeviceTexture();
        list = frame->GetAnimTex();
    }
    return nullptr;
}

Texture::~Texture() = default;

Ref<Texture> Texture::CreateRenderTarget(uint32_t width, uint32_t height)
{
    Console::Instance().Log("Loading Render Target " + std::to_string(width) + "x" + std::to_string(height),
                            LogLoading);
    auto texture = Ref<Texture>::Adopt(new Texture());
    GraphicsDevice* device = ResourceContext::Device();
    TextureDesc desc;
    desc.mWidth = width;
    desc.mHeight = height;
    desc.mRenderTarget = true;
    if (device)
        texture->mTexture = device->CreateTexture(desc);
    if (!texture->mTexture)
    {
        texture->Fail("Render Target",
                      "the device refused a " + std::to_string(width) + "x" + std::to_string(height) +
                          " render target");
        return texture;
    }
    texture->mWidth = width;
    texture->mHeight = height;
    texture->mLevels = 1;
    texture->mMemory = 4 * width * height;
    return texture;
}

Ref<Texture> Texture::CreateFromFileArgb(const std::string& fileName)
{
    auto texture = Ref<Texture>::Adopt(new Texture());
    texture->mUncompressed = true;
    texture->Load(fileName);
    return texture;
}

Ref<Texture> Texture::CreateFromFileUnfiltered(const std::string& fileName)
{
    auto texture = Ref<Texture>::Adopt(new Texture());
    texture->Load(fileName);
    return texture;
}

void Texture::AddFrameRefs()
{
    ForEachFrame(mAnim.get(), [](Texture& frame) { frame.AddRef(); });
}

void Texture::ReleaseFrameRefs()
{
    ForEachFrame(mAnim.get(), [](Texture& frame) { frame.Release(); });
}

void Texture::AddRef()
{
    AddFrameRefs();
    RefCounted::AddRef();
}

uint32_t Texture::Release()
{
    ReleaseFrameRefs();
    return RefCounted::Release();
}

GpuTexture* Texture::GetTexture() { return mAnim ? mAnim->NextFrame() : mTexture.get(); }

void Texture::Load(const std::string& fileName)
{
    mAnim.reset();
    mTexture.reset();
    mWidth = mHeight = mLevels = mMemory = 0;
    if (GetFileExtension(fileName) == "xml")
        LoadAnimated(fileName);
    else
        LoadImage(fileName);
}

void Texture::LoadAnimated(const std::string& fileName)
{
    uint32_t delay = 0;
    std::vector<std::string> files;
    XMLLoader loader;
    // A refused name was reported when it was read: now only missing. Any other goes through
    // the file guard when the reader opens it.
    if (!IsRefusedDataName(fileName) && loader.Open(fileName) &&
        loader.BeginField("AnimTex", nullptr, false, TypeElement, this))
    {
        if (loader.BeginField("uint", "FrameDelay", true, TypeUInt, &delay))
        {
            loader.Serialize(delay);
            loader.EndField("uint", true);
        }
        loader.SerializeFileListField("Textures", files);
        loader.EndField("AnimTex", false);
    }
    loader.Close();

    mAnim = std::make_unique<AnimTex>();
    mAnim->mFrameDelay = delay;
    TextureStore* store = ResourceContext::Textures();
    if (!store)
        return;
    mLoading = true;
    mAnim->mFrames.assign(files.size(), nullptr);
    for (size_t i = 0; i < files.size(); ++i)
    {
        Ref<Texture> frame = store->GetRef(files[i]);
        // A frame that is this list or still loading would make the frame step loop forever.
        if (frame.Get() == this || frame->IsLoading())
        {
            Console::Instance().Log(
                "Animated texture " + fileName + " refuses frame " + files[i] + ": it leads back to itself", LogError);
            continue;
        }
        mAnim->mFrames[i] = std::move(frame);
    }
    std::erase(mAnim->mFrames, nullptr);
    mLoading = false;
}

void Texture::LoadImage(const std::string& fileName)
{
    GraphicsDevice* device = ResourceContext::Device();
    std::string bytes;
    if (!device)
    {
        Fail(fileName, "there is no graphics device");
        return;
    }
    if (IsRefusedDataName(fileName))
    {
        // Said when the name was read: now only missing.
        mTexture.reset();
        mWidth = mHeight = mLevels = mMemory = 0;
        return;
    }
    if (!ReadWholeFile(DataFilePath(fileName), bytes))
    {
        Fail(fileName, "the file cannot be read");
        return;
    }
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    TextureData texture;
    std::string error;
    if (DdsReader::IsDds(data, bytes.size()))
    {
        if (!DdsReader::Read(data, bytes.size(), texture, error))
        {
            Fail(fileName, error);
            return;
        }
    }
    else
    {
        texture.mLevels = 1;
        texture.mLevelData.resize(1);
        if (!DecodeImage(bytes, 4, true, texture.mWidth, texture.mHeight, texture.mLevelData[0], error))
        {
            Fail(fileName, error);
            return;
        }
        BuildMipChain(texture);
    }
    ConvertTextureData(texture,
                       !mUncompressed && ResourceContext::Compressed() && device->GetCaps().mCompressedTextures);

    TextureDesc desc;
    desc.mKind = texture.mKind;
    desc.mFormat = texture.mFormat;
    desc.mWidth = texture.mWidth;
    desc.mHeight = texture.mHeight;
    desc.mLevels = texture.mLevels;
    std::unique_ptr<GpuTexture> gpu = device->CreateTexture(desc);
    if (!gpu)
    {
        Fail(fileName,
             "the device refused a " + std::to_string(desc.mWidth) + "x" + std::to_string(desc.mHeight) + " texture");
        return;
    }
    for (uint32_t face = 0; face < texture.Faces(); ++face)
        for (uint32_t level = 0; level < texture.mLevels; ++level)
        {
            const std::vector<uint8_t>& level_bytes = texture.Level(face, level);
            if (!gpu->Upload(face, level, level_bytes.data(), level_bytes.size()))
            {
                Fail(fileName, "the device refused level " + std::to_string(level));
                return;
            }
        }
    mTexture = std::move(gpu);
    mWidth = texture.mWidth;
    mHeight = texture.mHeight;
    mLevels = texture.mLevels;
    for (uint32_t level = 0; level < mLevels; ++level)
        mMemory += 4 * std::max(mWidth >> level, 1u) * std::max(mHeight >> level, 1u);
}

void Texture::Fail(const std::string& fileName, const std::string& why)
{
    mTexture.reset();
    mWidth = mHeight = mLevels = mMemory = 0;
    if (AssertFailedString("!FAILED( HR )", "Texture", __LINE__, "Failed to Load Texture " + fileName + ": " + why))
        DebugBreakIfAttached();
}

Texture* TextureStore::Get(const std::string& name)
{
    Texture* texture = Find(name);
    if (!texture)
    {
        Console::Instance().Log("Loading Texture " + name, LogLoading);
        MakeRoom();
        texture = new Texture();
        mAssets.emplace(name, texture);
        texture->Load(name);
    }
    IssueHandle(texture);
    texture->AddFrameRefs();
    return texture;
}

void TextureStore::ReleaseAll()
{
    // A list goes before the lists of its frames: releasing a frame gives back the frame
    // references of that frame's own list, which must still be there.
    auto listed = [this](const Texture* texture) {
        for (auto& entry : mAssets)
            if (AnimTex* anim = static_cast<Texture*>(entry.second)->GetAnimTex())
                if (std::any_of(anim->mFrames.begin(), anim->mFrames.end(),
                                [texture](const Ref<Texture>& frame) { return frame.Get() == texture; }))
                    return true;
        return false;
    };
    for (bool progress = true; progress;)
    {
        progress = false;
        for (auto& entry : mAssets)
        {
            auto* texture = static_cast<Texture*>(entry.second);
            if (texture->GetAnimTex() && !texture->GetAnimTex()->mFrames.empty() && !listed(texture))
            {
                texture->GetAnimTex()->ReleaseFrames();
                progress = true;
            }
        }
    }
    AssetManager<Texture>::ReleaseAll();
}

void TextureRef::SetFile(const std::string& name)
{
    Reset();
    mFile = name;
    Reload();
}

void TextureRef::Reload()
{
    Reset();
    if (mFile.empty())
        return;
    if (TextureStore* store = ResourceContext::Textures())
        mTexture = store->GetRef(mFile);
}

void TextureRef::ReloadFromFile()
{
    Reload();
    if (!mTexture)
        return;
    // The holder's frame references go with the old frame list.
    mTexture->ReleaseFrameRefs();
    mTexture->ReleaseDeviceTexture();
    mTexture->Load(mFile);
    mTexture->AddFrameRefs();
}

GpuTexture* TextureRef::GetTexture() const { return mTexture ? mTexture->GetTexture() : nullptr; }

void TextureRef::Bind(uint32_t stage, GraphicsDevice& device) const { device.SetTexture(stage, GetTexture()); }

uint32_t TextureRef::GetWidth() const { return mTexture ? mTexture->GetWidth() : 1; }

uint32_t TextureRef::GetHeight() const { return mTexture ? mTexture->GetHeight() : 1; }
