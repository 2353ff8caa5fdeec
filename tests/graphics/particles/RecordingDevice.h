#pragma once
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/device/GraphicsDevice.h"

// A device that keeps everything on the CPU and writes down every buffer lock and draw: which
// range was locked how, what was drawn from where with which texture and blend, and the bytes
// of the drawn vertices.
class RecordingDevice : public GraphicsDevice
{
public:
    struct Lock
    {
        uint32_t mOffset;
        uint32_t mSize;
        LockFlag mFlag;
    };
    struct DrawCall
    {
        PrimitiveType mType;
        uint32_t mStart;
        uint32_t mCount;
        GpuTexture* mTexture;
        RenderStates mStates;
        Matrix4 mWorld;
        std::vector<uint8_t> mVertices;
    };

    class Buffer : public GpuBuffer
    {
    public:
        Buffer(RecordingDevice& device, uint32_t size, bool dynamic) : mDevice(device), mData(size)
        {
            mSize = size;
            mDynamic = dynamic;
        }
        void* Lock(uint32_t offset, uint32_t size, LockFlag flag) override
        {
            if (offset > mSize || size > mSize - offset)
                return nullptr;
            mDevice.mLocks.push_back({offset, size, flag});
            return mData.data() + offset;
        }
        void Unlock() override {}
        std::vector<uint8_t>& Data() { return mData; }

    private:
        RecordingDevice& mDevice;
        std::vector<uint8_t> mData;
    };

    class Texture : public GpuTexture
    {
    public:
        explicit Texture(const TextureDesc& desc) { mDesc = desc; }
        bool Upload(uint32_t, uint32_t, const void*, size_t) override { return true; }
    };

    class Program : public GpuProgram
    {
    };

    RecordingDevice()
    {
        mDesc.mWidth = 640;
        mDesc.mHeight = 480;
        mCaps.mCompressedTextures = true;
        mCaps.mMaxTextureSize = 8192;
        mCaps.mMaxSamples = 8;
        mCaps.mMaxPointSize = 256.0f;
    }

    bool Reset(const DeviceDesc& desc) override
    {
        mDesc = desc;
        return true;
    }
    bool Present() override { return true; }
    void Clear(uint32_t, uint32_t, float, uint32_t) override {}
    void SetViewport(int32_t, int32_t, int32_t, int32_t, float, float) override {}
    void SetSamplerState(uint32_t stage, const SamplerState& state) override
    {
        if (stage < kStages)
            mBound.mSamplers[stage] = state;
    }
    void SetTexture(uint32_t stage, GpuTexture* texture) override
    {
        if (stage < kStages)
            mBound.mTextures[stage] = texture;
    }
    std::unique_ptr<GpuBuffer> CreateVertexBuffer(uint32_t size, bool dynamic) override
    {
        return std::make_unique<Buffer>(*this, size, dynamic);
    }
    std::unique_ptr<GpuBuffer> CreateIndexBuffer(uint32_t size, bool dynamic, bool) override
    {
        return std::make_unique<Buffer>(*this, size, dynamic);
    }
    std::unique_ptr<GpuTexture> CreateTexture(const TextureDesc& desc) override
    {
        return std::make_unique<Texture>(desc);
    }
    std::unique_ptr<GpuProgram> CreateProgram(const std::string&, const std::string&, std::string&) override
    {
        return std::make_unique<Program>();
    }
    void SetProgram(GpuProgram* program) override { mBound.mProgram = program; }
    void SetUniformFloats(int32_t, const float*, uint32_t) override {}
    void SetUniformInt(int32_t, int32_t) override {}
    void Draw(PrimitiveType type, uint32_t start, uint32_t count) override
    {
        DrawCall call{type, start, count, mBound.mTextures[0], mStates, mBound.Transform(TransformKind::World), {}};
        if (auto* buffer = dynamic_cast<Buffer*>(mStream))
        {
            const uint32_t vertices = type == PrimitiveType::PointList ? count : VertexCount(type, count);
            const size_t from = size_t(mStreamOffset) + size_t(start) * mStride;
            const size_t bytes =
                std::min(size_t(vertices) * mStride, buffer->Data().size() - std::min(from, buffer->Data().size()));
            call.mVertices.assign(buffer->Data().begin() + long(from), buffer->Data().begin() + long(from + bytes));
        }
        mDraws.push_back(std::move(call));
    }
    void DrawIndexed(PrimitiveType type, int32_t, uint32_t start, uint32_t count) override
    {
        mDraws.push_back(
            {type, start, count, mBound.mTextures[0], mStates, mBound.Transform(TransformKind::World), {}});
    }
    void DrawUser(PrimitiveType type, uint32_t count, const void* vertices, uint32_t stride) override
    {
        const auto* bytes = static_cast<const uint8_t*>(vertices);
        mDraws.push_back({type, 0, count, mBound.mTextures[0], mStates, mBound.Transform(TransformKind::World),
                          std::vector<uint8_t>(bytes, bytes + size_t(VertexCount(type, count)) * stride)});
    }
    void DrawIndexedUser(PrimitiveType type, uint32_t, uint32_t count, const uint16_t*, const void*, uint32_t) override
    {
        mDraws.push_back({type, 0, count, mBound.mTextures[0], mStates, mBound.Transform(TransformKind::World), {}});
    }
    bool SetRenderTarget(uint32_t index, GpuTexture* target, uint32_t) override
    {
        if (index >= kTargets)
            return false;
        mTargets[index] = target;
        return true;
    }
    bool StretchCopy(GpuTexture*, const Rect*, GpuTexture*, const Rect*, bool) override { return true; }
    bool ReadBack(GpuTexture*, Image& out) override
    {
        out.Allocate(uint32_t(mDesc.mWidth), uint32_t(mDesc.mHeight), Image::Format::BGR8);
        return true;
    }
    void UseBuiltin(Builtin) override { mBound.mProgram = nullptr; }

    // Vertex i of a draw, as type T.
    template <typename T>
    T VertexAt(const DrawCall& call, size_t i) const
    {
        T out{};
        if ((i + 1) * sizeof(T) <= call.mVertices.size())
            std::memcpy(&out, call.mVertices.data() + i * sizeof(T), sizeof(T));
        return out;
    }
    void ClearLog()
    {
        mLocks.clear();
        mDraws.clear();
    }

    std::vector<Lock> mLocks;
    std::vector<DrawCall> mDraws;
};
