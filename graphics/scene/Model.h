#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/assets/Ref.h"
#include "graphics/scene/SceneModel.h"

class Material;
class Mesh;
class Shader;

// A cog's rigid mesh drawn with one shader and one or more materials, with per-part
// visibility, an optional shadow, a tint, a uniform scale and an animation controller whose
// tracks move the parts.
class Model : public SceneModel
{
public:
    static constexpr uint32_t kTypeId = 4;

    Model() : SceneModel(5.0f) {}

    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "Model"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Load();
    void SetSubMeshVisible(uint32_t index, bool visible);
    // Poses the part matrices at the animation's current frame, whether or not the model is drawn.
    void PoseParts();
    bool IsSubMeshVisible(uint32_t index) const { return index < mVisible.size() && mVisible[index] != 0; }

    // Game code's calls; the messages run the same code.
    void SetModelColor(float r, float g, float b, float a) { ModelColor = Color(r, g, b, a); }

    // Message handlers.
    void SetModel(std::string name);
    void SetMaterial(std::string name);
    void SetShader(std::string name);
    void SetModelColorValue(Color color) { ModelColor = color; }
    void SetAnimationRate(float rate) { mAnimation.AnimationRate = rate; }
    void SetAnimation(std::string name) { mAnimation.SetAnimationByName(name, false); }

    // Renderable.
    void ApplyMaterial(Shader* shader, uint32_t materialIndex) override;
    bool Submit(float frameTime, uint32_t reserved, RenderQueue* queue) override;
    void Draw(GraphicsDevice& device, float frameTime, Shader* shader, RenderQueueEntry* entry) override;
    void DrawShadow(GraphicsDevice& device, Shader* shader, RenderQueueEntry* entry) override;

    Shader* GetShaderPtr() const { return mShader; }
    const std::vector<Ref<Material>>& GetMaterials() const { return mMaterialPtrs; }
    bool HasPartMaterials() const { return mPartMaterials; }
    // The mesh moves its parts by its own tracks.
    bool IsAnimatedMesh() const;

    std::string ModelFileName = "Models/SevenTex.3ds";
    std::string ShadowFileName;
    std::string FileShader;
    std::vector<std::string> Materials;

private:
    bool mPartMaterials = false;
    std::vector<Ref<Material>> mMaterialPtrs;
    std::vector<uint32_t> mVisible;
    bool mMissingLogged = false;
};

void RegisterModelMessages(class Composer& composer);
