#include "network/NetworkLoom.h"

#include <new>

namespace {
NetworkLoom* sInstance = nullptr;
}

NetworkLoom* NetworkLoom::Create()
{
    sInstance = new (std::nothrow) NetworkLoom();
    return sInstance;
}

NetworkLoom* NetworkLoom::Instance()
{
    return sInstance;
}

NetworkLoom::~NetworkLoom()
{
    Shutdown();
    if (sInstance == this)
        sInstance = nullptr;
}

void NetworkLoom::Init()
{
    // A hard restart initialises it again without a shutdown in between.
    if (mActive)
        Shutdown();
    mActive = true;
}

void NetworkLoom::Shutdown()
{
    mActive = false;
}

void NetworkLoom::RegisterTypes()
{
}

void NetworkLoom::Update()
{
}

void NetworkLoom::Unload()
{
}

std::string NetworkLoom::GetName()
{
    return "Network Loom";
}

std::string NetworkLoom::GetTypeName()
{
    return "NetworkLoom";
}
