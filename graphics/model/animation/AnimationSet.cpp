#include "graphics/model/animation/AnimationSet.h"

#include "LOOM/base/FileUtils.h"
#include "graphics/model/files/LMLoader.h"

void AnimationSet::Load(const std::string& fileName) { LMLoader::LoadAnimations(*this, DataFilePath(fileName)); }

Animation* AnimationSet::AddAnimation()
{
    ++mCount;
    Animations.push_back(std::make_unique<Animation>());
    return Animations.back().get();
}

void AnimationSet::Clear()
{
    Animations.clear();
    mCount = 0;
}
