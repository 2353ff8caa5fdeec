#include <algorithm>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "LOOM/console/Console.h"
#include "game/logic/PhraseBank.h"
#include "game/player/SceneBinding.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
// The program's scene binding, noting the texts it puts into effects and the death clouds' maps.
class WatchedEffects : public EffectBinding
{
public:
    bool SetEffectText(Cog& cog, const std::string& text) override
    {
        const bool shown = EffectBinding::SetEffectText(cog, text);
        if (shown)
            mTexts.push_back(text);
        return shown;
    }
    void SetEmitterDistanceMap(Cog& cog, int32_t emitter, const std::string& file) override
    {
        EffectBinding::SetEmitterDistanceMap(cog, emitter, file);
        mMaps.push_back(file);
    }

    std::vector<std::string> mTexts;
    std::vector<std::string> mMaps;
};

class WatchedBinding : public SceneBinding
{
public:
    WatchedBinding() { SetSceneSeam(this); }
    ~WatchedBinding() override { SetSceneSeam(nullptr); }
    EffectSeam& Effects() override { return mWatched; }
    bool Said(const std::string& text) const
    {
        return std::find(mWatched.mTexts.begin(), mWatched.mTexts.end(), text) != mWatched.mTexts.end();
    }
    const std::vector<std::string>& Maps() const { return mWatched.mMaps; }

private:
    WatchedEffects mWatched;
};
} // namespace

// What invaders say over their heads and leave behind, in the game's data through the real binding.
TEST(InvaderSpeech, IntroductionCountdownAndDeathShowTheirBubbles)
{
    const struct
    {
        const char* mKind;
        std::function<void(GameSim&, Kestrane&)> mSetUp;
        const char* mText;
        const char* mMap; // the death cloud's distance map; empty when the invader lives
    } cases[] = {
        // No tower: it hops and, one hop in five, introduces itself.
        {"grunt", [](GameSim&, Kestrane& k) { k.ChangeState(StateNoTower); }, "I'm a grunt!", ""},
        // Ten seconds left on the fuse: the countdown shows 1.
        {"bomber", [](GameSim&, Kestrane& k) { k.mRun.mFuse = 10.2f; }, "1", ""},
        // Killed: its last words over the death cloud, shaped by the shared death model.
        {"grunt", [](GameSim&, Kestrane& k) { k.mCurHP = 0.0f; }, "Avenge me", "Models/InvaderDM.lmf"},
        // A kind that ships its own death model gets it.
        {"stacker",
         [](GameSim& sim, Kestrane& k) {
             std::filesystem::copy_file(sim.Path("Models/InvaderDM.lmf"), sim.Path("Models/stackerDM.lmf"));
             k.mCurHP = 0.0f;
         },
         "Avenge me", "Models/stackerDM.lmf"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.mKind) + " " + c.mText);
        GameSim sim;
        InvaderField field(sim);
        WatchedBinding scene;
        PhraseBank& bank = *sim.Logic().mPhraseBank;
        bank.mPhrases.clear();
        PhraseRecord last;
        last.invaderName = "All";
        last.situation = 1;
        last.percentChance = 1.0f;
        last.phraseText = "Avenge me";
        bank.mPhrases.push_back(last);
        bank.BuildSituations();
        Cog* cog = field.Invader(c.mKind, 10, 10);
        ASSERT_NE(cog, nullptr);
        Kestrane& k = InvaderField::K(cog);
        k.mRun.mPathing = FindPathingBehavior("NoPathing");
        ASSERT_TRUE(sim.StepUntil([&] { return k.GetState() == StateAdvance; }, 30 * 60)) << "it lands";
        c.mSetUp(sim, k);
        const bool hops = k.GetState() == StateNoTower;
        EXPECT_TRUE(sim.StepUntil(
            [&] {
                // Landed again with no tower in sight: it hops on.
                if (hops && k.GetState() == StateAdvance)
                    k.ChangeState(StateNoTower);
                return scene.Said(c.mText);
            },
            60 * 60));
        if (*c.mMap)
            EXPECT_EQ(scene.Maps(), std::vector<std::string>{c.mMap});
        else
            EXPECT_TRUE(scene.Maps().empty());
    }
}
