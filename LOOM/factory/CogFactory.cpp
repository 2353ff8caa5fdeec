#include "LOOM/factory/CogFactory.h"

#include <algorithm>

#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogType.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogCommands.h"
#include "LOOM/factory/CogScriptGlobals.h"

uint32_t StringHash(const std::string& name)
{
    uint32_t hash = 0xDEADBEEF;
    const uint32_t length = static_cast<uint32_t>(name.size());
    const uint32_t step = length / 16 + 1;
    for (uint32_t i = 0; i + step <= length; i += step)
        hash += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(name[i])));
    return hash;
}

CogFactory& CogFactory::Instance()
{
    static CogFactory* instance = [] {
        // The console first, so it outlives the manager whose cogs may log while they go.
        Console::Instance();
        static CogFactory factory;
        static CogCommands commands(factory);
        commands.Register(Console::Instance());
        return &factory;
    }();
    return *instance;
}

CogFactory::CogFactory() : mPreviousDirectory(CogDirectory::Get()) { CogDirectory::Install(this); }

CogFactory::~CogFactory()
{
    DestroyAll();
    mTypes.ForgetRun();
    if (CogDirectory::Get() == this)
        CogDirectory::Install(mPreviousDirectory);
}

// ---- queries

Cog* CogFactory::GetCog(uint32_t id) const
{
    auto it = mCogs.find(id);
    return it == mCogs.end() ? nullptr : it->second.get();
}

Cog* CogFactory::FindCogByName(const std::string& name)
{
    auto it = mNames.find(name);
    return it == mNames.end() ? nullptr : it->second;
}

std::vector<Cog*> CogFactory::GetGroupCogs(const std::string& group)
{
    std::vector<uint32_t>& ids = mGroups[group];
    std::vector<Cog*> cogs;
    std::erase_if(ids, [&](uint32_t id) {
        Cog* cog = GetCog(id);
        if (cog)
            cogs.push_back(cog);
        return cog == nullptr;
    });
    return cogs;
}

uint32_t CogFactory::LiveId(const Cog* cog) const
{
    if (!cog)
        return 0;
    auto it = mCogs.find(cog->GetID());
    if (it != mCogs.end() && it->second.get() == cog)
        return it->first;
    // The cog's reported ID was changed after it was made.
    for (const auto& [id, living] : mCogs)
    {
        if (living.get() == cog)
            return id;
    }
    return 0;
}

// ---- creation

std::unique_ptr<Cog> CogFactory::CreateFromType(const std::string& typeName, uint32_t id)
{
    // The type stays alive through the build even if building replaces it in the table.
    std::shared_ptr<CogType> type = mTypes.ShareType(typeName);
    return type ? type->CreateInstance(id) : nullptr;
}

Cog* CogFactory::Instantiate(const std::string& typeName)
{
    // Every cog the manager keeps is made here: what scripts make is counted once.
    const ScriptCogGate& gate = GetScriptCogGate();
    const bool forScript = gate.mScriptRunning && gate.mScriptRunning();
    if (forScript && mScriptMade.size() >= kMaxScriptCogs)
    {
        if (gate.mRefused)
            gate.mRefused(typeName, kMaxScriptCogs);
        return nullptr;
    }
    const uint32_t id = mNextId;
    std::unique_ptr<Cog> cog = CreateFromType(typeName, id);
    if (!cog)
        return nullptr;
    Cog* made = cog.get();
    mCogs[id] = std::move(cog);
    ++mNextId;
    if (forScript)
        mScriptMade.insert(id);
    return made;
}

Cog* CogFactory::Allocate(std::string name)
{
    if (Cog* cog = Instantiate(name))
    {
        Console::Instance().Log(
            "Creating Cog From Archetype TypeName: \"" + name + "\" ID: " + std::to_string(cog->GetID()), LogEngine);
        return cog;
    }
    // Not a type: a cog file, named by a script, the console or another file.
    return mFiles.AllocateFromFile(name);
}

Cog* CogFactory::CreateAt(std::string name, Vector3 position) { return ::CreateAt(*this, std::move(name), position); }

Cog* CogFactory::Create(std::string name)
{
    Cog* cog = Allocate(name);
    if (!cog)
    {
        Console::Instance().Log("Failed to Create: " + name, LogError);
        return nullptr;
    }
    cog->Initialize();
    return cog;
}

// ---- destruction

void CogFactory::Destroy(Cog* cog)
{
    if (!cog || mQueued.count(cog))
        return;
    // Only living cogs: a cog already deleted (or being deleted) cannot be queued again.
    if (LiveId(cog) == 0)
        return;
    mQueued.insert(cog);
    mDestroyQueue.push_back(cog);
}

void CogFactory::DestroyById(uint32_t id)
{
    if (Cog* cog = GetCog(id))
        Destroy(cog);
}

void CogFactory::DestroyGroup(std::string group)
{
    std::vector<uint32_t>& ids = mGroups[group];
    // Queuing runs no cog code, so the list cannot change under the walk.
    for (uint32_t id : ids)
    {
        if (Cog* cog = GetCog(id))
            Destroy(cog);
    }
    mGroups[group].clear();
}

void CogFactory::ProcessDestroyList()
{
    if (mDestroying)
        return;
    mDestroying = true;
    // Destructors may queue further cogs; they are appended and destroyed in this same pass.
    for (size_t i = 0; i < mDestroyQueue.size(); ++i)
    {
        Cog* cog = mDestroyQueue[i];
        mQueued.erase(cog);
        const uint32_t id = LiveId(cog);
        if (id == 0)
            continue;
        // Out of the ID table first, so nothing finds the cog while it is torn down.
        auto entry = mCogs.find(id);
        std::unique_ptr<Cog> dying = std::move(entry->second);
        mCogs.erase(entry);
        mScriptMade.erase(id);
        if (mEditor)
            mEditor->CogDestroyed(*cog);
        dying.reset();
        // By index: a listener may leave the list while it is told.
        for (size_t l = 0; l < mIdListeners.size(); ++l)
            mIdListeners[l]->ForgetCog(id);
    }
    mDestroyQueue.clear();
    mQueued.clear();
    mDestroying = false;
}

void CogFactory::DestroyAll()
{
    mDestroying = true;
    // Each cog leaves the table before it is deleted; destructors may make or queue others.
    while (!mCogs.empty())
    {
        auto first = mCogs.begin();
        std::unique_ptr<Cog> dying = std::move(first->second);
        mCogs.erase(first);
        dying.reset();
    }
    mDestroyQueue.clear();
    mQueued.clear();
    mScriptMade.clear();
    mNames.clear();
    mGroups.clear();
    mActive.clear();
    mNextId = 1;
    mDestroying = false;
    // The IDs are handed out again from 1: nothing may still point at them.
    for (size_t l = 0; l < mIdListeners.size(); ++l)
        mIdListeners[l]->ForgetAllCogs();
}

void CogFactory::ForgetRun()
{
    DestroyAll();
    mTypes.ForgetRun();
    mFiles.SetCacheArchetypes(true);
    mExporter.SetExportDocs(false);
    mEditor = nullptr;
}

void CogFactory::AddIdListener(CogIdListener* listener)
{
    if (listener && std::find(mIdListeners.begin(), mIdListeners.end(), listener) == mIdListeners.end())
        mIdListeners.push_back(listener);
}

void CogFactory::RemoveIdListener(CogIdListener* listener) { std::erase(mIdListeners, listener); }

// ---- names

void CogFactory::RegisterName(Cog& cog)
{
    const std::string& name = cog.Name();
    SetCogGlobal(name, &cog);
    mNames.emplace(name, &cog);
}

void CogFactory::UnregisterName(Cog& cog)
{
    const std::string& name = cog.Name();
    auto it = mNames.find(name);
    if (it == mNames.end())
    {
        SetCogGlobal(name, nullptr);
        return;
    }
    if (it->second == &cog)
    {
        mNames.erase(it);
        SetCogGlobal(name, nullptr);
        return;
    }
    // Another living cog holds the name: the global goes back to it rather than to nothing.
    SetCogGlobal(name, it->second);
}

// ---- per frame

void CogFactory::UpdateAll()
{
    // Cogs made during the pass are appended and updated in it too. One buffer for the pass:
    // taking a cleared block per cog cost more than the update itself. Cogs and their
    // components lie apart on the heap: each is asked for a few cogs ahead, the cog first, so
    // an update rarely waits on memory.
    ParamBuffer params;
    constexpr size_t kCogsAhead = 8, kComponentsAhead = 4;
    for (size_t i = 0; i < mActive.size(); ++i)
    {
        const size_t count = mActive.size();
        if (i + kCogsAhead < count)
            __builtin_prefetch(mActive[i + kCogsAhead]);
        if (i + kComponentsAhead < count)
            mActive[i + kComponentsAhead]->PrefetchComponents();
        Cog& cog = *mActive[i];
        cog.GetComposer().RunUpdate(cog, params);
    }
}

void CogFactory::CallOnAllCogs(const std::string& function)
{
    // By ID, so cogs made or deleted by the calls cannot break the walk.
    std::vector<uint32_t> ids;
    ids.reserve(mCogs.size());
    for (const auto& entry : mCogs)
        ids.push_back(entry.first);
    for (uint32_t id : ids)
    {
        if (Cog* cog = GetCog(id))
            cog->CallFunctionByName(function);
    }
}

void CogFactory::AddToGroup(const std::string& group, uint32_t id) { mGroups[group].push_back(id); }

void CogFactory::AddActive(Cog* cog) { mActive.push_back(cog); }

void CogFactory::RemoveActive(Cog* cog)
{
    auto it = std::find(mActive.begin(), mActive.end(), cog);
    if (it == mActive.end())
        return;
    *it = mActive.back();
    mActive.pop_back();
}

void CogFactory::CallFunction(Cog& cog, const std::string& function, ParamBuffer& params)
{
    cog.CallFunction(function, params);
}

uint32_t CogFactory::FunctionSignature(Cog& cog, const std::string& function)
{
    const CommandFunctor* functor = cog.FindCogFunction(function);
    return functor ? functor->Signature() : 0;
}
