#pragma once
#include <cstdint>

#include "LOOM/math/Vector3.h"

class QTree;

// Local bounds are relative to the position and never rotated.
struct BoundingBox
{
    Vector3 min;
    Vector3 max;
};

struct BoundingSphere
{
    Vector3 center;
    float radius = 0.0f;
};

// What the quadtree files: a position, the bounds around it and the filing record the tree
// keeps inside the object. Positional builds on it.
class Spatial
{
public:
    static constexpr uint32_t kBoundingBox = 1; // any other BoundingType uses the sphere

    Spatial() = default;
    // A copy takes the place and bounds but is not filed anywhere.
    Spatial(const Spatial& other);
    Spatial& operator=(const Spatial& other);
    // Leaves the tree it is filed in, so the tree never holds a dead object.
    ~Spatial();

    const Vector3& GetPosition() const { return mPosition; }
    // Stores the position only; the owner re-files through QTree::UpdateObject.
    void StorePosition(const Vector3& position) { mPosition = position; }

    uint32_t GetBoundingType() const { return mBoundingType; }
    void SetBoundingType(uint32_t type) { mBoundingType = type; }
    bool UsesBox() const { return mBoundingType == kBoundingBox; }

    BoundingBox& GetLocalBox() { return mLocalBox; }
    const BoundingBox& GetLocalBox() const { return mLocalBox; }
    BoundingSphere& GetLocalSphere() { return mLocalSphere; }
    const BoundingSphere& GetLocalSphere() const { return mLocalSphere; }
    float GetRadius() const { return mLocalSphere.radius; }

    Vector3 GetWorldSphereCenter() const { return mLocalSphere.center + mPosition; }
    BoundingSphere GetWorldSphere() const { return {GetWorldSphereCenter(), mLocalSphere.radius}; }
    Vector3 GetWorldBoxCenter() const { return (mLocalBox.min + mLocalBox.max) * 0.5f + mPosition; }
    BoundingBox GetWorldBox() const { return {mLocalBox.min + mPosition, mLocalBox.max + mPosition}; }
    Vector3 GetBoxExtents() const { return mLocalBox.max - mLocalBox.min; }

    // Touching counts as intersecting.
    bool Intersects(const Spatial& other) const;

    // Half-width of the square around the position (x and z) that holds the bound in use:
    // the size the tree files by, so offset bounds are covered too.
    float GetReach() const;
    // Lowest and highest y of the bound in use.
    void GetHeightRange(float& low, float& high) const;

    // Filing, as the tree last computed it.
    bool IsInTree() const { return mInTree; }
    uint32_t GetLevel() const { return mLevel; }
    uint32_t GetCellX() const { return mCellX; }
    uint32_t GetCellZ() const { return mCellZ; }
    int32_t GetListIndex() const { return mListIndex; }
    // Set by the view query, cleared by whoever consumes it.
    bool IsSeen() const { return mSeen; }
    void SetSeen(bool seen) { mSeen = seen; }

private:
    friend class QTree;

    Vector3 mPosition;
    uint32_t mBoundingType = 0;
    BoundingBox mLocalBox;
    BoundingSphere mLocalSphere;

    uint32_t mLevel = 0;
    uint32_t mCellX = 0;
    uint32_t mCellZ = 0;
    bool mInTree = false;
    bool mSeen = false;
    QTree* mTree = nullptr; // the tree holding it, while mInTree
    uint32_t mNode = 0;
    int32_t mListIndex = -1;
};
