#pragma once
#include <memory>
#include <string>

#include "LOOM/engine/Loom.h"

class Cog;
class MessageRegistry;
class NetController;
class ParamBuffer;

// The network subsystem: the game controller, the socket components and their commands. The
// engine never shuts it down, only deletes it, and initialises it again on a hard restart, so
// Init may run twice in a row (leaving any game first) and the destructor stops every worker.
class NetworkLoom : public Loom
{
public:
    static NetworkLoom* Create();
    static NetworkLoom* Instance();

    ~NetworkLoom() override;

    LOOM_LOOM_OVERRIDES

    bool IsActive() const { return mActive; }
    NetController& GetController() { return *mController; }
    // Where "Game" events and received messages go; the core engine's registry when not set.
    void SetMessageRegistry(MessageRegistry* registry);
    MessageRegistry* GetMessageRegistry() const { return mRegistry; }

    // Console commands and script functions.
    void HostGame(ParamBuffer& params);
    void FindGame();
    void JoinGame(std::string address);
    void LeaveGame();
    void NetSend(ParamBuffer& params);
    void Subscribe(Cog* cog, std::string message);
    void Unsubscribe(Cog* cog, std::string message);

private:
    NetworkLoom();

    std::unique_ptr<NetController> mController;
    MessageRegistry* mRegistry = nullptr;
    bool mActive = false;
    bool mRegistered = false;
};
