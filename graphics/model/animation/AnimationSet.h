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
    // Deletes its animations whatever their counts: holders keep the set, not the animation.
    ~AnimationSet() override;

    void Load(const std::string& fileName) override;

    Animation* AddAnimation();
    Animation* GetLast() const { return Animations.empty() ? nullptr : Animations.back(); }
    void Clear();

    uint32_t mCount = 0;
    std::vector<Animation*> Animations;
};
