#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "game/behaviors/BehaviorRegistry.h"
#include "game/components/GameComponents.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileComp.h"
#include "game/level/TileMap.h"
#include "game/logic/PhraseBank.h"
#include "game/logic/TrapDrop.h"
#include "game/player/GameCamera.h"
#include "game/player/PlayerServices.h"
#include "game/player/SceneBinding.h"
#include "game/tower/BaseTower.h"
#include "game/traps/TrapData.h"
#include "graphics/device/Image.h"
#include "graphics/particles/BeamRenderer.h"
#include "graphics/particles/ParticleComp.h"
#include "graphics/particles/ParticleFrame.h"
#include "graphics/particles/ParticleSystem.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/Model.h"
#include "graphics/scene/SkinModel.h"
#include "graphics/terrain/HeightMap.h"
#include "graphics/terrain/TerraDeform.h"
#include "graphics/terrain/TerrainSurface.h"
#include "tests/game/player/PlayerSim.h"
#include "tests/input/InputEvents.h"

namespace {
// The shipped game: the real data folder and first level, graphics on the offscreen window and
// the program's own scene binding.
struct PlayedLevel : BoundGame
{
    explicit PlayedLevel(const TestScreen& screen)
    {
        screen.Apply();
        mSim.Run("LogicCreateLevel Scripts\\Levels\\L1.lua");
        if (!HeightMap::Current())
            mSim.Cogs().Create("LevelGround");
        mSim.Run("SetPause false");
        mSim.Step();
    }
    // The first level's view, come closer, on a point of the ground, after the given frames or
    // else once the loading text has slid away.
    void LookAt(const Vector3& at, int steps = 0)
    {
        Cog* camera = mSim.Cogs().FindCogByName("Camera");
        if (!camera)
            camera = mSim.Cogs().Create("LevelCamera");
        ASSERT_NE(camera, nullptr);
        Positional* place = PosOf(camera);
        ASSERT_NE(place, nullptr);
        // Held still: no mouse stands at the screen's edge to scroll it.
        GameCamera* view = camera ? camera->Get<GameCamera>() : nullptr;
        ASSERT_NE(view, nullptr);
        view->SetEnableCamera(false);
        place->SetPosition(at - place->GetOrientation().GetForward() * 60.0f);
        if (steps > 0)
            mSim.Step(steps);
        else
            EXPECT_TRUE(mSim.StepUntil(LoadingTextGone, 120));
    }
    // Pixels of the middle half of the screen whose colour moved by more than a step.
    static int Changed(const Image& a, const Image& b)
    {
        if (a.mWidth != b.mWidth || a.mHeight != b.mHeight)
            return -1;
        int changed = 0;
        for (uint32_t y = a.mHeight / 4; y < a.mHeight * 3 / 4; ++y)
            for (uint32_t x = a.mWidth / 4; x < a.mWidth * 3 / 4; ++x)
            {
                const uint32_t p = a.GetARGB(x, y), q = b.GetARGB(x, y);
                for (int shift : {0, 8, 16})
                    if (std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)) > 24)
                    {
                        ++changed;
                        break;
                    }
            }
        return changed;
    }
    static TerraDeform* Deform()
    {
        HeightMap* map = HeightMap::Current();
        return map && map->GetTerrain() ? map->GetTerrain()->GetDeform() : nullptr;
    }
    static int ActiveDents()
    {
        int n = 0;
        if (TerraDeform* deform = Deform())
            for (const TimedDeformation& d : deform->GetDeformations())
                n += d.state == 1 ? 1 : 0;
        return n;
    }
    static int Decals()
    {
        int n = 0;
        if (TerraDeform* deform = Deform())
            for (const TerrainDecal& d : deform->GetDecals())
                n += d.kind != TerrainDecal::kFree ? 1 : 0;
        return n;
    }
    Cog* Make(const std::string& archetype, const Vector3& at)
    {
        Cog* cog = CreateAt(mSim.Cogs(), archetype, at);
        EXPECT_NE(cog, nullptr) << archetype;
        return cog;
    }
    // The middle of the level on its ground.
    Vector3 Middle()
    {
        HeightMap* map = HeightMap::Current();
        float width = 0.0f;
        float depth = 0.0f;
        EXPECT_TRUE(mScene.Terrain().GetMapExtent(width, depth));
        Vector3 at(width * 0.5f, 0.0f, depth * 0.5f);
        at.y = map ? map->GetHeight(at.x, at.z) : 0.0f;
        return at;
    }

    // A point of the ground off the invaders' way from their start to the tower.
    Vector3 Spot(float x, float z)
    {
        Vector3 at = Middle() + Vector3(90.0f + x, 0.0f, z);
        at.y = HeightMap::Current() ? HeightMap::Current()->GetHeight(at.x, at.z) : 0.0f;
        return at;
    }

    // Buys and drops a trap of the shop through the player's drop, facing -z.
    Cog* Buy(const std::string& kind, const Vector3& at, int32_t earned = 0)
    {
        DataController& data = mSim.Data();
        data.SetPoints(1000);
        const std::vector<Cog*>& traps = mSim.Cogs().GetGroupCogs("traps");
        const size_t count = traps.size();
        EXPECT_TRUE(AttemptTrapDrop(kind, at, Vector3(0, 0, -1))) << kind;
        EXPECT_EQ(data.GetPoints(), 1000 - data.GetTrapInfo(kind).creditCost + earned) << kind;
        const std::vector<Cog*>& after = mSim.Cogs().GetGroupCogs("traps");
        return after.size() == count + 1 ? after.back() : nullptr;
    }
    // Buys a trap where it stands outside the view of a camera that drives the scene.
    Cog* BuyOutOfView(const std::string& kind, int32_t earned = 0)
    {
        const Vector3 at = Spot(0, 40);
        LookAt(Spot(-20, -80), 2);
        return Buy(kind, at, earned);
    }
    // A grunt that stands where it lands and takes a lot of hurting.
    Cog* Target(const Vector3& at)
    {
        Cog* grunt = Make("grunt", at + Vector3(0, 1, 0));
        if (Kestrane* k = grunt ? grunt->Get<Kestrane>() : nullptr)
        {
            k->mRun.mPathing = FindPathingBehavior("NoPathing");
            k->mCurHP = k->mMaxHP = 1e6f;
        }
        return grunt;
    }
    // A button at the middle of the screen.
    static void Mouse(Uint32 type, Uint8 button)
    {
        IOLoom& io = *IOLoom::Instance();
        io.HandleEvent(InputEvents::Button(type, button, io.GetScreenWidth() / 2, io.GetScreenHeight() / 2));
    }
};

// Seen from above the turret's post, the angle between its muzzle and a point.
float AimError(const Vector3& post, const Matrix4& muzzle, const Vector3& target)
{
    Vector3 a = muzzle.GetTranslation() - post;
    Vector3 b = target - post;
    a.y = b.y = 0.0f;
    return std::acos(std::clamp(DotProduct(a.Normalized(), b.Normalized()), -1.0f, 1.0f));
}
} // namespace

TEST(SceneBindingPlay, TheHammerShowsItsUsesAndTheZapperDrawsABeam)
{
    PlayedLevel play(kNoPixelScreen);
    Cog* hammer = play.Make("hammer", play.Middle());
    ASSERT_NE(hammer, nullptr);
    play.mSim.Step(5);
    HudDisplay* hud = hammer->Get<HudDisplay>();
    ASSERT_NE(hud, nullptr) << "every trap carries a HUD display";
    EXPECT_TRUE(hud->mShowNumber);
    EXPECT_FALSE(hud->Text.empty());
    EXPECT_EQ(hud->Text, std::to_string(static_cast<int32_t>(hammer->Get<TrapData>()->charge)));

    // Fired at an invader, the zapper throws its ring of long bolts, wider than its idle sparks.
    BeamRenderer* beams = ParticleFrame::GetBeamRenderer();
    ASSERT_NE(beams, nullptr);
    Cog* zapper = play.Make("zapper", play.Spot(0, 40));
    ASSERT_NE(zapper, nullptr);
    const uint32_t id = zapper->GetID();
    auto bolts = [&] {
        size_t n = 0;
        for (size_t i = 0; i < beams->GetBeamCount(); ++i)
        {
            const BeamRecord& beam = beams->GetBeam(i);
            n += beam.mSource == id && beam.mWidth == 0.5f && std::abs(beam.mLength - 10.0f) < 0.01f ? 1 : 0;
        }
        return n;
    };
    EXPECT_EQ(bolts(), 0u);
    Cog* grunt = play.Target(PosOf(zapper)->GetPosition());
    ASSERT_NE(grunt, nullptr);
    ASSERT_TRUE(play.mSim.StepUntil([&] { return bolts() >= 8; }, 600)) << "it fires";
    const Kestrane& k = *grunt->Get<Kestrane>();
    EXPECT_LT(k.mCurHP, k.mMaxHP) << "at the invader";
}

// The grunt's own clip paces its attack: at the level's tower it strikes once per clip, not once
// per the second a model without clips would take.
TEST(SceneBindingPlay, AnInvadersAttackLastsItsClip)
{
    PlayedLevel play(kNoPixelScreen);
    Cog* tower = FindTower();
    ASSERT_NE(tower, nullptr);
    const TileComp* footprint = tower->Get<TileComp>();
    ASSERT_NE(footprint, nullptr);
    TileMap* map = CurrentTileMap();
    ASSERT_NE(map, nullptr);
    // A few steps from the tower's side; it walks up to it by itself.
    Cog* grunt = play.Make(
        "grunt", map->TileToWorld(footprint->tileX - 3, footprint->GetCenterTile().second) + Vector3(0, 1, 0));
    ASSERT_NE(grunt, nullptr);
    ASSERT_NE(grunt->GetComponent(SkinModel::kTypeId), nullptr);
    const float clip = SceneModels().AnimationLength(*grunt, "Attack");
    EXPECT_NEAR(clip, 0.8f, 1e-3f);
    EXPECT_LT(SceneModels().AnimationLength(*grunt, "NoSuchClip"), 0.0f);

    const BaseTower& base = *tower->Get<BaseTower>();
    float hp = base.hitPoints;
    std::vector<double> strikes;
    ASSERT_TRUE(play.mSim.StepUntil(
        [&] {
            if (base.hitPoints < hp)
                strikes.push_back(play.mSim.Engine().GetGameClock().GetTime());
            hp = base.hitPoints;
            return strikes.size() >= 3;
        },
        30 * 60))
        << "three strikes at the tower";
    // A frame's lateness on either end.
    EXPECT_NEAR(strikes[2] - strikes[1], clip, 2.0 / 60.0);
    std::string playing;
    ASSERT_TRUE(SceneModels().CurrentAnimation(*grunt, playing));
    EXPECT_EQ(playing, "Attack");
}

// An explosion and a hammer strike dent the ground for the ripple's time and leave a decal.
TEST(SceneBindingPlay, BlastsDentTheGroundAndLeaveADecal)
{
    struct Case
    {
        const char* what;
        std::vector<const char*> cogs;
    };
    for (const Case& c : {Case{"Explosion", {"Explosion"}}, Case{"hammer", {"hammer", "grunt"}}})
    {
        SCOPED_TRACE(c.what);
        PlayedLevel play(PlayedLevel::kReadScreen);
        const Vector3 at = play.Spot(8, 8);
        play.LookAt(at);
        HeightMap* map = HeightMap::Current();
        ASSERT_NE(map, nullptr);
        ASSERT_NE(PlayedLevel::Deform(), nullptr);
        const Image before = play.Frame();
        const float ground = map->GetHeight(at.x, at.z);
        const int decals = PlayedLevel::Decals();
        for (const char* name : c.cogs)
            play.Make(name, at + Vector3(0, std::string(name) == "grunt" ? 1.0f : 0.0f, 0));
        EXPECT_TRUE(play.mSim.StepUntil([] { return PlayedLevel::ActiveDents() > 0; }, 600));
        const Image during = play.Frame(3);
        EXPECT_LT(map->GetHeight(at.x, at.z), ground - 0.5f);
        EXPECT_GT(PlayedLevel::Decals(), decals);
        EXPECT_GT(PlayedLevel::Changed(before, during), 31);
    }
}

// A tower's break stage hides its upper parts, and the picture loses them.
TEST(SceneBindingPlay, ATowerBreakStageHidesItsParts)
{
    PlayedLevel play(PlayedLevel::kReadScreen);
    const Vector3 at = play.Spot(-20, -20);
    play.LookAt(at);
    Cog* tower = play.Make("tower", at);
    ASSERT_NE(tower, nullptr);
    Model* model = tower ? tower->Get<Model>() : nullptr;
    ASSERT_NE(model, nullptr);
    const Image whole = play.Frame(2);
    ASSERT_TRUE(model->IsSubMeshVisible(1));
    // The end of a break animation, as the model's callback reports it.
    tower->Get<BaseTower>()->AnimationCallback("Break2");
    EXPECT_FALSE(model->IsSubMeshVisible(1));
    EXPECT_TRUE(model->IsSubMeshVisible(0));
    const Image broken = play.Frame();
    EXPECT_GT(PlayedLevel::Changed(whole, broken), 12);
}

// A zapper's spark ring is drawn while its beams live and gone once they die.
TEST(SceneBindingPlay, AZapperDrawsItsSparks)
{
    // The sparks are thin lines: a quarter of the default back buffer, the count scaled to match.
    PlayedLevel play(TestScreen{400, 300});
    const Vector3 at = play.Spot(8, -8);
    play.LookAt(at);
    Cog* zapper = play.Make("zapper", at);
    ASSERT_NE(zapper, nullptr);
    const Image sparks = play.Frame(2);
    const Image after = play.Frame(90);
    EXPECT_GT(PlayedLevel::Changed(sparks, after), 12);
}

// The drop preview shows the chosen trap green where it may go and red where it may not.
TEST(SceneBindingPlay, TheDropPreviewIsGreenOnAFreeTileAndRedOnABlockedOne)
{
    PlayedLevel play(PlayedLevel::kReadScreen);
    const Vector3 at = play.Spot(-8, -8);
    play.LookAt(at);
    play.mSim.Data().mPoints = 1000;
    const Image bare = play.Frame();
    // Pixels that turned much greener, and much redder, than the bare ground.
    auto tinted = [&](const Image& image) {
        std::pair<int, int> out{0, 0};
        for (uint32_t y = image.mHeight / 4; y < image.mHeight * 3 / 4; ++y)
            for (uint32_t x = image.mWidth / 4; x < image.mWidth * 3 / 4; ++x)
            {
                const uint32_t p = bare.GetARGB(x, y), q = image.GetARGB(x, y);
                const int dr = int((q >> 16) & 0xFF) - int((p >> 16) & 0xFF);
                const int dg = int((q >> 8) & 0xFF) - int((p >> 8) & 0xFF);
                out.first += dg > 30 && dg > dr + 30 ? 1 : 0;
                out.second += dr > 30 && dr > dg + 30 ? 1 : 0;
            }
        return out;
    };
    DropPreview& drop = play.mSim.Data().mDropPreview;
    drop.Enable();
    ASSERT_TRUE(drop.SelectTrap("spikes"));
    drop.Update(at);
    const std::pair<int, int> free = tinted(play.Frame());
    EXPECT_GT(free.first, 6) << "green on a free tile";
    EXPECT_LT(free.second, free.first / 4);
    ASSERT_NE(play.Make("wall", at), nullptr);
    drop.Update(at);
    const std::pair<int, int> blocked = tinted(play.Frame());
    EXPECT_GT(blocked.second, 6) << "red on a blocked tile";
    EXPECT_LT(blocked.first, blocked.second / 4);
}

// The preview under the pointer is the trap as it will stand: the same model at the same scale,
// so it spans the tiles the bought trap spans, for a one-piece trap and a turret alike.
TEST(SceneBindingPlay, TheDropPreviewCoversWhatThePlacedTrapCovers)
{
    PlayedLevel play(kNoPixelScreen);
    DropPreview& drop = play.mSim.Data().mDropPreview;
    drop.Enable();
    float x = 0.0f;
    for (const char* kind : {"spikes", "laserturret", "poison"})
    {
        const Vector3 at = play.Spot(x, 40);
        x += 20.0f;
        ASSERT_TRUE(drop.SelectTrap(kind)) << kind;
        drop.Update(at);
        Cog* preview = drop.PreviewCog();
        Model* shown = preview ? preview->Get<Model>() : nullptr;
        ASSERT_NE(shown, nullptr) << kind;
        drop.HideAll();
        Cog* trap = play.Buy(kind, at);
        Model* placed = trap ? trap->Get<Model>() : nullptr;
        ASSERT_NE(placed, nullptr) << kind;
        EXPECT_FLOAT_EQ(shown->Scale, placed->Scale) << kind;
        EXPECT_FLOAT_EQ(shown->mScaledRadius, placed->mScaledRadius) << kind;
    }
}

struct KindCase
{
    const char* kind;
    bool recharges;
};

void PrintTo(const KindCase& c, std::ostream* out) { *out << c.kind; }

class SceneBindingTrapKind : public testing::TestWithParam<KindCase>
{
};

// Every kind the shop sells is bought and dropped by the player's drop with its own model, fires
// once (at an invader, the satellite at the left button), and a kind that recharges refills
// once its idle clip plays again.
TEST_P(SceneBindingTrapKind, IsBoughtPlacedAndRunsItsCycle)
{
    const KindCase& c = GetParam();
    PlayedLevel play(kNoPixelScreen);
    const Vector3 at = play.Spot(0, 40);
    const bool satellite = std::string(c.kind) == "satellite";
    // Placing the satellite earns points.
    Cog* trap = play.BuyOutOfView(c.kind, satellite ? 50 : 0);
    ASSERT_NE(trap, nullptr);
    const uint32_t id = trap->GetID();
    Model* model = trap ? trap->Get<Model>() : nullptr;
    ASSERT_NE(model, nullptr);
    EXPECT_NE(model->GetMesh(), nullptr) << "its model file loads";
    TrapData& data = *trap->Get<TrapData>();
    auto gone = [&] { return play.mSim.Cogs().GetCog(id) == nullptr; };
    Cog* grunt = nullptr;
    if (satellite)
        PlayedLevel::Mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    else
        grunt = play.Target(at);
    const uint32_t gruntId = grunt ? grunt->GetID() : 0;
    ASSERT_TRUE(play.mSim.StepUntil([&] { return gone() || data.state != TrapReady; }, 600)) << "it fires";
    if (satellite)
    {
        PlayedLevel::Mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
        play.mSim.Step(30);
        EXPECT_TRUE(play.mSim.Cogs().FindCogByName("Satellite")) << "the aim";
        EXPECT_GT(ParticleFrame::GetBeamRenderer()->GetBeamCount(), 0u) << "the beam from orbit";
        EXPECT_LT(play.mSim.Data().GetPoints(), 1000) << "the beam costs points";
        PlayedLevel::Mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
        EXPECT_TRUE(play.mSim.StepUntil(gone, 60)) << "the right button ends it";
        PlayedLevel::Mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT);
        play.mSim.Step(2);
        EXPECT_EQ(play.mSim.Cogs().FindCogByName("Satellite"), nullptr);
        return;
    }
    ASSERT_TRUE(play.mSim.StepUntil([&] { return gone() || data.charge < data.MaxCharge; }, 900)) << "it spends";
    // The missile's blast lands in the frames after it goes. The mist puffs as soon as it is full,
    // while the invader is still coming down, and its cloud finds it once it has landed.
    auto felt = [&] {
        Cog* still = play.mSim.Cogs().GetCog(gruntId);
        const Kestrane* k = still ? still->Get<Kestrane>() : nullptr;
        return !k || k->mCurHP < k->mMaxHP || k->GetStatusEffect() != EffectNone;
    };
    EXPECT_TRUE(play.mSim.StepUntil(felt, std::string(c.kind) == "mist" ? 600 : 10)) << "the invader felt it";
    if (Cog* still = play.mSim.Cogs().GetCog(gruntId))
        play.mSim.Cogs().Destroy(still);
    ASSERT_TRUE(play.mSim.StepUntil([&] { return gone() || data.state == TrapReady; }, 900)) << "it resets";
    if (gone())
        return;
    const float spent = data.charge;
    play.mSim.Step(60);
    if (c.recharges)
        EXPECT_GT(data.charge, spent + 0.05f) << "a second of recharge";
    else
        EXPECT_EQ(data.charge, spent);
}

INSTANTIATE_TEST_SUITE_P(Shop, SceneBindingTrapKind,
                         testing::Values(KindCase{"spikes", true}, KindCase{"axe", true}, KindCase{"pit", true},
                                         KindCase{"missile", false}, KindCase{"zapper", true},
                                         KindCase{"laserturret", true}, KindCase{"lightbulb", true},
                                         KindCase{"flame", true}, KindCase{"vortex", true}, KindCase{"mist", true},
                                         KindCase{"satellite", false}),
                         [](const testing::TestParamInfo<KindCase>& info) {
                             // A test's name has no blanks; the kinds' names may.
                             std::string name(info.param.kind);
                             std::erase(name, ' ');
                             return name;
                         });

// A firing flame trap jets from its nozzles for a good second, not a single frame's puff, and
// a firing vortex draws dust in toward its middle, so its pull shows.
TEST(SceneBindingPlay, TheFlameJetsAndTheVortexShowsItsPull)
{
    for (const std::string kind : {"flame", "vortex"})
    {
        SCOPED_TRACE(kind);
        PlayedLevel play(kNoPixelScreen);
        const Vector3 at = play.Spot(0, 40);
        Cog* trap = play.BuyOutOfView(kind);
        ASSERT_NE(trap, nullptr);
        ParticleComp* particles = trap->Get<ParticleComp>();
        ASSERT_NE(particles, nullptr);
        const bool flame = kind == "flame";
        ASSERT_EQ(particles->Systems().size(), flame ? 2u : 1u);
        ParticleSystem& shown = *particles->Systems()[flame ? 1 : 0];
        EXPECT_EQ(shown.GetCount(), 0);
        TrapData& data = *trap->Get<TrapData>();
        play.Target(at);
        ASSERT_TRUE(play.mSim.StepUntil([&] { return data.state == TrapFiring; }, 600));
        int firing = 0;
        while (data.state == TrapFiring && firing < 600)
        {
            play.mSim.Step();
            ++firing;
        }
        if (flame)
        {
            EXPECT_GE(firing, 80) << "frames of jet";
            EXPECT_GT(shown.GetCount(), 200);
            // They rise from the jets, away from the ground.
            Matrix4 nozzle;
            ASSERT_TRUE(SceneModels().GetPartMatrix(*trap, 5, nozzle));
            EXPECT_GT(nozzle.RotateVector(Vector3(0, -1, 0)).y, 0.8f);
            continue;
        }
        // The invader was swallowed; the dust of its last frames still swirls inward.
        ASSERT_GT(shown.GetCount(), 0);
        const Vector3 centre = PosOf(trap)->GetPosition() + Vector3(0, 5, 0);
        int inward = 0;
        for (const Particle& p : shown.GetParticles())
            inward += DotProduct(p.mVelocity, centre - p.mPosition) > 0.0f ? 1 : 0;
        EXPECT_EQ(inward, shown.GetCount());
    }
}

// A full fan switches on by itself and blows its wind: its emitter runs at the rate of its
// charge and the wind's particles leave the way it faces.
TEST(SceneBindingPlay, AFanBlowsItsWind)
{
    PlayedLevel play(kNoPixelScreen);
    Cog* fan = play.BuyOutOfView("fan");
    ASSERT_NE(fan, nullptr);
    ParticleComp* particles = fan->Get<ParticleComp>();
    ASSERT_NE(particles, nullptr);
    ASSERT_EQ(particles->Emitters().size(), 1u);
    ASSERT_EQ(particles->Systems().size(), 1u);
    TrapData& data = *fan->Get<TrapData>();
    ASSERT_TRUE(play.mSim.StepUntil([&] { return data.state == TrapFiring; }, 120));
    play.mSim.Step(30);
    EXPECT_FLOAT_EQ(particles->Emitters()[0]->EmitRate, 100.0f) << "full, nobody to blow";
    EXPECT_GT(particles->Systems()[0]->GetCount(), 10);
    Vector3 facing;
    ASSERT_TRUE(SceneEffects().GetEmitterVector(*fan, 0, "EmitDirection", facing));
    EXPECT_GT(DotProduct(facing, PosOf(fan)->GetOrientation().GetForward()), 0.99f);
}

// Off screen, the laser turret turns its muzzle to the invader in reach: the part matrix it
// shoots from swings round toward the target.
TEST(SceneBindingPlay, TheLaserTurretAimsItsMuzzleAtTheInvader)
{
    PlayedLevel play(kNoPixelScreen);
    Cog* turret = play.BuyOutOfView("laserturret");
    ASSERT_NE(turret, nullptr);
    const Vector3 post = PosOf(turret)->GetPosition();
    TrapData& data = *turret->Get<TrapData>();
    Cog* grunt = play.Target(post + Vector3(4, 0, 3));
    ASSERT_NE(grunt, nullptr);
    Matrix4 muzzle;
    ASSERT_TRUE(SceneModels().GetPartMatrix(*turret, 8, muzzle));
    const float before = AimError(post, muzzle, PosOf(grunt)->GetPosition());
    EXPECT_GT(before, 1.5f) << "it starts facing away";
    ASSERT_TRUE(play.mSim.StepUntil([&] { return data.state == TrapFiring; }, 600));
    float best = before;
    for (int frame = 0; frame < 120 && data.state == TrapFiring && best >= 0.3f; ++frame)
    {
        ASSERT_TRUE(SceneModels().GetPartMatrix(*turret, 8, muzzle));
        best = std::min(best, AimError(post, muzzle, PosOf(grunt)->GetPosition()));
        play.mSim.Step();
        EXPECT_FALSE(PosOf(turret)->mDrawnThisFrame) << "out of the view";
    }
    EXPECT_LT(best, 0.3f);
}

// A speech bubble is a label over the field: an invader's words show over the tower that stands
// between it and the camera, and an invader close to the camera speaks no larger than a reader
// needs, so its words cannot cover the hints across the screen.
TEST(SceneBindingPlay, BubblesShowOverTheTowerAndStaySmallNearTheCamera)
{
    PlayedLevel play(PlayedLevel::kReadScreen);
    Cog* tower = FindTower();
    ASSERT_NE(tower, nullptr);
    const Vector3 base = PosOf(tower)->GetPosition();
    play.LookAt(base);
    // Bright pixels of the middle of the screen that were not bright before, and the rows they span.
    auto lit = [](const Image& bare, const Image& image) {
        std::pair<int, int> out{0, 0};
        int top = -1, bottom = -1;
        for (uint32_t y = image.mHeight / 8; y < image.mHeight * 7 / 8; ++y)
            for (uint32_t x = image.mWidth / 8; x < image.mWidth * 7 / 8; ++x)
            {
                auto bright = [](uint32_t c) {
                    return ((c >> 16) & 0xFF) > 150 && ((c >> 8) & 0xFF) > 150 && (c & 0xFF) > 150;
                };
                if (!bright(image.GetARGB(x, y)) || bright(bare.GetARGB(x, y)))
                    continue;
                ++out.first;
                top = top < 0 ? int(y) : top;
                bottom = int(y);
            }
        out.second = top < 0 ? 0 : bottom - top + 1;
        return out;
    };
    // Invaders say nothing of their own: the one bubble a step shows is the test's.
    PhraseBank& bank = *play.mSim.Logic().mPhraseBank;
    bank.mEnabled = false;
    auto say = [&](Cog* speaker) {
        bank.mEnabled = true;
        bank.EndBubble(int32_t(speaker->GetID()));
        bank.ShowBubble("Data/Effects/SpeechBubble.xml", int32_t(speaker->GetID()), "WWWWWW");
        bank.mEnabled = false;
        EXPECT_EQ(bank.BubbleCount(), 1u);
    };

    // An unseen speaker that stays where it is put (the drop preview's cog, hidden), its bubble
    // on the line from the eye through the tower's upper middle: behind the tower, then near the
    // camera.
    const Vector3 eye = PosOf(play.mSim.Cogs().FindCogByName("Camera"))->GetPosition();
    const Vector3 middle = base + Vector3(0, 10, 0);
    auto speakAt = [&](const Vector3& bubble) {
        const Image bare = play.Frame();
        Cog* speaker = play.mSim.Cogs().Create("Data\\TrapVisualCog.xml");
        EXPECT_NE(speaker, nullptr);
        if (!speaker)
            return std::pair<int, int>{0, 0};
        // The bubble stands that far over its speaker.
        PosOf(speaker)->SetPosition(bubble - Vector3(0, 6, 0));
        say(speaker);
        const std::pair<int, int> seen = lit(bare, play.Frame(2));
        play.mSim.Cogs().Destroy(speaker);
        play.mSim.Step(2);
        return seen;
    };
    const std::pair<int, int> behind = speakAt(eye + (middle - eye) * 1.3f);
    EXPECT_GT(behind.first, 8) << "the words behind the tower";
    const std::pair<int, int> close = speakAt(eye + (middle - eye).Normalized() * 36.0f);
    EXPECT_GT(close.first, 4) << "the words near the camera";
    // The screen is 150 pixels high: a line of text at most a 28th of it, with its edges.
    EXPECT_LE(close.second, 150 / 28 + 3) << "rows the words near the camera span";
}
