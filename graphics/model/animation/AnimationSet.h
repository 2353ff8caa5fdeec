#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/model/animation/Animation.h"
#include "graphics/resource/Resource.h"

// The animations of one file, owned together; the animation store caches sets by file name.
class AnimationSet : public Resource
{
public:
    AnimationSet() = default;

    void Load(const std::string& fileName) override;

    Animation* AddAnimation();
    Animation* GetLast() const { return Animations.empty() ? nullptr : Animations.back().get(); }
    void Clear();

    uint32_t mCount = 0;
    // Owned whatever their counts: holders keep the set, not the animation.
    std::vector<std::unique_ptr<Animation>> Animations;
};
