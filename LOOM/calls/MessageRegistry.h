#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "LOOM/calls/CogDirectory.h"

class ParamBuffer;

// Named messages and the cogs listening to them. Subscribers are held by cog ID, so a
// destroyed cog is never reached; its ID is dropped at the next broadcast.
class MessageRegistry final : public CogIdListener
{
public:
    using Subscribers = std::set<uint32_t>;
    // A script can name messages without end: past these a new name is refused, said once.
    static constexpr size_t kMaxMessages = 4096;
    static constexpr size_t kMaxNameBytes = 256;

    // A second subscription of the same cog has no effect. False when the name is refused.
    bool Subscribe(const std::string& message, uint32_t cogId);
    void Unsubscribe(const std::string& message, uint32_t cogId);
    void UnsubscribeEverywhere(uint32_t cogId);
    // Empties the message's subscribers; the message stays known.
    void ClearMessage(const std::string& message);
    // Null when the message is unknown.
    const Subscribers* GetSubscribers(const std::string& message) const;

    // Calls the named function of every live subscriber, in ascending ID order. Each one gets
    // its own copy of params, which the caller keeps unchanged.
    void Broadcast(const std::string& message, const std::string& function, const ParamBuffer& params);

    // Told by the cog manager: a dead cog's ID may be handed to a new cog.
    void ForgetCog(uint32_t id) override { UnsubscribeEverywhere(id); }
    void ForgetAllCogs() override;

private:
    std::map<std::string, Subscribers, std::less<>> mSubscriptions;
    bool mRefusalSaid = false;
};
