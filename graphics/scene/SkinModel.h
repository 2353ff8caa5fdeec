#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "LOOM/assets/Ref.h"
#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Matrix4.h"
#include "graphics/model/AnimationObj.h"
#include "graphics/Renderable.h"

class Material;
class Mesh;
class Shader;

// A skinned character: one mesh blended by a skeleton's bones, one material, one shader, an
// optional shadow, a simplified mesh past the loom's LOD distance and an animation controller
// that poses the skeleton.
class SkinModel : public Comp, public Renderable
{
public:
    static constexpr uint32_t kTypeId = 6;
    // The effects' "Bones" array holds this many.
    static constexpr uint32_t kMaxBones = 30;

    SkinModel() = default;
    ~SkinModel() override;
    SkinModel(const SkinModel&) = delete;
    SkinModel& operator=(const SkinModel&) = delete;

    void Serialize(Serializer& s) override;
    void Initialize() override;
    Cog* GetOwner() override { return Comp::GetOwner(); }
    std::string GetTypeName() override { return "SkinModel"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Load();
    void UpdateBounds();
    void SetMaterial(const std::string& name);
    void SetModelFile(const std::string& name);
    void SetScale(float scale);
    void CycleAnimation() { mAnimation.CycleAnimation(); }
    // Draws outside the queue with the owner's orientation at unit scale (the GUI's model view).
    void RenderWithWorld(GraphicsDevice& device);

    // Renderable.
    bool Intersect(const Vector3& origin, const Vector3& direction) override;
    void BindGeometry(GraphicsDevice& device, uint16_t meshSerial, uint16_t subKey, bool shadowPass) override;
    void ApplyMaterial(Shader* shader, uint32_t materialIndex) override;
    bool Submit(float frameTime, uint32_t reserved, RenderQueue* queue) override;
    void Draw(GraphicsDevice& device, float frameTime, Shader* shader, RenderQueueEntry* entry) override;
    void DrawShadow(GraphicsDevice& device, Shader* shader, RenderQueueEntry* entry) override;
    void DrawBounds(GraphicsDevice& device, Shader* shader) override;

    AnimationObj& GetAnimation() { return mAnimation; }
    Mesh* GetMesh() const { return mMesh.Get(); }
    Material* GetMaterialPtr() const { return mMaterial.Get(); }
    bool IsFar() const { return mFar; }
    // False when Load refused the skeleton or found nothing to draw.
    bool IsUsable() const { return mUsable; }
    uint32_t GetBoneCount() const { return mBoneCount; }
    static const std::array<Matrix4, kMaxBones>& GetPalette() { return sPalette; }

    std::string FileShader;
    std::string FileMaterial;
    std::string MeshFileName;
    std::string SkelFileName;
    Color ModelColor{1.0f, 1.0f, 1.0f, 1.0f};
    int32_t LODLimit = 200;
    float mScaledRadius = 0.0f;
    float Scale = 1.0f;
    int32_t ShadowType = 0;
    int32_t SkinType = 0;

private:
    void ReleaseResources();
    // Poses the skeleton into the shared palette (the bind pose with nothing playing).
    void SkinPass();
    bool CheckSkeleton();

    AnimationObj mAnimation;
    bool mFar = false;
    bool mUsable = false;
    Matrix4 mWorld;
    uint32_t mBoneCount = 0;
    Ref<Material> mMaterial;
    Shader* mShader = nullptr;
    Shader* mShadowShader = nullptr;
    Ref<Mesh> mShadowMesh;
    Ref<Mesh> mMesh;

    static std::array<Matrix4, kMaxBones> sPalette;
};

void RegisterSkinModelMessages(class Composer& composer);
