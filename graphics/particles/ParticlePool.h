#pragma once
#include <cstdint>
#include <memory>

#include "LOOM/math/Color.h"
#include "LOOM/math/Vector3.h"

class GraphicsDevice;
class GpuBuffer;
class VertexLayout;

// One particle. Systems keep their live records side by side, so an update walks memory in
// order instead of chasing links.
struct Particle
{
    Vector3 mPosition;
    Vector3 mVelocity;
    Color mColor{1.0f, 1.0f, 1.0f, 1.0f};
    Color mColorRate{1.0f, 1.0f, 1.0f, 1.0f};
    int32_t mKeyIndex = 0;
    float mAge = 0.0f;
    float mLifetime = 0.0f;
};

// A point as the shared buffer holds it: position and packed ARGB colour.
struct ParticleVertex
{
    float mX, mY, mZ;
    uint32_t mColor;
};
static_assert(sizeof(ParticleVertex) == 16);

// The ledger of every particle record and the one dynamic point buffer all systems draw
// through. Records given back are reused before new ones are counted.
class ParticlePool
{
public:
    static constexpr uint32_t kCapacity = 2048;

    // A record handed out: from the free ones first.
    static void Alloc()
    {
        if (sInUse == sAllocated)
            ++sAllocated;
        ++sInUse;
    }
    static void Free(uint32_t count = 1) { sInUse -= count < sInUse ? count : sInUse; }
    static uint32_t Allocated() { return sAllocated; }
    static uint32_t InUse() { return sInUse; }
    static uint32_t FreeCount() { return sAllocated - sInUse; }

    static void CreateDeviceObjects(GraphicsDevice& device);
    static void OnResetDevice(GraphicsDevice& device);
    static void OnLostDevice();
    // Drops the free records and reports any still out; releases the buffer.
    static void Destroy();

    static void BeginRender(GraphicsDevice& device);
    static void EndRender(GraphicsDevice& device);

    static GpuBuffer* GetBuffer() { return sBuffer.get(); }
    static VertexLayout* GetLayout() { return sLayout.get(); }
    static bool HasPerVertexSize() { return sPerVertexSize; }

private:
    static inline uint32_t sAllocated = 0;
    static inline uint32_t sInUse = 0;
    static inline bool sPerVertexSize = false;
    static inline std::unique_ptr<GpuBuffer> sBuffer;
    static inline std::unique_ptr<VertexLayout> sLayout;
};
