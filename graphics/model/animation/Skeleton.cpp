#include "graphics/model/animation/Skeleton.h"

#include "LOOM/base/FileUtils.h"
#include "graphics/model/animation/Animation.h"
#include "graphics/model/animation/AnimationObj.h"
#include "graphics/model/files/LMLoader.h"

void Skeleton::Load(const std::string& fileName)
{
    if (!IsRefusedDataName(fileName)) // a refused name was reported when it was read
        LMLoader::LoadSkeleton(*this, DataFilePath(fileName));
}

void Skeleton::BuildIndexTable()
{
    mIndexTable.clear();
    mIndexTable.reserve(mBones.size());
    for (auto& bone : mBones)
        mIndexTable.push_back(bone.get());
    mBoneCount = static_cast<uint32_t>(mIndexTable.size());
}

void Skeleton::SetIndexTable(std::vector<Bone*> table)
{
    mIndexTable = std::move(table);
    mBoneCount = static_cast<uint32_t>(mIndexTable.size());
}

bool Skeleton::LinkBones()
{
    const size_t count = mIndexTable.size();
    mRoots.clear();
    mOrder.clear();
    for (Bone* bone : mIndexTable)
    {
        if (bone)
            bone->mChildren.clear();
    }
    bool ok = true;
    for (size_t slot = 0; slot < count && ok; ++slot)
    {
        Bone* bone = mIndexTable[slot];
        ok = bone && bone->mIndex == slot &&
            (bone->mParent == -1 ||
             (bone->mParent >= 0 && static_cast<size_t>(bone->mParent) < count &&
              static_cast<size_t>(bone->mParent) != slot));
    }
    if (ok)
    {
        for (Bone* bone : mIndexTable)
        {
            if (bone->mParent == -1)
                mRoots.push_back(bone);
            else
                mIndexTable[bone->mParent]->mChildren.push_back(bone);
        }
        // Breadth first from the roots: a bone in a cycle is never reached.
        mOrder.reserve(count);
        for (Bone* root : mRoots)
            mOrder.push_back(root->mIndex);
        for (size_t i = 0; i < mOrder.size(); ++i)
            for (Bone* child : mIndexTable[mOrder[i]]->mChildren)
                mOrder.push_back(child->mIndex);
        ok = mOrder.size() == count;
    }
    if (!ok)
    {
        for (Bone* bone : mIndexTable)
        {
            if (bone)
                bone->mChildren.clear();
        }
        Clear();
        return false;
    }
    mWorld.assign(count, Matrix4());
    return true;
}

void Skeleton::Clear()
{
    mRoots.clear();
    mIndexTable.clear();
    mOrder.clear();
    mBones.clear();
    mWorld.clear();
    mBoneCount = 0;
}

template <typename Compose>
void Skeleton::PoseBones(std::span<Matrix4> out, const Matrix4& root, Compose compose) const
{
    for (uint32_t index : mOrder)
    {
        if (index >= out.size())
            continue;
        const Bone& bone = *mIndexTable[index];
        const Matrix4& parent =
            bone.mParent < 0 || static_cast<size_t>(bone.mParent) >= out.size() ? root : out[bone.mParent];
        compose(index, parent, out[index]);
    }
}

void Skeleton::PoseFromKey(uint32_t key, std::span<Matrix4> out, const Animation& animation, const Matrix4& root) const
{
    PoseBones(out, root, [&](uint32_t index, const Matrix4& parent, Matrix4& world) {
        animation.GetKeyMatrix(key, index).Multiply(parent, world);
    });
}

void Skeleton::PoseFromController(std::span<Matrix4> out, AnimationObj& controller, const Matrix4& root) const
{
    Matrix4 local;
    PoseBones(out, root, [&](uint32_t index, const Matrix4& parent, Matrix4& world) {
        controller.GetTrackMatrix(index, local);
        Matrix4::MultiplyAffine(local, parent, world);
    });
}

void Skeleton::UpdateBones(std::span<Matrix4> out, AnimationObj& controller, const Matrix4& root) const
{
    Matrix4 local;
    for (uint32_t index : mOrder)
    {
        const Bone& bone = *mIndexTable[index];
        const Matrix4& parent = bone.mParent < 0 ? root : mWorld[bone.mParent];
        controller.GetTrackMatrixNoScale(index, local);
        Matrix4::MultiplyAffine(local, parent, mWorld[index]);
        if (index >= out.size())
            continue;
        if (bone.mBindMatrix)
            Matrix4::MultiplyAffine(*bone.mBindMatrix, mWorld[index], out[index]);
        else
            out[index] = mWorld[index];
    }
}
