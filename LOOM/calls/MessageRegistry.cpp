#include "LOOM/calls/MessageRegistry.h"

#include <vector>

#include "LOOM/calls/CallScope.h"
#include "LOOM/calls/CogDirectory.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/Console.h"

bool MessageRegistry::Subscribe(const std::string& message, uint32_t cogId)
{
    auto it = mSubscriptions.find(message);
    if (it == mSubscriptions.end())
    {
        // Names nobody listens to any more make room first.
        if (mSubscriptions.size() >= kMaxMessages)
            std::erase_if(mSubscriptions, [](const auto& entry) { return entry.second.empty(); });
        if (message.size() > kMaxNameBytes || mSubscriptions.size() >= kMaxMessages)
        {
            if (!mRefusalSaid)
                Console::Instance().Log("Subscribe refused: at most " + std::to_string(kMaxMessages) +
                                            " message names of up to " + std::to_string(kMaxNameBytes) +
                                            " bytes are kept; new names are not added",
                                        LogError);
            mRefusalSaid = true;
            return false;
        }
        it = mSubscriptions.emplace(message, Subscribers()).first;
    }
    it->second.insert(cogId);
    return true;
}

void MessageRegistry::Unsubscribe(const std::string& message, uint32_t cogId)
{
    auto it = mSubscriptions.find(message);
    if (it != mSubscriptions.end())
        it->second.erase(cogId);
}

void MessageRegistry::UnsubscribeEverywhere(uint32_t cogId)
{
    for (auto& [name, subscribers] : mSubscriptions)
        subscribers.erase(cogId);
}

void MessageRegistry::ClearMessage(const std::string& message)
{
    auto it = mSubscriptions.find(message);
    if (it != mSubscriptions.end())
        it->second.clear();
}

const MessageRegistry::Subscribers* MessageRegistry::GetSubscribers(const std::string& message) const
{
    auto it = mSubscriptions.find(message);
    return it == mSubscriptions.end() ? nullptr : &it->second;
}

void MessageRegistry::Broadcast(const std::string& message, const std::string& function, const ParamBuffer& params)
{
    auto it = mSubscriptions.find(message);
    if (it == mSubscriptions.end() || it->second.empty())
        return;
    CallScope scope;
    // A subscriber may subscribe, unsubscribe or broadcast while it runs; walk a copy.
    const std::vector<uint32_t> ids(it->second.begin(), it->second.end());
    std::vector<uint32_t> vanished;
    CogDirectory* directory = CogDirectory::Get();
    for (uint32_t id : ids)
    {
        Cog* cog = directory ? directory->FindCogById(id) : nullptr;
        if (!cog)
        {
            vanished.push_back(id);
            continue;
        }
        // A functor clears the buffer it reads, so every subscriber reads its own copy.
        ParamBuffer copy = params.Copy();
        directory->CallFunction(*cog, function, copy);
    }
    if (vanished.empty())
        return;
    it = mSubscriptions.find(message);
    if (it == mSubscriptions.end())
        return;
    for (uint32_t id : vanished)
        it->second.erase(id);
}

void MessageRegistry::ForgetAllCogs()
{
    for (auto& [message, subscribers] : mSubscriptions)
        subscribers.clear();
}
