#include "game/logic/DropPreview.h"

#include <algorithm>
#include <cmath>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Random.h"
#include "game/components/GameComponents.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/ModelSeam.h"
#include "game/logic/TerrainSeam.h"
#include "game/logic/TrapDrop.h"

namespace {
constexpr Color kValid{0.0f, 1.0f, 0.0f, 0.35f};
constexpr Color kInvalid{1.0f, 0.0f, 0.0f, 0.35f};
const char* const kPreviewFile = "Data\\TrapVisualCog.xml";
const char* const kArrowFile = "Data\\ArrowCog.xml";
// The model scale every trap archetype places its trap at.
constexpr float kPlacedScale = 1.0f;

Cog* Live(int32_t id) { return id < 0 ? nullptr : CogFactory::Instance().GetCog(static_cast<uint32_t>(id)); }

void Show(Cog* cog, bool visible)
{
    if (Positional* at = PosOf(cog))
        at->SetVisible(visible);
}

// Hides the line previews from `from` on; the cogs stay for the next line.
void HideLines(const std::vector<uint32_t>& lines, size_t from = 0)
{
    for (size_t i = from; i < lines.size(); ++i)
        Show(Live(static_cast<int32_t>(lines[i])), false);
}

void Tint(Cog* cog, bool valid)
{
    if (cog)
        SceneModels().SetModelColor(*cog, valid ? kValid : kInvalid);
}

// The ground under a point where a ground exists, else the point's own height.
Vector3 OnGround(Vector3 p)
{
    if (SceneTerrain().HasHeightMap())
        p.y = GroundHeight(p.x, p.z);
    return p;
}

void Destroy(int32_t id)
{
    CogFactory& cogs = CogFactory::Instance();
    if (Cog* cog = Live(id))
        if (!cogs.IsQueued(cog))
            cogs.Destroy(cog);
}
} // namespace

DropPreview::DropPreview() { CogFactory::Instance().AddIdListener(this); }

DropPreview::~DropPreview()
{
    Clear();
    CogFactory::Instance().RemoveIdListener(this);
}

Cog* DropPreview::PreviewCog() const { return Live(mPreviewCog); }
Cog* DropPreview::ArrowCog() const { return Live(mArrowCog); }

void DropPreview::ForgetCog(uint32_t id)
{
    if (mPreviewCog == static_cast<int32_t>(id))
        mPreviewCog = kNoCog;
    if (mArrowCog == static_cast<int32_t>(id))
        mArrowCog = kNoCog;
    std::erase(mLinePreviews, id);
}

void DropPreview::ForgetAllCogs()
{
    mPreviewCog = kNoCog;
    mArrowCog = kNoCog;
    mLinePreviews.clear();
    mMode = ModeNone;
}

void DropPreview::Disable()
{
    mEnabled = false;
    HideAll();
}

Cog* DropPreview::MakePreview()
{
    Cog* cog = CogFactory::Instance().Create(kPreviewFile);
    if (cog)
        SceneModels().SetModelFile(*cog, mTrapInfo.trapModelFile);
    return cog;
}

bool DropPreview::SelectTrap(const std::string& name)
{
    DataController* data = CurrentDataController();
    if (!mEnabled || !data || data->IsLevelOver() || !data->HasTrapInfo(name) || !data->IsTrapEnabled(name))
        return false;
    mTrapInfo = data->GetTrapInfo(name);
    mTrapName = name;
    Cog* preview = PreviewCog();
    if (!preview)
    {
        preview = MakePreview();
        if (preview)
            mPreviewCog = static_cast<int32_t>(preview->GetID());
    }
    if (preview)
    {
        SceneModels().SetModelFile(*preview, mTrapInfo.trapModelFile);
        // The trap models are made at their footprint and placed unscaled: the preview shows
        // the trap at the size it will stand, not its tile count times that.
        SceneModels().SetModelScale(*preview, kPlacedScale);
    }
    if (mMode == ModeLine)
    {
        // A new kind ends the running line drag.
        for (uint32_t id : mLinePreviews)
            Show(Live(static_cast<int32_t>(id)), false);
        mMode = ModeTrap;
    }
    if (mMode == ModeNone)
        mMode = ModeTrap;
    Show(preview, true);
    return true;
}

void DropPreview::Update(const Vector3& cursor)
{
    switch (mMode)
    {
    case ModeTrap:
        FollowCursor(cursor);
        break;
    case ModeAim:
        AimArrow(cursor);
        break;
    case ModeLine:
        UpdateLine(cursor);
        break;
    default:
        break;
    }
}

void DropPreview::FollowCursor(const Vector3& p)
{
    mAnchorPosition = p;
    if (!CurrentDataController())
        return;
    const Vector3 q = OnGround(SnapTrapDropPosition(mTrapName, p));
    Cog* preview = PreviewCog();
    if (Positional* at = PosOf(preview))
        at->SetPosition(q);
    Tint(preview, CanDropAt(mTrapName, p));
}

bool DropPreview::TryDrop()
{
    if (!mEnabled)
        return false;
    if (mMode == ModeTrap && mTrapInfo.MustOrient)
    {
        if (CanDropAt(mTrapName, mAnchorPosition))
            BeginAim();
        return false;
    }
    if (mMode != ModeTrap && mMode != ModeAim)
        return false;
    const bool dropped = Drop();
    if (dropped)
        ShowSingle();
    return dropped;
}

bool DropPreview::DropIfActive() { return mEnabled && mMode != ModeNone && Drop(); }

void DropPreview::BeginAim()
{
    mMode = ModeAim;
    Cog* arrow = ArrowCog();
    if (!arrow)
    {
        arrow = CogFactory::Instance().Create(kArrowFile);
        if (arrow)
            mArrowCog = static_cast<int32_t>(arrow->GetID());
    }
    Show(arrow, true);
}

void DropPreview::AimArrow(const Vector3& p)
{
    SetDirection(p - mAnchorPosition);
    const Quat facing = Quat::FromDirection(mDirection);
    Positional* preview = PosOf(PreviewCog());
    if (preview)
        preview->SetOrientation(facing);
    if (Positional* arrow = PosOf(ArrowCog()))
    {
        arrow->SetOrientation(facing);
        const float raise = preview ? preview->GetRadius() : 0.0f;
        arrow->SetPosition(mAnchorPosition + Vector3(0.0f, raise, 0.0f));
    }
}

Vector3 DropPreview::SnapDirection(Vector3 d)
{
    d.y = 0.0f;
    if (std::fabs(d.z) < std::fabs(d.x))
        return Vector3(d.x < 0.0f ? -1.0f : 1.0f, 0.0f, 0.0f);
    if (std::fabs(d.z) < 0.0001f)
        d.z = 1.0f;
    return Vector3(0.0f, 0.0f, d.z < 0.0f ? -1.0f : 1.0f);
}

bool DropPreview::Drop()
{
    if (!mTrapInfo.MustOrient)
        SetDirection(RandomUnitVector());
    if (!AttemptTrapDrop(mTrapName, mAnchorPosition, mDirection))
        return false;
    SpawnDust(mAnchorPosition);
    return true;
}

void DropPreview::SpawnDust(const Vector3& p)
{
    DataController* data = CurrentDataController();
    if ((data && data->IsEditMode()) || (gCoreEngine && gCoreEngine->GetGameClock().IsPaused()))
        return;
    Vector3 at = p;
    if (TileMap* map = CurrentTileMap())
    {
        const TileIndex tile = map->WorldToTile(p, 1, 1);
        at = map->TileToWorld(tile.first, tile.second);
    }
    CreateAt(CogFactory::Instance(), "DustExplosion", OnGround(at));
}

bool DropPreview::LineStep()
{
    if (mMode != ModeLine)
    {
        Show(PreviewCog(), false);
        mLineStart = mAnchorPosition;
        mMode = ModeLine;
        return true;
    }
    // Copied: a drop may create cogs, and a dying preview leaves the list.
    const std::vector<uint32_t> previews = mLinePreviews;
    for (uint32_t id : previews)
    {
        Positional* at = PosOf(Live(static_cast<int32_t>(id)));
        if (!at || !at->IsVisible() || !CanDropAt(mTrapName, at->GetPosition()))
            continue;
        if (AttemptTrapDrop(mTrapName, at->GetPosition(), mDirection))
            SpawnDust(at->GetPosition());
    }
    ShowSingle();
    return false;
}

void DropPreview::UpdateLine(const Vector3& p)
{
    TileMap* map = CurrentTileMap();
    DataController* data = CurrentDataController();
    if (!map || !data)
        return;
    mLineTiles.clear();
    map->GetTilesOnLine(mLineStart, p, mLineTiles);
    int64_t cost = 0;
    size_t shown = 0;
    for (const TileIndex& tile : mLineTiles)
    {
        if (shown == mLinePreviews.size())
        {
            Cog* made = MakePreview();
            if (!made)
                break;
            mLinePreviews.push_back(made->GetID());
        }
        Cog* preview = Live(static_cast<int32_t>(mLinePreviews[shown]));
        ++shown;
        cost += mTrapInfo.creditCost;
        const bool valid = map->IsAreaFree(tile.first, tile.second, 1, 1) && data->GetPoints() >= cost;
        Tint(preview, valid);
        if (Positional* at = PosOf(preview))
            at->SetPosition(OnGround(map->TileToWorld(tile.first, tile.second)));
        Show(preview, true);
    }
    HideLines(mLinePreviews, shown);
}

void DropPreview::ShowSingle()
{
    Show(PreviewCog(), true);
    Show(ArrowCog(), false);
    HideLines(mLinePreviews);
    mMode = ModeTrap;
}

void DropPreview::HideAll()
{
    Show(PreviewCog(), false);
    Show(ArrowCog(), false);
    HideLines(mLinePreviews);
    mMode = ModeNone;
}

void DropPreview::Clear()
{
    Destroy(mPreviewCog);
    Destroy(mArrowCog);
    for (uint32_t id : mLinePreviews)
        Destroy(static_cast<int32_t>(id));
    mPreviewCog = kNoCog;
    mArrowCog = kNoCog;
    mLinePreviews.clear();
    mMode = ModeNone;
}
