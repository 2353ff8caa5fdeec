#include "network/NetworkLoom.h"

#include <chrono>
#include <cstring>
#include <new>

#include "LOOM/calls/MessageRegistry.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "network/NetController.h"
#include "network/NetSocketComp.h"
#include "network/NetUpdateComp.h"

namespace {
NetworkLoom* sInstance = nullptr;

UdpSocketFactory gUdpSocketFactory;
TcpSocketFactory gTcpSocketFactory;
NetUpdateCompFactory gNetUpdateFactory;

// A command whose trailing arguments are optional; it reads the buffer itself.
class LooseCommand final : public ConsoleCommand
{
public:
    LooseCommand(NetworkLoom* loom, void (NetworkLoom::*method)(ParamBuffer&), uint32_t signature)
        : mLoom(loom), mMethod(method), mSignature(signature)
    {
    }
    uint32_t Signature() const override { return mSignature; }
    void Execute(ParamBuffer& params) override { (mLoom->*mMethod)(params); }
    void Execute() override
    {
        ParamBuffer params;
        (mLoom->*mMethod)(params);
    }

private:
    NetworkLoom* mLoom;
    void (NetworkLoom::*mMethod)(ParamBuffer&);
    uint32_t mSignature;
};

const char* const kCommands[] = {"HostGame", "FindGame",  "JoinGame",   "LeaveGame",
                                 "NetSend",  "Subscribe", "Unsubscribe"};

double NowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

NetworkLoom::NetworkLoom() : mController(std::make_unique<NetController>()) {}

NetworkLoom* NetworkLoom::Create()
{
    sInstance = new (std::nothrow) NetworkLoom();
    return sInstance;
}

NetworkLoom* NetworkLoom::Instance() { return sInstance; }

NetworkLoom::~NetworkLoom()
{
    // Workers stop (and say goodbye) before anything they report to goes.
    mController.reset();
    if (mRegistered)
        for (const char* name : kCommands)
            Console::Instance().RemoveCommand(name);
    if (sInstance == this)
        sInstance = nullptr;
}

void NetworkLoom::SetMessageRegistry(MessageRegistry* registry)
{
    mRegistry = registry;
    mController->SetRegistry(registry);
}

void NetworkLoom::Init()
{
    // A hard restart initialises it again without a shutdown in between: leave the game first.
    if (mActive)
        Shutdown();
    if (!mRegistry && gCoreEngine)
        SetMessageRegistry(&gCoreEngine->GetMessageRegistry());
    mController->GetSettings().Load("Data/NetAd.xml");
    mActive = true;
}

void NetworkLoom::Shutdown()
{
    mController->LeaveGame();
    mActive = false;
}

void NetworkLoom::RegisterTypes()
{
    CogFactory& cogs = CogFactory::Instance();
    cogs.Types().RegisterComponent(kUdpSocketId, &gUdpSocketFactory);
    cogs.Types().RegisterComponent(kTcpSocketId, &gTcpSocketFactory);
    cogs.Types().RegisterComponent(kNetUpdateCompId, &gNetUpdateFactory);

    Console& console = Console::Instance();
    console.RegisterCommand("HostGame",
                            std::make_unique<LooseCommand>(this, &NetworkLoom::HostGame, MakeSignature<std::string>()),
                            "Hosts a network game [name]");
    console.RegisterCommand("FindGame", MakeConsoleCommand(this, &NetworkLoom::FindGame),
                            "Looks for a network game by broadcast");
    console.RegisterCommand("JoinGame", MakeConsoleCommand(this, &NetworkLoom::JoinGame),
                            "Joins the network game at a.b.c.d:port");
    console.RegisterCommand("LeaveGame", MakeConsoleCommand(this, &NetworkLoom::LeaveGame), "Leaves the network game");
    console.RegisterCommand("NetSend",
                            std::make_unique<LooseCommand>(this, &NetworkLoom::NetSend,
                                                           MakeSignature<std::string, std::string, std::string>()),
                            "Sends a named message to the network game: message function [text]");
    console.RegisterCommand("Subscribe", MakeConsoleCommand(this, &NetworkLoom::Subscribe),
                            "Subscribes a cog to a named message");
    console.RegisterCommand("Unsubscribe", MakeConsoleCommand(this, &NetworkLoom::Unsubscribe),
                            "Unsubscribes a cog from a named message");
    mRegistered = true;
}

void NetworkLoom::Update() { mController->Update(NowSeconds()); }

void NetworkLoom::Unload() {}

std::string NetworkLoom::GetName() { return "Network Loom"; }

std::string NetworkLoom::GetTypeName() { return "NetworkLoom"; }

void NetworkLoom::HostGame(ParamBuffer& params)
{
    std::string name;
    if (params.GetCount() >= 1 && params.GetTag(0) == ParamString)
    {
        params.Rewind();
        params.PopString(name);
    }
    mController->HostGame(name);
}

void NetworkLoom::FindGame() { mController->FindGame(); }

void NetworkLoom::JoinGame(std::string address) { mController->JoinGame(address); }

void NetworkLoom::LeaveGame() { mController->LeaveGame(); }

void NetworkLoom::NetSend(ParamBuffer& params)
{
    if (params.GetCount() < 2 || params.GetTag(0) != ParamString || params.GetTag(1) != ParamString)
    {
        Console::Instance().Log("NetSend needs a message and a function name", LogError);
        return;
    }
    params.Rewind();
    std::string message, function;
    params.PopString(message);
    params.PopString(function);
    // What follows the two names travels as the message's parameters.
    ParamBuffer rest;
    ParamBlock* from = params.GetBlock();
    ParamBlock* to = rest.GetBlock();
    if (from && to)
    {
        const size_t used = 2 * ParamBlock::kStringSlot;
        to->mCount = from->mCount - 2;
        for (uint32_t i = 2; i < from->mCount; ++i)
            to->mSignature[i - 2] = from->mSignature[i];
        std::memcpy(to->mData, from->mData + used, ParamBlock::kDataSize - used);
    }
    mController->NetSend(message, function, rest);
}

void NetworkLoom::Subscribe(Cog* cog, std::string message)
{
    if (cog && mRegistry)
        mRegistry->Subscribe(message, cog->GetID());
}

void NetworkLoom::Unsubscribe(Cog* cog, std::string message)
{
    if (cog && mRegistry)
        mRegistry->Unsubscribe(message, cog->GetID());
}
