#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "game/invaders/Kestrane.h"
#include "game/logic/DataController.h"
#include "game/logic/PhraseBank.h"
#include "tests/game/GameSim.h"

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
        {0, 0, "spawned", {"here i come", "to land", "reporting", "delivery"}},
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
