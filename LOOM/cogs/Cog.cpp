#include "LOOM/cogs/Cog.h"

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/serial/Serializer.h"

void FunctionHost::CallFunctionByName(std::string name)
{
    ParamBuffer params;
    CallFunction(std::move(name), params);
}

Cog::Cog(std::shared_ptr<Composer> composer, uint32_t id)
    : mComposer(std::move(composer)), mComponentCount(static_cast<uint32_t>(mComposer->GetFactories().size())), mId(id)
{
    if (mComponentCount <= kInlineComponents)
    {
        mComponents = mInlineComponents.data();
        return;
    }
    mHeapComponents = std::make_unique<std::unique_ptr<Comp>[]>(mComponentCount);
    mComponents = mHeapComponents.get();
}

Cog::~Cog()
{
    CogFactory& factory = mComposer->GetCogFactory();
    if (mComposer->HasUpdates())
        factory.RemoveActive(this);
    if (!mName.empty())
        factory.UnregisterName(*this);
    // In index order: a component may still look at the ones after it.
    for (uint32_t i = 0; i < mComponentCount; ++i)
        mComponents[i].reset();
}

void Cog::Serialize(Serializer& s)
{
    const std::string typeName = GetTypeName();
    const char* typeText = typeName.c_str();
    s.SerializeNamed("CogID", typeText);
    if (s.IsExtended())
    {
        const uint32_t id = mId;
        s.SerializeNamed("ID", id);
    }
    if (s.BeginField("string", "cogname", true, TypeString, &mName))
    {
        s.Serialize(mName);
        s.EndField("string", true);
    }
    for (uint32_t i = 0; i < mComponentCount; ++i)
    {
        Comp* comp = mComponents[i].get();
        if (comp && !s.IsSaving() && IsMissingFromRecord(s, i))
            continue;
        if (comp && s.BeginField("comp", nullptr, false, TypeComp, comp))
        {
            comp->Serialize(s);
            s.EndField("comp", false);
        }
    }
}

bool Cog::IsMissingFromRecord(Serializer& s, uint32_t index) const
{
    uint32_t next = 0;
    if (!s.PeekComponentId(next) || next == mComponents[index]->GetTypeId())
        return false;
    // Skipped only when the record goes on with a later component: anything else is read in
    // order and reported as the mismatch it is.
    for (uint32_t later = index + 1; later < mComponentCount; ++later)
    {
        if (mComponents[later] && mComponents[later]->GetTypeId() == next)
            return true;
    }
    return false;
}

DataMember Cog::FindDataMember(std::string name)
{
    const auto& maps = mComposer->GetFieldMaps();
    for (uint32_t i = 0; i < mComponentCount && i < maps.size(); ++i)
    {
        if (!maps[i] || !mComponents[i])
            continue;
        auto it = maps[i]->find(name);
        if (it != maps[i]->end())
            return {reinterpret_cast<char*>(mComponents[i].get()) + it->second.mOffset, it->second.mCode};
    }
    return {};
}

std::string Cog::GetTypeName() const { return mComposer->GetTypeName(); }

std::string Cog::GetComposerName() const { return mComposer->GetTypeName(); }

void Cog::Initialize()
{
    for (uint32_t i = 0; i < mComponentCount; ++i)
    {
        if (mComponents[i])
            mComponents[i]->SetOwner(this);
    }
    OnCreated();
}

void Cog::Destroy() { mComposer->GetCogFactory().Destroy(this); }

Comp* Cog::GetComponent(uint32_t typeId)
{
    const int32_t index = mComposer->ComponentIndex(typeId);
    return index >= 0 ? GetComponentAt(static_cast<uint32_t>(index)) : nullptr;
}

Comp* Cog::RefuseMistypedComponent(Comp& component, uint32_t typeId) const
{
    Console::Instance().Log("Component type mismatch on cog " + std::to_string(mId) + ": wanted type " +
                                std::to_string(typeId) + ", found type " + std::to_string(component.GetTypeId()),
                            LogError);
    return nullptr;
}

void Cog::Update() { mComposer->RunUpdate(*this); }

void Cog::OnCreated()
{
    if (!mName.empty())
        mComposer->GetCogFactory().RegisterName(*this);
    CallFunctionByName("Construct");
}

void Cog::CallFunction(std::string name, ParamBuffer& params)
{
    mComposer->CallFunction(*this, std::move(name), params);
}

void Cog::CallFunctionByName(std::string name)
{
    ParamBuffer params;
    CallFunction(std::move(name), params);
}

CommandFunctor* Cog::FindCogFunction(std::string name) { return mComposer->FindFunction(name); }
