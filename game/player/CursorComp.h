#pragma once
#include <cstdint>
#include <string>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Vector3.h"
#include "game/logic/TrapDrop.h"

class CogFactory;

// The player's hand (type id 115, on the cog "Cursor"): grabs, holds and throws cogs with a
// physics component out of its region, drops traps through the drop preview and bombs at the
// cursor, shows the floating "$" number and plays its idle animations.
class CursorComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 115;

    ~CursorComp() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "CursorComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();
    void AnimationCallback(std::string name);

    float GetHoverHeight() const { return minGrabHeight + (regularHoverHeight - minGrabHeight) * mGrabEnergy; }
    int32_t GetGrabbedID() const { return mGrabbed; }
    void ReleaseGrabbed(bool stunned);
    void SelectTrap(std::string name);
    // Signed: a negative amount shows as "$-n". Not once the level is over.
    void ShowFloatingNumber(int32_t amount);
    void HideFloatingNumber();
    void LeaveTrapDrop();
    // Back to the plain claw: no trap preview, no bomb.
    void LeaveDropModes();

    bool IsTrapDropMode() const { return mTrapDropMode; }
    bool IsBombMode() const { return mBombMode; }
    bool IsStunned() const { return mStunned; }
    bool IsRecharging() const { return mRecharging; }
    float GetGrabEnergy() const { return mGrabEnergy; }

    // Serialized.
    float regularHoverHeight = 15.0f;
    float minGrabHeight = 2.0f;
    float dropRate = 0.8f;
    float recoveryRate = 0.5f;
    float upThrowVal = 10.0f;
    float TotalFloatTime = 2.5f;
    float FloatHeight = 5.0f;
    // How near, across the ground, the claw must be to an invader to be over it.
    static constexpr float kHoverReach = 4.0f;

    // Run-time state the named cog functions share.
    float mGrabEnergy = 1.0f;
    bool mRecharging = false;
    int32_t mGrabbed = -1;

private:
    void UpdateFloatingNumber();
    void Recharge();
    void GrabStep();
    bool HoldStep();
    void TryGrab();
    // Takes the contact when it has physics: held, or followed by the camera with I down.
    bool Take(Cog& contact, uint32_t id);
    bool InvaderUnderClaw() const;
    void HintGrab();
    void TrapDropStep();
    // Says on the HUD why a drop of the kind was refused.
    void TellRefusal(const std::string& kind, DropCheck check);
    void BombStep();
    void ScheduleIdle();
    void Play(const std::string& name, bool loop, float rate);
    void SetTint(float greenBlue);
    // Logs once per cursor that a part it needs is missing; false when it is.
    bool Need(bool present, uint32_t bit, const char* what);
    Vector3 Position() const;
    Vector3 Velocity() const;

    float mFloatStart = 0.0f;
    float mIdleInterval = 7.5f;
    float mIdleJitter = 1.0f;
    float mIdleReference = 0.0f;
    bool mTrapDropMode = false;
    bool mBombMode = false;
    bool mGrabArmed = false;
    bool mStunned = false;
    bool mSavedGround = true;
    bool mGrabHinted = false;
    Vector3 mLastVelocity;
    uint32_t mMissingLogged = 0;
};

void RegisterCursorComp(CogFactory& cogs);
// The "Cursor" cog's cursor component, or null.
CursorComp* FindCursor();
