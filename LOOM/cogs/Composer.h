#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "LOOM/cogs/CogType.h"
#include "LOOM/cogs/CompCall.h"

class CogFactory;
class CompFactory;
class ParamBuffer;

// A cog type built from a composition: its component factories in order, the named functions
// and message handlers it answers, and the functors its cogs run every frame. Always held by
// shared_ptr: its cogs keep it alive after the type table has let it go.
class Composer : public CogType, public std::enable_shared_from_this<Composer>
{
public:
    struct FieldEntry
    {
        uint32_t mOffset = 0;
        uint32_t mCode = 0;
    };
    using FieldMap = std::map<std::string, FieldEntry>;
    using FunctionMap = std::map<std::string, CommandFunctor*, std::less<>>;

    Composer(CogFactory& factory, std::string typeName, std::string groupName);
    ~Composer() override;

    // Appends the factory, lets it bind its handlers, and maps the type id to the new index.
    void AddComponent(uint32_t typeId, CompFactory* factory);

    std::unique_ptr<Cog> CreateInstance(uint32_t id) override;
    // A second handler under a taken name joins the first; both run, the first bound first.
    void BindMessage(const std::string& name, std::unique_ptr<CommandFunctor> functor) override;
    // Ignored when the name is taken.
    void BindFunction(const std::string& name, CommandFunctor* functor) override;
    void AddOwnedUpdate(std::unique_ptr<CommandFunctor> functor) override;
    void AddUpdate(CommandFunctor* functor) override;
    std::string GetTypeName() override { return mTypeName; }
    // Writes "AutoDoc/<type name>.xml" while documentation export is on.
    void WriteAutoDoc() override;

    void RunUpdate(Cog& cog);
    // The same with a caller's buffer, so a pass over many cogs takes one block, not one each.
    // Defined in Cog.h: the frame's pass calls the direct updates without leaving the loop.
    inline void RunUpdate(Cog& cog, ParamBuffer& params);
    // Unknown names are ignored; a call whose signature differs from the functor's is dropped and logged.
    void CallFunction(Cog& cog, std::string name, ParamBuffer& params);

    CommandFunctor* FindFunction(const std::string& name) const;
    // The component index of a type id, or -1. A short scan: a type has a handful of components.
    int32_t ComponentIndex(uint32_t typeId) const
    {
        for (const auto& [id, index] : mComponentIndex)
            if (id == typeId)
                return static_cast<int32_t>(index);
        return -1;
    }
    bool HasUpdates() const { return !mUpdates.empty(); }
    const std::string& GetGroupName() const { return mGroupName; }
    const std::vector<CompFactory*>& GetFactories() const { return mFactories; }
    // One entry per component; null where no fields were recorded.
    const std::vector<std::unique_ptr<FieldMap>>& GetFieldMaps() const { return mFieldMaps; }
    CogFactory& GetCogFactory() const { return mCogFactory; }

    // The AutoDoc text of this type.
    std::string AutoDocText() const;

private:
    // An update that calls its component directly, the component found once per type.
    struct DirectUpdate
    {
        CompCall::Tick mTick;
        const CompCall* mCall;
        uint32_t mIndex;
        uint32_t mTypeId;
    };

    // Takes an owned functor back out of the owned list (to hand it to a multicast).
    std::unique_ptr<CommandFunctor> ReleaseOwned(CommandFunctor* functor);
    // Every update through its functor and the parameter block.
    void RunFunctorUpdates(Cog& cog, ParamBuffer& params);
    // Rebuilds the direct updates after the updates or the components changed; cogs checked
    // against the old ones take the general path from then on.
    void IndexUpdates();
    // Whether the cog has every component the direct updates call, of the type they expect.
    bool DirectUpdatesFit(const Cog& cog) const;

    CogFactory& mCogFactory;
    std::vector<std::unique_ptr<FieldMap>> mFieldMaps;
    std::string mGroupName;
    std::vector<std::unique_ptr<CommandFunctor>> mOwned;
    std::vector<CommandFunctor*> mUpdates;
    // Empty unless every update is a direct one.
    std::vector<DirectUpdate> mDirectUpdates;
    uint32_t mUpdateGeneration = 1;
    std::vector<CompFactory*> mFactories;
    std::string mTypeName;
    // Type id to component index; a repeated id maps to its last component.
    std::vector<std::pair<uint32_t, uint32_t>> mComponentIndex;
    FunctionMap mFunctions;
};
