#include "physics/PhysicsLoom.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/space/QTree.h"
#include "physics/CollisionComp.h"
#include "physics/InertiaBall.h"
#include "physics/PhysicsComp.h"
#include "physics/PhysicsExplosion.h"
#include "physics/RegionComp.h"
#include "physics/SpringCape.h"
#include "physics/collision/CollisionData.h"
#include "physics/collision/ContactTests.h"
#include "physics/collision/Ground.h"

namespace {
PhysicsLoom* sInstance = nullptr;

CompFactoryOf<SpringCape> gSpringCapeFactory;
CompFactoryOf<InertiaBall> gInertiaBallFactory;

const std::string kCollideMap = "CollideMap";
const std::string kCollideObj = "CollideObj";

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

uint64_t PairKey(uint32_t a, uint32_t b) { return a < b ? (uint64_t(a) << 32) | b : (uint64_t(b) << 32) | a; }

template <typename T>
void EraseOne(std::vector<T*>& list, T* item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end())
    {
        *it = list.back();
        list.pop_back();
    }
}

// Turns the orientation by the spin over h seconds.
Quat Spun(const Quat& q, const Vector3& spin, float h)
{
    const Quat change = Quat(0.0f, spin.x, spin.y, spin.z).Multiply(q).Scaled(0.5f * h);
    Quat turned = q.Add(change);
    const float length =
        std::sqrt(turned.w * turned.w + turned.x * turned.x + turned.y * turned.y + turned.z * turned.z);
    return length > 0.0f ? turned.Scaled(1.0f / length) : q;
}
} // namespace

PhysicsLoom* PhysicsLoom::Create()
{
    sInstance = new (std::nothrow) PhysicsLoom();
    return sInstance;
}

PhysicsLoom* PhysicsLoom::Instance() { return sInstance; }

PhysicsLoom::~PhysicsLoom()
{
    Shutdown();
    if (sInstance == this)
        sInstance = nullptr;
}

void PhysicsLoom::Init()
{
    mSettings.Load();
    mActive = true;
}

void PhysicsLoom::Shutdown() { mActive = false; }

void PhysicsLoom::RegisterComponents(CogFactory& cogs)
{
    RegisterPhysicsComp(cogs);
    RegisterCollisionComp(cogs);
    RegisterRegionComp(cogs);
    RegisterPhysicsExplosion(cogs);
    cogs.Types().RegisterComponent(SpringCape::kTypeId, &gSpringCapeFactory);
    cogs.Types().RegisterComponent(InertiaBall::kTypeId, &gInertiaBallFactory);
}

void PhysicsLoom::RegisterTypes() { RegisterComponents(CogFactory::Instance()); }

void PhysicsLoom::Update() { Step(gCoreEngine ? static_cast<float>(gCoreEngine->GetGameClock().GetDt()) : 0.0f); }

void PhysicsLoom::Unload() {}

std::string PhysicsLoom::GetName() { return "Physics Loom"; }

std::string PhysicsLoom::GetTypeName() { return "PhysicsLoom"; }

void PhysicsLoom::Join(PhysicsComp& comp)
{
    mPhysicsComps.push_back(&comp);
    mBodiesDirty = true;
}

void PhysicsLoom::Join(CollisionComp& comp)
{
    mCollisionComps.push_back(&comp);
    mBodiesDirty = true;
}

void PhysicsLoom::Join(RegionComp& comp) { mRegions.push_back(&comp); }

void PhysicsLoom::Join(PhysicsExplosion& comp) { mExplosions.push_back(&comp); }

void PhysicsLoom::Leave(PhysicsComp& comp)
{
    EraseOne(mPhysicsComps, &comp);
    Forget(comp.mBodyIndex);
}

void PhysicsLoom::Leave(CollisionComp& comp)
{
    EraseOne(mCollisionComps, &comp);
    Forget(comp.mBodyIndex);
}

void PhysicsLoom::Leave(RegionComp& comp) { EraseOne(mRegions, &comp); }

void PhysicsLoom::Leave(PhysicsExplosion& comp) { EraseOne(mExplosions, &comp); }

void PhysicsLoom::Forget(int32_t& index)
{
    if (index >= 0 && static_cast<size_t>(index) < mBodies.size())
        mBodies[index] = Body();
    index = -1;
    mBodiesDirty = true;
}

void PhysicsLoom::RebuildBodies()
{
    mBodies.clear();
    mBodyOf.clear();
    for (CollisionComp* collision : mCollisionComps)
        collision->mBodyIndex = -1;
    for (PhysicsComp* physics : mPhysicsComps)
    {
        physics->mBodyIndex = -1;
        Cog* cog = physics->GetOwner();
        Positional* positional = physics->GetOwnerPositional();
        if (!cog || !positional)
            continue;
        CollisionComp* collision = cog->Get<CollisionComp>();
        if (collision && !collision->IsJoined())
            collision = nullptr;
        mBodies.push_back(Body{cog->GetID(), cog, positional, physics, collision});
    }
    for (CollisionComp* collision : mCollisionComps)
    {
        Cog* cog = collision->GetOwner();
        Positional* positional = collision->GetOwnerPositional();
        if (!cog || !positional)
            continue;
        if (PhysicsComp* physics = cog->Get<PhysicsComp>(); physics && physics->IsJoined())
            continue;
        mBodies.push_back(Body{cog->GetID(), cog, positional, nullptr, collision});
    }
    std::sort(mBodies.begin(), mBodies.end(), [](const Body& a, const Body& b) { return a.mId < b.mId; });
    mBodyOf.reserve(mBodies.size());
    // Room for a ground touch and a few pairs a body up front: growing these in a busy step
    // allocated now and then.
    const size_t room = mBodies.size() * 4;
    if (mContacts.capacity() < room)
        mContacts.reserve(room);
    if (mSentKeys.capacity() < room)
        mSentKeys.reserve(room);
    if (mCandidates.capacity() < mBodies.size())
        mCandidates.reserve(mBodies.size());
    for (uint32_t i = 0; i < mBodies.size(); ++i)
    {
        Body& body = mBodies[i];
        if (body.mPhysics)
            body.mPhysics->mBodyIndex = static_cast<int32_t>(i);
        if (body.mCollision)
            body.mCollision->mBodyIndex = static_cast<int32_t>(i);
        mBodyOf[body.mPositional] = i;
    }
    mBodiesDirty = false;
}

uint32_t PhysicsLoom::SubStepsFor(float dt) const
{
    if (!(dt > 0.0f))
        return 0;
    const double frame = std::min(double(dt), double(mSettings.mMaxFrameTime));
    // The float settings are not exact: 1/30 over 1/120 must come out as 4, not 5.
    const double count = std::ceil(frame / double(mSettings.mMaxSubStep) - 1e-5);
    return static_cast<uint32_t>(std::max(1.0, count));
}

void PhysicsLoom::Step(float dt)
{
    mFrameTime = std::isfinite(dt) && dt > 0.0f ? dt : 0.0f;
    if (mBodiesDirty)
        RebuildBodies();
    FireExplosions();
    const uint32_t count = SubStepsFor(mFrameTime);
    if (count > 0)
    {
        const float h = static_cast<float>(std::min(double(mFrameTime), double(mSettings.mMaxFrameTime)) / count);
        mSentKeys.clear();
        for (uint32_t i = 0; i < count; ++i)
        {
            Integrate(h, i == 0);
            FindContacts();
            MarkDispatch();
            Dispatch();
            Respond();
        }
    }
    RefreshRegions();
}

void PhysicsLoom::FireExplosions()
{
    for (PhysicsExplosion* explosion : mExplosions)
    {
        if (explosion->mFired)
            continue;
        explosion->mFired = true;
        const Positional* centre = explosion->GetOwnerPositional();
        const float radius = explosion->mRadius;
        if (!centre || !(radius > 0.0f) || !std::isfinite(explosion->mStrength))
            continue;
        for (const Body& body : mBodies)
        {
            if (!body.mPhysics || body.mCog == explosion->GetOwner())
                continue;
            const Vector3 away = body.mPositional->GetPosition() - centre->GetPosition();
            const float dist = away.Length();
            if (!(dist < radius))
                continue;
            const Vector3 direction = dist > 1e-6f ? away * (1.0f / dist) : Vector3(0.0f, 1.0f, 0.0f);
            body.mPhysics->SetImpulse(body.mPhysics->GetImpulse() +
                                      direction * (explosion->mStrength * (1.0f - dist / radius)));
        }
    }
}

bool PhysicsLoom::Moves(const Body& body) const { return body.mPhysics && body.mPositional; }

bool PhysicsLoom::Solid(const Body& body) const
{
    return body.mCollision && body.mPositional && body.mCollision->mActive;
}

float PhysicsLoom::InverseMass(const Body& body) const
{
    return Moves(body) && Solid(body) ? 1.0f / body.mPhysics->GetMass() : 0.0f;
}

Vector3 PhysicsLoom::VelocityOf(const Body& body) const
{
    return Moves(body) ? body.mPositional->GetVelocity() : Vector3();
}

void PhysicsLoom::SetVelocityOf(Body& body, const Vector3& velocity)
{
    if (Moves(body))
        body.mPositional->SetVelocity(velocity);
}

void PhysicsLoom::MoveBy(Body& body, const Vector3& offset)
{
    body.mPositional->StorePosition(body.mPositional->GetPosition() + offset);
    body.mPositional->UpdateQuadTree();
}

void PhysicsLoom::Integrate(float h, bool first)
{
    const Vector3 gravity = mSettings.mGravity;
    for (Body& body : mBodies)
    {
        if (!Moves(body))
            continue;
        PhysicsComp& physics = *body.mPhysics;
        Positional& positional = *body.mPositional;
        Vector3 velocity = positional.GetVelocity();
        if (!Finite(velocity))
        {
            physics.Refuse("a velocity that is not finite (the body is stopped)");
            velocity = Vector3();
        }
        if (first)
            velocity += physics.TakeImpulseVelocity();
        if (physics.mUseGravity)
            velocity += gravity * h;
        if (physics.mUseDrag)
        {
            const float c = physics.mDragCoefficient;
            if (std::isfinite(c) && c >= 0.0f)
                // Implicit, so a strong drag slows the body to rest and never turns it round.
                velocity /= 1.0f + c * h / physics.GetMass();
            else
                physics.Refuse("a DragCoefficient below 0 or not finite (no drag)");
        }
        positional.SetVelocity(velocity);
        positional.StorePosition(positional.GetPosition() + velocity * h);
        if (!physics.mDisableRotation && !(physics.GetSpin() == Vector3()))
            positional.SetOrientation(Spun(positional.GetOrientation(), physics.GetSpin(), h));
        positional.UpdateQuadTree();
    }
}

void PhysicsLoom::FindContacts()
{
    mContacts.clear();
    const Ground* ground = Ground::Current();
    for (uint32_t i = 0; i < mBodies.size(); ++i)
    {
        const Body& body = mBodies[i];
        if (!Moves(body) || !Solid(body))
            continue;
        if (ground)
            FindGroundContact(i, *ground);
        FindPairContacts(i);
    }
}

void PhysicsLoom::FindGroundContact(uint32_t index, const Ground& ground)
{
    Body& body = mBodies[index];
    Positional& positional = *body.mPositional;
    // A body that tunnelled below the surface comes back up onto it first.
    if (positional.UsesBox())
    {
        const BoundingBox box = positional.GetWorldBox();
        const Vector3 centre = (box.min + box.max) * 0.5f;
        const float height = ground.GetHeight(centre.x, centre.z);
        if (centre.y < height)
            MoveBy(body, Vector3(0.0f, height - box.min.y, 0.0f));
    }
    else
    {
        const BoundingSphere sphere = positional.GetWorldSphere();
        const float height = ground.GetHeight(sphere.center.x, sphere.center.z);
        if (sphere.center.y < height)
            MoveBy(body, Vector3(0.0f, height + sphere.radius - sphere.center.y, 0.0f));
    }
    Touch touch;
    if (!TouchGround(positional, ground, mPlanes, touch))
        return;
    AddContact(uint64_t(body.mId) << 32, index, kGround, touch);
}

void PhysicsLoom::FindPairContacts(uint32_t index)
{
    const Positional& positional = *mBodies[index].mPositional;
    const QTree* tree = QTree::Instance();
    if (mBroadPhase == BroadPhase::QuadTree && tree && tree->IsBuilt())
    {
        tree->QueryOverlaps(&positional, mCandidates);
        // Only filed bodies are found, so an unfiled body must test its pairs itself.
        const bool filed = positional.IsInTree();
        for (const Spatial* candidate : mCandidates)
        {
            auto found = mBodyOf.find(candidate);
            if (found == mBodyOf.end() || found->second == index)
                continue;
            const Body& other = mBodies[found->second];
            if (!other.mCollision || !other.mPositional)
                continue;
            if (!filed || !(Moves(other) && Solid(other)) || mBodies[index].mId < other.mId)
                TestPair(index, found->second);
        }
        return;
    }
    for (uint32_t j = 0; j < mBodies.size(); ++j)
    {
        const Body& other = mBodies[j];
        if (j == index || !other.mCollision || !other.mPositional)
            continue;
        if ((Moves(other) && Solid(other)) && other.mId < mBodies[index].mId)
            continue;
        if (positional.Intersects(*other.mPositional))
            TestPair(index, j);
    }
}

void PhysicsLoom::TestPair(uint32_t a, uint32_t b)
{
    Touch touch;
    if (!TouchShapes(*mBodies[a].mPositional, *mBodies[b].mPositional, touch))
        return;
    AddContact(PairKey(mBodies[a].mId, mBodies[b].mId), a, b, touch);
}

void PhysicsLoom::AddContact(uint64_t key, uint32_t a, uint32_t b, const Touch& touch)
{
    Contact contact;
    contact.mKey = key;
    contact.mA = a;
    contact.mB = b;
    contact.mNormal = touch.mNormal;
    contact.mPoint = touch.mPoint;
    contact.mDepth = touch.mDepth;
    mContacts.push_back(contact);
}

void PhysicsLoom::MarkDispatch()
{
    // Each pair and each ground touch is told once per frame, however many substeps see it.
    const size_t told = mSentKeys.size();
    for (Contact& contact : mContacts)
    {
        contact.mDispatch = !std::binary_search(mSentKeys.begin(), mSentKeys.begin() + told, contact.mKey);
        if (contact.mDispatch)
            mSentKeys.push_back(contact.mKey);
    }
    if (mSentKeys.size() != told)
        std::sort(mSentKeys.begin(), mSentKeys.end());
    // Told in ascending ID order: a body's ground touch, then its pairs.
    std::sort(mContacts.begin(), mContacts.end(), [](const Contact& x, const Contact& y) { return x.mKey < y.mKey; });
}

void PhysicsLoom::Dispatch()
{
    // Handlers may create cogs (they join the next step) or queue them for destruction; a cog
    // deleted outright leaves its body empty, which every use below checks.
    for (const Contact& contact : mContacts)
    {
        if (!contact.mDispatch)
            continue;
        if (contact.mB == kGround)
        {
            const Body& body = mBodies[contact.mA];
            if (!Solid(body) || !body.mCog)
                continue;
            ParamBuffer params;
            ParamTraits<CollisionData>::Push(params, CollisionData{contact.mPoint, VelocityOf(body), contact.mNormal});
            body.mCog->CallFunction(kCollideMap, params);
            continue;
        }
        // The lower ID hears first.
        const bool aFirst = mBodies[contact.mA].mId < mBodies[contact.mB].mId;
        for (int turn = 0; turn < 2; ++turn)
        {
            const bool toA = (turn == 0) == aFirst;
            const Body& self = mBodies[toA ? contact.mA : contact.mB];
            const Body& other = mBodies[toA ? contact.mB : contact.mA];
            if (!Solid(self) || !self.mCog || !other.mPositional)
                continue;
            const Vector3 normal = toA ? contact.mNormal : -contact.mNormal;
            ParamBuffer params;
            params.PushInt(static_cast<int32_t>(other.mId));
            ParamTraits<CollisionData>::Push(
                params, CollisionData{contact.mPoint, VelocityOf(self) - VelocityOf(other), normal});
            self.mCog->CallFunction(kCollideObj, params);
        }
    }
}

void PhysicsLoom::Respond()
{
    for (const Contact& contact : mContacts)
    {
        if (contact.mB == kGround)
            RespondToGround(contact);
        else
            RespondToPair(contact);
    }
}

void PhysicsLoom::RespondToGround(const Contact& contact)
{
    Body& body = mBodies[contact.mA];
    if (!Moves(body) || !Solid(body))
        return;
    const Vector3& n = contact.mNormal;
    MoveBy(body, n * contact.mDepth);
    Vector3 velocity = VelocityOf(body);
    const float along = DotProduct(velocity, n);
    if (along >= 0.0f)
        return;
    const float restitution = -along > mSettings.mBounceThreshold ? mSettings.mRestitution : 0.0f;
    const float push = -(1.0f + restitution) * along;
    velocity += n * push;
    const Vector3 slide = velocity - n * DotProduct(velocity, n);
    const float slideSpeed = slide.Length();
    if (slideSpeed > 0.0f)
        velocity -= slide * (std::min(slideSpeed, mSettings.mFriction * push) / slideSpeed);
    SetVelocityOf(body, velocity);
}

void PhysicsLoom::RespondToPair(const Contact& contact)
{
    Body& a = mBodies[contact.mA];
    Body& b = mBodies[contact.mB];
    if (!a.mPositional || !b.mPositional)
        return;
    const float inverseA = InverseMass(a);
    const float inverseB = InverseMass(b);
    const float inverseSum = inverseA + inverseB;
    if (!(inverseSum > 0.0f))
        return;
    const Vector3& n = contact.mNormal;
    if (inverseA > 0.0f)
        MoveBy(a, n * (contact.mDepth * inverseA / inverseSum));
    if (inverseB > 0.0f)
        MoveBy(b, n * (-contact.mDepth * inverseB / inverseSum));
    const Vector3 relative = VelocityOf(a) - VelocityOf(b);
    const float along = DotProduct(relative, n);
    if (along >= 0.0f)
        return;
    const float restitution = -along > mSettings.mBounceThreshold ? mSettings.mRestitution : 0.0f;
    const float push = -(1.0f + restitution) * along / inverseSum;
    Vector3 change = n * push;
    const Vector3 slide = relative - n * along;
    const float slideSpeed = slide.Length();
    if (slideSpeed > 0.0f)
        change -= slide * (std::min(slideSpeed / inverseSum, mSettings.mFriction * push) / slideSpeed);
    if (inverseA > 0.0f)
        SetVelocityOf(a, VelocityOf(a) + change * inverseA);
    if (inverseB > 0.0f)
        SetVelocityOf(b, VelocityOf(b) - change * inverseB);
}

void PhysicsLoom::RefreshRegions()
{
    for (RegionComp* region : mRegions)
        region->Refresh(mCandidates);
}
