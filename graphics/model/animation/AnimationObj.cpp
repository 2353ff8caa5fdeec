#include "graphics/model/animation/AnimationObj.h"

#include <algorithm>
#include <cmath>

#include "LOOM/assets/AssetManager.h"
#include "LOOM/base/AssertHandler.h"
#include "LOOM/calls/CogDirectory.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/Console.h"
#include "graphics/model/ModelStores.h"
#include "graphics/model/animation/Animation.h"
#include "graphics/model/animation/AnimationSet.h"
#include "graphics/model/animation/Skeleton.h"

namespace {
bool sAnimEnabled = true;
} // namespace

void AnimationObj::SetAnimEnabled(bool enabled) { sAnimEnabled = enabled; }

bool AnimationObj::IsAnimEnabled() { return sAnimEnabled; }

AnimationObj::AnimationObj() = default;

AnimationObj::~AnimationObj() { ReleaseAnimations(); }

void AnimationObj::ReleaseActive() { mActive.clear(); }

void AnimationObj::Update(float dt)
{
    if (!AnimationActive || mActive.empty())
        return;
    if (mBlending)
    {
        mBlendTimer += dt;
        if (mBlendTimer < mBlendDuration)
            return;
        CurTime = 0.0f;
        mBlending = false;
        PlayAnimation(mActive[1].Get(), LoopAnimation);
        return;
    }
    const float t = dt * AnimationRate + CurTime;
    CurTime = t;
    const Animation& playing = *mActive[0];
    const float length = playing.mLength;
    if (t > length)
    {
        if (LoopAnimation)
            CurTime = 0.0f;
        else
            AnimationActive = false;
        // The callback may replace or free the animation: nothing of it is read after.
        SendCallback(playing.mName);
    }
    else if (t < 0.0f)
    {
        CurTime = length;
        if (!LoopAnimation)
            AnimationActive = false;
        SendCallback(playing.mName);
    }
}

void AnimationObj::SendCallback(const std::string& animationName)
{
    if (mCallbackMessage.empty() || !mHasCallbackTarget)
        return;
    CogDirectory* directory = CogDirectory::Get();
    Cog* cog = directory ? directory->FindCogById(mCallbackTarget) : nullptr;
    if (!cog)
        return;
    ParamBuffer params = ParamBuffer::FromString(animationName);
    directory->CallFunction(*cog, mCallbackMessage, params);
}

void AnimationObj::SetCallbackTarget(uint32_t cogId)
{
    mHasCallbackTarget = true;
    mCallbackTarget = cogId;
}

void AnimationObj::PlayAnimation(Animation* animation, bool loop)
{
    if (!animation)
        return;
    auto held = Ref<Animation>::Share(animation);
    ReleaseActive();
    mBlending = false;
    mActive.push_back(std::move(held));
    LoopAnimation = loop;
    AnimationActive = true;
    CurTime = 0.0f;
    std::fill(mKeyCursors.begin(), mKeyCursors.end(), 0u);
}

void AnimationObj::SetAnimation(uint32_t index, bool loop)
{
    if (index < mLoaded.size())
        PlayAnimation(mLoaded[index], loop);
}

void AnimationObj::SetAnimationByName(const std::string& name, bool loop)
{
    if (!mBlending && !mActive.empty() && mActive[0]->mName == name && LoopAnimation == loop)
        return;
    for (Animation* animation : mLoaded)
    {
        if (animation->mName == name)
            PlayAnimation(animation, loop);
    }
}

void AnimationObj::CycleAnimation()
{
    if (mLoaded.empty())
        return;
    CurAnimation = static_cast<uint32_t>((uint64_t(CurAnimation) + 1) % mLoaded.size());
    PlayAnimation(mLoaded[CurAnimation], true);
}

void AnimationObj::BlendToAnimation(Animation* target, uint32_t track, float turnRate, bool loop)
{
    if (!target)
        return;
    if (mActive.empty())
    {
        PlayAnimation(target, loop);
        return;
    }
    BlendToAnimationTimed(target, 0.0f, loop);
    const Animation& from = *mActive[0];
    if (turnRate <= 0.0f || track >= from.mTracks.size() || track >= target->mTracks.size() ||
        from.mTracks[track].keys.empty() || target->mTracks[track].keys.empty())
        return;
    const Vector3 a = from.mTracks[track].keys[0].rotation.GetForward();
    const Vector3 b = target->mTracks[track].keys[0].rotation.GetForward();
    const float dot = std::clamp(DotProduct(a, b), -1.0f, 1.0f);
    mBlendDuration = std::fabs(std::acos(dot)) / turnRate;
}

void AnimationObj::BlendToAnimationTimed(Animation* target, float duration, bool loop)
{
    if (!target)
        return;
    if (mActive.empty())
    {
        PlayAnimation(target, loop);
        return;
    }
    auto held = Ref<Animation>::Share(target);
    Ref<Animation> snapshot = mActive[0]->FromControllerPose(*this);
    ReleaseActive();
    mActive.push_back(std::move(snapshot));
    mActive.push_back(std::move(held));
    LoopAnimation = loop;
    mBlendTimer = 0.0f;
    mBlendDuration = duration;
    mBlending = true;
    AnimationActive = true;
}

Animation* AnimationObj::FindAnimation(const std::string& name) const
{
    for (Animation* animation : mLoaded)
    {
        if (animation->mName == name)
            return animation;
    }
    return nullptr;
}

std::string AnimationObj::GetAnimationName() const
{
    if (mBlending)
        return "Blending";
    return mActive.empty() ? std::string() : mActive[0]->mName;
}

std::string AnimationObj::GetAnimationNameAt(uint32_t index) const
{
    return index < mLoaded.size() ? mLoaded[index]->mName : "Out of Animation Range";
}

int32_t AnimationObj::AddAnimation(Animation* animation)
{
    mLoaded.push_back(animation);
    ++mLoadedCount;
    return static_cast<int32_t>(mLoaded.size() - 1);
}

void AnimationObj::Reset()
{
    CurTime = 0.0f;
    std::fill(mKeyCursors.begin(), mKeyCursors.end(), 0u);
}

void AnimationObj::ResizeKeyCursors(uint32_t tracks)
{
    // New matrices start as the identity: parts without animation draw where they stand.
    mTrackMatrices.resize(tracks);
    mKeyCursors.resize(tracks, 0u);
}

void AnimationObj::LoadAnimationFile(const std::string& fileName)
{
    if (!ModelStores::sAnimations)
    {
        Console::Instance().Log("AnimationObj: no animation store for " + fileName, LogError);
        return;
    }
    Ref<AnimationSet> set = ModelStores::sAnimations->GetRef(fileName);
    for (const std::unique_ptr<Animation>& animation : set->Animations)
    {
        if (animation->NumPaths > mKeyCursors.size() &&
            AssertFailedString("Set->Animations[x]->NumPaths <= CurrentKeys.size()", "AnimationObj", __LINE__,
                               "Animation File does not have enough Paths, File: " + fileName))
            DebugBreakIfAttached();
        mLoaded.push_back(animation.get());
        ++mLoadedCount;
    }
    mSets.push_back(std::move(set));
}

void AnimationObj::LoadAnimationFiles()
{
    for (const std::string& file : FileAnimations)
        LoadAnimationFile(file);
}

void AnimationObj::ReleaseAnimations()
{
    ReleaseActive();
    mSets.clear();
    mKeyCursors.clear();
    mTrackMatrices.clear();
    mLoaded.clear();
    mLoadedCount = 0;
    CurAnimation = 0;
    mBlending = false;
}

void AnimationObj::GetPose(uint32_t track, Quat& rotation, Vector3& position, Vector3& scale)
{
    AnimationPose pose;
    if (track < mKeyCursors.size() && !mActive.empty())
    {
        if (!mBlending)
        {
            pose = mActive[0]->Sample(track, CurTime, mKeyCursors[track]);
        }
        else
        {
            const AnimationPose from = mActive[0]->GetKey(0, track);
            const AnimationPose to = mActive[1]->GetKey(0, track);
            const float t = mBlendDuration > 0.0f ? std::min(mBlendTimer / mBlendDuration, 1.0f) : 1.0f;
            Quat::Slerp(pose.rotation, t, from.rotation, to.rotation);
            pose.position = from.position * (1.0f - t) + to.position * t;
            pose.scale = from.scale * (1.0f - t) + to.scale * t;
        }
    }
    rotation = pose.rotation;
    position = pose.position;
    scale = pose.scale;
}

void AnimationObj::GetTrackMatrix(uint32_t track, Matrix4& out)
{
    Quat rotation;
    Vector3 position, scale;
    GetPose(track, rotation, position, scale);
    out.FromPosQuatScale(position, rotation, scale);
}

void AnimationObj::GetTrackMatrixNoScale(uint32_t track, Matrix4& out)
{
    Quat rotation;
    Vector3 position, scale;
    GetPose(track, rotation, position, scale);
    out.FromPosQuat(position, rotation);
}

void AnimationObj::ApplyToSkeleton(Matrix4 root, Skeleton* skeleton)
{
    if (mLoaded.empty() || mActive.empty() || !sAnimEnabled || !skeleton)
        return;
    skeleton->PoseFromController(mTrackMatrices, *this, root);
}

void AnimationObj::ApplyToSkinSkeleton(Matrix4 root, Skeleton* skeleton)
{
    if (mLoaded.empty() || mActive.empty() || !sAnimEnabled || !skeleton)
        return;
    skeleton->UpdateBones(mTrackMatrices, *this, root);
}
