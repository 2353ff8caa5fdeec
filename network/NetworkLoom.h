#pragma once
#include <string>

#include "LOOM/engine/Loom.h"

// The network subsystem. Its sockets and game controller come later. The engine never shuts it
// down, only deletes it, and initialises it again on a hard restart, so Init may run twice in a
// row and the destructor releases what Init made.
class NetworkLoom : public Loom
{
public:
    static NetworkLoom* Create();
    static NetworkLoom* Instance();

    ~NetworkLoom() override;

    void Init() override;
    void Shutdown() override;
    void RegisterTypes() override;
    void Update() override;
    void Unload() override;
    std::string GetName() override;
    std::string GetTypeName() override;

    bool IsActive() const { return mActive; }

private:
    NetworkLoom() = default;

    bool mActive = false;
};
