#pragma once
#include <cstdint>
#include <memory>

#include "LOOM/assets/Ref.h"
#include "LOOM/math/Matrix4.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/resource/Texture.h"

class GraphicsLoom;
class Mesh;

// The reflective water plane: the loom draws the scene mirrored about it into a target, then
// the water surface samples that target through a wavy bump texture. Off until "WaterActive".
class Water
{
public:
    static constexpr float kGridHeight = 6.5f;
    static constexpr float kReflectHeight = 7.1f;
    static constexpr uint32_t kTargetWidth = 1024;
    static constexpr uint32_t kTargetHeight = 768;

    Water();
    ~Water();
    // Bump texture, defaults and the console commands.
    void Init();
    void OnResetDevice();
    void OnLostDevice();
    void Release();
    void BeginReflection(GraphicsLoom& loom);
    void EndReflection(GraphicsLoom& loom);
    void Render(GraphicsLoom& loom);

    void SetWaveScale(float scale) { mWaveScale = scale; }
    void SetActive(bool active);
    bool IsActive() const { return mActive; }
    float GetWaveScale() const { return mWaveScale; }
    GpuTexture* GetReflection() const { return mReflection.get(); }
    uint32_t GetGridTriangles() const { return (mGridWidth - 1) * (mGridDepth - 1) * 2; }
    bool HasGrid() const { return mGrid != nullptr; }
    const Mesh* GetModel() const { return mModel.Get(); }

private:
    void BuildGrid(GraphicsDevice& device);

    // Held while the water lives; the surface itself is the grid.
    Ref<Mesh> mModel;
    TextureRef mBump;
    std::unique_ptr<GpuTexture> mReflection;
    std::unique_ptr<GpuBuffer> mGrid;
    std::unique_ptr<VertexLayout> mLayout;
    bool mActive = false;
    bool mCommands = false;
    float mWaveScale = 0.045f;
    uint32_t mGridWidth = 50;
    uint32_t mGridDepth = 50;
    Matrix4 mSavedView;
    // The target the reflection pass replaced, put back when it ends.
    GpuTexture* mSavedTarget = nullptr;
};
