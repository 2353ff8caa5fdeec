#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "LOOM/math/Matrix4.h"
#include "graphics/model/animation/Bone.h"
#include "graphics/resource/Resource.h"

class Animation;
class AnimationObj;

// A forest of bones that turns per-track poses into one matrix per bone.
class Skeleton : public Resource
{
public:
    Skeleton() = default;
    ~Skeleton() override = default;

    // Reads the file below the data folder.
    void Load(const std::string& fileName) override;

    // Owned bones: the loader fills them, then calls BuildIndexTable and LinkBones.
    std::vector<std::unique_ptr<Bone>>& GetBones() { return mBones; }
    // Slot i = owned bone i.
    void BuildIndexTable();
    // For bones owned elsewhere (the parts of a mesh): slot i = table[i].
    void SetIndexTable(std::vector<Bone*> table);
    // Roots and children from the parent indices. Refuses (and leaves the skeleton empty)
    // parents out of range, a bone its own ancestor, or a slot whose bone names another index.
    bool LinkBones();
    // Forgets every bone.
    void Clear();

    uint32_t GetBoneCount() const { return mBoneCount; }
    const std::vector<Bone*>& GetRoots() const { return mRoots; }
    Bone* GetBone(uint32_t index) const { return index < mIndexTable.size() ? mIndexTable[index] : nullptr; }
    // Bone indices with every parent before its children.
    const std::vector<uint32_t>& GetOrder() const { return mOrder; }

    // World matrix of every bone from key k of each track: local x parent, full product.
    void PoseFromKey(uint32_t key, std::span<Matrix4> out, const Animation& animation, const Matrix4& root) const;
    // The controller's scaled track matrices, affine products.
    void PoseFromController(std::span<Matrix4> out, AnimationObj& controller, const Matrix4& root) const;
    // Skinning matrices: inverse bind x world; children chain on the world, not the output.
    // A bone without a bind matrix skins with the identity as its bind.
    void UpdateBones(std::span<Matrix4> out, AnimationObj& controller, const Matrix4& root) const;

private:
    // Visits the bones parents first, handing each its parent's world matrix (root for the top).
    template <typename Compose>
    void PoseBones(std::span<Matrix4> out, const Matrix4& root, Compose compose) const;
    uint32_t mBoneCount = 0;
    std::vector<Bone*> mRoots;
    std::vector<std::unique_ptr<Bone>> mBones;
    std::vector<Bone*> mIndexTable;
    std::vector<uint32_t> mOrder;
    // Per-bone world matrices of the skinning pass, sized once at link.
    mutable std::vector<Matrix4> mWorld;
};
