#include "graphics/model/animation/AnimationSet.h"

#include "LOOM/base/FileUtils.h"
#include "graphics/model/files/LMLoader.h"

AnimationSet::~AnimationSet() { Clear(); }

void AnimationSet::Load(const std::string& fileName) { LMLoader::LoadAnimations(*this, DataFilePath(fileName)); }

Animation* AnimationSet::AddAnimation()
{
    ++mCount;
    Animations.push_back(new Animation());
    return Animations.back();
}

void AnimationSet::Clear()
{
    for (Animation* animation : Animations)
        delete animation;
    Animations.clear();
    mCount = 0;
}
