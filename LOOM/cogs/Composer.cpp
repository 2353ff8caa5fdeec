#include "LOOM/cogs/Composer.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "LOOM/base/FileUtils.h"
#include "LOOM/base/TypeCode.h"
#include "LOOM/calls/CallScope.h"
#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/calls/MulticastFunctor.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/XmlWriter.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/factory/ComponentExport.h"

Composer::Composer(CogFactory& factory, std::string typeName, std::string groupName)
    : mCogFactory(factory), mGroupName(std::move(groupName)), mTypeName(std::move(typeName))
{
}

Composer::~Composer()
{
    mFunctions.clear();
    mUpdates.clear();
    // Owned functors go in the order they were added.
    for (auto& functor : mOwned)
        functor.reset();
}

void Composer::AddComponent(uint32_t typeId, CompFactory* factory)
{
    const uint32_t index = static_cast<uint32_t>(mFactories.size());
    mFactories.push_back(factory);
    mFieldMaps.emplace_back();
    factory->RegisterMessages(*this);
    auto entry = std::find_if(mComponentIndex.begin(), mComponentIndex.end(),
                              [typeId](const auto& known) { return known.first == typeId; });
    if (entry != mComponentIndex.end())
        entry->second = index;
    else
        mComponentIndex.emplace_back(typeId, index);
    IndexUpdates();
}

std::unique_ptr<Cog> Composer::CreateInstance(uint32_t id)
{
    mCogFactory.AddToGroup(mGroupName, id);
    auto cog = std::make_unique<Cog>(shared_from_this(), id);
    for (uint32_t i = 0; i < cog->mComponentCount; ++i)
        cog->mComponents[i] = mFactories[i]->Create();
    if (DirectUpdatesFit(*cog))
        cog->mDirectGeneration = mUpdateGeneration;
    if (!mUpdates.empty())
        mCogFactory.AddActive(cog.get());
    return cog;
}

std::unique_ptr<CommandFunctor> Composer::ReleaseOwned(CommandFunctor* functor)
{
    auto it =
        std::find_if(mOwned.begin(), mOwned.end(), [functor](const auto& owned) { return owned.get() == functor; });
    if (it == mOwned.end())
        return nullptr;
    std::unique_ptr<CommandFunctor> released = std::move(*it);
    mOwned.erase(it);
    return released;
}

void Composer::BindMessage(const std::string& name, std::unique_ptr<CommandFunctor> functor)
{
    if (!functor)
        return;
    auto it = mFunctions.find(name);
    if (it == mFunctions.end())
    {
        mFunctions.emplace(name, functor.get());
        mOwned.push_back(std::move(functor));
        return;
    }
    // Another handler of ours under this name already multicasts: the new one joins at the end.
    if (auto* multicast = dynamic_cast<MulticastFunctor*>(it->second))
    {
        if (std::any_of(mOwned.begin(), mOwned.end(),
                        [multicast](const auto& owned) { return owned.get() == multicast; }))
        {
            multicast->Add(std::move(functor));
            return;
        }
    }
    std::unique_ptr<CommandFunctor> previous = ReleaseOwned(it->second);
    if (!previous)
    {
        // A registry function is not ours to combine; it keeps the name.
        Console::Instance().Log("Message " + name + " of " + mTypeName + " is taken by a named function", LogError);
        return;
    }
    std::unique_ptr<MulticastFunctor> multicast = MakeMulticast(std::move(previous), std::move(functor));
    it->second = multicast.get();
    mOwned.push_back(std::move(multicast));
}

void Composer::BindFunction(const std::string& name, CommandFunctor* functor)
{
    if (functor)
        mFunctions.emplace(name, functor);
}

void Composer::AddOwnedUpdate(std::unique_ptr<CommandFunctor> functor)
{
    if (!functor)
        return;
    mUpdates.push_back(functor.get());
    mOwned.push_back(std::move(functor));
    IndexUpdates();
}

void Composer::AddUpdate(CommandFunctor* functor)
{
    if (!functor)
        return;
    mUpdates.push_back(functor);
    IndexUpdates();
}

void Composer::IndexUpdates()
{
    ++mUpdateGeneration;
    mDirectUpdates.clear();
    for (CommandFunctor* functor : mUpdates)
    {
        const auto* call = dynamic_cast<const CompCall*>(functor);
        const int32_t index = call && call->GetTick() ? ComponentIndex(call->GetCompTypeId()) : -1;
        if (index < 0)
        {
            mDirectUpdates.clear();
            return;
        }
        mDirectUpdates.push_back({call->GetTick(), call, static_cast<uint32_t>(index), call->GetCompTypeId()});
    }
}

bool Composer::DirectUpdatesFit(const Cog& cog) const
{
    if (mDirectUpdates.empty())
        return false;
    return std::all_of(mDirectUpdates.begin(), mDirectUpdates.end(), [&cog](const DirectUpdate& update) {
        Comp* component = cog.GetComponentAt(update.mIndex);
        return component && component->GetTypeId() == update.mTypeId;
    });
}

void Composer::RunUpdate(Cog& cog)
{
    ParamBuffer params;
    RunUpdate(cog, params);
}

void Composer::RunFunctorUpdates(Cog& cog, ParamBuffer& params)
{
    void* target = &cog;
    for (CommandFunctor* functor : mUpdates)
    {
        functor->Invoke(target, params);
        // A functor that left something behind gets the next one a zeroed block, as a block of
        // its own would be.
        if (params.GetCount() != 0 || params.GetOffset() != 0)
            params = ParamBuffer();
    }
}

void Composer::CallFunction(Cog& cog, std::string name, ParamBuffer& params)
{
    auto it = mFunctions.find(name);
    if (it == mFunctions.end())
        return;
    CommandFunctor* functor = it->second;
    if (functor->Signature() != params.GetSignature())
    {
        Console::Instance().Log("Simulated Virtual Function Paramater Hash Failure", LogError);
        return;
    }
    CallScope scope;
    functor->Invoke(&cog, params);
}

CommandFunctor* Composer::FindFunction(const std::string& name) const
{
    auto it = mFunctions.find(name);
    return it == mFunctions.end() ? nullptr : it->second;
}

std::string Composer::AutoDocText() const
{
    std::ostringstream out;
    out << "<?xml version=\"1.0\" ?> \n";
    out << "<?xml-stylesheet type=\"text/xsl\" href=\"DocXSLT.xsl\" ?>\n";
    WriteXmlOpenTagWithAttribute(out, "CogDoc", "name", mTypeName);
    WriteXmlOpenTag(out, "MappedData");
    for (const auto& map : mFieldMaps)
    {
        if (!map)
            continue;
        for (const auto& [field, entry] : *map)
        {
            WriteXmlOpenTag(out, "DataMember");
            WriteXmlElement(out, "Datatype", TypeName(entry.mCode));
            WriteXmlElement(out, "Name", field);
            WriteXmlCloseTag(out, "DataMember");
        }
    }
    WriteXmlCloseTag(out, "MappedData");
    WriteXmlOpenTag(out, "MappedFuncs");
    for (const auto& [name, functor] : mFunctions)
    {
        WriteXmlOpenTag(out, "Func");
        WriteXmlElement(out, "Name", name);
        out << "<Params> (";
        const uint32_t signature = functor->Signature();
        for (uint32_t i = 0; i < 4; ++i)
        {
            const uint32_t code = (signature >> (8 * i)) & 0xFF;
            if (code == 0)
                break;
            out << (i ? "," : "") << TypeName(code);
        }
        out << ") </Params></Func>\n";
    }
    WriteXmlCloseTag(out, "MappedFuncs");
    WriteXmlCloseTag(out, "CogDoc");
    return out.str();
}

void Composer::WriteAutoDoc()
{
    if (!mCogFactory.Exporter().GetExportDocs())
        return;
    if (!IsSafeFileStem(mTypeName))
    {
        Console::Instance().Log("AutoDoc: refused type name " + mTypeName, LogError);
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories("AutoDoc", ec);
    const std::string fileName = "AutoDoc/" + mTypeName + ".xml";
    SaveWholeFile(fileName, AutoDocText());
}
