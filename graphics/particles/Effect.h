#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Vector3.h"
#include "graphics/model/animation/AnimationObj.h"
#include "graphics/particles/Emitter.h"
#include "graphics/particles/ParticleSystem.h"
#include "graphics/resource/Texture.h"
#include "graphics/scene/path/ColorStream.h"

class FontList;
class GraphicsDevice;
class Mesh;
class Shader;
class Skeleton;

// A textured quad on a bone of the effect's skeleton.
struct EffectSprite
{
    int32_t AnimIndex = 0;
    int32_t EffectType = 0;
    float TTL = 0.0f;
    TextureRef texture;
    std::string fileStream;
    ColorStream stream;
    bool mWarned = false;

    void Serialize(Serializer& s);
};

// A 3-D text facing the camera, scaled by a bone.
struct FontEffect
{
    int32_t AnimIndex = -1;
    int32_t FontIndex = 0;
    int32_t FontAnim = 0;
    float Scale = 0.0f;
    Vector3 Postion;
    Vector3 AnimScale;
    std::string Text;
    std::string fileStream;
    ColorStream stream;
    bool mWarned = false;

    void Serialize(Serializer& s);
};

// Kept with the effect's data only.
struct LocalLight
{
    int32_t AnimIndex = 0;
    std::string ColorStream;

    void Serialize(Serializer& s);
};

// What sprites and texts are drawn with: the loom's "Quad" shader, the camera and the fonts.
struct EffectView
{
    Shader* mQuad = nullptr;
    Vector3 mEye;
    Matrix4 mViewRotationInverse;
    FontList* mFonts = nullptr;
    // Screen pixels a unit spans one unit ahead of the camera, and the screen's height; 0: not
    // known, texts keep their world size.
    float mPixelsPerUnit = 0.0f;
    float mScreenHeight = 0.0f;
};

// A short-lived visual effect: sprites and texts on an animated skeleton, particle emitters
// and systems. It ends its own cog after its lifetime or when its particles are all gone.
class Effect : public Comp
{
public:
    static constexpr uint32_t kTypeId = 12;

    Effect() = default;
    ~Effect() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "Effect"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void SetAnimation(int32_t index, bool loop);
    void Update(float dt);
    void Render(GraphicsDevice& device);
    void Render(GraphicsDevice& device, const EffectView& view);
    void RenderParticles(GraphicsDevice& device);
    // The shared quad of every effect's sprites, bound once per frame.
    static void BindPlaneMesh();
    // Tests hand in a quad of their own.
    static void SetPlaneMesh(const Mesh* mesh) { sPlane = mesh; }
    static const Mesh* GetPlaneMesh() { return sPlane; }

    float GetElapsed() const { return mElapsed; }
    AnimationObj& Animation() { return mAnimation; }
    std::vector<std::unique_ptr<ParticleSystem>>& Systems() { return mSystems; }
    std::vector<std::unique_ptr<Emitter>>& Emitters() { return mEmitters; }
    Skeleton* GetSkeleton() const { return mSkeleton.Get(); }
    void SetParticleDrawing(bool on) { mDrawParticles = on; }
    bool IsParticleDrawing() const { return mDrawParticles; }

    float TTL = 10.0f;
    float Rate = 1.0f;
    bool Transform = false;
    std::string ModelFile;
    std::vector<EffectSprite> EffectSprites;
    std::vector<FontEffect> FontEffects;
    std::vector<LocalLight> LocalLights;
    std::vector<std::string> EmitterFiles;
    std::vector<std::string> SystemFiles;
    std::string AnimationFile;

private:
    // The bone's matrix, or null (logged once per element) when there is none.
    const Matrix4* Bone(int32_t index, bool& warned, const char* what);
    void DestroyOwner();

    AnimationObj mAnimation;
    bool mDrawParticles = true;
    float mElapsed = 0.0f;
    float mCarry = 0.0f;
    bool mDying = false;
    std::vector<std::unique_ptr<ParticleSystem>> mSystems;
    std::vector<std::unique_ptr<Emitter>> mEmitters;
    Ref<Skeleton> mSkeleton;
    static inline const Mesh* sPlane = nullptr;
};
