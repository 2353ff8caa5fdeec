#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "LOOM/calls/CogDirectory.h"
#include "LOOM/math/Vector3.h"

class Cog;
class CogType;
class CommandFunctor;
class CompFactory;
class Composer;

// Told of each cog the end-of-frame destruction removes, before the cog is deleted.
class EditorListener
{
public:
    virtual void CogDestroyed(Cog& cog) = 0;

protected:
    ~EditorListener() = default;
};

// Hash of a cog name: from 0xDEADBEEF, the signed values of every step-th character added,
// step = length / 16 + 1.
uint32_t StringHash(const std::string& name);

// The cog manager: creates, finds, updates and destroys cogs, and holds the registries of
// component factories, named cog functions and cog types. Main thread only.
class CogFactory : public CogDirectory
{
public:
    // The engine's manager, built on first use; it registers the cog console commands.
    static CogFactory& Instance();

    // A manager of its own (tests, tools): no console commands. The newest manager is the one
    // calls by name reach; the one before comes back when it goes.
    CogFactory();
    ~CogFactory() override;
    CogFactory(const CogFactory&) = delete;
    CogFactory& operator=(const CogFactory&) = delete;

    // Queries.
    Cog* GetCog(uint32_t id) const;
    Cog* FindCogByName(const std::string& name) override;
    // The group's living cogs in group order; the group forgets the IDs of dead ones.
    std::vector<Cog*> GetGroupCogs(const std::string& group);
    size_t GetCogCount() const { return mCogs.size(); }
    const std::vector<Cog*>& GetActiveCogs() const { return mActive; }
    bool IsQueued(const Cog* cog) const { return mQueued.count(cog) != 0; }

    // Creation; each returns the cog or null.
    // A cog the manager does not keep: the caller owns it.
    std::unique_ptr<Cog> CreateFromType(const std::string& typeName, uint32_t id);
    Cog* Instantiate(const std::string& typeName);
    // A cog of a type or archetype name, or of a cog file ("xml"); not initialised.
    Cog* Allocate(std::string name);
    Cog* Create(std::string name);
    // Creates, places and attaches: the console's "CreateAt".
    Cog* CreateAt(std::string name, Vector3 position);

    // Destruction happens at the end of the frame, in queue order; queuing a cog again does nothing.
    void Destroy(Cog* cog);
    void DestroyById(uint32_t id);
    void DestroyGroup(std::string group);
    void ProcessDestroyList();
    // Deletes every cog now; IDs start at 1 again. The registries stay.
    void DestroyAll();
    // What one engine's run read goes with it: every cog, the cog types and archetypes (with
    // their cached images) and the named cog functions. Component factories are static objects
    // and stay.
    void ForgetRun();

    // Registries; a later registration under the same key replaces the earlier one.
    void RegisterComponent(uint32_t typeId, CompFactory* factory);
    CompFactory* GetComponentFactory(uint32_t typeId) const;
    const std::map<uint32_t, CompFactory*>& GetComponentFactories() const { return mFactories; }
    void RegisterFunction(const std::string& name, std::unique_ptr<CommandFunctor> functor);
    CommandFunctor* FindFunction(const std::string& name) const;
    void RegisterType(const std::string& typeName, std::shared_ptr<CogType> type);
    CogType* FindType(const std::string& typeName) const;
    void RegisterName(Cog& cog);
    void UnregisterName(Cog& cog);

    // Per frame.
    void UpdateAll();
    void CallOnAllCogs(const std::string& function);

    // Files: a composition, or any of a cog file, a cog-list file and a composition.
    void LoadComposition(std::string fileName);
    void LoadCogFile(std::string fileName);
    // Logs every living cog.
    void LogCogs();
    // Writes every component type's defaults to "Components/" and the function names to
    // "FileFunctions.xml".
    void Export();
    // The console's "GetCogName".
    Cog* GetCogName(std::string name) { return FindCogByName(name); }

    void SetCacheArchetypes(bool cache) { mCacheArchetypes = cache; }
    bool GetCacheArchetypes() const { return mCacheArchetypes; }
    void SetExportDocs(bool exportDocs) { mExportDocs = exportDocs; }
    bool GetExportDocs() const { return mExportDocs; }
    void SetEditorListener(EditorListener* listener) { mEditor = listener; }
    // Told of every cog destroyed, after it is deleted, and of DestroyAll.
    void AddIdListener(CogIdListener* listener);
    void RemoveIdListener(CogIdListener* listener);

    // Services of cogs and their types.
    void AddToGroup(const std::string& group, uint32_t id);
    void AddActive(Cog* cog);
    // The last active cog takes the removed one's place.
    void RemoveActive(Cog* cog);

    // Calls by name.
    Cog* FindCogById(uint32_t id) override { return GetCog(id); }
    void CallFunction(Cog& cog, const std::string& function, ParamBuffer& params) override;

private:
    struct NameHash
    {
        size_t operator()(const std::string& name) const { return StringHash(name); }
    };

    void RegisterCommands();
    // The ID the cog is kept under, or 0 when it is not a living cog.
    uint32_t LiveId(const Cog* cog) const;
    void LoadFile(const std::string& fileName, std::vector<std::string>& listsOpen);
    // The composition file a type was declared in, or "the program" for one registered in code.
    std::string DeclaredIn(const std::string& typeName) const;

    std::vector<Cog*> mActive;
    std::unordered_map<std::string, Cog*, NameHash> mNames;
    EditorListener* mEditor = nullptr;
    std::vector<CogIdListener*> mIdListeners;
    bool mCacheArchetypes = true;
    bool mExportDocs = false;
    std::map<std::string, std::vector<uint32_t>> mGroups;
    std::vector<Cog*> mDestroyQueue;
    std::unordered_set<const Cog*> mQueued;
    std::map<std::string, std::unique_ptr<CommandFunctor>> mFunctions;
    // Functors replaced in the registry: types built before the replacement still call them.
    std::vector<std::unique_ptr<CommandFunctor>> mRetiredFunctions;
    std::map<std::string, std::shared_ptr<CogType>> mTypes;
    // The composition file each type or archetype was declared in, to name both in a clash.
    std::map<std::string, std::string> mTypeFiles;
    std::map<uint32_t, CompFactory*> mFactories;
    // Owns the living cogs; ordered so every walk over the cogs goes by ascending ID.
    std::map<uint32_t, std::unique_ptr<Cog>> mCogs;
    uint32_t mNextId = 1;

    CogDirectory* mPreviousDirectory = nullptr;
    bool mDestroying = false;
};
