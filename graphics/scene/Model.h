#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/assets/Ref.h"
#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Color.h"
#include "graphics/model/AnimationObj.h"
#include "graphics/Renderable.h"

class Material;
class Mesh;
class Shader;

// A cog's rigid mesh drawn with one shader and one or more materials, with per-part
// visibility, an optional shadow, a tint, a uniform scale and an animation controller whose
// tracks move the parts.
class Model : public Comp, public Renderable
{
public:
    static constexpr uint32_t kTypeId = 4;

    Model() = default;
    ~Model() override;
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    void Serialize(Serializer& s) override;
    void Initialize() override;
    Cog* GetOwner() override { return Comp::GetOwner(); }
    std::string GetTypeName() override { return "Model"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Load();
    void UpdateBounds();
    void SetSubMeshVisible(uint32_t index, bool visible);
    // Poses the part matrices at the animation's current frame, whether or not the model is drawn.
    void PoseParts();
    bool IsSubMeshVisible(uint32_t index) const { return index < mVisible.size() && mVisible[index] != 0; }

    // Game code's calls; the messages run the same code.
    void SetModelColor(float r, float g, float b, float a) { ModelColor = Color(r, g, b, a); }
    void SetScale(float scale);

    // Message handlers.
    void SetModel(std::string name);
    void SetMaterial(std::string name);
    void SetShader(std::string name);
    void SetModelColorValue(Color color) { ModelColor = color; }
    void SetAnimationRate(float rate) { mAnimation.AnimationRate = rate; }
    void CycleAnimation() { mAnimation.CycleAnimation(); }
    void SetAnimation(std::string name) { mAnimation.SetAnimationByName(name, false); }

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
    Shader* GetShaderPtr() const { return mShader; }
    const std::vector<Ref<Material>>& GetMaterials() const { return mMaterialPtrs; }
    bool HasPartMaterials() const { return mPartMaterials; }
    // The mesh moves its parts by its own tracks.
    bool IsAnimatedMesh() const;

    std::string ModelFileName = "Models/SevenTex.3ds";
    std::string ShadowFileName;
    int32_t ShadowType = 0;
    std::string FileShader;
    std::vector<std::string> Materials;
    float Scale = 1.0f;
    // Bounding radius at the current scale; game code may set it.
    float mScaledRadius = 5.0f;
    Color ModelColor{1.0f, 1.0f, 1.0f, 1.0f};

private:
    void ReleaseResources();

    bool mPartMaterials = false;
    AnimationObj mAnimation;
    Shader* mShader = nullptr;
    std::vector<Ref<Material>> mMaterialPtrs;
    std::vector<uint32_t> mVisible;
    Ref<Mesh> mMesh;
    Ref<Mesh> mShadowMesh;
    Shader* mShadowShader = nullptr;
    Matrix4 mWorld;
    bool mMissingLogged = false;
};

void RegisterModelMessages(class Composer& composer);
