#include "LOOM/space/QTree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLLoader.h"

namespace {
QTree* gInstance = nullptr;

// Node regions are grown by this share of a cell so float rounding in filing never leaves an
// object poking out of the region that stands for it.
constexpr float kRegionSlack = 1.0f / 1024.0f;

// Lists start at four entries and shrink by half when a quarter full, so a node whose count
// wobbles around a power of two does not swap blocks every frame.
constexpr uint32_t kMinListClass = 2;
} // namespace

QTree::QTree()
{
    if (!gInstance)
        gInstance = this;
}

QTree::~QTree()
{
    DetachAll();
    if (gInstance == this)
        gInstance = nullptr;
}

QTree* QTree::Instance() { return gInstance; }

void QTree::Serialize(Serializer& serializer)
{
    serializer.SerializeRealField("WorldCubeSize", mWorldCubeSize);
    serializer.SerializeInt("QuadTreeDepth", mQuadTreeDepth);
}

void QTree::LoadSettings()
{
    if (!FileExists(DataFilePath(kSettingsFile)))
    {
        Console::Instance().Log(std::string(kSettingsFile) + " not found; the quad tree uses world size " +
                                    std::to_string(static_cast<int>(kDefaultWorldSize)) + " and depth " +
                                    std::to_string(kDefaultDepth),
                                LogLoading);
        return;
    }
    const bool good = XMLLoader::LoadObject(kSettingsFile, *this);
    if (!good)
    {
        // The loader has named what is broken; a half-read file is not used.
        Console::Instance().Log(std::string(kSettingsFile) + " is not correct; the quad tree uses world size " +
                                    std::to_string(static_cast<int>(kDefaultWorldSize)) + " and depth " +
                                    std::to_string(kDefaultDepth),
                                LogError);
        mWorldCubeSize = kDefaultWorldSize;
        mQuadTreeDepth = kDefaultDepth;
    }
}

bool QTree::Init()
{
    mWorldCubeSize = kDefaultWorldSize;
    mQuadTreeDepth = kDefaultDepth;
    LoadSettings();

    if (mQuadTreeDepth < 0 || mQuadTreeDepth > static_cast<int32_t>(kMaxDepth))
    {
        Console::Instance().Log(std::string(kSettingsFile) + ": QuadTreeDepth " + std::to_string(mQuadTreeDepth) +
                                    " is outside 0 to " + std::to_string(kMaxDepth) + "; using " +
                                    std::to_string(kDefaultDepth),
                                LogError);
        mQuadTreeDepth = kDefaultDepth;
    }
    if (!(std::isfinite(mWorldCubeSize) && mWorldCubeSize > 0.0f))
    {
        Console::Instance().Log(std::string(kSettingsFile) + ": WorldCubeSize " + std::to_string(mWorldCubeSize) +
                                    " is not a positive size; using " +
                                    std::to_string(static_cast<int>(kDefaultWorldSize)),
                                LogError);
        mWorldCubeSize = kDefaultWorldSize;
    }
    return Allocate(static_cast<uint32_t>(mQuadTreeDepth)) && BuildTree(mWorldCubeSize);
}

bool QTree::Allocate(uint32_t depth)
{
    if (depth > kMaxDepth)
    {
        Console::Instance().Log("Quad tree depth " + std::to_string(depth) + " refused: the deepest allowed is " +
                                    std::to_string(kMaxDepth) + " (" + std::to_string(NodeCountForDepth(kMaxDepth)) +
                                    " nodes)",
                                LogError);
        return false;
    }
    DetachAll();
    mNodes = std::vector<QTreeNode>(NodeCountForDepth(depth));
    mDepth = depth;
    mAllocated = true;
    // The new nodes have no centres yet.
    mBuilt = false;
    return true;
}

bool QTree::BuildTree(float worldSize)
{
    if (!mAllocated)
    {
        if (AssertFailed("initialized", "QTree", __LINE__, "Error: Must init tree before calling BuildTree."))
            DebugBreakIfAttached();
        return false;
    }
    if (!(std::isfinite(worldSize) && worldSize > 0.0f))
    {
        Console::Instance().Log(
            "Quad tree world size " + std::to_string(worldSize) + " refused: it must be a positive number", LogError);
        return false;
    }
    DetachAll();
    mWorldSize = worldSize;
    for (uint32_t level = 0; level <= mDepth; ++level)
    {
        const uint32_t cells = 1u << level;
        const float size = worldSize / static_cast<float>(cells);
        mCellSize[level] = size;
        for (uint32_t z = 0; z < cells; ++z)
        {
            for (uint32_t x = 0; x < cells; ++x)
            {
                QTreeNode& node = mNodes[NodeIndex(level, x, z)];
                node.centerX = (static_cast<float>(x) + 0.5f) * size;
                node.centerZ = (static_cast<float>(z) + 0.5f) * size;
            }
        }
    }
    mLowY = std::numeric_limits<float>::infinity();
    mHighY = -std::numeric_limits<float>::infinity();
    mBuilt = true;
    return true;
}

void QTree::DetachAll()
{
    for (QTreeNode& node : mNodes)
    {
        for (Spatial* obj : node.Objects())
        {
            obj->mTree = nullptr;
            obj->mInTree = false;
            obj->mListIndex = -1;
            obj->mNode = 0;
        }
        if (node.objects)
            mListPool.Give(node.objects, node.sizeClass);
        node.objects = nullptr;
        node.count = 0;
        node.childrenobjects = 0;
    }
}

uint32_t QTree::LevelFor(float reach) const
{
    // Also catches NaN: a point-like object goes to the deepest level.
    if (!(reach > 0.0f))
        return mDepth;
    const float ratio = mWorldSize / reach;
    // floor(log2(ratio)) - 1 would be below 1.
    if (!(ratio >= 4.0f))
        return 0;
    const float wanted = std::floor(std::log2(ratio)) - 1.0f;
    uint32_t level = wanted >= static_cast<float>(mDepth) ? mDepth : static_cast<uint32_t>(wanted);
    // log2 of a rounded ratio can come out one too high; the cell must hold twice the reach.
    while (level > 0 && mCellSize[level] < 2.0f * reach)
        --level;
    return level;
}

bool QTree::ComputeFiling(const Spatial* obj, uint32_t& level, uint32_t& cellX, uint32_t& cellZ) const
{
    level = LevelFor(obj->GetReach());
    const float cells = static_cast<float>(1u << level);
    const float tx = obj->mPosition.x * cells / mWorldSize;
    const float tz = obj->mPosition.z * cells / mWorldSize;
    // Decided in float: NaN and huge values fail here and never reach an integer conversion.
    // Truncation toward zero keeps a position less than a cell below 0 in cell 0.
    if (!(tx > -1.0f && tx < cells && tz > -1.0f && tz < cells))
    {
        cellX = 0;
        cellZ = 0;
        return false;
    }
    cellX = static_cast<uint32_t>(static_cast<int32_t>(tx));
    cellZ = static_cast<uint32_t>(static_cast<int32_t>(tz));
    return true;
}

void QTree::AddToAncestors(uint32_t level, uint32_t x, uint32_t z, int32_t delta)
{
    while (level > 0)
    {
        --level;
        x >>= 1;
        z >>= 1;
        mNodes[NodeIndex(level, x, z)].childrenobjects += delta;
    }
}

void QTree::GrowHeightRange(const Spatial* obj)
{
    float low, high;
    obj->GetHeightRange(low, high);
    if (low < mLowY)
        mLowY = low;
    if (high > mHighY)
        mHighY = high;
}

void QTree::MoveList(QTreeNode& node, uint32_t sizeClass)
{
    Spatial** block = mListPool.Take(sizeClass);
    if (node.objects)
    {
        std::copy(node.objects, node.objects + node.count, block);
        mListPool.Give(node.objects, node.sizeClass);
    }
    node.objects = block;
    node.sizeClass = sizeClass;
}

void QTree::PushObject(QTreeNode& node, Spatial* obj)
{
    if (!node.objects)
        MoveList(node, kMinListClass);
    else if (node.count == BlockPool<Spatial*>::Capacity(node.sizeClass))
        MoveList(node, node.sizeClass + 1);
    node.objects[node.count++] = obj;
}

void QTree::PopObject(QTreeNode& node)
{
    --node.count;
    if (node.count == 0)
    {
        mListPool.Give(node.objects, node.sizeClass);
        node.objects = nullptr;
    }
    else if (node.sizeClass > kMinListClass && node.count <= BlockPool<Spatial*>::Capacity(node.sizeClass) / 4)
    {
        MoveList(node, node.sizeClass - 1);
    }
}

bool QTree::Insert(Spatial* obj)
{
    if (!obj || !mBuilt)
        return false;
    // Filing twice would leave a stale entry behind.
    if (obj->mTree)
        obj->mTree->Remove(obj);

    uint32_t level, cellX, cellZ;
    const bool inside = ComputeFiling(obj, level, cellX, cellZ);
    obj->mCellX = cellX;
    obj->mCellZ = cellZ;
    if (!inside)
    {
        obj->mLevel = 0;
        obj->mInTree = false;
        return false;
    }
    obj->mLevel = level;
    const uint32_t index = NodeIndex(level, cellX, cellZ);
    QTreeNode& node = mNodes[index];
    obj->mListIndex = static_cast<int32_t>(node.count);
    PushObject(node, obj);
    obj->mNode = index;
    obj->mTree = this;
    obj->mInTree = true;
    AddToAncestors(level, cellX, cellZ, 1);
    if (level > 0)
        GrowHeightRange(obj);
    return true;
}

void QTree::Remove(Spatial* obj)
{
    if (!obj || obj->mTree != this || !obj->mInTree)
        return;
    QTreeNode& node = mNodes[obj->mNode];
    const int32_t index = obj->mListIndex;
    if (index >= 0 && static_cast<uint32_t>(index) < node.count && node.objects[index] == obj)
    {
        // The last entry takes the freed slot.
        Spatial* last = node.objects[node.count - 1];
        node.objects[index] = last;
        last->mListIndex = index;
        PopObject(node);
        AddToAncestors(obj->mLevel, obj->mCellX, obj->mCellZ, -1);
    }
    else
    {
        LOOM_ASSERT(false, "Quad tree object not found at its list index");
    }
    obj->mTree = nullptr;
    obj->mInTree = false;
    obj->mListIndex = -1;
    obj->mNode = 0;
}

bool QTree::StillFits(const Spatial* obj) const
{
    if (!obj || !obj->mInTree || obj->mTree != this)
        return false;
    uint32_t level, cellX, cellZ;
    return ComputeFiling(obj, level, cellX, cellZ) && level == obj->mLevel && cellX == obj->mCellX &&
        cellZ == obj->mCellZ;
}

void QTree::UpdateObject(Spatial* obj)
{
    if (!obj)
        return;
    if (StillFits(obj))
    {
        if (obj->mLevel > 0)
            GrowHeightRange(obj);
        return;
    }
    if (obj->mTree)
        obj->mTree->Remove(obj);
    if (mBuilt)
        Insert(obj);
}

QTree::Region QTree::NodeRegion(uint32_t level, uint32_t x, uint32_t z) const
{
    const QTreeNode& node = mNodes[NodeIndex(level, x, z)];
    const float cell = mCellSize[level];
    const float half = cell * (1.0f + kRegionSlack);
    Region region{node.centerX - half, node.centerX + half, node.centerZ - half, node.centerZ + half};
    // Cell 0 also holds positions up to a cell below 0.
    if (x == 0)
        region.minX -= cell;
    if (z == 0)
        region.minZ -= cell;
    return region;
}

bool QTree::RegionInFrustum(const Region& region, std::span<const Plane, 6> frustum) const
{
    // The planes arrive with their height term already folded into d (MarkVisible).
    for (const Plane& plane : frustum)
    {
        float value = plane.d;
        value += plane.a > 0.0f ? plane.a * region.maxX : plane.a * region.minX;
        value += plane.c > 0.0f ? plane.c * region.maxZ : plane.c * region.minZ;
        if (!(value >= 0.0f))
            return false;
    }
    return true;
}

void QTree::MarkChildren(uint32_t level, uint32_t x, uint32_t z, std::span<const Plane, 6> frustum)
{
    const uint32_t child = level + 1;
    for (uint32_t j = 0; j < 2; ++j)
    {
        for (uint32_t i = 0; i < 2; ++i)
        {
            const uint32_t cx = 2 * x + i;
            const uint32_t cz = 2 * z + j;
            QTreeNode& node = mNodes[NodeIndex(child, cx, cz)];
            if (node.count == 0 && node.childrenobjects == 0)
                continue;
            if (!RegionInFrustum(NodeRegion(child, cx, cz), frustum))
                continue;
            for (Spatial* obj : node.Objects())
                obj->mSeen = true;
            if (node.childrenobjects != 0 && child < mDepth)
                MarkChildren(child, cx, cz, frustum);
        }
    }
}

namespace {
// Nodes are boxes from the lowest to the highest filed object; fold each plane's best height
// into d so the node test only looks at x and z.
std::array<Plane, 6> FoldHeight(std::span<const Plane, 6> frustum, float lowY, float highY)
{
    std::array<Plane, 6> folded;
    for (size_t i = 0; i < 6; ++i)
    {
        Plane plane = frustum[i];
        if (plane.b > 0.0f)
            plane.d += plane.b * highY;
        else if (plane.b < 0.0f)
            plane.d += plane.b * lowY;
        plane.b = 0.0f;
        folded[i] = plane;
    }
    return folded;
}
} // namespace

void QTree::MarkVisible(std::span<const Plane, 6> frustum)
{
    if (!mBuilt)
        return;
    // The root holds what is too big to test.
    for (Spatial* obj : mNodes[0].Objects())
        obj->mSeen = true;
    if (mNodes[0].childrenobjects == 0)
        return;
    const std::array<Plane, 6> folded = FoldHeight(frustum, mLowY, mHighY);
    MarkChildren(0, 0, 0, folded);
}

void QTree::CollectVisibleNode(uint32_t node, std::span<const Plane, 6> frustum, std::vector<Spatial*>& out) const
{
    if (!mBuilt || node >= mNodes.size())
        return;
    uint32_t level = 0;
    while (level < mDepth && node >= LevelStart(level + 1))
        ++level;
    const uint32_t offset = node - LevelStart(level);
    const uint32_t x = offset & ((1u << level) - 1);
    const uint32_t z = offset >> level;
    const std::array<Plane, 6> folded = FoldHeight(frustum, mLowY, mHighY);
    if (level == 0 || RegionInFrustum(NodeRegion(level, x, z), folded))
    {
        const std::span<Spatial* const> objects = mNodes[node].Objects();
        out.insert(out.end(), objects.begin(), objects.end());
    }
}

void QTree::OverlapChildren(uint32_t level, uint32_t x, uint32_t z, const Spatial* obj, float reach,
                            std::vector<Spatial*>& out) const
{
    const uint32_t child = level + 1;
    const float px = obj->mPosition.x;
    const float pz = obj->mPosition.z;
    for (uint32_t j = 0; j < 2; ++j)
    {
        for (uint32_t i = 0; i < 2; ++i)
        {
            const uint32_t cx = 2 * x + i;
            const uint32_t cz = 2 * z + j;
            const QTreeNode& node = mNodes[NodeIndex(child, cx, cz)];
            if (node.count == 0 && node.childrenobjects == 0)
                continue;
            const Region region = NodeRegion(child, cx, cz);
            if (!(region.minX <= px + reach && region.maxX >= px - reach && region.minZ <= pz + reach &&
                  region.maxZ >= pz - reach))
                continue;
            for (Spatial* other : node.Objects())
            {
                if (obj->Intersects(*other))
                    out.push_back(other);
            }
            if (node.childrenobjects != 0 && child < mDepth)
                OverlapChildren(child, cx, cz, obj, reach, out);
        }
    }
}

void QTree::QueryOverlaps(const Spatial* obj, std::vector<Spatial*>& out) const
{
    out.clear();
    if (!obj || !mBuilt)
        return;
    for (Spatial* other : mNodes[0].Objects())
    {
        if (obj->Intersects(*other))
            out.push_back(other);
    }
    if (mNodes[0].childrenobjects != 0)
        OverlapChildren(0, 0, 0, obj, obj->GetReach(), out);
}
