#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/math/Matrix4.h"

// One node of a skeleton: a bone read from a file, or a mesh part arranged as a hierarchy.
struct Bone
{
    Bone() = default;
    Bone(const Bone&) = delete;
    Bone& operator=(const Bone&) = delete;
    Bone(Bone&&) = default;
    Bone& operator=(Bone&&) = default;
    virtual ~Bone() = default;

    // -1 for a root.
    int32_t mParent = 0;
    // The slot in the skeleton and the animation track that drives the bone.
    uint32_t mIndex = 0;
    uint32_t mFlags = 0;
    // Not owned; filled by Skeleton::LinkBones.
    std::vector<Bone*> mChildren;
    // Inverse bind matrix; only bones read with matrices have one.
    std::unique_ptr<Matrix4> mBindMatrix;
    std::string mName;
};
