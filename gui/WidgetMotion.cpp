#include "gui/WidgetMotion.h"

#include <cmath>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/model/animation/AnimationSet.h"

WidgetMotion::WidgetMotion() = default;

WidgetMotion::~WidgetMotion() = default;

void WidgetMotion::SetFile(std::string file, int32_t pathIndex)
{
    mFile = std::move(file);
    mPathIndex = pathIndex;
}

void WidgetMotion::Serialize(Serializer& s)
{
    s.SerializeDataFile("AnimationFile", mFile);
    s.SerializeInt("PathIndex", mPathIndex);
}

bool WidgetMotion::Load(const std::string& widget)
{
    if (mAnimations)
        return !mAnimations->Animations.empty();
    if (mFile.empty() || IsRefusedDataName(mFile))
        return false;
    if (!FileExists(DataFilePath(mFile)))
    {
        if (!mWarned)
            Console::Instance().Log("Widget " + widget + ": no animation file " + mFile, LogError);
        mWarned = true;
        return false;
    }
    mAnimations = std::make_unique<AnimationSet>();
    mAnimations->Load(DataFilePath(mFile));
    return !mAnimations->Animations.empty();
}

const Animation* WidgetMotion::Find(const std::string& name, const std::string& widget)
{
    if (!Load(widget))
        return nullptr;
    const Animation* found = nullptr;
    for (const std::unique_ptr<Animation>& animation : mAnimations->Animations)
        if (animation && animation->mName == name)
            found = animation.get();
    if (!found || mPathIndex < 0 || uint32_t(mPathIndex) >= found->mTracks.size())
    {
        if (!mWarned)
            Console::Instance().Log("Widget " + widget + ": no animation " + name + " on track " +
                                        std::to_string(mPathIndex) + " in " + mFile,
                                    LogError);
        mWarned = true;
        return nullptr;
    }
    return found;
}

void WidgetMotion::Start(const Animation& animation, const Pose& from)
{
    mBase = from;
    mPlaying = &animation;
    mTime = 0.0f;
    mCursor = 0;
}

bool WidgetMotion::Step(float dt, Pose& out)
{
    if (!mPlaying)
        return false;
    mTime += dt;
    const bool done = mTime >= mPlaying->mLength;
    const float time = done ? mPlaying->mLength : mTime;
    const Matrix4 m = mPlaying->SampleMatrix(uint32_t(mPathIndex), time, mCursor);
    out.mX = mBase.mX + m.m[12];
    out.mY = mBase.mY + m.m[13];
    out.mRotation = mBase.mRotation + std::atan2(m.m[1], m.m[0]);
    if (done)
        mPlaying = nullptr;
    return true;
}
