#include <cstring>
#include <vector>

#include "graphics/device/GraphicsDevice.h"

// A device that keeps everything on the CPU and only counts: tests of the layers above run
// without a context, and the loom keeps working where no context can be had.
namespace {

class NullBuffer : public GpuBuffer
{
public:
    NullBuffer(uint32_t size, bool dynamic, bool bits32) : mData(size)
    {
        mSize = size;
        mDynamic = dynamic;
        m32Bit = bits32;
    }
    void* Lock(uint32_t offset, uint32_t size, LockFlag) override
    {
        if (offset > mSize || size > mSize - offset)
            return nullptr;
        return mData.data() + offset;
    }
    void Unlock() override {}

private:
    std::vector<uint8_t> mData;
};

class NullTexture : public GpuTexture
{
public:
    explicit NullTexture(const TextureDesc& desc) { mDesc = desc; }
    bool Upload(uint32_t face, uint32_t level, const void*, size_t size) override
    {
        const uint32_t faces = mDesc.mKind == TextureKind::Cube ? 6 : 1;
        if (face >= faces || level >= mDesc.mLevels)
            return false;
        return size ==
            TextureLevelSize(mDesc.mFormat, std::max(mDesc.mWidth >> level, 1u), std::max(mDesc.mHeight >> level, 1u));
    }
};

class NullProgram : public GpuProgram
{
};

class NullDevice : public GraphicsDevice
{
public:
    explicit NullDevice(const DeviceDesc& desc)
    {
        mDesc = desc;
        mCaps.mCompressedTextures = true;
        mCaps.mMaxTextureSize = 8192;
        mCaps.mMaxSamples = 8;
    }

    bool Reset(const DeviceDesc& desc) override
    {
        if (!CanReset(desc))
            return false;
        mDesc = desc;
        MarkReset();
        return true;
    }

    bool Present() override
    {
        if (mLoss.AtPresent())
            return false;
        ++mCounters.mPresents;
        return true;
    }

    void Clear(uint32_t, uint32_t, float, uint32_t) override { ++mCounters.mClears; }
    void SetViewport(int32_t, int32_t, int32_t, int32_t, float, float) override {}
    void SetSamplerState(uint32_t stage, const SamplerState& state) override
    {
        if (stage < kStages)
            mBound.mSamplers[stage] = state;
    }
    void SetTexture(uint32_t stage, GpuTexture* texture) override
    {
        if (stage < kStages && mBound.mTextures[stage] != texture)
        {
            mBound.mTextures[stage] = texture;
            ++mCounters.mTextureBinds;
        }
    }
    std::unique_ptr<GpuBuffer> CreateVertexBuffer(uint32_t size, bool dynamic) override
    {
        return std::make_unique<NullBuffer>(size, dynamic, false);
    }
    std::unique_ptr<GpuBuffer> CreateIndexBuffer(uint32_t size, bool dynamic, bool bits32) override
    {
        return std::make_unique<NullBuffer>(size, dynamic, bits32);
    }
    std::unique_ptr<GpuTexture> CreateTexture(const TextureDesc& desc) override
    {
        if (desc.mWidth == 0 || desc.mHeight == 0 || desc.mLevels == 0 ||
            desc.mWidth > uint32_t(mCaps.mMaxTextureSize) || desc.mHeight > uint32_t(mCaps.mMaxTextureSize))
            return nullptr;
        return std::make_unique<NullTexture>(desc);
    }
    std::unique_ptr<GpuProgram> CreateProgram(const std::string&, const std::string&, std::string&) override
    {
        return std::make_unique<NullProgram>();
    }
    void SetProgram(GpuProgram* program) override { mBound.mProgram = program; }
    void SetUniformFloats(int32_t, const float*, uint32_t) override { ++mCounters.mUniformUploads; }
    void SetUniformInt(int32_t, int32_t) override { ++mCounters.mUniformUploads; }
    void Draw(PrimitiveType, uint32_t, uint32_t count) override { Count(count); }
    void DrawIndexed(PrimitiveType, int32_t, uint32_t, uint32_t count) override { Count(count); }
    void DrawUser(PrimitiveType, uint32_t count, const void*, uint32_t) override { Count(count); }
    void DrawIndexedUser(PrimitiveType, uint32_t, uint32_t count, const uint16_t*, const void*, uint32_t) override
    {
        Count(count);
    }
    bool SetRenderTarget(uint32_t index, GpuTexture* target, uint32_t) override
    {
        if (index >= kTargets || (target && !target->GetDesc().mRenderTarget))
            return false;
        mTargets[index] = target;
        return true;
    }
    bool StretchCopy(GpuTexture*, const Rect*, GpuTexture*, const Rect*, bool) override { return true; }
    bool ReadBack(GpuTexture* source, Image& out) override
    {
        out.Allocate(source ? source->GetWidth() : mDesc.mWidth, source ? source->GetHeight() : mDesc.mHeight,
                     Image::Format::BGR8);
        return true;
    }
    void UseBuiltin(Builtin) override { mBound.mProgram = nullptr; }

private:
    void Count(uint32_t primitives)
    {
        ++mCounters.mDraws;
        mCounters.mPrimitives += primitives;
    }
};

} // namespace

std::unique_ptr<GraphicsDevice> GraphicsDevice::CreateNull(const DeviceDesc& desc)
{
    return std::make_unique<NullDevice>(desc);
}
