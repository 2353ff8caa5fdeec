#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "LOOM/cogs/Comp.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/FunctionHost.h"
#include "LOOM/cogs/Object.h"

// The element code of one component inside a stored cog.
constexpr uint32_t TypeComp = 201;

// A game object: an ID, a name and the components of its Composer, in composition order.
// Built by Composer::CreateInstance, deleted only by the cog manager. On a cache line of its
// own, starting with what the frame's update reads: the type and the component table.
class alignas(64) Cog : public Object, public FunctionHost
{
public:
    Cog(std::shared_ptr<Composer> composer, uint32_t id);

    // "CogID" (the type name), "cogname", then one "comp" element per component in order.
    void Serialize(Serializer& s) override;
    // The first recorded field of that name among the components, or {null, 0}.
    DataMember FindDataMember(std::string name) override;
    virtual uint32_t GetID() const { return mId; }
    virtual std::string GetTypeName() const;
    virtual std::string GetComposerName() const;
    virtual std::string GetName() const { return mName; }
    // Attaches the components in order, then publishes the name and calls "Construct".
    virtual void Initialize();
    // Queues the cog for destruction at the end of the frame.
    virtual void Destroy();
    // The component of that type id (the last one when the type names an id twice), or null.
    virtual Comp* GetComponent(uint32_t typeId);
    // The component of class T, found by the id the class declares (T::kTypeId), or null.
    template <typename T>
    T* Get()
    {
        return static_cast<T*>(FindTypedComponent(T::kTypeId));
    }
    template <typename T>
    const T* Get() const
    {
        return static_cast<const T*>(FindTypedComponent(T::kTypeId));
    }
    // The component of that type id, or null; a component whose own type id differs (a factory
    // registered under the wrong id) is logged and not handed out.
    // Inline: every typed access and every component message handler passes here.
    Comp* FindTypedComponent(uint32_t typeId) const
    {
        const int32_t index = mComposer->ComponentIndex(typeId);
        Comp* component = index >= 0 ? GetComponentAt(static_cast<uint32_t>(index)) : nullptr;
        if (!component || component->GetTypeId() == typeId)
            return component;
        return RefuseMistypedComponent(*component, typeId);
    }
    // Runs the type's per-frame functors once.
    virtual void Update();
    virtual ~Cog();
    virtual void OnCreated();
    // Changes the reported number only; the cog manager keeps the cog under the ID it was given.
    virtual void SetID(uint32_t id) { mId = id; }

    void CallFunction(std::string name, ParamBuffer& params) override;
    void CallFunctionByName(std::string name) override;
    CommandFunctor* FindCogFunction(std::string name) override;

    // Set by callers before the cog is initialised, or by loading.
    void SetName(std::string name) { mName = std::move(name); }
    const std::string& Name() const { return mName; }
    Composer& GetComposer() const { return *mComposer; }
    uint32_t GetComponentCount() const { return mComponentCount; }
    Comp* GetComponentAt(uint32_t index) const { return index < mComponentCount ? mComponents[index].get() : nullptr; }
    // Asks the cache for the first components ahead of a pass that will touch them.
    void PrefetchComponents() const
    {
        for (uint32_t i = 0; i < mComponentCount && i < kPrefetchedComponents; ++i)
            __builtin_prefetch(mComponents[i].get());
    }

private:
    friend class Composer;
    static constexpr uint32_t kPrefetchedComponents = 4;
    static constexpr uint32_t kInlineComponents = 4;

    // Loading: the record's next element is a later component's, so it has none for index.
    bool IsMissingFromRecord(Serializer& s, uint32_t index) const;
    // Logs the mismatch and returns null.
    Comp* RefuseMistypedComponent(Comp& component, uint32_t typeId) const;

    // Shared with the type table, so a Composer replaced by a later file outlives its cogs.
    std::shared_ptr<Composer> mComposer;
    uint32_t mComponentCount = 0;
    // The type's update generation this cog's components were checked against for its direct
    // updates; 0 (or an older one) sends its updates the general way.
    uint32_t mDirectGeneration = 0;
    // The table: in the cog for the few components most types have, on the heap past that.
    std::unique_ptr<Comp>* mComponents = nullptr;
    std::array<std::unique_ptr<Comp>, kInlineComponents> mInlineComponents;
    std::unique_ptr<std::unique_ptr<Comp>[]> mHeapComponents;
    uint32_t mId = 0;
    std::string mName;
};

inline void Composer::RunUpdate(Cog& cog, ParamBuffer& params)
{
    if (cog.mDirectGeneration != mUpdateGeneration)
    {
        RunFunctorUpdates(cog, params);
        return;
    }
    for (const DirectUpdate& update : mDirectUpdates)
        update.mTick(*update.mCall, *cog.mComponents[update.mIndex]);
}
