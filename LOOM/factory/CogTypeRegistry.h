#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CogType;
class CommandFunctor;
class CompFactory;

// What cogs are built from: the component factories by type id, the named cog functions and the
// cog types by name, with the composition file each type came from. A later registration under
// the same key replaces the earlier one.
class CogTypeRegistry
{
public:
    CogTypeRegistry();
    ~CogTypeRegistry();
    CogTypeRegistry(const CogTypeRegistry&) = delete;
    CogTypeRegistry& operator=(const CogTypeRegistry&) = delete;

    void RegisterComponent(uint32_t typeId, CompFactory* factory);
    CompFactory* GetComponentFactory(uint32_t typeId) const;
    const std::map<uint32_t, CompFactory*>& GetComponentFactories() const { return mFactories; }

    void RegisterFunction(const std::string& name, std::unique_ptr<CommandFunctor> functor);
    CommandFunctor* FindFunction(const std::string& name) const;
    std::vector<std::string> FunctionNames() const;

    // declaredIn names the composition file; empty for a type registered in code.
    void RegisterType(const std::string& typeName, std::shared_ptr<CogType> type, std::string declaredIn = {});
    CogType* FindType(const std::string& typeName) const;
    // Shared, so the type stays alive through a build that replaces it in the table.
    std::shared_ptr<CogType> ShareType(const std::string& typeName) const;
    // The composition file a type was declared in, or "the program" for one registered in code.
    std::string DeclaredIn(const std::string& typeName) const;

    // The types and functions one engine's run registered; component factories are static
    // objects and stay.
    void ForgetRun();

private:
    std::map<std::string, std::unique_ptr<CommandFunctor>> mFunctions;
    // Functors replaced in the registry: types built before the replacement still call them.
    std::vector<std::unique_ptr<CommandFunctor>> mRetiredFunctions;
    std::map<std::string, std::shared_ptr<CogType>> mTypes;
    std::map<std::string, std::string> mTypeFiles;
    std::map<uint32_t, CompFactory*> mFactories;
};
