#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "game/components/GameComponents.h"
#include "game/invaders/Kestrane.h"
#include "game/player/GameCamera.h"
#include "game/player/PlayerServices.h"
#include "game/player/SceneBinding.h"
#include "game/tower/BaseTower.h"
#include "game/traps/TrapData.h"
#include "graphics/device/Image.h"
#include "graphics/particles/BeamRenderer.h"
#include "graphics/particles/ParticleFrame.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/SkinModel.h"
#include "graphics/scene/Model.h"
#include "graphics/terrain/HeightMap.h"
#include "graphics/terrain/TerraDeform.h"
#include "graphics/terrain/TerrainSurface.h"
#include "tests/game/player/PlayerSim.h"

namespace {
// The shipped game: the real data folder and first level, graphics on the offscreen window and
// the program's own scene binding.
struct PlayedLevel : PlayerWorld
{
    PlayedLevel() : mSim(GameDataFolder(), 7, &PlayerSim::AddLooms)
    {
        SetSceneSeam(&mScene);
        mSim.Run("LogicCreateLevel Scripts\\Levels\\L1.lua");
        if (!HeightMap::Current())
            mSim.Cogs().Create("LevelGround");
        mSim.Run("SetPause false");
        mSim.Step();
    }
    ~PlayedLevel() { SetSceneSeam(nullptr); }

    // The first level's view, come closer, on a point of the ground, once
    // the loading text has slid away.
    void LookAt(const Vector3& at)
    {
        Cog* camera = mSim.Cogs().FindCogByName("Camera");
        if (!camera)
            camera = mSim.Cogs().Create("LevelCamera");
        ASSERT_NE(camera, nullptr);
        Positional* place = PosOf(camera);
        ASSERT_NE(place, nullptr);
        // Held still: no mouse stands at the screen's edge to scroll it.
        GameCamera* view = CompOf<GameCamera>(camera, GameCamera::kTypeId);
        ASSERT_NE(view, nullptr);
        view->SetEnableCamera(false);
        place->SetPosition(at - place->GetOrientation().GetForward() * 60.0f);
        mSim.Step(120);
    }
    Image Frame(int steps = 1)
    {
        mSim.Step(steps);
        Image image;
        EXPECT_TRUE(GraphicsLoom::Instance()->GetDevice()->ReadBack(nullptr, image));
        return image;
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
    // A trap kind the shipped data lacks: the hammer's cog with another behaviour.
    Cog* MakeKind(const std::string& behaviour, const Vector3& at)
    {
        std::ifstream in(mSim.Path("Data/Traps/Hammer.xml"));
        std::stringstream text;
        text << in.rdbuf();
        std::string xml = text.str();
        const std::string from = "<string name=\"BehaviorName\">Hammer</string>";
        xml.replace(xml.find(from), from.size(), "<string name=\"BehaviorName\">" + behaviour + "</string>");
        const std::string file = "Data/Traps/" + behaviour + ".xml";
        std::ofstream(mSim.Path(file)) << xml;
        return Make(file, at);
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
        EXPECT_TRUE(mScene.GetMapExtent(width, depth));
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

    GameSim mSim;
    SceneBinding mScene;
};
} // namespace

TEST(SceneBindingPlay, TheHammerShowsItsUsesAndTheZapperDrawsABeam)
{
    PlayedLevel play;
    Cog* hammer = play.Make("hammer", play.Middle());
    ASSERT_NE(hammer, nullptr);
    play.mSim.Step(5);
    HudDisplay* hud = static_cast<HudDisplay*>(hammer->GetComponent(HudDisplay::kTypeId));
    ASSERT_NE(hud, nullptr) << "every trap carries a HUD display";
    EXPECT_TRUE(hud->mShowNumber);
    EXPECT_FALSE(hud->Text.empty());
    EXPECT_EQ(hud->Text, std::to_string(static_cast<int32_t>(CompOf<TrapData>(hammer)->charge)));

    BeamRenderer* beams = ParticleFrame::GetBeamRenderer();
    ASSERT_NE(beams, nullptr);
    const size_t count = beams->GetBeamCount();
    SceneSeam::Beam beam;
    beam.source = hammer->GetID();
    beam.from = play.Middle() + Vector3(0, 5, 0);
    beam.to = beam.from + Vector3(10, 0, 0);
    Scene().AddBeam(beam);
    EXPECT_EQ(beams->GetBeamCount(), count + 1);
}

TEST(SceneBindingPlay, AnInvadersAttackLastsItsClip)
{
    PlayedLevel play;
    Cog* grunt = play.Make("grunt", play.Middle() + Vector3(0, 1, 0));
    ASSERT_NE(grunt, nullptr);
    ASSERT_NE(grunt->GetComponent(SkinModel::kTypeId), nullptr);
    EXPECT_NEAR(Scene().AnimationLength(*grunt, "Attack"), 0.8f, 1e-3f);
    EXPECT_LT(Scene().AnimationLength(*grunt, "NoSuchClip"), 0.0f);
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
        PlayedLevel play;
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
        EXPECT_GT(PlayedLevel::Changed(before, during), 500);
    }
}

// A tower's break stage hides its upper parts, and the picture loses them.
TEST(SceneBindingPlay, ATowerBreakStageHidesItsParts)
{
    PlayedLevel play;
    const Vector3 at = play.Spot(-20, -20);
    play.LookAt(at);
    Cog* tower = play.Make("tower", at);
    ASSERT_NE(tower, nullptr);
    Model* model = CompOf<Model>(tower, Model::kTypeId);
    ASSERT_NE(model, nullptr);
    const Image whole = play.Frame(2);
    ASSERT_TRUE(model->IsSubMeshVisible(1));
    // The end of a break animation, as the model's callback reports it.
    CompOf<BaseTower>(tower, BaseTower::kTypeId)->AnimationCallback("Break2");
    EXPECT_FALSE(model->IsSubMeshVisible(1));
    EXPECT_TRUE(model->IsSubMeshVisible(0));
    const Image broken = play.Frame();
    EXPECT_GT(PlayedLevel::Changed(whole, broken), 200);
}

// A zapper's spark ring is drawn while its beams live and gone once they die.
TEST(SceneBindingPlay, AZapperDrawsItsSparks)
{
    PlayedLevel play;
    const Vector3 at = play.Spot(8, -8);
    play.LookAt(at);
    Cog* zapper = play.MakeKind("BugZapper", at);
    ASSERT_NE(zapper, nullptr);
    const Image sparks = play.Frame(2);
    const Image after = play.Frame(90);
    EXPECT_GT(PlayedLevel::Changed(sparks, after), 50);
}

// The drop preview shows the chosen trap green where it may go and red where it may not.
TEST(SceneBindingPlay, TheDropPreviewIsGreenOnAFreeTileAndRedOnABlockedOne)
{
    PlayedLevel play;
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
    EXPECT_GT(free.first, 100) << "green on a free tile";
    EXPECT_LT(free.second, free.first / 4);
    ASSERT_NE(play.Make("wall", at), nullptr);
    drop.Update(at);
    const std::pair<int, int> blocked = tinted(play.Frame());
    EXPECT_GT(blocked.second, 100) << "red on a blocked tile";
    EXPECT_LT(blocked.first, blocked.second / 4);
}
