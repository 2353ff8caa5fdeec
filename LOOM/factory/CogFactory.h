#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "LOOM/calls/CogDirectory.h"
#include "LOOM/factory/CogExporter.h"
#include "LOOM/factory/CogFileReader.h"
#include "LOOM/factory/CogTypeRegistry.h"
#include "LOOM/math/Vector3.h"

class Cog;

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

// The cog manager: creates, finds, updates and destroys cogs. It owns the registry cogs are
// built from, the reader of cog files and the exporter, and hands each out to the callers that
// need it. Main thread only.
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

    CogTypeRegistry& Types() { return mTypes; }
    const CogTypeRegistry& Types() const { return mTypes; }
    CogFileReader& Files() { return mFiles; }
    CogExporter& Exporter() { return mExporter; }

    // Queries.
    Cog* GetCog(uint32_t id) const;
    Cog* FindCogByName(const std::string& name) override;
    // The group's living cogs in group order; the group forgets the IDs of dead ones.
    std::vector<Cog*> GetGroupCogs(const std::string& group);
    size_t GetCogCount() const { return mCogs.size(); }
    // Every living cog by ascending ID.
    const std::map<uint32_t, std::unique_ptr<Cog>>& GetCogs() const { return mCogs; }
    const std::vector<Cog*>& GetActiveCogs() const { return mActive; }
    bool IsQueued(const Cog* cog) const { return mQueued.count(cog) != 0; }

    // Cogs made while a script ran that may live at once: many times what a level makes (a
    // few hundred), few enough that their memory and their updates leave the game playable.
    // Past it none is made.
    static constexpr size_t kMaxScriptCogs = 5000;
    size_t GetScriptCogCount() const { return mScriptMade.size(); }

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

    void RegisterName(Cog& cog);
    void UnregisterName(Cog& cog);

    // Per frame.
    void UpdateAll();
    void CallOnAllCogs(const std::string& function);

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
    uint32_t FunctionSignature(Cog& cog, const std::string& function) override;

private:
    struct NameHash
    {
        size_t operator()(const std::string& name) const { return StringHash(name); }
    };

    // The ID the cog is kept under, or 0 when it is not a living cog.
    uint32_t LiveId(const Cog* cog) const;

    CogTypeRegistry mTypes;
    CogFileReader mFiles{*this};
    CogExporter mExporter{mTypes};

    std::vector<Cog*> mActive;
    std::unordered_map<std::string, Cog*, NameHash> mNames;
    EditorListener* mEditor = nullptr;
    std::vector<CogIdListener*> mIdListeners;
    std::map<std::string, std::vector<uint32_t>> mGroups;
    std::vector<Cog*> mDestroyQueue;
    std::unordered_set<const Cog*> mQueued;
    // The IDs of living cogs made while a script ran.
    std::unordered_set<uint32_t> mScriptMade;
    // Owns the living cogs; ordered so every walk over the cogs goes by ascending ID.
    std::map<uint32_t, std::unique_ptr<Cog>> mCogs;
    uint32_t mNextId = 1;

    CogDirectory* mPreviousDirectory = nullptr;
    bool mDestroying = false;
};
