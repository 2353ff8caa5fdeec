#include "LOOM/calls/CallScope.h"

#include <utility>

namespace {
int gDepth = 0;
bool gInHook = false;

std::function<void()>& Hook()
{
    static std::function<void()> hook;
    return hook;
}
} // namespace

CallScope::CallScope() { ++gDepth; }

CallScope::~CallScope()
{
    if (--gDepth != 0 || gInHook || !Hook())
        return;
    gInHook = true;
    // A copy: the hook may replace or clear itself.
    std::function<void()> hook = Hook();
    hook();
    gInHook = false;
}

int CallScope::Depth() { return gDepth; }

std::function<void()> CallScope::SetOutermostReturnHook(std::function<void()> hook)
{
    std::function<void()> previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}
