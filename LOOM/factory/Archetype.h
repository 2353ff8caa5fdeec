#pragma once
#include <memory>
#include <string>

#include "LOOM/cogs/CogType.h"

class CogFactory;

// A named variant of a composition: its cogs are the composition's, filled from a cog file.
// With caching on, the file is parsed once and later cogs copy the same values from memory.
class Archetype : public CogType
{
public:
    Archetype(CogFactory& factory, std::string compositionName, std::string fileName);

    std::unique_ptr<Cog> CreateInstance(uint32_t id) override;
    // A cog of the composition with this archetype's fields; not initialised. Null when the
    // composition is not loaded.
    std::unique_ptr<Cog> Build(uint32_t id);
    // The composition's name: the type its cogs report.
    std::string GetTypeName() override { return mCompositionName; }

    bool IsCached() const { return mCached; }
    // The file name until cached, the binary image after.
    const std::string& GetData() const { return mData; }

private:
    CogFactory& mCogFactory;
    std::string mCompositionName;
    std::string mData;
    bool mCached = false;
    bool mBuilding = false;
};
