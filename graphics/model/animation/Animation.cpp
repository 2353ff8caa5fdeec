#include "graphics/model/animation/Animation.h"

#include <cmath>

#include "graphics/model/animation/AnimationObj.h"

namespace {
constexpr float kKeyEpsilon = 0.0001f;

AnimationPose PoseOf(const AnimationKey& key) { return {key.rotation, key.position, key.scale}; }
} // namespace

AnimationPose Animation::GetKey(uint32_t key, uint32_t track) const
{
    if (track >= mTracks.size() || key >= mTracks[track].keys.size())
        return {};
    return PoseOf(mTracks[track].keys[key]);
}

Matrix4 Animation::GetKeyMatrix(uint32_t key, uint32_t track) const
{
    const AnimationPose pose = GetKey(key, track);
    Matrix4 out;
    out.FromPosQuatScale(pose.position, pose.rotation, pose.scale);
    return out;
}

AnimationPose Animation::Sample(uint32_t track, float time, uint32_t& cursor) const
{
    if (track >= mTracks.size() || mTracks[track].keys.empty())
        return {};
    const std::vector<AnimationKey>& keys = mTracks[track].keys;
    const uint32_t last = static_cast<uint32_t>(keys.size() - 1);
    uint32_t k = cursor > last ? last : cursor;
    while (k > 0 && time < keys[k].time)
        --k;
    while (k != last && time > keys[k + 1].time)
        ++k;
    cursor = k;
    if (k == last || time <= keys[k].time || std::fabs(time - keys[k].time) < kKeyEpsilon)
        return PoseOf(keys[k]);
    if (std::fabs(time - keys[k + 1].time) < kKeyEpsilon)
        return PoseOf(keys[k + 1]);
    const AnimationKey& a = keys[k];
    const AnimationKey& b = keys[k + 1];
    const float s = (time - a.time) / (b.time - a.time);
    AnimationPose pose;
    Quat::Slerp(pose.rotation, s, a.rotation, b.rotation);
    pose.position = a.position * (1.0f - s) + b.position * s;
    pose.scale = a.scale * (1.0f - s) + b.scale * s;
    return pose;
}

AnimationPose Animation::SampleFromStart(float time, uint32_t track) const
{
    uint32_t cursor = 0;
    return Sample(track, time, cursor);
}

Matrix4 Animation::SampleMatrix(uint32_t track, float time, uint32_t& cursor) const
{
    const AnimationPose pose = Sample(track, time, cursor);
    Matrix4 out;
    out.FromPosQuatScale(pose.position, pose.rotation, pose.scale);
    return out;
}

Ref<Animation> Animation::Clone() const
{
    auto copy = Ref<Animation>::Adopt(new Animation());
    copy->mLength = mLength;
    copy->NumPaths = NumPaths;
    copy->mTracks = mTracks;
    return copy;
}

Ref<Animation> Animation::FromControllerPose(AnimationObj& controller) const
{
    auto snapshot = Ref<Animation>::Adopt(new Animation());
    snapshot->mLength = 1.0f;
    snapshot->NumPaths = NumPaths;
    snapshot->ResizeTracks();
    for (uint32_t t = 0; t < NumPaths; ++t)
    {
        AnimationKey key;
        controller.GetPose(t, key.rotation, key.position, key.scale);
        snapshot->mTracks[t].keys.push_back(key);
    }
    return snapshot;
}
