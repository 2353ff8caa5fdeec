#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "LOOM/engine/Loom.h"
#include "LOOM/math/Plane.h"
#include "LOOM/math/Vector3.h"
#include "physics/PhysicsSettings.h"

class Cog;
class CogFactory;
class CollisionComp;
class Ground;
class PhysicsComp;
class PhysicsExplosion;
class Positional;
class RegionComp;
class Spatial;
struct Touch;

// The physics subsystem: moves the bodies, collides them with the ground and each other,
// tells them so, and keeps the regions' contacts current.
class PhysicsLoom : public Loom
{
public:
    // How the step finds the pairs that may touch; brute force is the reference for tests.
    enum class BroadPhase
    {
        QuadTree,
        BruteForce,
    };

    static PhysicsLoom* Create();
    static PhysicsLoom* Instance();

    ~PhysicsLoom() override;

    // Init reads the physics settings; Update steps over this frame's game time.
    LOOM_LOOM_OVERRIDES

    // The component types, in the order compositions rely on.
    static void RegisterComponents(CogFactory& cogs);

    // Advances the world by dt seconds (capped by MaxFrameTime, in equal substeps no longer than
    // MaxSubStep). dt 0 moves nothing but still refreshes the regions.
    void Step(float dt);

    const Vector3& GetGravity() const { return mSettings.mGravity; }
    const PhysicsSettings& GetSettings() const { return mSettings; }
    void SetSettings(const PhysicsSettings& settings) { mSettings = settings; }
    // The game time of the frame being stepped (uncapped); forces are spread over it.
    float GetFrameTime() const { return mFrameTime; }
    bool IsActive() const { return mActive; }
    void SetBroadPhase(BroadPhase broadPhase) { mBroadPhase = broadPhase; }
    // Substeps the next step of dt takes.
    uint32_t SubStepsFor(float dt) const;

    // Components enter when their cog is initialised and leave when destroyed. Bodies that
    // enter during a step join at the next one.
    void Join(PhysicsComp& comp);
    void Join(CollisionComp& comp);
    void Join(RegionComp& comp);
    void Join(PhysicsExplosion& comp);
    void Leave(PhysicsComp& comp);
    void Leave(CollisionComp& comp);
    void Leave(RegionComp& comp);
    void Leave(PhysicsExplosion& comp);

private:
    // A cog with a PhysicsComp, a CollisionComp or both. Null pointers mark a body that
    // left during the step.
    struct Body
    {
        uint32_t mId = 0;
        Cog* mCog = nullptr;
        Positional* mPositional = nullptr;
        PhysicsComp* mPhysics = nullptr;
        CollisionComp* mCollision = nullptr;
    };

    static constexpr uint32_t kGround = UINT32_MAX;

    // One touch found in a substep. The normal points from b (or the ground) into a.
    struct Contact
    {
        uint64_t mKey = 0; // (lower ID, higher ID); the ground counts as ID 0
        uint32_t mA = 0;
        uint32_t mB = kGround;
        Vector3 mNormal;
        Vector3 mPoint;
        float mDepth = 0.0f;
        bool mDispatch = false;
    };

    PhysicsLoom() = default;

    void RebuildBodies();
    void FireExplosions();
    void Integrate(float h, bool first);
    void FindContacts();
    void FindGroundContact(uint32_t index, const Ground& ground);
    void FindPairContacts(uint32_t index);
    void TestPair(uint32_t a, uint32_t b);
    void AddContact(uint64_t key, uint32_t a, uint32_t b, const Touch& touch);
    void MarkDispatch();
    void Dispatch();
    void Respond();
    void RespondToGround(const Contact& contact);
    void RespondToPair(const Contact& contact);
    void RefreshRegions();

    bool Moves(const Body& body) const;
    bool Solid(const Body& body) const;
    // The body's inverse mass while it moves and collides; 0 for walls and switched-off bodies.
    float InverseMass(const Body& body) const;
    Vector3 VelocityOf(const Body& body) const;
    void SetVelocityOf(Body& body, const Vector3& velocity);
    void MoveBy(Body& body, const Vector3& offset);
    // Drops the body from the step in progress.
    void Forget(int32_t& index);

    PhysicsSettings mSettings;
    bool mActive = false;
    float mFrameTime = 0.0f;
    BroadPhase mBroadPhase = BroadPhase::QuadTree;

    std::vector<PhysicsComp*> mPhysicsComps;
    std::vector<CollisionComp*> mCollisionComps;
    std::vector<RegionComp*> mRegions;
    std::vector<PhysicsExplosion*> mExplosions;
    bool mBodiesDirty = false;

    // Rebuilt only when membership changes; the step itself allocates nothing once warm.
    std::vector<Body> mBodies;
    std::unordered_map<const Spatial*, uint32_t> mBodyOf;
    std::vector<Contact> mContacts;
    std::vector<uint64_t> mSentKeys; // keys told this frame, sorted
    std::vector<Spatial*> mCandidates;
    std::vector<Plane> mPlanes;
};

// A component's place in the running physics loom: taken once, when its cog is initialised,
// and given up when the component dies.
template <typename T>
void JoinPhysics(T& comp, bool& joined)
{
    if (joined)
        return;
    if (PhysicsLoom* loom = PhysicsLoom::Instance())
    {
        loom->Join(comp);
        joined = true;
    }
}

template <typename T>
void LeavePhysics(T& comp, bool joined)
{
    if (joined)
        if (PhysicsLoom* loom = PhysicsLoom::Instance())
            loom->Leave(comp);
}
