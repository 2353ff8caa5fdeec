#include "game/traps/TrapKinds.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/MathUtil.h"
#include "LOOM/math/Random.h"
#include "game/components/GameComponents.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileComp.h"
#include "game/logic/DataController.h"
#include "game/logic/EffectSeam.h"
#include "game/logic/HudSeam.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/ModelSeam.h"
#include "game/logic/TerrainSeam.h"
#include "game/traps/TrapBehaviors.h"
#include "game/traps/TrapData.h"
#include "input/IOLoom.h"
#include "physics/CollisionComp.h"
#include "physics/PhysicsComp.h"
#include "physics/RegionComp.h"

namespace {
constexpr Color kOrange{1.0f, 0.4f, 0.0f, 1.0f};
constexpr Color kGreen{0.0f, 1.0f, 0.0f, 1.0f};
constexpr float kPi = 3.14159265358979f;
const Vector3 kUp(0.0f, 1.0f, 0.0f);
const Vector3 kSphereOffset(0.0f, 5.0f, 0.0f);

Cog& Own(TrapData& trap) { return *trap.GetOwner(); }
Vector3 TrapPos(TrapData& trap)
{
    Positional* at = trap.GetOwnerPositional();
    return at ? at->GetPosition() : Vector3();
}
Vector3 Forward(TrapData& trap)
{
    Positional* at = trap.GetOwnerPositional();
    return at ? at->GetOrientation().GetForward() : Vector3(0.0f, 0.0f, -1.0f);
}
float Elapsed(TrapData& trap) { return GameNow() - trap.stateTime; }
CogFactory& Cogs() { return CogFactory::Instance(); }

// The IDs of the trap region's contacts, or an empty list without a region.
const std::vector<uint32_t>& Contacts(TrapData& trap)
{
    static const std::vector<uint32_t> kNone;
    Cog* owner = trap.GetOwner();
    RegionComp* region = owner ? owner->Get<RegionComp>() : nullptr;
    return region ? region->GetContacts() : kNone;
}

// Walks the contact set. With stopAtGone, the walk ends at the first vanished cog; else such
// entries are skipped. The visitor gets each live cog. The walk goes by index, so a handler
// that makes the region drop a dead contact cannot leave it reading past the end.
template <typename Visit>
void ForContacts(TrapData& trap, bool stopAtGone, Visit visit)
{
    const std::vector<uint32_t>& contacts = Contacts(trap);
    for (size_t i = 0; i < contacts.size(); ++i)
    {
        Cog* cog = Cogs().GetCog(contacts[i]);
        if (!cog)
        {
            if (stopAtGone)
                return;
            continue;
        }
        visit(*cog);
    }
}

DamageInfo TrapHit(TrapData& trap, float amount)
{
    return DamageInfo{static_cast<int32_t>(Own(trap).GetID()), amount, 2};
}

void DamageAll(TrapData& trap, float amount, bool stopAtGone = false)
{
    const DamageInfo hit = TrapHit(trap, amount);
    ForContacts(trap, stopAtGone, [&](Cog& cog) {
        if (Kestrane* invader = cog.Get<Kestrane>())
            invader->Damage(hit);
    });
}

void Airborne(Kestrane& invader)
{
    if (invader.GetState() != StateAirborne)
        invader.ChangeState(StateAirborne);
}

void DeactivateStep(TrapData& trap, bool sound)
{
    Cog& cog = Own(trap);
    if (sound)
        SendSound(cog, "PlaySound3D", "Deactivate");
    ModelSeam& models = SceneModels();
    models.SetAnimationActive(cog, true);
    models.PlayAnimation(cog, "Deactivate", false);
    trap.state = TrapResetting;
}

void SelfDestruct(TrapData& trap)
{
    // Once: the killing record stays the first one.
    if (trap.curHP > 0.0f)
        trap.Damage(DamageInfo{static_cast<int32_t>(Own(trap).GetID()), -1000.0f, 5});
}

void UsesCounter(TrapData& trap)
{
    Cog& cog = Own(trap);
    HudSeam& hud = SceneHud();
    const float t = (GameNow() - trap.GetLastUseTime() - 5.0f) * 0.4f;
    // Gone with the level, whose end stops the clock that fades it.
    const DataController* data = CurrentDataController();
    if (t > 1.0f || (data && data->IsLevelOver()))
    {
        hud.ShowNumber(cog, false);
        return;
    }
    hud.ShowNumber(cog, true);
    hud.SetNumber(cog, static_cast<int32_t>(trap.charge));
    hud.SetHudAlpha(cog, 1.0f - std::max(t, 0.0f));
}

void GiveStatus(TrapData& trap)
{
    ForContacts(trap, false, [&](Cog& cog) {
        if (Kestrane* invader = cog.Get<Kestrane>())
            invader->ChangeEffect(trap.StatusEffectType, trap.EffectMagnitude);
    });
}

// Turns the first emitter's offset, given in the trap's frame, the way the trap was placed.
void AlignFirstEmitter(TrapData& trap)
{
    Cog& cog = Own(trap);
    EffectSeam& effects = SceneEffects();
    Vector3 offset;
    if (!effects.GetEmitterVector(cog, 0, "EPosition", offset))
        return;
    if (Positional* at = trap.GetOwnerPositional())
        at->GetOrientation().RotateVector(offset);
    effects.SetEmitterVector(cog, 0, "EPosition", offset);
}

float Speed(Cog& cog)
{
    Positional* at = PosOf(&cog);
    return at ? at->GetVelocity().Length() : 0.0f;
}

void AddVelocity(Cog& cog, const Vector3& dv)
{
    if (Positional* at = PosOf(&cog))
        at->SetVelocity(at->GetVelocity() + dv);
}

bool FullCharge(TrapData& trap) { return trap.charge >= trap.MaxCharge; }

EffectSeam::Beam MakeBeam(uint32_t source, const Vector3& from, const Vector3& to, float lifetime, float width,
                          float noise, int32_t segments, float noiseSpeed, int32_t kind)
{
    EffectSeam::Beam beam;
    beam.source = source;
    beam.from = from;
    beam.to = to;
    beam.lifetime = lifetime;
    beam.width = width;
    beam.noise = noise;
    beam.segments = segments;
    beam.noiseSpeed = noiseSpeed;
    beam.kind = kind;
    return beam;
}

// Beams in a ring around the top of a zapper.
void ZapRing(TrapData& trap, int32_t count, float step, float length, float lifetime, float width, float noise,
             int32_t segments)
{
    const Vector3 start = TrapPos(trap) + kSphereOffset;
    for (int32_t i = 0; i < count; ++i)
    {
        const float a = static_cast<float>(i) * step + RandomFloat(0.0f, kPi / 6.0f);
        const float y = RandomFloat(-0.5f, 0.5f);
        const float r = std::sqrt(1.0f - y * y);
        const Vector3 end = start + Vector3(std::cos(a) * r, y, std::sin(a) * r) * length;
        SceneEffects().AddBeam(MakeBeam(Own(trap).GetID(), start, end, lifetime, width, noise, segments, 100.0f, 2));
    }
}

Vector3 DownAxis(const Matrix4& m) { return m.RotateVector(Vector3(0.0f, -1.0f, 0.0f)); }

// ---------------------------------------------------------------------------------------------
// The kinds.

// Every kind here starts from the common region test and the default cycle, and aligns its
// first emitter when placed.
class Kind : public BasicTrap
{
public:
    void OnPlaced(TrapData& trap) override { AlignFirstEmitter(trap); }

protected:
    ~Kind() = default;
};

class StatusEffectTrap : public Kind
{
public:
    void Effect(TrapData& trap) override
    {
        GiveStatus(trap);
        DeactivateStep(trap, false);
    }

protected:
    ~StatusEffectTrap() = default;
};

class FlameTrap final : public StatusEffectTrap
{
public:
    // A jet, not a puff: it keeps burning what walks into it for this long once it fires.
    static constexpr float kJetSeconds = 1.5f;
    void Effect(TrapData& trap) override
    {
        GiveStatus(trap);
        if (Elapsed(trap) <= trap.ActivatingTime + kJetSeconds)
            return;
        DeactivateStep(trap, false);
        // The reset counts from the activation; after the jet it gets the time it had after a
        // single frame of fire, so the closing clip plays out and the idle one recharges.
        trap.stateTime = GameNow() - trap.ActivatingTime;
    }
    void ActiveUpdate(TrapData& trap) override
    {
        TrapCycle::ActiveUpdate(trap);
        if (trap.state != TrapFiring || !gCoreEngine)
            return;
        const int32_t n = static_cast<int32_t>(gCoreEngine->GetCoreTimer().GetDt() * 150.0);
        Cog& cog = Own(trap);
        ModelSeam& models = SceneModels();
        EffectSeam& effects = SceneEffects();
        for (int32_t part : {0, 5, 6, 7})
        {
            Matrix4 m;
            if (!models.GetPartMatrix(cog, part, m))
                continue;
            const Vector3 d = DownAxis(m);
            const Vector3 from = m.GetTranslation() + d * 4.0f;
            for (int32_t i = 0; i < n; ++i)
                effects.AddParticle(cog, 1, from, RandomVectorInCone(d, 0.25f) * RandomFloat(20.0f, 25.0f), 3.0f);
        }
    }
};

class LightBulbTrap final : public StatusEffectTrap
{
public:
    void Effect(TrapData& trap) override
    {
        StatusEffectTrap::Effect(trap);
        CreateAt(Cogs(), "Data/Effects/FlashEffect.xml", TrapPos(trap) + kSphereOffset);
    }
};

class HammerTrap final : public Kind
{
public:
    void Inactive(TrapData& trap) override { UsesCounter(trap); }
    void ChargeDepleted(TrapData& trap) override { SelfDestruct(trap); }
    void Effect(TrapData& trap) override
    {
        DamageAll(trap, -trap.EffectMagnitude);
        TerrainSeam& terrain = SceneTerrain();
        if (terrain.HasHeightMap())
        {
            Cog* owner = trap.GetOwner();
            RegionComp* region = owner ? owner->Get<RegionComp>() : nullptr;
            const Vector3 at = region ? region->GetVolume().GetPosition() : TrapPos(trap);
            terrain.AddDeformation(at, 15.0f, 4.0f, 0.5f);
            terrain.AddDecal(at, 4.0f, 2, 20.0f);
        }
        DeactivateStep(trap, true);
    }
};

class SpringTrap final : public Kind
{
public:
    void Inactive(TrapData& trap) override { UsesCounter(trap); }
    void ChargeDepleted(TrapData& trap) override { SelfDestruct(trap); }
    void OnPlaced(TrapData& trap) override
    {
        AlignFirstEmitter(trap);
        Positional* own = trap.GetOwnerPositional();
        Positional* tower = PosOf(Cogs().FindCogByName("Tower"));
        if (!own || !tower)
            return;
        Vector3 d = own->GetPosition() - tower->GetPosition();
        d.y = 0.0f;
        if (std::fabs(d.z) < std::fabs(d.x))
            d.z = 0.0f;
        else
        {
            d.x = 0.0f;
            d.z += 0.1f;
        }
        own->SetOrientation(Quat::FromDirection(d.Normalized()));
    }
    void Activate(TrapData& trap) override
    {
        TrapCycle::Activate(trap);
        const float m = trap.EffectMagnitude;
        const Vector3 f = Forward(trap);
        ForContacts(trap, true, [&](Cog& cog) {
            PhysicsComp* physics = cog.Get<PhysicsComp>();
            if (!physics)
                return;
            const Vector3 v = f * m +
                Vector3(RandomFloat(-0.1f * m, 0.1f * m), RandomFloat(9.0f * m, 9.5f * m),
                        RandomFloat(-0.1f * m, 0.1f * m));
            AddVelocity(cog, v * 0.1f);
            physics->SetSpinFromDirection(v.Normalized(), 10.0f);
            if (Kestrane* invader = cog.Get<Kestrane>())
            {
                physics->mUseGravity = true;
                physics->mDisableRotation = false;
                Airborne(*invader);
            }
        });
    }
    void Effect(TrapData& trap) override { DeactivateStep(trap, true); }
};

class PitTrap final : public Kind
{
public:
    void ActiveUpdate(TrapData& trap) override
    {
        switch (trap.state)
        {
        case TrapActivating:
            ForContacts(trap, true, [](Cog& cog) {
                if (Kestrane* invader = cog.Get<Kestrane>())
                {
                    if (Positional* at = PosOf(&cog))
                        at->SetVelocity(at->GetVelocity() * 0.0f);
                    Airborne(*invader);
                }
            });
            if (Elapsed(trap) > trap.ActivatingTime)
            {
                SceneModels().SetModelColor(Own(trap), kOrange);
                trap.state = TrapFiring;
            }
            break;
        case TrapFiring:
            DeactivateStep(trap, true);
            break;
        case TrapResetting:
            ForContacts(trap, true, [&](Cog& cog) {
                Kestrane* invader = cog.Get<Kestrane>();
                if (!invader)
                    return;
                if (CollisionComp* collision = cog.Get<CollisionComp>())
                {
                    collision->SetActive(false);
                    if (std::find(trap.heldCogs.begin(), trap.heldCogs.end(), cog.GetID()) == trap.heldCogs.end())
                        trap.heldCogs.push_back(cog.GetID());
                }
                if (Speed(cog) < 10.0f)
                    if (Positional* at = PosOf(&cog))
                    {
                        Vector3 v = at->GetVelocity();
                        v.y = -10.0f;
                        v.z = 0.0f;
                        at->SetVelocity(v);
                    }
                Airborne(*invader);
            });
            if (Elapsed(trap) > trap.ResetingTime)
            {
                DamageAll(trap, -trap.EffectMagnitude, true);
                Release(trap);
                BackToReady(trap, true);
                trap.UseCharge(1.0f);
            }
            break;
        default:
            break;
        }
    }
    void Effect(TrapData& trap) override { DeactivateStep(trap, true); }

private:
    // Whoever survives the closing pit may collide again; a cog that died meanwhile is skipped.
    static void Release(TrapData& trap)
    {
        for (uint32_t id : trap.heldCogs)
        {
            Cog* cog = Cogs().GetCog(id);
            CollisionComp* collision = cog ? cog->Get<CollisionComp>() : nullptr;
            if (collision && cog && cog->Get<Kestrane>())
                collision->SetActive(true);
        }
        trap.heldCogs.clear();
    }
};

class AxeTrap final : public Kind
{
public:
    bool ShouldActivate(TrapData& trap) override { return trap.GetCharge() >= 1.0f && BasicTrap::ShouldActivate(trap); }
    // The swing slows as the charge runs down, and the axe keeps its pose while it waits.
    void Firing(TrapData& trap) override
    {
        SceneModels().SetAnimationRate(Own(trap), (trap.GetChargeFraction() + 1.0f) * 0.5f);
    }
    bool RestartsAnimationWhenReady() const override { return false; }
    // Kept in its pose, the axe never plays its idle clip again, which is when traps recharge:
    // once ready it recharges at its record's rate all the same.
    void Inactive(TrapData& trap) override
    {
        TrapCycle::Inactive(trap);
        std::string current;
        if (trap.state != TrapReady || !SceneModels().CurrentAnimation(Own(trap), current) || current == "Inactive")
            return;
        trap.charge = std::fmin(trap.charge + GameDt() * trap.RechargeRate, trap.MaxCharge);
    }
    void Effect(TrapData& trap) override
    {
        const float s = trap.GetChargeFraction() * trap.EffectMagnitude;
        DamageAll(trap, s * -0.1f);
        const Vector3 own = TrapPos(trap);
        ForContacts(trap, false, [&](Cog& cog) {
            PhysicsComp* physics = cog.Get<PhysicsComp>();
            Positional* at = PosOf(&cog);
            if (!physics || !at)
                return;
            Vector3 d;
            CrossProduct(own - at->GetPosition(), kUp, d);
            d = d.Normalized();
            d.y += 0.25f;
            at->SetVelocity(at->GetVelocity() + d * (trap.EffectMagnitude * 0.5f));
            physics->AddForce(d, s);
        });
        trap.state = TrapResetting;
    }
};

class BugZapperTrap final : public Kind
{
public:
    void Update(TrapData& trap) override
    {
        trap.gfxTime1 -= GameDt();
        if (trap.gfxTime1 <= 0.0f)
        {
            trap.gfxTime1 = RandomFloat(3.0f, 6.0f);
            ZapRing(trap, 3, kPi / 3.0f, 5.0f, 1.0f, 0.3f, 0.2f, 4);
        }
        TrapCycle::Update(trap);
    }
    void Effect(TrapData& trap) override
    {
        DamageAll(trap, -trap.EffectMagnitude);
        DeactivateStep(trap, false);
        ZapRing(trap, 8, kPi / 4.0f, 10.0f, 2.0f, 0.5f, 0.3f, 10);
    }
};

class MissileTrap final : public Kind
{
public:
    void ActiveUpdate(TrapData& trap) override
    {
        TrapCycle::ActiveUpdate(trap);
        if (trap.state != TrapActivating)
            return;
        Cog& cog = Own(trap);
        ModelSeam& models = SceneModels();
        EffectSeam& effects = SceneEffects();
        Matrix4 m;
        if (!models.GetPartMatrix(cog, 3, m))
            return;
        const Vector3 local = m.GetTranslation() - TrapPos(trap);
        const Vector3 down = DownAxis(m);
        const int32_t emitter = Elapsed(trap) < trap.gfxTime1 ? 0 : 1;
        if (emitter == 1)
            effects.SetEmitterActive(cog, 0, false);
        effects.SetEmitterVector(cog, emitter, "Position", local);
        effects.SetEmitterVector(cog, emitter, "EmitDirection", down);
        effects.SetEmitterFloat(cog, emitter, "EmitRate", emitter == 0 ? 100.0f : 25.0f);
    }
    void Effect(TrapData& trap) override
    {
        Cog& cog = Own(trap);
        CreateAt(Cogs(), "MissileExplosion", TrapPos(trap));
        if (!Cogs().IsQueued(&cog))
            Cogs().Destroy(&cog);
        SceneModels().SetAnimationActive(cog, false);
        trap.state = TrapResetting;
    }
};

class LaserTurretTrap final : public Kind
{
public:
    void OnPlaced(TrapData& trap) override
    {
        ShowTurret(trap, false);
        AlignFirstEmitter(trap);
    }
    void Activate(TrapData& trap) override
    {
        ShowTurret(trap, true);
        ActivateSilently(trap, false);
    }
    void ActiveUpdate(TrapData& trap) override
    {
        Cog& cog = Own(trap);
        ModelSeam& models = SceneModels();
        EffectSeam& effects = SceneEffects();
        switch (trap.state)
        {
        case TrapActivating:
            if (Elapsed(trap) <= trap.ActivatingTime)
                break;
            trap.shotPending = true;
            trap.state = TrapResetting;
            if (trap.charge > 1.0f)
                if (Cog* target = FirstInvader(trap))
                {
                    Positional* at = PosOf(target);
                    models.GenerateIKAnimation(cog, "Data/Constraints.xml", at ? at->GetPosition() : Vector3(), 5.0f);
                    models.SetModelColor(cog, kOrange);
                    trap.state = TrapFiring;
                }
            models.SetAnimationActive(cog, true);
            if (trap.state == TrapResetting)
                models.BlendToAnimation(cog, "Deactivate", 3, 2.0f, false);
            break;
        case TrapFiring:
        {
            std::string current;
            if (trap.shotPending && models.CurrentAnimation(cog, current) && current == "IKGenerated")
            {
                SendSound(cog, "PlaySound3D", "Activate");
                trap.shotPending = false;
                Matrix4 m;
                if (models.GetPartMatrix(cog, 8, m))
                {
                    const Vector3 from = m.GetTranslation();
                    EffectSeam::Beam beam =
                        MakeBeam(0, from, from + m.RotateVector(kUp) * 10.0f, 1.0f, 1.2f, 0.0f, 1, 1.0f, 3);
                    beam.moving = 40.0f;
                    effects.AddBeam(beam);
                }
            }
            if (!models.IsAnimationActive(cog))
            {
                Effect(trap);
                if (trap.state == TrapResetting)
                    trap.UseCharge(1.0f);
                trap.state = TrapActivating;
            }
            break;
        }
        case TrapResetting:
            if (models.IsAnimationActive(cog))
                break;
            models.SetModelColor(cog, kGreen);
            trap.state = TrapReady;
            models.SetAnimationActive(cog, true);
            models.PlayAnimation(cog, "Inactive", true);
            ShowTurret(trap, false);
            break;
        default:
            break;
        }
    }
    void Effect(TrapData& trap) override
    {
        if (Cog* target = FirstInvader(trap))
            target->Get<Kestrane>()->Damage(TrapHit(trap, -trap.EffectMagnitude));
        SceneModels().BlendToAnimation(Own(trap), "Deactivate", 3, 5.0f, false);
        trap.state = TrapResetting;
    }

private:
    static void ShowTurret(TrapData& trap, bool visible)
    {
        for (int32_t part = 3; part <= 8; ++part)
            SceneModels().SetSubMeshVisible(Own(trap), part, visible);
    }
    static Cog* FirstInvader(TrapData& trap)
    {
        for (uint32_t id : Contacts(trap))
        {
            Cog* cog = Cogs().GetCog(id);
            if (cog && cog->Get<Kestrane>())
                return cog;
        }
        return nullptr;
    }
};

class FanTrap final : public Kind
{
public:
    bool ShouldActivate(TrapData& trap) override { return FullCharge(trap); }
    void Activate(TrapData& trap) override { ActivateLooping(trap, true); }
    void ChargeDepleted(TrapData& trap) override { trap.state = TrapResetting; }
    void OnPlaced(TrapData& trap) override
    {
        AlignFirstEmitter(trap);
        SceneEffects().SetEmitterVector(Own(trap), 0, "EmitDirection", Forward(trap));
    }
    void Update(TrapData& trap) override
    {
        TrapCycle::Update(trap);
        TileMap* map = CurrentTileMap();
        Cog* owner = trap.GetOwner();
        TileComp* tiles = owner ? owner->Get<TileComp>() : nullptr;
        if (!map || !tiles || trap.curHP <= 0.0f)
            return;
        const Vector3 f = Forward(trap);
        const bool alongX = std::fabs(f.x) > std::fabs(f.z);
        const int32_t sign = (alongX ? f.x : f.z) < 0.0f ? -1 : 1;
        const TileIndex centre = tiles->GetCenterTile();
        int32_t count = 5;
        int32_t step = 1;
        for (int32_t walked = 0; walked < 5 && step < 64; ++step)
        {
            const int32_t x = centre.first + (alongX ? sign * step : 0);
            const int32_t z = centre.second + (alongX ? 0 : sign * step);
            TileComp* occupant = map->GetTile(x, z).occupant;
            // The fan's own tiles do not block its wind.
            if (occupant == tiles)
                continue;
            if (occupant)
            {
                count = walked;
                break;
            }
            ++walked;
        }
        if (RegionComp* region = owner->Get<RegionComp>())
        {
            BoundingBox box{Vector3(-3.0f, -3.0f, -(static_cast<float>(count) * map->GetTileScale())),
                            Vector3(3.0f, 3.0f, 0.0f)};
            if (Positional* at = trap.GetOwnerPositional())
                RotateBox(box, at->GetOrientation());
            region->GetLocalBox() = box;
        }
        const float life = count == 5 ? 0.5f : static_cast<float>(count) * 0.1f;
        SceneEffects().SetEmitterRange(Own(trap), 0, "PartLifeTime", life, life);
    }
    void Effect(TrapData& trap) override
    {
        Vector3 f = Forward(trap);
        f.y += 0.25f;
        ForContacts(trap, false, [&](Cog& cog) {
            PhysicsComp* physics = cog.Get<PhysicsComp>();
            if (!physics)
                return;
            const float s = trap.GetChargeFraction() * trap.EffectMagnitude;
            physics->AddForce(f, s * 60.0f);
            Kestrane* invader = cog.Get<Kestrane>();
            if (!invader || invader->mName == "stacker")
                return;
            if (Speed(cog) <= 1.0f)
                AddVelocity(cog, f * s);
            physics->mDisableRotation = false;
            physics->SetSpinFromDirection(f, s * 0.1f);
            Airborne(*invader);
            trap.UseCharge(GameDt());
        });
        Cog& cog = Own(trap);
        SceneEffects().SetEmitterFloat(cog, 0, "EmitRate", trap.GetChargeFraction() * 100.0f);
        SceneModels().SetAnimationRate(cog, trap.GetChargeFraction());
    }
};

class PoisonMistTrap final : public Kind
{
public:
    bool ShouldActivate(TrapData& trap) override { return FullCharge(trap); }
    void Effect(TrapData& trap) override
    {
        if (Cog* mist = Cogs().Allocate("MobilePoisonMist"))
        {
            Vector3 v = RandomUnitVector();
            v.y = std::fabs(v.y);
            if (Positional* at = PosOf(mist))
            {
                at->SetPosition(TrapPos(trap) + v);
                at->SetVelocity(v * 10.0f);
            }
            mist->Initialize();
        }
        DeactivateStep(trap, false);
    }
};

class VortexTrap final : public Kind
{
public:
    void OnPlaced(TrapData& trap) override
    {
        Cog* sphere = Cogs().Create("VortexSpawn");
        if (sphere)
        {
            SceneEffects().SetEffectParticlesDrawn(*sphere, false);
            SceneEffects().SetEffectAnimation(*sphere, 0, true);
            trap.attachedCogId = sphere->GetID();
        }
        AlignFirstEmitter(trap);
        PlaceSphere(trap, -1);
    }
    void Activate(TrapData& trap) override
    {
        PlaceSphere(trap, 0);
        TrapCycle::Activate(trap);
    }
    void ActiveUpdate(TrapData& trap) override
    {
        if (trap.state == TrapActivating && Elapsed(trap) > trap.ActivatingTime)
            PlaceSphere(trap, 1);
        TrapCycle::ActiveUpdate(trap);
        if (trap.state == TrapFiring)
            DrawPull(trap);
    }
    void Effect(TrapData& trap) override
    {
        const Vector3 centre = TrapPos(trap) + kSphereOffset;
        const float m = trap.EffectMagnitude;
        bool anyInvader = false;
        ForContacts(trap, false, [&](Cog& cog) {
            PhysicsComp* physics = cog.Get<PhysicsComp>();
            Positional* at = PosOf(&cog);
            if (!physics || !at)
                return;
            Vector3 d = centre - at->GetPosition();
            const float dist = d.Length();
            // At the very centre there is no direction to pull in.
            const bool pull = dist > 1e-6f;
            if (pull)
            {
                d = d * (1.0f / dist);
                if (d.y < 0.5f)
                    d.y += 0.25f;
                physics->AddForce(d, m * 60.0f);
            }
            Kestrane* invader = cog.Get<Kestrane>();
            if (!invader)
                return;
            anyInvader = true;
            if (invader->mName == "psychic")
                return;
            if (pull)
            {
                if (Speed(cog) <= 1.0f)
                    AddVelocity(cog, d * m);
                physics->mDisableRotation = false;
                physics->SetSpinFromDirection(d * m, m * 0.1f);
            }
            Airborne(*invader);
            trap.UseCharge(GameDt());
            if (2.0f * at->GetRadius() > dist && !invader->IsDead())
            {
                CreateAt(Cogs(), "PsychicSphere", centre);
                trap.UseCharge(1.0f);
                at->SetPosition(Vector3(0.0f, 10000.0f, 0.0f));
                invader->Damage(TrapHit(trap, -10000.0f));
            }
        });
        if (!anyInvader && trap.state == TrapFiring)
            Close(trap);
    }
    void Destroyed(TrapData& trap) override
    {
        if (trap.attachedCogId != 0)
            Cogs().DestroyById(trap.attachedCogId);
        trap.attachedCogId = 0;
        TrapCycle::Destroyed(trap);
    }
    void ChargeDepleted(TrapData& trap) override { Close(trap); }

private:
    // The sphere cog, only while the stored ID still names it.
    static Cog* Sphere(TrapData& trap) { return trap.attachedCogId != 0 ? Cogs().GetCog(trap.attachedCogId) : nullptr; }
    // Moves the sphere over the trap; an animation index of 0 or more starts it looping.
    static void PlaceSphere(TrapData& trap, int32_t animation)
    {
        Cog* sphere = Sphere(trap);
        if (!sphere)
            return;
        if (animation >= 0)
            SceneEffects().SetEffectAnimation(*sphere, animation, true);
        if (Positional* at = PosOf(sphere))
            at->SetPosition(TrapPos(trap) + kSphereOffset);
    }
    // The pull made visible: dust swirls in from a ring round the trap and ends at its centre.
    static void DrawPull(TrapData& trap)
    {
        constexpr float kRing = 12.0f;
        constexpr float kSpeed = 20.0f;
        const Vector3 centre = TrapPos(trap) + kSphereOffset;
        const int32_t n = std::max(1, static_cast<int32_t>(GameDt() * 480.0f));
        for (int32_t i = 0; i < n; ++i)
        {
            const float a = RandomFloat(0.0f, 2.0f * kPi);
            const Vector3 from = centre + Vector3(std::cos(a) * kRing, RandomFloat(-4.0f, 1.0f), std::sin(a) * kRing);
            const Vector3 in = (centre - from).Normalized();
            const Vector3 around(-in.z, 0.0f, in.x);
            const Vector3 velocity = (in + around * 0.5f).Normalized() * kSpeed;
            SceneEffects().AddParticle(Own(trap), 0, from, velocity, kRing / kSpeed);
        }
    }
    static void Close(TrapData& trap)
    {
        DeactivateStep(trap, true);
        if (Cog* sphere = Sphere(trap))
            SceneEffects().SetEffectParticlesDrawn(*sphere, false);
    }
};

class SatelliteTrap final : public Kind
{
public:
    static constexpr float kOrbitHeight = 400.0f;
    void OnPlaced(TrapData& trap) override
    {
        Cog& cog = Own(trap);
        ModelSeam& models = SceneModels();
        models.PlayAnimation(cog, "Activate", true);
        DataController* data = CurrentDataController();
        if (data)
            data->mCursorActive = false;
        if (Positional* cursor = PosOf(Cogs().FindCogByName("Cursor")))
            cursor->SetVisible(false);
        if (Cog* aim = Cogs().Create("Data/SatelliteCursor.xml"))
            models.PlayAnimationIndex(*aim, 1, false);
        models.PlayAnimationIndex(cog, 1, true);
        if (data)
            data->EarnPoints(50);
    }
    bool ShouldActivate(TrapData&) override
    {
        IOLoom* io = IOLoom::Instance();
        return io && io->MousePressed(0);
    }
    void Activate(TrapData& trap) override
    {
        TrapCycle::Activate(trap);
        SceneModels().PlayAnimation(Own(trap), "Activate", true);
    }
    void Effect(TrapData& trap) override
    {
        Cog* aim = Cogs().FindCogByName("Satellite");
        Positional* at = PosOf(aim);
        // Without its aiming cog the beam has nowhere to go.
        if (!aim || !at)
        {
            SelfDestruct(trap);
            return;
        }
        ModelSeam& models = SceneModels();
        EffectSeam& effects = SceneEffects();
        if (!models.IsAnimationActive(*aim))
            models.PlayAnimationIndex(*aim, 2, true);
        // From orbit: straight down out of the sky onto the ground under the aim. From the aim
        // itself, which hovers on the pointer's ray, it would run toward the camera.
        const Vector3 aimAt = at->GetPosition();
        const Vector3 to(aimAt.x, GroundHeight(aimAt.x, aimAt.z), aimAt.z);
        const Vector3 from = to + Vector3(0.0f, kOrbitHeight, 0.0f);
        effects.AddBeam(MakeBeam(aim->GetID(), from, to, 0.01f, 3.0f, 2.0f, 20, 1.0f, 4));
        effects.SetEmitterFloat(*aim, 0, "EmitRate", 200.0f);
        DataController* data = CurrentDataController();
        IOLoom* io = IOLoom::Instance();
        const bool stop = io && io->MousePressed(1);
        if (!data || data->GetPoints() <= 0 || stop)
        {
            SelfDestruct(trap);
            return;
        }
        trap.pointsAccumulator += GameDt() * 10.0f;
        if (trap.pointsAccumulator > 1.0f)
        {
            const float whole = std::floor(trap.pointsAccumulator);
            data->SpendPoints(static_cast<int32_t>(whole));
            trap.pointsAccumulator -= whole;
        }
    }
    void Destroyed(TrapData& trap) override
    {
        TrapCycle::Destroyed(trap);
        if (Positional* cursor = PosOf(Cogs().FindCogByName("Cursor")))
            cursor->SetVisible(true);
        if (DataController* data = CurrentDataController())
            data->mCursorActive = true;
        if (Cog* aim = Cogs().FindCogByName("Satellite"))
            if (!Cogs().IsQueued(aim))
                Cogs().Destroy(aim);
    }
};

FanTrap gFan;
AxeTrap gAxe;
PitTrap gPit;
HammerTrap gHammer;
SpringTrap gSpring;
SatelliteTrap gSatellite;
MissileTrap gMissile;
PoisonMistTrap gPoisonMist;
BugZapperTrap gBugZapper;
LaserTurretTrap gLaserTurret;
LightBulbTrap gLightBulb;
FlameTrap gFlame;
VortexTrap gVortex;
class StatusEffectKind final : public StatusEffectTrap
{
};
StatusEffectKind gStatusEffect;
} // namespace

void RegisterMoreTrapKinds(std::map<std::string, TrapBehavior*>& map)
{
    map["Fan"] = &gFan;
    map["Axe"] = &gAxe;
    map["Pit"] = &gPit;
    map["Hammer"] = &gHammer;
    map["Spring"] = &gSpring;
    map["Satellite"] = &gSatellite;
    map["Missile"] = &gMissile;
    map["PoisonMist"] = &gPoisonMist;
    map["BugZapper"] = &gBugZapper;
    map["LaserTurret"] = &gLaserTurret;
    map["LightBulb"] = &gLightBulb;
    map["Flame"] = &gFlame;
    map["Vortex"] = &gVortex;
}

void RegisterStatusTrapKind(std::map<std::string, TrapBehavior*>& map) { map["StatusEffect"] = &gStatusEffect; }

void RotateBox(BoundingBox& box, const Quat& rotation)
{
    Vector3 lo(1e30f, 1e30f, 1e30f);
    Vector3 hi(-1e30f, -1e30f, -1e30f);
    for (int corner = 0; corner < 8; ++corner)
    {
        Vector3 p((corner & 1) ? box.max.x : box.min.x, (corner & 2) ? box.max.y : box.min.y,
                  (corner & 4) ? box.max.z : box.min.z);
        rotation.RotateVector(p);
        lo = Vector3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = Vector3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    box.min = lo;
    box.max = hi;
}
