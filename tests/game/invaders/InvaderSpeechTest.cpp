#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "LOOM/console/Console.h"
#include "game/components/GameComponents.h"
#include "game/invaders/InvaderGroup.h"
#include "game/logic/PhraseBank.h"
#include "game/player/CursorComp.h"
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
        {
            mTexts.push_back(text);
            if (const PhraseComp* bubble = cog.Get<PhraseComp>())
                mBySpeaker[bubble->speakerId].push_back(text);
        }
        return shown;
    }
    void SetEmitterDistanceMap(Cog& cog, int32_t emitter, const std::string& file) override
    {
        EffectBinding::SetEmitterDistanceMap(cog, emitter, file);
        mMaps.push_back(file);
    }

    std::vector<std::string> mTexts;
    std::map<int32_t, std::vector<std::string>> mBySpeaker;
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
    // What the cog said, in order.
    std::vector<std::string> SaidBy(const Cog* speaker) const
    {
        auto it = mWatched.mBySpeaker.find(static_cast<int32_t>(speaker->GetID()));
        return it == mWatched.mBySpeaker.end() ? std::vector<std::string>() : it->second;
    }

private:
    WatchedEffects mWatched;
};
std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Words only a phrase of following the leader, or of walking on, uses.
bool SpeaksOf(const std::vector<std::string>& said, std::initializer_list<const char*> words)
{
    return std::any_of(said.begin(), said.end(), [&](const std::string& text) {
        return std::any_of(words.begin(), words.end(),
                           [&](const char* word) { return Lower(text).find(word) != std::string::npos; });
    });
}
bool SpeaksOfFollowing(const std::vector<std::string>& said) { return SpeaksOf(said, {"follow", "formation"}); }
bool SpeaksOfAdvancing(const std::vector<std::string>& said)
{
    return SpeaksOf(said, {"onward", "march", "for the invasion"});
}

// The shipped phrases, each said whenever its turn comes.
PhraseBank& CertainPhrases(GameSim& sim)
{
    PhraseBank& bank = *sim.Logic().mPhraseBank;
    for (PhraseRecord& phrase : bank.mPhrases)
        phrase.percentChance = 1.0f;
    return bank;
}
} // namespace

// Three walkers on their way to the tower with the shipped phrases: a squad leader, a grunt in
// its group and a grunt on its own far from them. Each bubble is taken down as soon as it shows,
// so every moment speaks. Only the grunt that follows the leader speaks of following.
TEST(InvaderSpeech, OnlyASquadMemberSpeaksOfFollowing)
{
    GameSim sim;
    InvaderField field(sim);
    WatchedBinding scene;
    PhraseBank& bank = CertainPhrases(sim);
    ASSERT_NE(field.Tower(50, 50), nullptr);
    Cog* leader = field.Invader("squad", 10, 10);
    // Behind its leader, away from the tower: the leader's way ahead stays open.
    Cog* member = field.Invader("grunt", 9, 9);
    Cog* alone = field.Invader("grunt", 10, 45);
    ASSERT_TRUE(leader && member && alone);
    ASSERT_NE(InvaderField::K(leader).mRun.mGroup, nullptr) << "a squad leads a group";
    InvaderField::K(leader).mRun.mGroup->AddMember(&InvaderField::K(member));
    const struct
    {
        const char* what;
        Cog* cog;
        bool follows;
    } walkers[] = {{"leader", leader, false}, {"member", member, true}, {"alone", alone, false}};

    bool aloneWalked = false;
    ASSERT_TRUE(sim.StepUntil(
        [&] {
            for (const auto& w : walkers)
                bank.EndBubble(static_cast<int32_t>(w.cog->GetID()));
            aloneWalked = aloneWalked || InvaderField::K(alone).GetState() == StateFollowTarget;
            return aloneWalked && SpeaksOfFollowing(scene.SaidBy(member));
        },
        30 * 60))
        << "the lone grunt walks and the member follows";
    for (const auto& w : walkers)
    {
        SCOPED_TRACE(w.what);
        const std::vector<std::string> said = scene.SaidBy(w.cog);
        EXPECT_EQ(SpeaksOfFollowing(said), w.follows);
        if (!w.follows)
        {
            EXPECT_TRUE(SpeaksOfAdvancing(said));
        }
    }
}

// The claw grabs a grunt and throws it: the struggle's words show while it is held and give way
// to the flight's the moment it is thrown.
TEST(InvaderSpeech, AThrowEndsTheStruggleWordsAndShowsTheFlights)
{
    GameSim sim;
    InvaderField field(sim);
    WatchedBinding scene;
    PhraseBank& bank = CertainPhrases(sim);
    Cog* claw = sim.Cogs().Create("Cursor");
    ASSERT_NE(claw, nullptr);
    CursorComp* cursor = claw->Get<CursorComp>();
    ASSERT_NE(cursor, nullptr);
    Cog* grunt = field.Invader("grunt", 10, 10);
    ASSERT_NE(grunt, nullptr);
    Kestrane& k = InvaderField::K(grunt);
    const int32_t id = static_cast<int32_t>(grunt->GetID());
    k.mRun.mPathing = FindPathingBehavior("NoPathing");
    ASSERT_TRUE(sim.StepUntil([&] { return k.GetState() == StateAdvance; }, 30 * 60)) << "it lands";
    // Still talking of its march when the claw takes it.
    ASSERT_NE(bank.FindBubble(id), nullptr);

    cursor->mGrabbed = id;
    k.ChangeState(StateGrabbed);
    sim.Step();
    PhraseComp* struggle = bank.FindBubble(id);
    ASSERT_NE(struggle, nullptr) << "the struggle is heard over the march";
    EXPECT_EQ(scene.SaidBy(grunt).back(), "Put me down!");
    const uint32_t struggleCog = struggle->GetOwner()->GetID();

    cursor->ReleaseGrabbed(false);
    EXPECT_EQ(k.GetState(), StateAirborne);
    EXPECT_EQ(scene.SaidBy(grunt).back(), "Wheee!");
    sim.Step();
    PhraseComp* flight = bank.FindBubble(id);
    ASSERT_NE(flight, nullptr);
    EXPECT_NE(flight->GetOwner()->GetID(), struggleCog);
    EXPECT_EQ(sim.Cogs().GetCog(struggleCog), nullptr) << "the struggle's bubble is gone";
}

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
            // A hop every five seconds, one in five with its shout: long enough that no run of
            // the random source keeps it quiet.
            240 * 60));
        if (*c.mMap)
            EXPECT_EQ(scene.Maps(), std::vector<std::string>{c.mMap});
        else
            EXPECT_TRUE(scene.Maps().empty());
    }
}
