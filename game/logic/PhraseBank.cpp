#include "game/logic/PhraseBank.h"

#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLLoader.h"

PhraseBank::PhraseBank()
{
    mCommands.Add("SayPhrase", MakeConsoleCommand(this, &PhraseBank::SayPhrase));
}

PhraseBank::~PhraseBank() = default;

void PhraseBank::Serialize(Serializer& s)
{
    if (s.BeginField("list", "invaderPhrases", false, TypeElement, &mPhrases))
    {
        s.SerializeListHead(mPhrases, "serializable");
        for (PhraseRecord& phrase : mPhrases)
            s.SerializeObject(phrase);
        s.EndField("list", false);
    }
    if (!s.IsSaving())
        BuildSituations();
}

void PhraseBank::BuildSituations()
{
    for (std::vector<uint32_t>& list : mSituations)
        list.clear();
    for (uint32_t i = 0; i < mPhrases.size(); ++i)
    {
        const int32_t situation = mPhrases[i].situation;
        if (situation >= 0 && situation < kSituationCount)
            mSituations[situation].push_back(i);
    }
}

const std::vector<uint32_t>& PhraseBank::GetSituation(int32_t situation) const
{
    static const std::vector<uint32_t> kNone;
    return situation >= 0 && situation < kSituationCount ? mSituations[situation] : kNone;
}

void PhraseBank::SayPhrase(int32_t, Cog*)
{
    // Speech bubbles need the speaking invader's presentation, which this bank does not own yet.
}

void LoadPhraseBank(PhraseBank& bank, const std::string& fileName)
{
    XMLLoader loader;
    if (!loader.Open(fileName))
        return;
    loader.SerializeObject(bank);
    loader.Close();
}
