#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "LOOM/console/Console.h"
#include "game/logic/PhraseBank.h"
#include "game/player/SceneBinding.h"
#include "graphics/particles/Effect.h"
#include "tests/game/components/GameTestSeam.h"

namespace {
struct BubbleScene
{
    GameSim sim;
    KindSeam seam;
    PhraseBank& Bank() { return *sim.Logic().mPhraseBank; }
    Cog* Speaker(float x, float z) { return CreateAt(sim.Cogs(), "rock", Vector3(x, 0, z)); }
    bool Say(Cog* speaker, const std::string& text = "hi")
    {
        const size_t before = Bank().BubbleCount();
        Bank().ShowBubble("Data/Effects/SpeechBubble.xml", static_cast<int32_t>(speaker->GetID()), text);
        // Bubbles stand where their speaker is from their first frame on.
        sim.Step();
        return Bank().BubbleCount() == before + 1;
    }
};

PhraseRecord Phrase(const std::string& who, int32_t situation, float chance, const std::string& text,
                    int32_t effect = 0)
{
    PhraseRecord r;
    r.invaderName = who;
    r.situation = situation;
    r.percentChance = chance;
    r.phraseText = text;
    r.statusEffect = effect;
    return r;
}
} // namespace

TEST(SpeechBubble, LimitsSpeakerRepeatsCountAndCrowding)
{
    BubbleScene s;
    // Ten speakers well apart, then an eleventh.
    std::vector<Cog*> speakers;
    speakers.reserve(11);
    for (int i = 0; i < 11; ++i)
        speakers.push_back(s.Speaker(40.0f * static_cast<float>(i), 0.0f));
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(s.Say(speakers[size_t(i)])) << i;
    EXPECT_FALSE(s.Say(speakers[10])) << "the eleventh waits";
    EXPECT_FALSE(s.Say(speakers[0], "another text")) << "one bubble per speaker";
    ASSERT_NE(s.Bank().FindBubble(static_cast<int32_t>(speakers[3]->GetID())), nullptr);
    EXPECT_EQ(s.Bank().FindBubble(static_cast<int32_t>(speakers[10]->GetID())), nullptr);
    ASSERT_FALSE(s.seam.mTexts.empty());
    EXPECT_EQ(s.seam.mTexts.front().second, "hi");

    // Bubbles time out and leave the list.
    s.sim.Step(4 * 60);
    EXPECT_EQ(s.Bank().BubbleCount(), 0u);

    for (const auto& [gap, both] : {std::pair<float, bool>{30.0f, false}, {32.0f, true}})
    {
        Cog* a = s.Speaker(1000.0f, 1000.0f);
        Cog* b = s.Speaker(1000.0f + gap, 1000.0f);
        EXPECT_TRUE(s.Say(a));
        EXPECT_EQ(s.Say(b), both) << gap;
        s.sim.Step(4 * 60);
    }
}

TEST(SpeechBubble, SwitchedOffSpeechShowsNothingAlsoFromTheConsole)
{
    BubbleScene s;
    Cog* speaker = s.Speaker(0, 0);
    s.sim.Run("InvaderSpeech false");
    EXPECT_FALSE(s.Say(speaker));
    s.sim.Run("SayPhrase Data/Effects/SpeechBubble.xml " + std::to_string(speaker->GetID()) + " hello");
    s.sim.Step();
    EXPECT_EQ(s.Bank().BubbleCount(), 0u);
    s.sim.Run("InvaderSpeech true");
    s.sim.Run("SayPhrase Data/Effects/SpeechBubble.xml " + std::to_string(speaker->GetID()) + " hello");
    s.sim.Step();
    EXPECT_EQ(s.Bank().BubbleCount(), 1u);
    ASSERT_FALSE(s.seam.mTexts.empty());
    EXPECT_EQ(s.seam.mTexts.back().second, "hello");
    // No speaker of that ID: nothing.
    s.sim.Run("SayPhrase Data/Effects/SpeechBubble.xml 99999 hello");
    s.sim.Step();
    EXPECT_EQ(s.Bank().BubbleCount(), 1u);
}

TEST(SpeechBubble, AnIncompleteArchetypeLeavesNoCog)
{
    BubbleScene s;
    // A bubble type with the phrase marker but nothing to follow with.
    s.sim.AddComposition("HalfBubble", "halfbubbles", {1, 127});
    Cog* speaker = s.Speaker(0, 0);
    for (const char* archetype : {"HalfBubble", "Data/Effects/DustExplosion.xml"})
    {
        const size_t before = s.sim.Cogs().GetCogCount();
        s.Bank().ShowBubble(archetype, static_cast<int32_t>(speaker->GetID()), "x");
        EXPECT_EQ(s.Bank().BubbleCount(), 0u) << archetype;
        s.sim.Step();
        EXPECT_EQ(s.sim.Cogs().GetCogCount(), before) << archetype;
        EXPECT_TRUE(s.sim.Cogs().GetGroupCogs("halfbubbles").empty());
    }
    EXPECT_TRUE(s.Say(speaker)) << "the speaker was never counted as speaking";
}

TEST(SpeechBubble, PickingFallsBackToAllExceptForStatusPhrases)
{
    BubbleScene s;
    InvaderField field(s.sim);
    Cog* grunt = field.Invader("grunt", 10, 10);
    Kestrane& k = InvaderField::K(grunt);
    PhraseBank& bank = s.Bank();
    bank.mPhrases = {Phrase("grunt", 2, 1.0f, "mine"),      Phrase("All", 2, 1.0f, "everyone"),
                     Phrase("All", 3, 1.0f, "all only"),    Phrase("grunt", 4, 0.0f, "never"),
                     Phrase("All", 4, 1.0f, "after never"), Phrase("All", 8, 1.0f, "poisoned", EffectPoisoned),
                     Phrase("grunt", 5, 0.0f, "silent")};
    bank.BuildSituations();
    const struct
    {
        int32_t mSituation;
        const char* mText;
    } cases[] = {{2, "mine"}, {3, "all only"}, {4, "after never"}, {5, ""}, {7, ""}, {8, ""}};
    for (int round = 0; round < 20; ++round)
        for (const auto& c : cases)
            EXPECT_EQ(bank.PickPhrase(c.mSituation, k), c.mText) << c.mSituation;
    k.mRun.mStatusEffect = EffectPoisoned;
    EXPECT_EQ(bank.PickPhrase(8, k), "poisoned");
    k.mRun.mStatusEffect = EffectBlind;
    EXPECT_EQ(bank.PickPhrase(8, k), "") << "no status phrase, and no fall-back";

    // Said over the invader, it follows it (whatever it said as it came is taken down first).
    bank.EndBubble(static_cast<int32_t>(grunt->GetID()));
    bank.SayPhrase(2, grunt);
    s.sim.Step();
    PhraseComp* bubble = bank.FindBubble(static_cast<int32_t>(grunt->GetID()));
    ASSERT_NE(bubble, nullptr);
    EXPECT_EQ(bubble->GetOwner()->Get<FollowerComp>()->followedObjID, grunt->GetID());
    EXPECT_EQ(s.seam.mTexts.back().second, "mine");
}

// The game's bubble files, through the real scene: the phrase becomes the text of the bubble
// effect's first font effect, drawn in the GUI's first font and fading with its colour stream.
TEST(SpeechBubble, TheGamesBubblesShowTheirPhraseInTheirEffect)
{
    SceneBinding scene;
    BubbleScene s;
    SetSceneSeam(&scene);
    const struct
    {
        const char* mFile;
        const char* mText;
        float mRed;
        float mGreen;
    } cases[] = {{"Data/Effects/SpeechBubble.xml", "Charge!", 1.0f, 1.0f},
                 {"Data/Effects/DeathSpeechBubble.xml", "Avenge me", 1.0f, 0.4f}};
    float x = 0.0f;
    for (const auto& c : cases)
    {
        Cog* speaker = s.Speaker(x += 100.0f, 0.0f);
        s.Bank().ShowBubble(c.mFile, static_cast<int32_t>(speaker->GetID()), c.mText);
        s.sim.Step();
        PhraseComp* bubble = s.Bank().FindBubble(static_cast<int32_t>(speaker->GetID()));
        ASSERT_NE(bubble, nullptr) << c.mFile;
        Effect* effect = bubble->GetOwner()->Get<Effect>();
        ASSERT_NE(effect, nullptr) << c.mFile;
        ASSERT_FALSE(effect->FontEffects.empty()) << c.mFile;
        const FontEffect& text = effect->FontEffects.front();
        EXPECT_EQ(text.Text, c.mText);
        EXPECT_EQ(text.FontIndex, 0);
        EXPECT_GT(text.Scale, 0.0f);
        const Color start = text.stream.Evaluate(0.0f, 0);
        EXPECT_EQ(start.r, c.mRed) << c.mFile;
        EXPECT_EQ(start.g, c.mGreen) << c.mFile;
        EXPECT_EQ(start.a, 1.0f) << c.mFile;
        EXPECT_FALSE(effect->Animation().LoopAnimation);
    }
    // The effect does not outlive the bubble's own timed death, nor the other way round.
    s.sim.Step(6 * 60);
    EXPECT_EQ(s.Bank().BubbleCount(), 0u);
}
