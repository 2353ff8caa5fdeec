#pragma once
#include <functional>

class CogFactory;
class TimedCallList;

// The named cog functions of the engine core: "Death", "AutoFire", "TestFunc",
// "TestConstruct" and "TestDestroy". The functions live in the cog manager, which outlives any
// one engine, so "AutoFire" asks for the timed-call list each time it runs; a null list (no
// engine) makes it do nothing.
void RegisterCoreFunctions(CogFactory& cogs, std::function<TimedCallList*()> timedCalls);
// The same on the current core engine's list.
void RegisterCoreFunctions(CogFactory& cogs);
