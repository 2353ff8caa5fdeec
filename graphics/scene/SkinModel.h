#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "LOOM/assets/Ref.h"
#include "LOOM/math/Matrix4.h"
#include "graphics/scene/SceneModel.h"

class Material;
class Mesh;
class Shader;

// A skinned character: one mesh blended by a skeleton's bones, one material, one shader, an
// optional shadow, a simplified mesh past the loom's LOD distance and an animation controller
// that poses the skeleton.
class SkinModel : public SceneModel
{
public:
    static constexpr uint32_t kTypeId = 6;
    // The effects' "Bones" array holds this many.
    static constexpr uint32_t kMaxBones = 30;

    SkinModel() : SceneModel(0.0f) {}

    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "SkinModel"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Load();
    void SetMaterial(const std::string& name);
    void SetModelFile(const std::string& name);
    // Draws outside the queue with the owner's orientation at unit scale (the GUI's model view).
    void RenderWithWorld(GraphicsDevice& device);

    // Renderable.
    void ApplyMaterial(Shader* shader, uint32_t materialIndex) override;
    bool Submit(float frameTime, uint32_t reserved, RenderQueue* queue) override;
    void Draw(GraphicsDevice& device, float frameTime, Shader* shader, RenderQueueEntry* entry) override;
    void DrawShadow(GraphicsDevice& device, Shader* shader, RenderQueueEntry* entry) override;

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
    int32_t LODLimit = 200;
    int32_t SkinType = 0;

private:
    // Poses the skeleton into the shared palette (the bind pose with nothing playing).
    void SkinPass();
    bool CheckSkeleton();

    bool mFar = false;
    bool mUsable = false;
    uint32_t mBoneCount = 0;
    Ref<Material> mMaterial;

    static std::array<Matrix4, kMaxBones> sPalette;
};

void RegisterSkinModelMessages(class Composer& composer);
