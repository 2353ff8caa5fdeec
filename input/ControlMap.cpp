#include "input/ControlMap.h"

#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "input/ControlSet.h"
#include "input/IOLoom.h"
#include "input/TextStream.h"

namespace {

class ControlMapFactory : public CompFactoryOf<ControlMap>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.AddOwnedUpdate(MakeCompFunctor(ControlMap::kTypeId, &ControlMap::Update));
    }
};

ControlMapFactory gControlMapFactory;

bool Fires(const IOLoom& io, const Binding& binding)
{
    switch (binding.mWhen)
    {
    case BindingWhen::Triggered:
        return io.IsKeyTriggered(binding.mKey) || io.IsKeyTriggered(binding.mOtherKey);
    case BindingWhen::Pressed:
        return io.IsKeyPressed(binding.mKey) || io.IsKeyPressed(binding.mOtherKey);
    case BindingWhen::Released:
        return io.IsKeyReleased(binding.mKey) || io.IsKeyReleased(binding.mOtherKey);
    }
    return false;
}

// The signature of the call a binding makes: one string, or nothing.
uint32_t CallSignature(const Binding& binding)
{
    return binding.mArgument.empty() ? 0u : static_cast<uint32_t>(ParamString);
}

} // namespace

ControlMap::ControlMap() = default;
ControlMap::~ControlMap() = default;

void ControlMap::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeString("ControlFile", mControlFile);
    s.SerializeBoolField("Enabled", mEnabled);
}

void ControlMap::Initialize()
{
    mSet = FindControlSet(mControlFile);
    mHandlers.assign(mSet->mBindings.size(), nullptr);
    for (size_t i = 0; i < mSet->mBindings.size(); ++i)
    {
        const Binding& binding = mSet->mBindings[i];
        if (binding.mMessage.empty())
            continue;
        // A cog without a handler of that name ignores the message, as a call by name would.
        CommandFunctor* handler = mOwner->FindCogFunction(binding.mMessage);
        if (handler && handler->Signature() != CallSignature(binding))
        {
            Console::Instance().Log("ControlMap: " + binding.mMessage + " of cog \"" + mOwner->GetName() +
                                        "\" does not take what the binding in " + mControlFile + " sends",
                                    LogError);
            handler = nullptr;
        }
        mHandlers[i] = handler;
    }
}

size_t ControlMap::GetBindingCount() const { return mSet ? mSet->mBindings.size() : 0; }

void ControlMap::Update()
{
    const IOLoom* io = IOLoom::Instance();
    if (!mEnabled || !mSet || !io)
        return;
    // Held here too: a command may let the component's set go.
    const std::shared_ptr<const ControlSet> set = mSet;
    const Console& console = Console::Instance();
    for (size_t i = 0; i < set->mBindings.size(); ++i)
    {
        // Checked per binding: a binding may have shown the console.
        if (console.GetShowConsole())
            return;
        if (Fires(*io, set->mBindings[i]))
            Fire(set->mBindings[i], mHandlers[i]);
    }
}

void ControlMap::Fire(const Binding& binding, CommandFunctor* handler)
{
    if (handler)
    {
        ParamBuffer params;
        if (!binding.mArgument.empty())
            params.PushStdString(binding.mArgument);
        handler->Invoke(mOwner, params);
    }
    if (!binding.mCommand.empty())
        Console::Instance().ExecuteLine(binding.mCommand);
}

void RegisterInputComponents(CogFactory& cogs)
{
    cogs.Types().RegisterComponent(ControlMap::kTypeId, &gControlMapFactory);
    RegisterTextStream(cogs);
}
