#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "game/logic/GameData.h"
#include "game/logic/OwnedCommands.h"

class Cog;
class Serializer;

// The invaders' phrases, sorted per situation. Speech bubbles come with the speaking invaders;
// until then the bank only stores.
class PhraseBank
{
public:
    static constexpr int32_t kSituationCount = 10;

    // Binds the script function "SayPhrase".
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
    void SayPhrase(int32_t situation, Cog* invader);

    bool mEnabled = true; // invader speech
    std::vector<PhraseRecord> mPhrases;

private:
    std::vector<uint32_t> mSituations[kSituationCount];
    OwnedCommands mCommands;
};

// Reads one unnamed record from the XML stream file into the bank.
void LoadPhraseBank(PhraseBank& bank, const std::string& fileName);
