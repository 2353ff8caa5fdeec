#include "graphics/device/GraphicsDevice.h"

#include <algorithm>
#include <cstring>
#include <string>

int32_t AttributeLocation(VertexSemantic semantic, uint8_t index)
{
    for (size_t i = 0; i < kVertexAttributes.size(); ++i)
        if (kVertexAttributes[i].mSemantic == semantic && kVertexAttributes[i].mIndex == index)
            return int32_t(i);
    return -1;
}

uint32_t VertexTypeSize(VertexType type)
{
    switch (type)
    {
    case VertexType::Float1:
        return 4;
    case VertexType::Float2:
        return 8;
    case VertexType::Float3:
        return 12;
    case VertexType::Float4:
        return 16;
    case VertexType::Color:
    case VertexType::UByte4:
    case VertexType::UByte4N:
        return 4;
    }
    return 0;
}

size_t TextureLevelSize(TextureFormat format, uint32_t width, uint32_t height)
{
    const size_t w = std::max(width, 1u), h = std::max(height, 1u);
    const size_t blocks = ((w + 3) / 4) * ((h + 3) / 4);
    switch (format)
    {
    case TextureFormat::RGBA8:
        return w * h * 4;
    case TextureFormat::RGB8:
        return w * h * 3;
    case TextureFormat::DXT1:
        return blocks * 8;
    case TextureFormat::DXT3:
    case TextureFormat::DXT5:
        return blocks * 16;
    case TextureFormat::RGBA16F:
        return w * h * 8;
    }
    return 0;
}

uint32_t FullMipCount(uint32_t width, uint32_t height)
{
    uint32_t levels = 1;
    uint32_t size = std::max(width, height);
    while (size > 1)
    {
        size >>= 1;
        ++levels;
    }
    return levels;
}

uint32_t VertexCount(PrimitiveType type, uint32_t primitiveCount)
{
    if (primitiveCount == 0)
        return 0;
    switch (type)
    {
    case PrimitiveType::PointList:
        return primitiveCount;
    case PrimitiveType::LineList:
        return primitiveCount * 2;
    case PrimitiveType::LineStrip:
        return primitiveCount + 1;
    case PrimitiveType::TriangleList:
        return primitiveCount * 3;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan:
        return primitiveCount + 2;
    }
    return 0;
}

std::span<const VertexElement> TexturedVertexElements()
{
    static const VertexElement elements[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                             {12, VertexType::Color, VertexSemantic::Color, 0},
                                             {16, VertexType::Float2, VertexSemantic::TexCoord, 0}};
    return elements;
}

bool GpuBuffer::Write(uint32_t offset, const void* data, uint32_t size, LockFlag flag)
{
    void* target = Lock(offset, size, flag);
    if (!target)
        return false;
    std::memcpy(target, data, size);
    Unlock();
    return true;
}

int32_t GpuProgram::FindUniform(const std::string& name) const
{
    for (size_t i = 0; i < mUniforms.size(); ++i)
        if (mUniforms[i].mName == name)
            return int32_t(i);
    return -1;
}

std::string GraphicsDevice::ResetRefusal(const DeviceDesc& desc) const
{
    const std::string size = std::to_string(desc.mWidth) + " x " + std::to_string(desc.mHeight);
    if (desc.mWidth <= 0 || desc.mHeight <= 0)
        return "a back buffer of " + size + " has no pixels";
    if (desc.mWidth > mCaps.mMaxTextureSize || desc.mHeight > mCaps.mMaxTextureSize)
        return "a back buffer of " + size + " is larger than the device's largest, " +
            std::to_string(mCaps.mMaxTextureSize) + " x " + std::to_string(mCaps.mMaxTextureSize);
    if (desc.mSamples < 0 || desc.mSamples > mCaps.mMaxSamples)
        return std::to_string(desc.mSamples) + " samples a pixel are more than the device's " +
            std::to_string(mCaps.mMaxSamples);
    return {};
}

bool GraphicsDevice::CanReset(const DeviceDesc& desc) const { return ResetRefusal(desc).empty(); }

bool DeviceLoss::AtPresent()
{
    if (mPending)
    {
        mPending = false;
        mLost = true;
    }
    return mLost;
}

CooperativeLevel DeviceLoss::TestCooperativeLevel()
{
    if (!mLost)
        return CooperativeLevel::Ok;
    if (mLostChecks > 0)
    {
        --mLostChecks;
        return CooperativeLevel::Lost;
    }
    return CooperativeLevel::NotReset;
}

void GraphicsDevice::MarkReset()
{
    mLoss.Recover();
    ++mCounters.mResets;
}

void GraphicsDevice::SetClipPlane(uint32_t index, const float plane[4])
{
    if (index < mClipPlanes.size())
    {
        std::copy(plane, plane + 4, mClipPlanes[index].begin());
        ++mClipGeneration;
    }
}

std::unique_ptr<VertexLayout> GraphicsDevice::CreateVertexLayout(std::span<const VertexElement> elements)
{
    return std::make_unique<VertexLayout>(std::vector<VertexElement>(elements.begin(), elements.end()));
}
