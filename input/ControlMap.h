#pragma once
#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"

class CogFactory;
class CommandFunctor;
struct Binding;
struct ControlSet;

// Key bindings of a cog (type id 30): each frame every binding is checked against the frame's
// key state, and one that fires sends its message to the cog or runs its console line. Nothing
// fires while the console is shown, as the console has the keyboard then; bindings do fire while
// the game is paused, so a key can unpause it.
class ControlMap : public Comp
{
public:
    static constexpr uint32_t kTypeId = 30;

    ControlMap();
    ~ControlMap() override;

    void Serialize(Serializer& s) override;
    // Takes the shared bindings of the control file and finds the cog's handler of each message.
    void Initialize() override;
    std::string GetTypeName() override { return "ControlMap"; }
    uint32_t GetTypeId() override { return kTypeId; }

    // The per-frame check; allocates nothing and looks nothing up by name.
    void Update();

    const std::string& GetControlFile() const { return mControlFile; }
    void SetControlFile(std::string file) { mControlFile = std::move(file); }
    bool IsEnabled() const { return mEnabled; }
    void SetEnabled(bool enabled) { mEnabled = enabled; }
    size_t GetBindingCount() const;

private:
    void Fire(const Binding& binding, CommandFunctor* handler);

    std::string mControlFile = "Controls.xml";
    bool mEnabled = true;
    std::shared_ptr<const ControlSet> mSet;
    // Per binding: the handler its message reaches on this cog; null when the cog has none.
    std::vector<CommandFunctor*> mHandlers;
};

// Registers the input components with the cog manager: ControlMap (30), then TextStream (31).
void RegisterInputComponents(CogFactory& cogs);
