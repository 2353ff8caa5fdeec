#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/assets/RefCounted.h"
#include "graphics/model/Animation.h"

// The animations of one file, owned together; the animation store caches sets by file name.
class AnimationSet : public RefCounted
{
public:
    AnimationSet() = default;
    // Deletes its animations whatever their counts: holders keep the set, not the animation.
    ~AnimationSet() override;

    virtual uint32_t GetMemorySize() const { return 0; }
    virtual std::string GetTypeName() const { return {}; }
    virtual void Load(const std::string& fileName);

    Animation* AddAnimation();
    Animation* GetLast() const { return Animations.empty() ? nullptr : Animations.back(); }
    void Clear();

    uint32_t mCount = 0;
    std::vector<Animation*> Animations;
};
