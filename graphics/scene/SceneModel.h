#pragma once
#include <cstdint>
#include <string>

#include "LOOM/assets/Ref.h"
#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Vector3.h"
#include "graphics/Renderable.h"
#include "graphics/model/animation/AnimationObj.h"

class GraphicsDevice;
class Material;
class Mesh;
class Shader;

// What Model and SkinModel share: the mesh and its shadow (a volume from the mesh's edges or
// a blob on the ground), binding them for the queue, the scale and bounds, the animation
// controller, picking, and the loom's model list, which it joins in Initialize and leaves here.
class SceneModel : public Comp, public Renderable
{
public:
    ~SceneModel() override;
    SceneModel(const SceneModel&) = delete;
    SceneModel& operator=(const SceneModel&) = delete;

    Cog* GetOwner() override { return Comp::GetOwner(); }

    void UpdateBounds();
    void SetScale(float scale);
    void CycleAnimation() { mAnimation.CycleAnimation(); }

    // Renderable.
    bool Intersect(const Vector3& origin, const Vector3& direction) override;
    void BindGeometry(GraphicsDevice& device, uint16_t meshSerial, uint16_t subKey, bool shadowPass) override;
    void DrawBounds(GraphicsDevice& device, Shader* shader) override;

    AnimationObj& GetAnimation() { return mAnimation; }
    Mesh* GetMesh() const { return mMesh.Get(); }

    int32_t ShadowType = 0;
    float Scale = 1.0f;
    // Bounding radius at the current scale; game code may set it.
    float mScaledRadius;
    Color ModelColor{1.0f, 1.0f, 1.0f, 1.0f};

protected:
    static constexpr int32_t kShadowVolume = 1;
    static constexpr int32_t kShadowBlob = 2;

    explicit SceneModel(float scaledRadius) : mScaledRadius(scaledRadius) {}

    // Null when there is no loom, no store or no such shader.
    static Ref<Mesh> FetchMesh(const std::string& name);
    static Ref<Material> FetchMaterial(const std::string& name);
    static Shader* FetchShader(const std::string& name);
    // Adds to one of the loom's per-frame counters (0 triangles, 1 particles, 2 shadows, 3 objects).
    static void Count(uint32_t counter, uint32_t amount);

    // The controller's fields, last in both models' stored forms.
    void SerializeAnimation(Serializer& s);
    void ReleaseMeshes();
    // Sets up the shadow the ShadowType asks for when the mesh can cast it; the volume is drawn
    // with that shader, the blob with "Quad".
    void LoadShadow(bool volumeReady, bool blobReady, const char* volumeShader);
    // The blob: the shadow mesh on the ground under the owner, twice the radius across.
    void DrawBlobShadow(GraphicsDevice& device, Shader& shader) const;

    AnimationObj mAnimation;
    Shader* mShader = nullptr;
    Shader* mShadowShader = nullptr;
    Ref<Mesh> mMesh;
    Ref<Mesh> mShadowMesh;
    Matrix4 mWorld;
};
