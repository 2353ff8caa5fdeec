#pragma once

class CogFactory;
class TimedCallList;

// The named cog functions of the engine core: "Death", "AutoFire", "TestFunc",
// "TestConstruct" and "TestDestroy". "AutoFire" schedules itself on timedCalls, which must
// outlive the registration.
void RegisterCoreFunctions(CogFactory& cogs, TimedCallList& timedCalls);
