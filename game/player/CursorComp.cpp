#include "game/player/CursorComp.h"

#include <cstdio>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Random.h"
#include "LOOM/serial/Serializer.h"
#include "game/components/RegionContacts.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/DataController.h"
#include "game/logic/GameData.h"
#include "game/logic/HudSeam.h"
#include "game/logic/ModelSeam.h"
#include "game/logic/TrapDrop.h"
#include "game/player/CursorPreview.h"
#include "game/player/GameCamera.h"
#include "game/player/HUDComp.h"
#include "game/player/LogicCommands.h"
#include "game/player/PlayerServices.h"
#include "physics/PhysicsComp.h"
#include "physics/RegionComp.h"

namespace {
class CursorFactory : public CompFactoryOf<CursorComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("AnimationCallback", MakeCompFunctor(CursorComp::kTypeId, &CursorComp::AnimationCallback));
        composer.AddOwnedUpdate(MakeCompFunctor(CursorComp::kTypeId, &CursorComp::Update));
    }
};

CursorFactory gCursorFactory;

constexpr uint32_t kMissingModel = 1;
constexpr uint32_t kMissingRegion = 2;
constexpr uint32_t kMissingHud = 4;
constexpr uint32_t kMissingFollower = 8;
constexpr uint32_t kMissingGameCamera = 16;

const Color kHintColor(0.75f, 0.95f, 1.0f, 1.0f);

// A trap kind named in the plural ("spikes") takes "cost", a single one ("axe") "costs".
const char* CostVerb(const std::string& kind)
{
    const bool plural = kind.size() > 1 && kind.back() == 's' && kind[kind.size() - 2] != 's';
    return plural ? " cost " : " costs ";
}

bool CursorActive()
{
    const DataController* data = Data();
    return data && data->mCursorActive;
}
} // namespace

void RegisterCursorComp(CogFactory& cogs) { cogs.Types().RegisterComponent(CursorComp::kTypeId, &gCursorFactory); }

CursorComp* FindCursor()
{
    Cog* cursor = FindCog("Cursor");
    return cursor ? cursor->Get<CursorComp>() : nullptr;
}

CursorComp::~CursorComp() { PreviewDestroy(); }

void CursorComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("regularHoverHeight", regularHoverHeight);
    s.SerializeRealField("minGrabHeight", minGrabHeight);
    s.SerializeRealField("dropRate", dropRate);
    s.SerializeRealField("recoveryRate", recoveryRate);
    s.SerializeRealField("upThrowVal", upThrowVal);
    s.SerializeRealField("TotalFloatTime", TotalFloatTime);
    s.SerializeRealField("FloatHeight", FloatHeight);
}

bool CursorComp::Need(bool present, uint32_t bit, const char* what)
{
    if (!present && !(mMissingLogged & bit))
    {
        mMissingLogged |= bit;
        Console::Instance().Log(std::string("CursorComp: the cursor has no ") + what + ", skipping what needs it",
                                LogError);
    }
    return present;
}

void CursorComp::Initialize()
{
    if (mOwner && Need(SceneModels().HasModel(*mOwner), kMissingModel, "SkinModel"))
    {
        SceneModels().PlayAnimation(*mOwner, "Idle", false);
        SceneModels().SetCallbackMessage(*mOwner, "AnimationCallback");
    }
    ScheduleIdle();
}

Vector3 CursorComp::Position() const { return GetOwnerPositional() ? GetOwnerPositional()->GetPosition() : Vector3(); }

Vector3 CursorComp::Velocity() const { return GetOwnerPositional() ? GetOwnerPositional()->GetVelocity() : Vector3(); }

void CursorComp::ScheduleIdle() { mIdleReference = GameTime() + RandomFloat(-mIdleJitter, mIdleJitter); }

void CursorComp::Play(const std::string& name, bool loop, float rate)
{
    if (!mOwner || !SceneModels().HasModel(*mOwner))
        return;
    if (rate > 0.0f)
        SceneModels().SetAnimationRate(*mOwner, rate);
    SceneModels().PlayAnimation(*mOwner, name, loop);
}

void CursorComp::SetTint(float greenBlue)
{
    if (!mOwner)
        return;
    Color color(1.0f, 1.0f, 1.0f, 1.0f);
    if (!SceneModels().GetModelColor(*mOwner, color))
        return;
    color.g = greenBlue;
    color.b = greenBlue;
    SceneModels().SetModelColor(*mOwner, color);
}

void CursorComp::UpdateFloatingNumber()
{
    HudSeam& hud = SceneHud();
    if (!hud.HasHudDisplay(*mOwner) || !hud.IsNumberShown(*mOwner))
        return;
    // A float time of 0 or less has nothing to show; the clock stops with the level, which
    // would leave the number standing behind the game-over window.
    const DataController* data = Data();
    if (!(TotalFloatTime > 0.0f) || (data && data->IsLevelOver()))
    {
        hud.ShowNumber(*mOwner, false);
        return;
    }
    const float t = (GameTime() - mFloatStart) / TotalFloatTime;
    hud.SetHudOffsetHeight(*mOwner, t * FloatHeight);
    const float a = 0.2f * TotalFloatTime;
    float alpha;
    if (a >= 1.0f)
        alpha = t >= 1.0f ? -1.0f : t / a; // no fade-out to divide by: gone at the end of the time
    else if (t < a)
        alpha = t / a;
    else
        alpha = 1.0f - (t - a) / (1.0f - a);
    hud.SetHudAlpha(*mOwner, alpha);
    if (alpha < 0.0f)
        hud.ShowNumber(*mOwner, false);
}

void CursorComp::Recharge()
{
    if (!mRecharging)
        return;
    mGrabEnergy += FrameTime() * recoveryRate;
    if (mGrabEnergy >= 1.0f)
    {
        mGrabEnergy = 1.0f;
        mRecharging = false;
    }
}

void CursorComp::Update()
{
    if (!mOwner)
        return;
    UpdateFloatingNumber();
    if (mStunned)
    {
        Recharge();
        return;
    }
    if (GameTime() - mIdleReference > mIdleInterval)
    {
        if (SceneModels().HasModel(*mOwner))
        {
            SceneModels().SetAnimationRate(*mOwner, 2.0f);
            SceneModels().SetAnimationActive(*mOwner, true);
            SceneModels().PlayAnimation(*mOwner, RandomInt(0, 4) != 0 ? "Idle" : "Idle2", false);
        }
        ScheduleIdle();
    }
    Recharge();
    if (mBombMode)
    {
        if (CursorActive())
            BombStep();
        return;
    }
    if (!mTrapDropMode)
        GrabStep();
    else if (CursorActive())
        TrapDropStep();
}

bool CursorComp::InvaderUnderClaw() const
{
    const DataController* data = Data();
    if (!data)
        return false;
    const Vector3 claw = Position();
    for (Comp* invader : data->mInvaders)
        if (const Positional* at = invader->GetOwnerPositional())
        {
            const float dx = at->GetPosition().x - claw.x;
            const float dz = at->GetPosition().z - claw.z;
            if (dx * dx + dz * dz < kHoverReach * kHoverReach)
                return true;
        }
    return false;
}

void CursorComp::HintGrab()
{
    // Once each time the claw comes over an invader: a grab is a held button, not a click.
    const bool over = mGrabbed < 0 && InvaderUnderClaw();
    if (over && !mGrabHinted)
        ShowTextPopup(SmallTextPopup, "Hold the left button to grab the invader", kHintColor, 0.1f, 2.0f, 0.5f);
    mGrabHinted = over;
}

void CursorComp::GrabStep()
{
    if (!MousePressed(0))
    {
        if (!CursorActive())
            return;
        HintGrab();
        mGrabArmed = true;
        ReleaseGrabbed(false);
        mRecharging = true;
    }
    else if (!HoldStep() && !mRecharging && !GuiOwnsClick())
    {
        TryGrab();
        ScheduleIdle();
    }
    mLastVelocity = Velocity();
}

bool CursorComp::HoldStep()
{
    Cog* held = CogById(mGrabbed);
    Positional* place = PosOf(held);
    if (!place)
        return false;
    ScheduleIdle();
    place->SetPosition(Position());
    place->SetVelocity(Velocity());
    const Vector3 forward =
        GetOwnerPositional() ? GetOwnerPositional()->GetOrientation().GetForward() : Vector3(0, 0, -1);
    place->SetOrientation(Quat::FromDirection(forward));
    if (Kestrane* invader = held ? held->Get<Kestrane>() : nullptr; invader && invader->GetState() != StateGrabbed)
        invader->ChangeState(StateGrabbed);
    return true;
}

void CursorComp::TryGrab()
{
    if (!CursorActive() || !mGrabArmed)
        return;
    mGrabEnergy -= FrameTime() * dropRate;
    if (mGrabEnergy <= 0.0f)
    {
        mGrabEnergy = 0.0f;
        mRecharging = true;
    }
    Play("Grab", false, 2.0f);
    RegionComp* region = mOwner ? mOwner->Get<RegionComp>() : nullptr;
    if (!Need(region != nullptr, kMissingRegion, "RegionComp"))
        return;
    // An invader in reach is taken before any other cog with physics there: one with a lower
    // ID (a parachute, a ball, a corpse) would otherwise take the grab meant for it.
    if (!TakeContact(*region, [this](Cog& contact, uint32_t id) {
            const Kestrane* invader = contact.Get<Kestrane>();
            return invader && !invader->IsDead() && Take(contact, id);
        }))
        TakeContact(*region, [this](Cog& contact, uint32_t id) { return Take(contact, id); });
}

bool CursorComp::Take(Cog& contact, uint32_t id)
{
    PhysicsComp* physics = contact.Get<PhysicsComp>();
    // The view moves by physics too, and is never the claw's to carry.
    if (!physics || &contact == FindCog("Camera"))
        return false;
    Kestrane* invader = contact.Get<Kestrane>();
    if (CharHeld('I'))
    {
        Cog* camera = FindCog("Camera");
        if (FollowerComp* follower = camera ? camera->Get<FollowerComp>() : nullptr;
            Need(follower != nullptr, kMissingFollower, "\"Camera\" FollowerComp"))
            follower->SetFollowedObj(static_cast<int32_t>(id));
        if (GameCamera* view = camera ? camera->Get<GameCamera>() : nullptr;
            Need(view != nullptr, kMissingGameCamera, "\"Camera\" GameCamera"))
            view->mZoomEnabled = false;
        if (Positional* place = PosOf(&contact))
            place->SetVisible(false);
        return true;
    }
    mGrabbed = static_cast<int32_t>(id);
    physics->mUseGravity = false;
    physics->mDisableRotation = true;
    mRecharging = true;
    if (invader)
    {
        invader->ChangeState(StateGrabbed);
        SendSound(contact, "PlaySound3D", "Hit");
        mSavedGround = invader->mRun.mReactsToCollisions;
        invader->mRun.mReactsToCollisions = false;
    }
    Play("Hold", true, 0.5f);
    return true;
}

void CursorComp::ReleaseGrabbed(bool stunned)
{
    Cog* held = CogById(mGrabbed);
    if (held)
    {
        Kestrane* invader = held ? held->Get<Kestrane>() : nullptr;
        if (PhysicsComp* physics = held ? held->Get<PhysicsComp>() : nullptr)
        {
            physics->mUseGravity = true;
            physics->mDisableRotation = false;
            if (!stunned)
            {
                Vector3 velocity = (Velocity() + mLastVelocity) * 0.5f;
                velocity.y += upThrowVal;
                if (Positional* place = PosOf(held))
                    place->SetVelocity(velocity);
                physics->SetSpinFromDirection(velocity, velocity.Length() * 0.2f);
                // The struggle's words end with the throw; the flight has its own.
                if (invader)
                    SayPhraseInstead(*invader, 3);
            }
        }
        mGrabbed = -1;
        if (invader)
        {
            invader->mRun.mReactsToCollisions = mSavedGround;
            invader->ChangeState(StateAirborne);
        }
        SendSound(*held, "PlaySound3D", "Throw");
        if (stunned)
        {
            Play("Stun", false, 0.0f);
            mStunned = true;
        }
        else
        {
            Play("Release", false, 0.0f);
        }
    }
    mRecharging = true;
}

void CursorComp::AnimationCallback(std::string name)
{
    if (name == "Grab")
    {
        if (HoldStep())
            Play("Hold", true, 0.5f);
        else
            Play("Release", false, 0.0f);
    }
    else if (name == "Stun")
    {
        mStunned = false;
        ScheduleIdle();
    }
    else if (name == "Idle" || name == "Idle2")
    {
        ScheduleIdle();
    }
}

void CursorComp::TrapDropStep()
{
    // Traps go on the ground under the pointer; the claw hovers on the pointer's ray above it.
    Vector3 at;
    if (!PointerOnGround(at))
        at = Position();
    PreviewFollow(at);
    if (MouseTriggered(1))
    {
        LeaveTrapDrop();
        return;
    }
    if (PreviewDraggingLine() && MouseReleased(0))
    {
        if (PreviewLineStep(at))
        {
            ScheduleIdle();
            return;
        }
    }
    // The click that chose the kind on a button does not drop it as well.
    if (!mGrabArmed)
    {
        mGrabArmed = !MousePressed(0);
        return;
    }
    if (!MouseTriggered(0) || GuiOwnsClick())
        return;
    const DataController* data = Data();
    const std::string kind = data ? data->mDropPreview.mTrapName : std::string();
    const DropCheck check =
        data && !kind.empty() ? CheckDropAt(kind, data->mDropPreview.mAnchorPosition) : DropCheck::NoLevel;
    if (kind == "wall")
    {
        // A line may cross taken tiles (those are skipped); with no credits it would place nothing.
        if (check == DropCheck::TooDear)
            TellRefusal(kind, check);
        else if (PreviewLineStep(at))
        {
            ScheduleIdle();
            // Pressed and released in one frame (a quick click at a low frame rate): the line
            // ends where it began, one wall, instead of waiting on a release already gone.
            if (MouseReleased(0))
            {
                PreviewFollow(at);
                PreviewLineStep(at);
            }
        }
        return;
    }
    if (check != DropCheck::Allowed)
    {
        TellRefusal(kind, check);
        return;
    }
    if (!PreviewPlace())
    {
        // A trap that faces a way waits for a second click; nothing else on screen says so.
        if (data && data->mDropPreview.mMode == DropPreview::ModeAim)
            ShowTextPopup(SmallTextPopup, "Now click the way the " + kind + " should face", kHintColor, 0.1f, 3.0f,
                          0.5f);
        return;
    }
    if (kind == "satellite")
        LeaveTrapDrop();
    if (mOwner && SceneModels().HasModel(*mOwner))
    {
        SceneModels().SetAnimationActive(*mOwner, true);
        Play("TrapDrop", false, 2.0f);
    }
    ScheduleIdle();
}

void CursorComp::TellRefusal(const std::string& kind, DropCheck check)
{
    DataController* data = Data();
    const std::string named = TrapDisplayName(kind);
    std::string text;
    switch (check)
    {
    case DropCheck::TooDear:
        text = "Not enough credits: the " + named + CostVerb(kind) +
            std::to_string(data ? data->GetTrapInfo(kind).creditCost : 0) + ", you have " +
            std::to_string(data ? data->GetPoints() : 0);
        break;
    case DropCheck::Outside:
        text = "The " + named + " must go on the field";
        break;
    case DropCheck::Taken:
        text = "That place is taken: the " + named + " must stand on free ground";
        break;
    default:
        return;
    }
    ShowTextPopup(SmallTextPopup, text, Color(1.0f, 0.55f, 0.2f, 1.0f), 0.1f, 1.5f, 0.5f);
}

void CursorComp::BombStep()
{
    if (!mGrabArmed)
        mGrabArmed = !MousePressed(0);
    else if (MouseTriggered(0) && !GuiOwnsClick())
        DropBomb(Position());
    if (MouseTriggered(1) && mBombMode)
    {
        mBombMode = false;
        SetTint(1.0f);
    }
}

void CursorComp::LeaveTrapDrop()
{
    mTrapDropMode = false;
    mGrabArmed = false;
    PreviewHide();
}

void CursorComp::LeaveDropModes()
{
    LeaveTrapDrop();
    if (mBombMode)
    {
        mBombMode = false;
        SetTint(1.0f);
    }
}

void CursorComp::SelectTrap(std::string name)
{
    // After the level's end nothing more is bought, from a button or a key.
    if (const DataController* data = Data(); data && data->IsLevelOver())
        return;
    ReleaseGrabbed(false);
    if (name == "bomb")
    {
        if (mTrapDropMode)
            LeaveTrapDrop();
        mGrabArmed = false;
        mBombMode = true;
        SetTint(0.25f);
        return;
    }
    LeaveTrapDrop();
    mTrapDropMode = true;
    if (mBombMode)
    {
        mBombMode = false;
        SetTint(1.0f);
    }
    PreviewSelect(name);
}

void CursorComp::ShowFloatingNumber(int32_t amount)
{
    if (!mOwner || !Need(SceneHud().HasHudDisplay(*mOwner), kMissingHud, "HudDisplay"))
        return;
    if (const DataController* data = Data(); data && data->IsLevelOver())
        return;
    HudSeam& hud = SceneHud();
    hud.ShowNumber(*mOwner, true);
    // Appended rather than "$" + text: g++ 12 warns of an overlap that cannot happen in the latter.
    std::string text = "$";
    text += std::to_string(amount);
    hud.SetHudText(*mOwner, text);
    hud.SetHudColor(*mOwner, Color(0.9f, 0.9f, 0.0f, 1.0f));
    hud.SetHudOffsetHeight(*mOwner, 0.0f);
    mFloatStart = GameTime();
}

void CursorComp::HideFloatingNumber()
{
    if (mOwner && SceneHud().HasHudDisplay(*mOwner))
        SceneHud().ShowNumber(*mOwner, false);
}
