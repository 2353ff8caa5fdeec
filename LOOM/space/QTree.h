#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "LOOM/base/BlockPool.h"
#include "LOOM/math/Plane.h"
#include "LOOM/space/Spatial.h"

class Serializer;

// One cell of the tree. Its objects lie (position) inside the cell and reach at most half a
// cell beyond it, so each node covers its cell grown by half a cell on every side.
struct QTreeNode
{
    float centerX = 0.0f;
    float centerZ = 0.0f;
    int32_t childrenobjects = 0; // objects filed in the descendants, not in this node
    uint32_t count = 0;          // objects filed in this node
    uint32_t sizeClass = 0;      // the block holds 2^sizeClass entries
    Spatial** objects = nullptr; // a block of the tree's pool; the objects are not owned

    std::span<Spatial* const> Objects() const { return {objects, count}; }
};

// Loose quadtree over the ground plane (x and z from 0 to the world size). Objects are filed at
// the deepest level whose cell is at least twice their reach, in the cell of their position.
class QTree
{
public:
    // Depth 10 is 1.4 million nodes (about 56 MB); deeper trees cost more than they save.
    static constexpr uint32_t kMaxDepth = 10;
    static constexpr float kDefaultWorldSize = 512.0f;
    static constexpr int32_t kDefaultDepth = 5;
    static constexpr const char* kSettingsFile = "Config/QTree.xml";

    QTree();
    ~QTree();
    QTree(const QTree&) = delete;
    QTree& operator=(const QTree&) = delete;

    // The first tree constructed, until it is destroyed.
    static QTree* Instance();

    // Reads the settings, then Allocate and BuildTree; bad settings fall back to the defaults.
    bool Init();
    void Serialize(Serializer& serializer);

    // False (and logged) for a depth above kMaxDepth; nothing changes then.
    bool Allocate(uint32_t depth);
    // False without nodes (assertion) or for a world size that is not a positive finite number.
    bool BuildTree(float worldSize);

    // False when the tree is not built or the position is outside the world square.
    bool Insert(Spatial* obj);
    bool TryInsert(Spatial* obj) { return mBuilt && Insert(obj); }
    void Remove(Spatial* obj);
    // What moving code calls after changing an object's position or bounds.
    void UpdateObject(Spatial* obj);
    bool StillFits(const Spatial* obj) const;

    // Sets the seen flag of every object in a node the frustum meets (planes face inward).
    void MarkVisible(std::span<const Plane, 6> frustum);
    // Appends the objects of one node when the frustum meets it.
    void CollectVisibleNode(uint32_t node, std::span<const Plane, 6> frustum, std::vector<Spatial*>& out) const;
    // Fills out (cleared first) with the filed objects whose bounds intersect obj's.
    void QueryOverlaps(const Spatial* obj, std::vector<Spatial*>& out) const;

    bool IsBuilt() const { return mBuilt; }
    float GetWorldSize() const { return mWorldSize; }
    uint32_t GetDepth() const { return mDepth; }
    int32_t GetQuadTreeDepth() const { return mQuadTreeDepth; }

    static uint32_t NodeCountForDepth(uint32_t depth) { return ((1u << (2 * (depth + 1))) - 1) / 3; }
    static uint32_t NodeIndex(uint32_t level, uint32_t x, uint32_t z) { return LevelStart(level) + x + (z << level); }
    uint32_t NodeCount() const { return static_cast<uint32_t>(mNodes.size()); }
    const QTreeNode& GetNode(uint32_t index) const { return mNodes[index]; }
    // List blocks made so far; steady motion makes no new ones.
    size_t ListBlocks() const { return mListPool.AllocatedBlocks(); }

    // Level and cell of an object as filing would compute them; false when outside the world.
    bool ComputeFiling(const Spatial* obj, uint32_t& level, uint32_t& cellX, uint32_t& cellZ) const;

private:
    struct Region
    {
        float minX, maxX, minZ, maxZ;
    };

    static uint32_t LevelStart(uint32_t level) { return ((1u << (2 * level)) - 1) / 3; }
    uint32_t LevelFor(float reach) const;
    Region NodeRegion(uint32_t level, uint32_t x, uint32_t z) const;
    bool RegionInFrustum(const Region& region, std::span<const Plane, 6> frustum) const;
    void MarkChildren(uint32_t level, uint32_t x, uint32_t z, std::span<const Plane, 6> frustum);
    void OverlapChildren(uint32_t level, uint32_t x, uint32_t z, const Spatial* obj, float reach,
                         std::vector<Spatial*>& out) const;
    void AddToAncestors(uint32_t level, uint32_t x, uint32_t z, int32_t delta);
    void GrowHeightRange(const Spatial* obj);
    void PushObject(QTreeNode& node, Spatial* obj);
    void PopObject(QTreeNode& node);
    void MoveList(QTreeNode& node, uint32_t sizeClass);
    void DetachAll();
    void LoadSettings();

    bool mBuilt = false;
    bool mAllocated = false;
    float mWorldSize = 0.0f;
    uint32_t mDepth = 0;
    BlockPool<Spatial*> mListPool;
    std::vector<QTreeNode> mNodes;
    std::array<float, kMaxDepth + 1> mCellSize{};
    // Height range of everything filed below the root: the view query tests nodes as boxes.
    float mLowY = 0.0f;
    float mHighY = 0.0f;

    float mWorldCubeSize = kDefaultWorldSize;
    int32_t mQuadTreeDepth = kDefaultDepth;
};
