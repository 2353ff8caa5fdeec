#include "physics/RegionComp.h"

#include <algorithm>

#include "LOOM/calls/CogDirectory.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/space/QTree.h"
#include "physics/PhysicsLoom.h"

namespace {
CompFactoryOf<RegionComp> gRegionCompFactory;
}

RegionComp::RegionComp() : mVolume(std::make_unique<Positional>()) { ApplyShape(); }

RegionComp::~RegionComp() { LeavePhysics(*this, mJoined); }

void RegionComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeInt("RegionType", mRegionType);
    s.SerializeRealField("Radius", mRadius);
    s.SerializeVector("BoxMin", mBoxMin);
    s.SerializeVector("BoxMax", mBoxMax);
    if (!s.IsSaving())
        ApplyShape();
}

void RegionComp::ApplyShape()
{
    mVolume->SetBoundingType(mRegionType == 0 ? 0u : Spatial::kBoundingBox);
    mVolume->GetLocalSphere() = BoundingSphere{Vector3(), mRadius};
    mVolume->GetLocalBox() = BoundingBox{mBoxMin, mBoxMax};
}

void RegionComp::Initialize()
{
    ApplyShape();
    JoinPhysics(*this, mJoined);
}

void RegionComp::Refresh(std::vector<Spatial*>& scratch)
{
    mContacts.clear();
    const Positional* own = GetOwnerPositional();
    if (!own || !mOwner)
        return;
    mVolume->StorePosition(own->GetPosition());
    mVolume->UpdateQuadTree();
    const QTree* tree = QTree::Instance();
    if (!tree || !tree->IsBuilt())
        return;
    tree->QueryOverlaps(mVolume.get(), scratch);
    for (Spatial* spatial : scratch)
    {
        // Everything filed is a Positional; volumes like this one have no cog.
        Cog* cog = static_cast<Positional*>(spatial)->GetOwner();
        if (cog && cog != mOwner)
            mContacts.push_back(cog->GetID());
    }
    std::sort(mContacts.begin(), mContacts.end());
    mContacts.erase(std::unique(mContacts.begin(), mContacts.end()), mContacts.end());
}

void RegionComp::DropDead()
{
    CogDirectory* cogs = CogDirectory::Get();
    if (!cogs)
    {
        mContacts.clear();
        return;
    }
    std::erase_if(mContacts, [cogs](uint32_t id) { return cogs->FindCogById(id) == nullptr; });
}

const std::vector<uint32_t>& RegionComp::GetContacts()
{
    DropDead();
    return mContacts;
}

bool RegionComp::Contains(uint32_t id)
{
    const std::vector<uint32_t>& contacts = GetContacts();
    return std::binary_search(contacts.begin(), contacts.end(), id);
}

void RegisterRegionComp(CogFactory& cogs) { cogs.Types().RegisterComponent(RegionComp::kTypeId, &gRegionCompFactory); }
