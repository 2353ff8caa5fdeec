#pragma once
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/space/QTree.h"
#include "physics/CollisionComp.h"
#include "physics/PhysicsComp.h"
#include "physics/PhysicsLoom.h"
#include "physics/RegionComp.h"
#include "physics/collision/CollisionData.h"
#include "physics/collision/GridGround.h"
#include "tests/LOOM/support/CodeType.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/TestComp.h"

// One message a probe heard, with the state of its body when it heard it.
struct Heard
{
    uint32_t mCog = 0;
    std::string mMessage;
    int32_t mOther = 0;
    CollisionData mData;
    Vector3 mVelocity; // the hearer's own velocity inside the handler
};

inline std::vector<Heard>& HeardLog()
{
    static std::vector<Heard> log;
    return log;
}

constexpr uint32_t kProbeId = 950;

// Records "CollideMap" and "CollideObj"; a test may hook more behaviour onto "CollideObj".
class ProbeComp : public TestComp<kProbeId, "Probe">
{
public:
    void CollideMap(CollisionData data) { HeardLog().push_back({mOwner->GetID(), "CollideMap", 0, data, Velocity()}); }
    void CollideObj(int32_t other, CollisionData data)
    {
        HeardLog().push_back({mOwner->GetID(), "CollideObj", other, data, Velocity()});
        if (OnCollideObj())
            OnCollideObj()(*mOwner, other);
    }
    static std::function<void(Cog&, int32_t)>& OnCollideObj()
    {
        static std::function<void(Cog&, int32_t)> hook;
        return hook;
    }

private:
    Vector3 Velocity() const { return GetOwnerPositional() ? GetOwnerPositional()->GetVelocity() : Vector3(); }
};

class ProbeFactory : public CompFactoryOf<ProbeComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("CollideMap", MakeCompFunctor(kProbeId, &ProbeComp::CollideMap));
        composer.BindMessage("CollideObj", MakeCompFunctor(kProbeId, &ProbeComp::CollideObj));
    }
};

inline ProbeFactory gProbeFactory;

// A loom, a cog manager with the physics types, a 256-wide quadtree and a flat ground at 0.
class PhysicsFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        HeardLog().clear();
        ProbeComp::OnCollideObj() = nullptr;
        mLoom.reset(PhysicsLoom::Create());
        mTree.Allocate(5);
        mTree.BuildTree(256.0f);
        RegisterPositional(mCogs);
        PhysicsLoom::RegisterComponents(mCogs);
        mCogs.Types().RegisterComponent(kProbeId, &gProbeFactory);
        MakeType("Ball", {1, 50, 51, kProbeId});
        MakeType("Wall", {1, 51, kProbeId});
        MakeType("Mover", {1, 50});
        MakeType("Marker", {1});
        MakeType("Region", {1, 55});
        mGround.ComputeNormals();
        Ground::SetCurrent(&mGround);
    }
    void TearDown() override
    {
        ProbeComp::OnCollideObj() = nullptr;
        mCogs.DestroyAll();
        Ground::ClearCurrent(&mGround);
        mLoom.reset();
    }

    void MakeType(const std::string& name, std::vector<uint32_t> components) { MakeCodeType(mCogs, name, components); }

    // A sphere of that radius (or, with a half size, a box) at the position.
    Cog* Spawn(const std::string& type, Vector3 position, float radius = 1.0f, Vector3 velocity = Vector3())
    {
        Cog* cog = mCogs.CreateAt(type, position);
        Positional* positional = Pos(cog);
        positional->GetLocalSphere().radius = radius;
        positional->SetVelocity(velocity);
        positional->UpdateQuadTree();
        return cog;
    }
    Cog* SpawnBox(const std::string& type, Vector3 position, Vector3 half)
    {
        Cog* cog = Spawn(type, position, half.Length());
        Positional* positional = Pos(cog);
        positional->SetBoundingType(Spatial::kBoundingBox);
        positional->GetLocalBox() = BoundingBox{-half, half};
        positional->UpdateQuadTree();
        return cog;
    }

    static Positional* Pos(Cog* cog) { return cog->Get<Positional>(); }
    static PhysicsComp* Phys(Cog* cog) { return cog->Get<PhysicsComp>(); }
    static CollisionComp* Coll(Cog* cog) { return cog->Get<CollisionComp>(); }
    static RegionComp* Region(Cog* cog) { return cog->Get<RegionComp>(); }

    void Run(int frames, float dt = 1.0f / 60.0f)
    {
        for (int i = 0; i < frames; ++i)
            mLoom->Step(dt);
    }

    int Count(uint32_t cog, const std::string& message) const
    {
        int count = 0;
        for (const Heard& heard : HeardLog())
            count += heard.mCog == cog && heard.mMessage == message;
        return count;
    }

    uint32_t LogMark() const { return Console::Instance().GetEntryCounter(); }
    int ErrorsSince(uint32_t mark) const
    {
        return LogCapture(mark).CountIf([](const LogEntry& entry) { return entry.mCategory == LogError; });
    }

    std::unique_ptr<PhysicsLoom> mLoom;
    QTree mTree;
    CogFactory mCogs;
    GridGround mGround{65, 65, 4.0f};
};
