#include "LOOM/calls/CogDirectory.h"

namespace {
CogDirectory* gDirectory = nullptr;
}

CogDirectory* CogDirectory::Get() { return gDirectory; }

void CogDirectory::Install(CogDirectory* directory) { gDirectory = directory; }
