#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "LOOM/math/RandomGenerator.h"
#include "game/logic/GameData.h"
#include "game/logic/OwnedCommands.h"

class Cog;
class Kestrane;
class PhraseComp;
class Serializer;

// The invaders' phrases, sorted per situation and per invader, and the speech bubbles that
// show them: the bank picks a phrase by chance and limits how many bubbles live and how close
// together they may be.
class PhraseBank
{
public:
    static constexpr int32_t kSituationCount = 10;

    static constexpr int32_t kStatusSituation = 8;
    static constexpr float kMinBubbleDistanceSquared = 1000.0f;

    // Binds the console command "SayPhrase" to ShowBubble.
    PhraseBank();
    // Removes "SayPhrase" again, so a restart leaves no command on freed memory.
    ~PhraseBank();
    PhraseBank(const PhraseBank&) = delete;
    PhraseBank& operator=(const PhraseBank&) = delete;

    // The field "invaderPhrases"; loading rebuilds the per-situation lists.
    void Serialize(Serializer& s);
    void BuildSituations();
    // The phrase indices of a situation; empty for one out of range.
    const std::vector<uint32_t>& GetSituation(int32_t situation) const;
    // A phrase of the situation for the invader, or an empty text.
    std::string PickPhrase(int32_t situation, const Kestrane& invader) const;
    // Shows a picked phrase over the invader's cog (which must carry the invader component).
    void SayPhrase(int32_t situation, Cog* invader);
    void SayText(const std::string& text, Cog* cog);
    // Shows a bubble made from the archetype over the speaker when the rules allow it.
    void ShowBubble(std::string archetype, int32_t speakerId, std::string text);
    // The live bubble of the speaker, or null.
    PhraseComp* FindBubble(int32_t speakerId) const;
    // Takes the speaker's bubble down at once, so what it says next can show.
    void EndBubble(int32_t speakerId);

    // Bubble cogs join and leave through their PhraseComp.
    void AddBubble(uint32_t cogId);
    void RemoveBubble(uint32_t cogId);
    size_t BubbleCount() const { return mLiveBubbles.size(); }

    bool mEnabled = true; // invader speech
    int32_t mMaxBubbles = 10;
    std::map<std::string, std::map<int32_t, std::vector<uint32_t>>> mByInvader;
    std::map<int32_t, std::vector<uint32_t>> mByStatusEffect;
    std::vector<PhraseRecord> mPhrases;

private:
    // The first phrase of the list whose own draw succeeds; empty when none does.
    std::string Draw(const std::vector<uint32_t>& list) const;

    std::vector<uint32_t> mSituations[kSituationCount];
    // The draws have a source of their own: what invaders say never shifts the shared one,
    // so a phrase added to the data changes no drift, fuse or hop in play.
    mutable RandomGenerator mDraws;
    // The bubble cogs alive, by ID; each is checked against its cog before use.
    std::vector<uint32_t> mLiveBubbles;
    OwnedCommands mCommands;
};

// Reads one unnamed record from the XML stream file into the bank.
void LoadPhraseBank(PhraseBank& bank, const std::string& fileName);
