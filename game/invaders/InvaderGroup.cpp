#include "game/invaders/InvaderGroup.h"

#include <algorithm>
#include <cstdlib>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Random.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/LogicLoom.h"

namespace {
constexpr float kReleasedSpeed = 10.0f;

void Release(Kestrane& invader)
{
    invader.mRun.mGroup = nullptr;
    invader.mRun.mCurrentSpeed = kReleasedSpeed;
}

template <typename T>
void SwapRemove(std::vector<T>& list, size_t index)
{
    list[index] = std::move(list.back());
    list.pop_back();
}
} // namespace

void InvaderGroup::AddMember(Kestrane* invader)
{
    if (!invader || mMembers.size() >= kMaxMembers || invader == mLeader)
        return;
    if (std::find(mMembers.begin(), mMembers.end(), invader) != mMembers.end())
        return;
    invader->mRun.mGroup = this;
    invader->mRun.mCurrentSpeed = kReleasedSpeed;
    mMembers.push_back(invader);
}

void InvaderGroup::RemoveMember(Kestrane* invader)
{
    if (!invader || invader == mLeader)
        return;
    auto it = std::find(mMembers.begin(), mMembers.end(), invader);
    Release(*invader);
    if (it != mMembers.end())
        SwapRemove(mMembers, static_cast<size_t>(it - mMembers.begin()));
}

void InvaderGroup::Scatter()
{
    if (!mLeader)
        return;
    const TileMap* map = CurrentTileMap();
    for (Kestrane* m : mMembers)
    {
        const bool a = mLeader->mRun.mCurrentTile.first - m->mRun.mCurrentTile.first >= 1;
        const bool b = mLeader->mRun.mCurrentTile.second - m->mRun.mCurrentTile.second >= 1;
        int32_t ox = RandomInt(3, 5);
        if (RandomInt(0, 1) == 0)
            ox = -ox;
        int32_t oz;
        if (ox > 0 && a)
            oz = b ? RandomInt(-5, -3) : RandomInt(3, 5);
        else
        {
            oz = RandomInt(3, 5);
            if (RandomInt(0, 1) == 0)
                oz = -oz;
        }
        TileIndex target{m->mRun.mCurrentTile.first + ox, m->mRun.mCurrentTile.second + oz};
        // A tile off the field has no centre to walk to: the run ends at the field's edge.
        if (map && map->GetGridWidth() > 0 && map->GetGridDepth() > 0)
            target = {std::clamp(target.first, 0, map->GetGridWidth() - 1),
                      std::clamp(target.second, 0, map->GetGridDepth() - 1)};
        m->mRun.mTargetTile = target;
    }
}

void InvaderGroup::Disband()
{
    for (Kestrane* m : mMembers)
    {
        Release(*m);
        m->mRun.mTargetTile = m->mRun.mCurrentTile;
    }
    std::vector<Kestrane*>().swap(mMembers);
}

void InvaderGroup::Clear()
{
    for (Kestrane* m : mMembers)
        Release(*m);
    std::vector<Kestrane*>().swap(mMembers);
    if (mLeader)
        Release(*mLeader);
    mLeader = nullptr;
}

void InvaderGroup::Step()
{
    if (mMembers.empty() || !mLeader)
        return;
    for (Kestrane* m : mMembers)
    {
        const int32_t d = std::max(std::abs(mLeader->mRun.mCurrentTile.first - m->mRun.mCurrentTile.first),
                                   std::abs(mLeader->mRun.mCurrentTile.second - m->mRun.mCurrentTile.second));
        float speed = mLeader->mMoveSpeed + 0.1f * static_cast<float>(d - 1);
        if (m->mMoveSpeed <= speed)
            speed = m->mMoveSpeed;
        m->mRun.mCurrentSpeed = speed;
        m->mRun.mTargetTile = mLeader->mRun.mCurrentTile;
    }
    static const std::string kCursor = "Cursor";
    Cog* cursor = CogFactory::Instance().FindCogByName(kCursor);
    TileMap* map = CurrentTileMap();
    if (!cursor || !map)
        return;
    Positional* at = cursor->Get<Positional>();
    if (!at)
        return;
    const TileIndex tile = map->WorldToTile(at->GetPosition(), 1, 1);
    const int32_t ex = tile.first - mLeader->mRun.mCurrentTile.first;
    const int32_t ez = tile.second - mLeader->mRun.mCurrentTile.second;
    if (ex * ex + ez * ez >= 2)
        return;
    Kestrane& first = *mMembers.front();
    const Vector3 v = mLeader->Pos().GetPosition() - first.Pos().GetPosition();
    const float length = v.Length();
    if (length < 10.0f && length > 0.0f)
        HopInvader(first, v.Normalized(), 0.2f * length, 30.0f, 0.0f);
}

InvaderGroupList::~InvaderGroupList()
{
    for (auto& group : mGroups)
        group->Clear();
}

InvaderGroup* InvaderGroupList::CreateGroup(Kestrane* leader)
{
    mGroups.push_back(std::make_unique<InvaderGroup>(leader));
    return mGroups.back().get();
}

void InvaderGroupList::RemoveGroupOf(Kestrane* invader)
{
    if (!invader || !invader->mRun.mGroup)
        return;
    for (size_t i = 0; i < mGroups.size(); ++i)
    {
        if (mGroups[i].get() != invader->mRun.mGroup)
            continue;
        mGroups[i]->Clear();
        SwapRemove(mGroups, i);
        return;
    }
}

void InvaderGroupList::Update()
{
    for (size_t i = 0; i < mGroups.size(); ++i)
    {
        if (!mGroups[i]->GetLeader())
        {
            SwapRemove(mGroups, i);
            continue;
        }
        mGroups[i]->Step();
    }
}

InvaderGroupList* CurrentGroupList()
{
    LogicLoom* logic = LogicLoom::Instance();
    return logic ? logic->mGroups.get() : nullptr;
}
