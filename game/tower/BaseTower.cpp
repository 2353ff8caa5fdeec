#include "game/tower/BaseTower.h"

#include <cmath>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/math/Color.h"
#include "LOOM/script/ScriptManager.h"
#include "LOOM/serial/Serializer.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/ModelSeam.h"

namespace {
class BaseTowerFactory : public CompFactoryOf<BaseTower>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("AnimationCallback", MakeCompFunctor(BaseTower::kTypeId, &BaseTower::AnimationCallback));
        composer.BindMessage("Damage", MakeCompFunctor(BaseTower::kTypeId, &BaseTower::Damage));
        composer.AddOwnedUpdate(MakeCompFunctor(BaseTower::kTypeId, &BaseTower::Update));
    }
};

BaseTowerFactory gBaseTowerFactory;

// What the end of each "Break" animation leaves: stage, last hidden submesh from, submesh 19
// hidden, top of the box (negative: unchanged).
struct BreakStep
{
    const char* name;
    int32_t stage;
    int32_t hideFrom;
    bool hide19;
    float top;
};

constexpr BreakStep kBreaks[] = {
    {"Break1", 0, 0, true, 0.25f},  {"Break2", 1, 1, true, 6.5f},    {"Break3", 2, 3, true, 10.5f},
    {"Break4", 3, 6, false, 18.5f}, {"Break5", 4, 11, false, 25.0f},
};
} // namespace

void RegisterBaseTower(CogFactory& cogs) { cogs.Types().RegisterComponent(BaseTower::kTypeId, &gBaseTowerFactory); }

void BaseTower::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("MaxHP", MaxHP);
    s.SerializeInt("numLevels", numLevels);
}

void BaseTower::Initialize()
{
    hitPoints = MaxHP;
    mStage = numLevels;
    if (mOwner && SceneModels().HasModel(*mOwner))
        SceneModels().SetCallbackMessage(*mOwner, "AnimationCallback");
}

int32_t BaseTower::GetDamageLevel()
{
    if (mOwner)
        SceneModels().SetBoundingRadius(*mOwner, 250.0f);
    if (!(MaxHP > 0.0f))
        return hitPoints > 0.0f ? numLevels : 0;
    const float raw = std::ceil(static_cast<float>(numLevels) * hitPoints / MaxHP);
    if (!(raw > 0.0f))
        return 0;
    if (raw > static_cast<float>(numLevels))
        return numLevels;
    return static_cast<int32_t>(raw);
}

void BaseTower::Play(const std::string& name, bool loop)
{
    if (mOwner && SceneModels().HasModel(*mOwner))
        SceneModels().PlayAnimation(*mOwner, name, loop);
}

void BaseTower::Damage(DamageInfo d)
{
    const int32_t before = GetDamageLevel();
    const bool wasStanding = hitPoints > 0.0f;
    hitPoints += d.mAmount;
    const int32_t after = GetDamageLevel();
    if (before != after)
        Play("Break" + std::to_string(before), false);
    if (hitPoints <= 0.0f && wasStanding)
        fatalDamage = d;
    const float now = GameNow();
    if (now > lastAlertTime + 10.0f)
    {
        ScriptManager& scripts = ScriptManager::Instance();
        scripts.SetGlobalColor("LargeTextColor", Color(1.0f, 0.0f, 0.0f, 1.0f));
        ParamBuffer timing;
        timing.PushDouble(0.1);
        timing.PushInt(1);
        timing.PushDouble(0.25);
        scripts.CallFunction("SetTextPopupTiming", timing);
        ParamBuffer text;
        text.PushStdString("Tower Under Attack!");
        scripts.CallFunction("LargeTextPopup", text);
        lastAlertTime = now;
    }
}

void BaseTower::AnimationCallback(std::string name)
{
    const BreakStep* step = nullptr;
    for (const BreakStep& b : kBreaks)
        if (name == b.name)
            step = &b;
    // Only the break animations move the stages; "Idle" and anything else leave them be.
    if (!step || !mOwner)
        return;
    ModelSeam& models = SceneModels();
    if (step->hide19)
        models.SetSubMeshVisible(*mOwner, 19, false);
    for (int32_t i = step->hideFrom; i <= 18; ++i)
        models.SetSubMeshVisible(*mOwner, i, false);
    mStage = step->stage;
    if (Positional* at = GetOwnerPositional())
        at->GetLocalBox().max.y = step->top;
    const int32_t level = GetDamageLevel();
    if (mStage == level)
        Play("Idle", true);
    else
        Play("Break" + std::to_string(mStage), true);
}

void BaseTower::Update()
{
    if (hitPoints > 0.0f || mExploded || !mOwner)
        return;
    mExploded = true;
    CogFactory& cogs = CogFactory::Instance();
    if (Positional* at = GetOwnerPositional())
        cogs.CreateAt("MissileExplosion", at->GetPosition());
    cogs.Destroy(mOwner);
}
