#include "game/logic/PhraseBank.h"

#include <algorithm>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Random.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLLoader.h"
#include "game/components/GameComponents.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/EffectSeam.h"

PhraseBank::PhraseBank() { mCommands.Add("SayPhrase", MakeConsoleCommand(this, &PhraseBank::ShowBubble)); }

PhraseBank::~PhraseBank() = default;

void PhraseBank::Serialize(Serializer& s)
{
    SerializeElementList(s, "invaderPhrases", mPhrases, "serializable", TypeObject);
    if (!s.IsSaving())
        BuildSituations();
}

void PhraseBank::BuildSituations()
{
    // Rebuilt whole, so a second call does not say every phrase twice as often.
    for (std::vector<uint32_t>& list : mSituations)
        list.clear();
    mByInvader.clear();
    mByStatusEffect.clear();
    for (uint32_t i = 0; i < mPhrases.size(); ++i)
    {
        const PhraseRecord& phrase = mPhrases[i];
        const int32_t situation = phrase.situation;
        if (situation >= 0 && situation < kSituationCount)
            mSituations[situation].push_back(i);
        if (situation != kStatusSituation)
            mByInvader[phrase.invaderName][situation].push_back(i);
        else
            mByStatusEffect[phrase.statusEffect].push_back(i);
    }
}

const std::vector<uint32_t>& PhraseBank::GetSituation(int32_t situation) const
{
    static const std::vector<uint32_t> kNone;
    return situation >= 0 && situation < kSituationCount ? mSituations[situation] : kNone;
}

std::string PhraseBank::Draw(const std::vector<uint32_t>& list) const
{
    // A value in [0, 1] as RandomFloat makes it: the top draw lands just below 1.
    constexpr float kScale = 3.051851e-5f;
    for (uint32_t index : list)
        if (std::min(float(mDraws.Next()) * kScale, 1.0f) < mPhrases[index].percentChance)
            return mPhrases[index].phraseText;
    return std::string();
}

std::string PhraseBank::PickPhrase(int32_t situation, const Kestrane& invader) const
{
    if (situation == kStatusSituation)
    {
        auto it = mByStatusEffect.find(invader.GetStatusEffect());
        return it == mByStatusEffect.end() ? std::string() : Draw(it->second);
    }
    auto lookUp = [&](const std::string& name) -> const std::vector<uint32_t>* {
        auto byName = mByInvader.find(name);
        if (byName == mByInvader.end())
            return nullptr;
        auto bySituation = byName->second.find(situation);
        return bySituation == byName->second.end() ? nullptr : &bySituation->second;
    };
    if (const std::vector<uint32_t>* own = lookUp(invader.mName))
    {
        std::string text = Draw(*own);
        if (!text.empty())
            return text;
    }
    const std::vector<uint32_t>* all = lookUp("All");
    return all ? Draw(*all) : std::string();
}

void PhraseBank::SayPhrase(int32_t situation, Cog* invader)
{
    Kestrane* speaker = invader ? invader->Get<Kestrane>() : nullptr;
    if (!speaker)
        return;
    std::string text = PickPhrase(situation, *speaker);
    if (!text.empty())
        ShowBubble("Data/Effects/SpeechBubble.xml", static_cast<int32_t>(invader->GetID()), std::move(text));
}

void PhraseBank::SayText(const std::string& text, Cog* cog)
{
    if (cog)
        ShowBubble("Data/Effects/SpeechBubble.xml", static_cast<int32_t>(cog->GetID()), text);
}

PhraseComp* PhraseBank::FindBubble(int32_t speakerId) const
{
    CogFactory& cogs = CogFactory::Instance();
    for (uint32_t id : mLiveBubbles)
    {
        Cog* cog = cogs.GetCog(id);
        PhraseComp* bubble = cog ? cog->Get<PhraseComp>() : nullptr;
        if (bubble && bubble->speakerId == speakerId)
            return bubble;
    }
    return nullptr;
}

void PhraseBank::EndBubble(int32_t speakerId)
{
    PhraseComp* bubble = FindBubble(speakerId);
    if (!bubble || !bubble->GetOwner())
        return;
    // Out of the list now: the cog itself goes with the factory's next sweep.
    Cog* cog = bubble->GetOwner();
    RemoveBubble(cog->GetID());
    CogFactory::Instance().Destroy(cog);
}

void PhraseBank::ShowBubble(std::string archetype, int32_t speakerId, std::string text)
{
    if (!mEnabled || FindBubble(speakerId))
        return;
    if (static_cast<int64_t>(mLiveBubbles.size()) >= mMaxBubbles)
        return;
    CogFactory& cogs = CogFactory::Instance();
    Positional* speaker = PosOf(cogs.GetCog(static_cast<uint32_t>(speakerId)));
    if (!speaker || speakerId < 0)
        return;
    const Vector3 at = speaker->GetPosition();
    for (uint32_t id : mLiveBubbles)
    {
        Positional* bubble = PosOf(cogs.GetCog(id));
        if (!bubble)
            continue;
        const Vector3 d = bubble->GetPosition() - at;
        if (d.x * d.x + d.y * d.y + d.z * d.z < kMinBubbleDistanceSquared)
            return;
    }
    Cog* cog = cogs.Create(archetype);
    if (!cog)
        return;
    FollowerComp* follower = cog ? cog->Get<FollowerComp>() : nullptr;
    PhraseComp* phrase = cog ? cog->Get<PhraseComp>() : nullptr;
    if (!follower || !phrase)
    {
        // Half a bubble would follow no one or never leave the list.
        RemoveBubble(cog->GetID());
        cogs.Destroy(cog);
        return;
    }
    follower->followedObjID = static_cast<uint32_t>(speakerId);
    phrase->speakerId = speakerId;
    EffectSeam& effects = SceneEffects();
    if (effects.HasEffect(*cog))
    {
        effects.ClearEffectLoop(*cog);
        effects.SetEffectText(*cog, text);
    }
}

void PhraseBank::AddBubble(uint32_t cogId)
{
    if (std::find(mLiveBubbles.begin(), mLiveBubbles.end(), cogId) == mLiveBubbles.end())
        mLiveBubbles.push_back(cogId);
}

void PhraseBank::RemoveBubble(uint32_t cogId)
{
    auto it = std::find(mLiveBubbles.begin(), mLiveBubbles.end(), cogId);
    if (it != mLiveBubbles.end())
        mLiveBubbles.erase(it);
}

void LoadPhraseBank(PhraseBank& bank, const std::string& fileName)
{
    XMLLoader loader;
    if (!loader.Open(fileName))
        return;
    loader.SerializeObject(bank);
    loader.Close();
}
