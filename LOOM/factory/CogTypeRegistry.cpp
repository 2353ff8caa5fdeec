#include "LOOM/factory/CogTypeRegistry.h"

#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/cogs/CogType.h"

CogTypeRegistry::CogTypeRegistry() = default;

CogTypeRegistry::~CogTypeRegistry() { ForgetRun(); }

void CogTypeRegistry::RegisterComponent(uint32_t typeId, CompFactory* factory) { mFactories[typeId] = factory; }

CompFactory* CogTypeRegistry::GetComponentFactory(uint32_t typeId) const
{
    auto it = mFactories.find(typeId);
    return it == mFactories.end() ? nullptr : it->second;
}

void CogTypeRegistry::RegisterFunction(const std::string& name, std::unique_ptr<CommandFunctor> functor)
{
    std::unique_ptr<CommandFunctor>& entry = mFunctions[name];
    // Cog types hold registry functors by plain pointer, so the earlier one must not die here.
    if (entry)
        mRetiredFunctions.push_back(std::move(entry));
    entry = std::move(functor);
}

CommandFunctor* CogTypeRegistry::FindFunction(const std::string& name) const
{
    auto it = mFunctions.find(name);
    return it == mFunctions.end() ? nullptr : it->second.get();
}

std::vector<std::string> CogTypeRegistry::FunctionNames() const
{
    std::vector<std::string> names;
    for (const auto& entry : mFunctions)
        names.push_back(entry.first);
    return names;
}

void CogTypeRegistry::RegisterType(const std::string& typeName, std::shared_ptr<CogType> type, std::string declaredIn)
{
    mTypes[typeName] = std::move(type);
    if (declaredIn.empty())
        mTypeFiles.erase(typeName);
    else
        mTypeFiles[typeName] = std::move(declaredIn);
}

CogType* CogTypeRegistry::FindType(const std::string& typeName) const
{
    auto it = mTypes.find(typeName);
    return it == mTypes.end() ? nullptr : it->second.get();
}

std::shared_ptr<CogType> CogTypeRegistry::ShareType(const std::string& typeName) const
{
    auto it = mTypes.find(typeName);
    return it == mTypes.end() ? nullptr : it->second;
}

std::string CogTypeRegistry::DeclaredIn(const std::string& typeName) const
{
    auto it = mTypeFiles.find(typeName);
    return it == mTypeFiles.end() ? "the program" : it->second;
}

void CogTypeRegistry::ForgetRun()
{
    // Types before functors: a type's registry functors are not its own.
    mTypes.clear();
    mTypeFiles.clear();
    mFunctions.clear();
    mRetiredFunctions.clear();
}
