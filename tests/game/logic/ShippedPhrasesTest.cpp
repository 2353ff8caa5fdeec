#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "game/behaviors/BehaviorRegistry.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/DataController.h"
#include "game/logic/PhraseBank.h"
#include "tests/game/GameSim.h"
#include "tests/game/components/GameTestSeam.h"

namespace {
// Words that only a phrase said at that moment uses: a phrase filed under another moment shows
// by carrying another moment's words, or none of its own.
struct Moment
{
    int32_t situation;
    int32_t effect; // for the status situation; 0 otherwise
    const char* what;
    std::vector<std::string> words;
};

const std::vector<Moment>& Moments()
{
    static const std::vector<Moment> kMoments = {
        {0, 0, "spawned", {"here i come", "to land", "reporting", "delivery", "coming through"}},
        {1, 0, "killed", {"avenge", "next wave", "i tried"}},
        {2, 0, "grabbed", {"put me down", "let go"}},
        {3, 0, "thrown", {"whee", "aaaa"}},
        {4, 0, "special move", {"watch this", "boing", "hi-yah", "climb on"}},
        {5, 0, "no tower", {"tower go", "no tower"}},
        {6, 0, "advancing", {"onward", "march", "for the invasion"}},
        {7, 0, "following", {"follow", "formation"}},
        {8, EffectNone, "effect worn off", {"better"}},
        {8, EffectDumb, "dumb", {"duh"}},
        {8, EffectBlind, "blind", {"see"}},
        {8, EffectMetallic, "metallic", {"metal"}},
        {8, EffectOnFire, "on fire", {"hot"}},
        {8, EffectPoisoned, "poisoned", {"sick"}},
        {9, 0, "bumping another invader", {"out of my way", "watch where"}},
    };
    return kMoments;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool Says(const std::string& text, const Moment& moment)
{
    return std::any_of(moment.words.begin(), moment.words.end(),
                       [&](const std::string& word) { return Lower(text).find(word) != std::string::npos; });
}

const Moment& MomentOf(int32_t situation, int32_t effect = 0)
{
    return *std::find_if(Moments().begin(), Moments().end(),
                         [&](const Moment& m) { return m.situation == situation && m.effect == effect; });
}

bool Fits(const PhraseRecord& phrase, const Moment& moment)
{
    return phrase.situation == moment.situation &&
        (moment.situation != PhraseBank::kStatusSituation || phrase.statusEffect == moment.effect);
}
} // namespace

// The phrases the game loads from its data folder: every moment an invader speaks at has a phrase
// any invader may say, and each phrase says what fits the moment it is filed under.
TEST(ShippedPhrases, EveryMomentHasAPhraseForAllAndEachPhraseFitsItsMoment)
{
    GameSim sim;
    const PhraseBank& bank = *sim.Logic().mPhraseBank;
    const DataController& data = sim.Data();
    ASSERT_FALSE(bank.mPhrases.empty());

    for (const Moment& moment : Moments())
    {
        const bool forAll = std::any_of(bank.mPhrases.begin(), bank.mPhrases.end(), [&](const PhraseRecord& p) {
            return p.invaderName == "All" && p.percentChance > 0.0f && Fits(p, moment);
        });
        EXPECT_TRUE(forAll) << moment.what << ": no phrase for all invaders";
    }
    for (int32_t situation = 0; situation < PhraseBank::kSituationCount; ++situation)
        EXPECT_FALSE(bank.GetSituation(situation).empty()) << situation;

    for (const PhraseRecord& phrase : bank.mPhrases)
    {
        SCOPED_TRACE(phrase.invaderName + ": \"" + phrase.phraseText + "\"");
        EXPECT_TRUE(phrase.invaderName == "All" || data.HasInvaderInfo(phrase.invaderName)) << "no such invader";
        const auto own = std::find_if(Moments().begin(), Moments().end(),
                                      [&](const Moment& moment) { return Fits(phrase, moment); });
        ASSERT_NE(own, Moments().end()) << "situation " << phrase.situation << ", effect " << phrase.statusEffect;
        EXPECT_TRUE(Says(phrase.phraseText, *own)) << "does not fit " << own->what;
        for (const Moment& other : Moments())
        {
            if (&other != &*own)
            {
                EXPECT_FALSE(Says(phrase.phraseText, other)) << "filed under " << own->what << ", fits " << other.what;
            }
        }
    }
}

// A grunt of the shipped game with every phrase made certain: what it says as it comes, enters
// each state that speaks (walking to a tile on its own, it speaks of advancing), catches fire, bumps another invader
// and dies fits that moment.
TEST(ShippedPhrases, AnInvaderSaysAtEachMomentAPhraseThatFitsIt)
{
    GameSim sim;
    InvaderField field(sim);
    KindSeam seam;
    PhraseBank& bank = *sim.Logic().mPhraseBank;
    for (PhraseRecord& phrase : bank.mPhrases)
        phrase.percentChance = 1.0f;
    // The text of the speaker's live bubble; its bubble then goes, so the next moment can speak.
    const auto said = [&](Cog* speaker) {
        std::string text;
        PhraseComp* bubble = bank.FindBubble(static_cast<int32_t>(speaker->GetID()));
        if (!bubble)
            return text;
        for (const auto& [cog, shown] : seam.mTexts)
            if (cog == bubble->GetOwner()->GetID())
                text = shown;
        sim.Cogs().Destroy(bubble->GetOwner());
        sim.Step();
        return text;
    };

    Cog* grunt = field.Invader("grunt", 10, 10);
    ASSERT_NE(grunt, nullptr);
    Kestrane& k = InvaderField::K(grunt);
    k.mRun.mPathing = FindPathingBehavior("NoPathing");
    const std::string coming = said(grunt);
    EXPECT_TRUE(Says(coming, MomentOf(0))) << coming;
    ASSERT_TRUE(sim.StepUntil([&] { return k.GetState() == StateAdvance; }, 30 * 60)) << "it lands";
    const std::string landed = said(grunt);
    EXPECT_TRUE(Says(landed, MomentOf(6))) << landed;

    const struct
    {
        int32_t state;
        int32_t situation;
    } states[] = {{StateFollowTarget, 6}, {StateGrabbed, 2}, {StateSpecial, 4}, {StateNoTower, 5}};
    for (const auto& c : states)
    {
        k.ChangeState(c.state);
        const std::string text = said(grunt);
        EXPECT_TRUE(Says(text, MomentOf(c.situation))) << "state " << c.state << ": " << text;
    }
    k.ChangeState(StateAdvance);
    said(grunt);

    Cog* other = field.Invader("grunt", 12, 10);
    ASSERT_NE(other, nullptr);
    k.CollideObj(static_cast<int32_t>(other->GetID()), CollisionData{});
    const std::string bumped = said(grunt);
    EXPECT_TRUE(Says(bumped, MomentOf(9))) << bumped;
    // Gone with its own bubble, which would crowd out the next.
    said(other);
    sim.Cogs().Destroy(other);
    sim.Step();
    k.ChangeEffect(EffectOnFire, 5.0f);
    const std::string burning = said(grunt);
    EXPECT_TRUE(Says(burning, MomentOf(8, EffectOnFire))) << burning;

    // The last words hang over the death cloud, not over the invader.
    seam.mTexts.clear();
    k.mCurHP = 0.0f;
    ASSERT_TRUE(sim.StepUntil([&] { return !seam.mTexts.empty(); }, 60)) << "last words";
    EXPECT_TRUE(Says(seam.mTexts.back().second, MomentOf(1))) << seam.mTexts.back().second;
}

// Every kind of the shipped game, with its own arrival: only one that comes down on a parachute
// may say it is landing; a ninja out of its smoke, a stacker dropped from the sky or a driller
// digging up says something else, or nothing.
TEST(ShippedPhrases, WhatAKindSaysAsItComesFitsHowItArrives)
{
    GameSim sim;
    InvaderField field(sim);
    KindSeam seam;
    const PhraseBank& bank = *sim.Logic().mPhraseBank;
    const auto arrivalPhrases = [&](const std::string& name) {
        std::vector<std::string> texts;
        for (const std::string& who : {name, std::string("All")})
        {
            auto kind = bank.mByInvader.find(who);
            if (kind == bank.mByInvader.end() || !kind->second.count(0))
                continue;
            for (uint32_t i : kind->second.at(0))
                texts.push_back(bank.mPhrases[i].phraseText);
        }
        return texts;
    };
    int32_t x = 4;
    size_t parachuted = 0;
    for (const auto& [name, info] : sim.Data().mInvaderInfo)
    {
        SCOPED_TRACE(name);
        Cog* cog = field.Invader(name, x, 10);
        x += 6;
        ASSERT_NE(cog, nullptr);
        const bool parachute = InvaderField::K(cog).mRun.mParachuteCogId != Kestrane::kNoCog;
        parachuted += parachute ? 1 : 0;
        const std::vector<std::string> texts = arrivalPhrases(name);
        EXPECT_FALSE(texts.empty());
        for (const std::string& text : texts)
        {
            const bool landing = Lower(text).find("land") != std::string::npos;
            EXPECT_TRUE(parachute || !landing) << "\"" << text << "\" without a parachute";
        }
    }
    EXPECT_GT(parachuted, 0u) << "some kinds come down on a parachute";
    EXPECT_LT(parachuted, sim.Data().mInvaderInfo.size()) << "some kinds arrive otherwise";
}
