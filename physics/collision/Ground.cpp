#include "physics/collision/Ground.h"

namespace {
Ground* sCurrent = nullptr;
}

Ground* Ground::Current() { return sCurrent; }

void Ground::SetCurrent(Ground* ground) { sCurrent = ground; }

void Ground::ClearCurrent(const Ground* ground)
{
    if (sCurrent == ground)
        sCurrent = nullptr;
}
