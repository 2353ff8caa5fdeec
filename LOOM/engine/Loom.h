#pragma once
#include <string>

// An engine subsystem. The core engine creates each once, lets it register its types once,
// then drives Init / Update / Shutdown; Init must accept being called again after Shutdown.
class Loom
{
public:
    virtual void Init() = 0;
    virtual void Shutdown() = 0;
    virtual void RegisterTypes() = 0;
    virtual void Update() = 0;
    virtual void Unload() = 0;
    virtual std::string GetName() = 0;
    virtual std::string GetTypeName() = 0;
    virtual ~Loom() = default;
};

// The entry points every loom implements, declared once.
#define LOOM_LOOM_OVERRIDES                                                                                            \
    void Init() override;                                                                                              \
    void Shutdown() override;                                                                                          \
    void RegisterTypes() override;                                                                                     \
    void Update() override;                                                                                            \
    void Unload() override;                                                                                            \
    std::string GetName() override;                                                                                    \
    std::string GetTypeName() override;
