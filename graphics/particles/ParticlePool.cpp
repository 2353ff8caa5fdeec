#include "graphics/particles/ParticlePool.h"

#include <algorithm>

#include "LOOM/base/AssertHandler.h"
#include "graphics/device/GraphicsDevice.h"

void ParticlePool::CreateDeviceObjects(GraphicsDevice& device)
{
    // Sizes come from the layout's own program; nothing reads a per-vertex size.
    sPerVertexSize = false;
    OnResetDevice(device);
}

void ParticlePool::OnResetDevice(GraphicsDevice& device)
{
    sBuffer = device.CreateVertexBuffer(kCapacity * sizeof(ParticleVertex), true);
    static const VertexElement elements[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                             {12, VertexType::Color, VertexSemantic::Color, 0}};
    sLayout = device.CreateVertexLayout(elements);
}

void ParticlePool::OnLostDevice()
{
    sBuffer.reset();
    sLayout.reset();
}

void ParticlePool::Destroy()
{
    sAllocated -= sAllocated - sInUse;
    if (sAllocated != 0 &&
        AssertFailedString("ParticleNum==0", "ParticlePool", __LINE__, "Particle System Memory Leak"))
        DebugBreakIfAttached();
    // The leaked ones are forgotten so that a later pool starts clean.
    sAllocated = 0;
    sInUse = 0;
    OnLostDevice();
}

void ParticlePool::BeginRender(GraphicsDevice& device)
{
    device.SetTransform(TransformKind::World, Matrix4::Identity());
    device.SetTexture(0, nullptr);
    device.SetTexture(1, nullptr);
    RenderStates& s = device.States();
    s.mDepthWrite = false;
    s.mDepthEnable = true;
    s.mBlendEnable = true;
    s.mPointScaleEnable = true;
    s.mPointSizeMin = 0.1f;
    s.mPointSizeMax = std::min(1000.0f, device.GetCaps().mMaxPointSize);
    device.SetVertexLayout(sLayout.get());
    device.UseBuiltin(GraphicsDevice::Builtin::PointSprites);
}

void ParticlePool::EndRender(GraphicsDevice& device)
{
    RenderStates& s = device.States();
    s.mPointScaleEnable = false;
    s.mDepthWrite = true;
    s.mBlendEnable = false;
}
