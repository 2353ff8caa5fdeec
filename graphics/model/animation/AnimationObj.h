#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/assets/Ref.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"

class Animation;
class AnimationSet;
class Skeleton;

// The keyframe controller of one object: plays one loaded animation at a time, blends,
// samples one pose per track and tells the owner cog when an animation ends or wraps.
class AnimationObj
{
public:
    AnimationObj();
    ~AnimationObj();
    AnimationObj(const AnimationObj&) = delete;
    AnimationObj& operator=(const AnimationObj&) = delete;

    // The graphics loom's "Anim" toggle: while off, posing leaves the matrices as they are.
    static void SetAnimEnabled(bool enabled);
    static bool IsAnimEnabled();

    void SetActive(bool active) { AnimationActive = active; }
    void Update(float dt);
    void PlayAnimation(Animation* animation, bool loop);
    void SetAnimation(uint32_t index, bool loop);
    void SetAnimationByName(const std::string& name, bool loop);
    void CycleAnimation();
    void BlendToAnimation(Animation* target, uint32_t track, float turnRate, bool loop);
    void BlendToAnimationTimed(Animation* target, float duration, bool loop);
    Animation* FindAnimation(const std::string& name) const;
    Animation* GetCurrentAnimation() const { return mActive.empty() ? nullptr : mActive[0].Get(); }
    std::string GetAnimationName() const;
    std::string GetAnimationNameAt(uint32_t index) const;
    int32_t AddAnimation(Animation* animation);
    void Reset();
    void SetCallbackMessage(const std::string& name) { mCallbackMessage = name; }
    // Held by ID: a cog that dies is simply not found when the callback comes.
    void SetCallbackTarget(uint32_t cogId);
    void ResizeKeyCursors(uint32_t tracks);
    void LoadAnimationFile(const std::string& fileName);
    void LoadAnimationFiles();
    void ReleaseAnimations();

    // Identity for a track past the cursors or with nothing playing.
    void GetPose(uint32_t track, Quat& rotation, Vector3& position, Vector3& scale);
    void GetTrackMatrix(uint32_t track, Matrix4& out);
    void GetTrackMatrixNoScale(uint32_t track, Matrix4& out);
    void ApplyToSkeleton(Matrix4 root, Skeleton* skeleton);
    void ApplyToSkinSkeleton(Matrix4 root, Skeleton* skeleton);

    bool IsBlending() const { return mBlending; }
    float GetBlendDuration() const { return mBlendDuration; }
    uint32_t GetLoadedCount() const { return mLoadedCount; }
    const std::vector<Animation*>& GetLoaded() const { return mLoaded; }
    const std::vector<uint32_t>& GetKeyCursors() const { return mKeyCursors; }
    std::vector<Matrix4>& GetTrackMatrices() { return mTrackMatrices; }

    float AnimationRate = 1.0f;
    bool AnimationActive = true;
    float CurTime = 0.0f;
    bool LoopAnimation = false;
    uint32_t CurAnimation = 0;
    std::vector<std::string> FileAnimations;

private:
    void SendCallback(const std::string& animationName);
    void ReleaseActive();

    std::string mCallbackMessage;
    bool mBlending = false;
    float mBlendDuration = 0.0f;
    float mBlendTimer = 0.0f;
    uint32_t mLoadedCount = 0;
    std::vector<uint32_t> mKeyCursors;
    std::vector<Matrix4> mTrackMatrices;
    uint32_t mCallbackTarget = 0;
    bool mHasCallbackTarget = false;
    // One reference each: [0] plays; while blending [0] is the start pose, [1] the target.
    std::vector<Ref<Animation>> mActive;
    // Owned by the sets below.
    std::vector<Animation*> mLoaded;
    std::vector<Ref<AnimationSet>> mSets;
};
