#include "network/NetUpdateComp.h"

#include <chrono>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/serial/Serializer.h"
#include "network/NetController.h"
#include "network/NetworkLoom.h"

void NetUpdateComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("UpdateInterval", mUpdateInterval);
}

void NetUpdateComp::Update()
{
    NetworkLoom* loom = NetworkLoom::Instance();
    Positional* positional = GetOwnerPositional();
    if (!loom || !positional || !mOwner)
        return;
    NetController& game = loom->GetController();
    if (!game.IsHosting() && !game.IsConnected())
        return;
    const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    if (now - mLastSent < double(mUpdateInterval))
        return;
    mLastSent = now;
    ParamBuffer params;
    params.PushVector(positional->GetPositionValue());
    params.PushVector(positional->GetVelocity());
    params.PushQuat(positional->GetOrientation());
    game.NetSend(kNetUpdateMessage, mOwner->Name(), params);
}

void NetUpdateComp::Apply(ParamBuffer& params)
{
    Positional* positional = GetOwnerPositional();
    if (!positional || params.GetSignature() != MakeSignature<Vector3, Vector3, Quat>())
        return;
    params.Rewind();
    const Vector3 position = ParamTraits<Vector3>::Pop(params);
    const Vector3 velocity = ParamTraits<Vector3>::Pop(params);
    const Quat orientation = ParamTraits<Quat>::Pop(params);
    positional->SetPosition(position);
    positional->SetVelocity(velocity);
    positional->SetOrientation(orientation);
}

void NetUpdateCompFactory::RegisterMessages(Composer& composer)
{
    composer.AddOwnedUpdate(MakeCompFunctor(kNetUpdateCompId, &NetUpdateComp::Update));
}
