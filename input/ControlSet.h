#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// When a binding fires, judged on the frame's key state.
enum class BindingWhen : uint8_t
{
    Triggered, // went down this frame
    Pressed,   // went down this frame or is held
    Released,  // went up this frame
};

// One key binding, its key name already turned into key numbers so a frame looks up nothing.
struct Binding
{
    int mKey = -1;
    // The second key of names such as "Shift"; -1 when none.
    int mOtherKey = -1;
    BindingWhen mWhen = BindingWhen::Triggered;
    // A message sent to the binding's own cog, with mArgument as its one string when not empty.
    std::string mMessage;
    std::string mArgument;
    // A console line.
    std::string mCommand;
};

// The bindings of one "Controls.xml"-style file.
struct ControlSet
{
    std::vector<Binding> mBindings;
};

// Reads a binding file. An entry with an unknown key or When, or with neither Message nor
// Command, is skipped with one log line naming the file and the entry; a missing file logs one
// line and gives no bindings.
std::unique_ptr<ControlSet> ReadControlSet(const std::string& fileName);

// The bindings of a file in the config folder (an absolute name is taken as it is), read once
// and shared by everyone who names the same file. An empty name gives no bindings.
std::shared_ptr<const ControlSet> FindControlSet(const std::string& name);
// Drops every shared set, so the files are read again.
void ForgetControlSets();
