#include "game/player/LogicCommands.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/MathUtil.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Plane.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Random.h"
#include "LOOM/script/ScriptManager.h"
#include "LOOM/serial/BinarySaver.h"
#include "game/components/RegionContacts.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileComp.h"
#include "game/level/TileMap.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/ModelSeam.h"
#include "game/logic/OwnedCommands.h"
#include "game/logic/TerrainSeam.h"
#include "game/player/CursorComp.h"
#include "game/player/HUDComp.h"
#include "game/player/PlayerServices.h"
#include "game/tower/BaseTower.h"
#include "graphics/camera/Camera.h"
#include "physics/PhysicsComp.h"
#include "physics/PhysicsLoom.h"
#include "physics/RegionComp.h"

namespace {
constexpr float kTrapSelectDelay = 0.25f;
constexpr float kShotDelay = 0.05f;

bool ConsoleShown() { return Console::Instance().GetShowConsole(); }

std::string FloatText(float value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", static_cast<double>(value));
    return text;
}

// A stamp later than the game time is from before a clock reset: it has expired.
bool Waited(float& stamp, float delay)
{
    const float now = GameTime();
    if (stamp > now)
        stamp = 0.0f;
    return stamp + delay < now;
}

// What the player's controls remember between frames; one per registration, so it goes with
// the engine whose functors hold it.
struct ControlMemory
{
    float mRotateYaw = 0.0f;
    float mRotatePitch = 0.0f;
    float mFpsYaw = -HALF_PI;
    float mFpsPitch = 0.0f;
    bool mRotating = false;
    Vector3 mPreviousGrabVelocity;
    float mLastShot = 0.0f;
    // On the core clock, which runs on while the game is paused; long ago at first.
    double mLastSelection = -1.0e9;
    // The key of the last trap picked; none at first.
    char mLastTrapKey = 0;
};

Vector3 FlatForward(const Quat& orientation)
{
    Vector3 forward = orientation.GetForward();
    forward.y = 0.0f;
    return forward.Normalized();
}

// Mouse-look shared by the two look actions: each keeps its own angles.
void MouseLook(Cog* cog, float& yaw, float& pitch)
{
    Positional* place = PosOf(cog);
    if (!place || !MousePressed(1))
        return;
    yaw += static_cast<float>(MouseX() - PrevMouseX()) * 0.01f;
    pitch -= static_cast<float>(MouseY() - PrevMouseY()) * 0.01f;
    Matrix4 turn;
    turn.FromYawPitchRoll(-yaw, -pitch, 0.0f);
    place->SetOrientation(Quat::FromMatrix(turn));
}

void RotateWithMouse(Cog* cog, ControlMemory& memory) { MouseLook(cog, memory.mRotateYaw, memory.mRotatePitch); }

void MouseFPS(Cog* cog, ControlMemory& memory) { MouseLook(cog, memory.mFpsYaw, memory.mFpsPitch); }

void WASDMove(Cog* cog)
{
    Positional* place = PosOf(cog);
    if (!place || ConsoleShown())
        return;
    const Vector3 forward = place->GetOrientation().GetForward() * 15.0f;
    const Vector3 side = Vector3(-forward.z, 0.0f, forward.x).Normalized() * 15.0f;
    Vector3 velocity = place->GetVelocity();
    const bool w = KeyHeld("W");
    const bool s = KeyHeld("S");
    const bool d = KeyHeld("D");
    const bool a = KeyHeld("A");
    if (w)
        velocity += forward;
    if (s)
        velocity -= forward;
    if (d)
        velocity -= side;
    if (a)
        velocity += side;
    if (!w && !s && !d && !a)
        velocity *= 0.85f;
    place->SetVelocity(velocity);
}

void GameCameraRotate(Cog* cog, ControlMemory& memory)
{
    bool& rotating = memory.mRotating;
    if (MouseTriggered(1))
    {
        const CursorComp* cursor = FindCursor();
        rotating = !(cursor && cursor->IsTrapDropMode());
        if (!rotating)
            return;
    }
    else if (MouseReleased(1))
    {
        rotating = false;
        return;
    }
    else if (!rotating)
    {
        return;
    }
    Positional* place = PosOf(cog);
    if (!place)
        return;
    const Vector3 p = place->GetPosition();
    Vector3 hit;
    if (!IntersectRayPlane(Plane(0.0f, 1.0f, 0.0f, 0.0f), Ray(p, place->GetOrientation().GetForward()), &hit))
        return;
    Matrix4 turn;
    MakeRotationY(turn, static_cast<float>(PrevMouseX() - MouseX()) * 0.01f);
    place->SetPosition(hit + turn.TransformPoint(p - hit));
    place->SetOrientation(place->GetOrientation().Multiply(Quat::FromMatrix(turn)));
}

void GameCameraMove(Cog* cog)
{
    Positional* place = PosOf(cog);
    if (!place || ConsoleShown())
        return;
    const Vector3 forward = FlatForward(place->GetOrientation());
    const Vector3 side = Vector3(-forward.z, 0.0f, forward.x).Normalized();
    const float width = static_cast<float>(ScreenWidth() > 0 ? ScreenWidth() : 1);
    const float height = static_cast<float>(ScreenHeight() > 0 ? ScreenHeight() : 1);
    const float sx = static_cast<float>(MouseX()) / width;
    const float sy = static_cast<float>(MouseY()) / height;
    Vector3 velocity = place->GetVelocity();
    bool moved = false;
    if (CharHeld('W') || KeyHeld("Up") || sy < 0.0f)
    {
        velocity += forward * 15.0f;
        moved = true;
    }
    if (CharHeld('S') || KeyHeld("Down") || sy > 1.0f)
    {
        velocity -= forward * 15.0f;
        moved = true;
    }
    if (CharHeld('D') || KeyHeld("Right") || sx > 1.0f)
    {
        velocity -= side * 15.0f;
        moved = true;
    }
    if (CharHeld('A') || KeyHeld("Left") || sx < 0.0f)
    {
        velocity += side * 15.0f;
        moved = true;
    }
    if (!moved)
        velocity *= 0.85f;
    if (velocity.Length() > 250.0f)
        velocity = velocity.Normalized() * 250.0f;
    place->SetVelocity(velocity);
    Vector3 p = place->GetPosition();
    if (IsEditMode())
        p += velocity.Divided(60.0f);
    float mapWidth = 0.0f;
    float mapDepth = 0.0f;
    if (MapExtent(mapWidth, mapDepth))
    {
        p.x = std::fmin(std::fmax(p.x, 0.0f), mapWidth);
        p.z = std::fmin(std::fmax(p.z, 0.0f), mapDepth);
    }
    place->SetPosition(p);
}

void GameCameraZoom(Cog* cog)
{
    Positional* place = PosOf(cog);
    if (!place || ConsoleShown() || !(cog && cog->Get<Camera>()))
        return;
    const float limit = IsEditMode() ? 200.0f : 100.0f;
    Vector3 p = place->GetPosition();
    Vector3 velocity = place->GetVelocity();
    const Vector3 dir = place->GetOrientation().GetForward();
    const int wheel = MouseWheel();
    if (wheel > 0 && static_cast<int>(p.y - 0.5f) > 20)
        velocity += dir * (p.y * 150.0f);
    else if (wheel < 0 && std::lround(p.y) < limit)
        velocity += dir * (p.y * -150.0f);
    if (p.y < 20.0f)
    {
        p.y = 20.0f;
        velocity.y = 0.0f;
    }
    else if (p.y > limit)
    {
        p.y = limit;
        velocity.y = 0.0f;
    }
    place->SetVelocity(velocity);
    place->SetPosition(p);
}

void MouseGrabInvader(Cog* cog, ControlMemory& memory)
{
    Vector3& previous = memory.mPreviousGrabVelocity;
    CursorComp* grab = cog ? cog->Get<CursorComp>() : nullptr;
    Positional* place = PosOf(cog);
    RegionComp* region = cog ? cog->Get<RegionComp>() : nullptr;
    if (!grab || !place || !region)
        return;
    const float dt = FrameTime();
    const Vector3 v = place->GetVelocity();
    if (grab->mRecharging)
    {
        grab->mGrabEnergy += dt * grab->recoveryRate;
        if (grab->mGrabEnergy >= 1.0f)
        {
            grab->mGrabEnergy = 1.0f;
            grab->mRecharging = false;
        }
    }
    Cog* held = CogById(grab->mGrabbed);
    if (!MousePressed(0))
    {
        if (Positional* heldPlace = PosOf(held))
        {
            Vector3 velocity = (v + previous).Divided(2.0f);
            velocity.y += grab->upThrowVal;
            heldPlace->SetVelocity(velocity);
            if (PhysicsComp* physics = held ? held->Get<PhysicsComp>() : nullptr)
            {
                physics->mUseGravity = true;
                physics->mDisableRotation = false;
                physics->SetSpinFromDirection(velocity, velocity.Length() * 0.2f);
            }
            grab->mGrabbed = -1;
            if (Kestrane* invader = held ? held->Get<Kestrane>() : nullptr)
                invader->ChangeState(StateAirborne);
        }
        grab->mRecharging = true;
    }
    else if (Positional* heldPlace = PosOf(held))
    {
        heldPlace->SetPosition(place->GetPosition());
        heldPlace->SetVelocity(v);
    }
    else if (!grab->mRecharging)
    {
        grab->mGrabEnergy -= dt * grab->dropRate;
        if (grab->mGrabEnergy <= 0.0f)
        {
            grab->mGrabEnergy = 0.0f;
            grab->mRecharging = true;
        }
        TakeContact(*region, [grab](Cog& contact, uint32_t id) {
            Kestrane* invader = contact.Get<Kestrane>();
            if (!invader)
                return false;
            grab->mGrabbed = static_cast<int32_t>(id);
            if (PhysicsComp* physics = contact.Get<PhysicsComp>())
            {
                physics->mUseGravity = false;
                physics->mDisableRotation = true;
            }
            grab->mRecharging = true;
            invader->ChangeState(StateGrabbed);
            return true;
        });
    }
    previous = v;
}

void AttractRegion(Cog* cog)
{
    RegionComp* region = cog ? cog->Get<RegionComp>() : nullptr;
    Positional* place = PosOf(cog);
    if (!region || !place)
        return;
    const bool active = MousePressed(0);
    const PhysicsLoom* physicsLoom = PhysicsLoom::Instance();
    const float gravityY = physicsLoom ? physicsLoom->GetGravity().y : 0.0f;
    // Every live contact is pulled; none ends the walk.
    TakeContact(*region, [&](Cog& c, uint32_t) {
        PhysicsComp* physics = c.Get<PhysicsComp>();
        Positional* other = PosOf(&c);
        if (!physics || !other || !c.Get<Kestrane>())
            return false;
        if (!active)
        {
            physics->mUseGravity = true;
            return false;
        }
        const Vector3 d = place->GetPosition() - other->GetPosition();
        const float dist = d.Length();
        if (dist <= 1.0f)
        {
            other->SetVelocity(Vector3());
            physics->mUseGravity = false;
            return false;
        }
        const Vector3 n = d.Divided(dist);
        const float dy = n.y * dist;
        if (std::fabs(dy) > 1.0f)
        {
            physics->AddVelocity(Vector3(0.0f, dy * 25.0f + 2.0f * gravityY, 0.0f));
        }
        else
        {
            Vector3 velocity = other->GetVelocity();
            velocity.y = 0.0f;
            other->SetVelocity(velocity);
            physics->mUseGravity = false;
        }
        Vector3 h(n.x, 0.0f, n.z);
        const float hd = h.Length() * dist;
        h.Normalize();
        if (hd > 1.0f)
        {
            physics->AddVelocity(h * (hd * 25.0f + place->GetVelocity().Length()));
        }
        else
        {
            Vector3 velocity = other->GetVelocity();
            velocity.x = 0.0f;
            velocity.z = 0.0f;
            other->SetVelocity(velocity);
        }
        return false;
    });
}

void SmoothMistMotion(Cog* cog)
{
    PhysicsComp* physics = cog ? cog->Get<PhysicsComp>() : nullptr;
    Positional* place = physics ? physics->GetOwnerPositional() : nullptr;
    if (!place)
        return;
    const float dt = FrameTime();
    Vector3 p = place->GetPosition();
    float width = 0.0f;
    float depth = 0.0f;
    const float floor = 0.75f + (MapExtent(width, depth) ? TerrainHeight(p.x, p.z) : 0.0f);
    p.y = std::fmax(p.y, floor);
    place->SetPosition(p);
    Vector3 velocity = place->GetVelocity();
    if (velocity.Length() >= 2.5f)
    {
        velocity -= velocity * (dt / 3.0f);
    }
    else
    {
        Vector3 w = velocity + RandomUnitVector();
        w.y = 0.0f;
        w *= dt * RandomFloat(1.0f, 9.0f);
        velocity += w;
        if (velocity.Length() > 5.0f)
            velocity = velocity.Normalized() * 5.0f;
    }
    place->SetVelocity(velocity);
}

void FollowCursor(Cog*)
{
    // Looks for its leads and does nothing with them.
    if (!FindCog("Tower"))
        FindCog("Cursor");
}

// The tower's box: invaders thrown or hopping onto its roof stand on it, and a claw at the
// ground's hover height would hang inside or behind the tower, under them.
bool TowerBox(BoundingBox& box)
{
    const Positional* tower = PosOf(FindCog("Tower"));
    if (!tower || !tower->UsesBox())
        return false;
    box = tower->GetWorldBox();
    return box.max.x > box.min.x && box.max.z > box.min.z;
}

void MouseProjectPosition(Cog* cog)
{
    Positional* place = PosOf(cog);
    if (!place)
        return;
    const CursorComp* cursor = cog ? cog->Get<CursorComp>() : nullptr;
    const DataController* data = Data();
    if (cursor && !(data && data->mCursorActive))
        return;
    Vector3 origin;
    Vector3 direction;
    Vector3 eye;
    Vector3 view;
    if (!ActiveView(eye, view) || !PickRay(MouseX(), MouseY(), origin, direction))
        return;
    const float planeHeight = cursor ? cursor->regularHoverHeight : 25.0f;
    Vector3 hit;
    const bool met = IntersectRayPlane(Plane(0.0f, 1.0f, 0.0f, -planeHeight), Ray(origin, direction), &hit);
    float width = 0.0f;
    float depth = 0.0f;
    if (met)
    {
        if (MapExtent(width, depth))
            hit.y = TerrainHeight(hit.x, hit.z);
        const float hover = cursor ? cursor->GetHoverHeight() : 25.0f;
        // Pointing at the tower's roof the claw hovers over the roof, where it reaches what stands
        // there; not its full height, which would lift it to the eye.
        BoundingBox tower;
        Vector3 roof;
        if (TowerBox(tower) &&
            IntersectRayPlane(Plane(0.0f, 1.0f, 0.0f, -tower.max.y), Ray(origin, direction), &roof) &&
            roof.x >= tower.min.x && roof.x <= tower.max.x && roof.z >= tower.min.z && roof.z <= tower.max.z)
        {
            const float room = std::fmax((origin.y - tower.max.y) * 0.25f, cursor ? cursor->minGrabHeight : 0.0f);
            hit = roof;
            hit.y = tower.max.y + std::fmin(hover, room);
        }
        else
            hit.y += hover;
        if (GamePaused())
        {
            place->SetPosition(hit);
        }
        else
        {
            Vector3 p = place->GetPosition();
            Vector3 velocity((hit.x - p.x) * 45.0f, 0.0f, (hit.z - p.z) * 45.0f);
            const float dt = FrameTime();
            // 45 x the gap closes 75 % of it per frame at 60 fps, but overshoots past 1/45 s
            // frames and diverges past 1/22.5 s; the same share per second holds at any frame
            // time. The physics moves the claw by at most its longest frame.
            if (dt > 0.0f)
            {
                const PhysicsLoom* physics = PhysicsLoom::Instance();
                const float moved = physics ? std::fmin(dt, physics->GetSettings().mMaxFrameTime) : dt;
                velocity *= (1.0f - std::pow(0.25f, 60.0f * dt)) / (45.0f * moved);
            }
            p.y = hit.y;
            place->SetPosition(p);
            if (velocity.Length() < 1.0f)
                velocity = Vector3();
            place->SetVelocity(velocity);
        }
    }
    else
    {
        place->SetVelocity(Vector3());
    }
    view.y = 0.0f;
    place->SetOrientation(Quat::FromDirection(view));
}

void OutputCogPosition(Cog* cog)
{
    if (const Positional* place = PosOf(cog))
        Console::Instance().GetDebugValues().Set("CogPos", FloatText(place->GetVelocity().Length()));
}

void CursorTileEdit(Cog* cog)
{
    Positional* place = PosOf(cog);
    TileMap* map = CurrentTileMap();
    if (!place || !IsEditMode())
        return;
    const Vector3 p = place->GetPosition();
    struct TileKey
    {
        const char* key;
        bool buildable;
        bool passable;
        int32_t layer;
    };
    static constexpr TileKey kTileKeys[] = {{"T", true, true, 1}, {"G", false, false, 2}, {"B", false, true, 0}};
    for (const TileKey& k : kTileKeys)
    {
        if (!KeyHeld(k.key))
            continue;
        if (map)
        {
            const TileIndex at = map->WorldToTile(p, 1, 1);
            Tile& tile = map->GetTile(at.first, at.second);
            tile.buildable = k.buildable;
            tile.passable = k.passable;
        }
        SceneTerrain().PaintTerrain(p, 2.0f, 2.0f, k.layer);
        return;
    }
    struct DeformKey
    {
        const char* key;
        int32_t kind;
        float a, b, c;
    };
    static constexpr DeformKey kDeformKeys[] = {
        {"Y", 0, 2.0f, 25.0f, 2.0f}, {"U", 1, 10.0f, 25.0f, -2.0f}, {"I", 2, 5.0f, 25.0f, 0.0f}};
    for (const DeformKey& k : kDeformKeys)
    {
        if (KeyHeld(k.key))
        {
            SceneTerrain().DeformTerrain(k.kind, p, k.a, k.b, k.c);
            return;
        }
    }
}

void Gunify(Cog* cog, ControlMemory& memory)
{
    float& lastShot = memory.mLastShot;
    Positional* place = PosOf(cog);
    if (!place || !Waited(lastShot, kShotDelay))
        return;
    if (CharHeld(' '))
    {
        Cog* ball = CogFactory::Instance().Create("PhysicsBall");
        if (Positional* ballPlace = PosOf(ball))
        {
            ballPlace->SetPosition(place->GetPosition());
            ballPlace->SetOrientation(place->GetOrientation());
            ballPlace->SetVelocity(place->GetOrientation().GetForward() * 100.0f);
            float s = RandomFloat(0.5f, 2.0f);
            if (KeyHeld("T"))
                s = 0.5f;
            if (KeyHeld("G"))
                s = 1.0f;
            if (KeyHeld("B"))
                s = 2.0f;
            SceneModels().SetModelScale(*ball, s);
            if (PhysicsComp* physics = ball ? ball->Get<PhysicsComp>() : nullptr)
                physics->SetMass(physics->GetMass() * s);
        }
    }
    lastShot = GameTime();
}

void TrapDrop(Cog* cog, ControlMemory& memory)
{
    DataController* data = Data();
    // Keys pick nothing before the goal window's Start, nor while the claw is away; on game time
    // a level started paused would never let them, its clock standing at 0.
    if (!data || !(data->mCursorActive || data->IsEditMode()))
        return;
    // A key pressed now picks its trap at once. The wait after a pick only keeps a held key from
    // picking again every frame; the last key picked goes first then, so two keys held together
    // do not take turns. The wait runs on the core clock: on the game clock, which stands still
    // while paused, the first pick in a pause would shut the keys until the game goes on.
    const double sinceSelection = RealTime() - memory.mLastSelection;
    const bool waited = sinceSelection < 0.0 || sinceSelection > static_cast<double>(kTrapSelectDelay);
    // The first trap in the list the test holds for, or of those the one the rank puts highest.
    const auto pick = [&](auto chosen, auto rank) {
        const std::string* best = nullptr;
        char bestKey = 0;
        uint64_t bestRank = 0;
        for (const auto& [name, info] : data->mTrapInfo)
        {
            if (!info.enabled || !chosen(info.trapKey))
                continue;
            const uint64_t r = rank(info.trapKey);
            if (!best || r > bestRank)
            {
                best = &name;
                bestKey = info.trapKey;
                bestRank = r;
            }
        }
        if (!best)
            return false;
        memory.mLastSelection = RealTime();
        memory.mLastTrapKey = bestKey;
        data->SelectTrap(*best);
        return true;
    };
    const auto none = [](char) { return uint64_t{0}; };
    // Keys pressed in the same frame: the one pressed last is meant.
    if (pick([](char key) { return CharPressedNow(key); }, [](char key) { return CharPressOrder(key); }))
        return;
    if (waited &&
        (pick([&](char key) { return key == memory.mLastTrapKey && CharHeld(key); }, none) ||
         pick([](char key) { return CharHeld(key); }, none)))
        return;
    Positional* place = PosOf(cog);
    if (place && data->IsEditMode() && CharHeld('T') && !FindCog("Tower"))
        AttemptTowerDrop(place->GetPosition());
}

void DisplayQuadTreeNode(Cog* cog)
{
    const Positional* place = PosOf(cog);
    if (!place || !place->IsInTree() || !SceneModels().HasModel(*cog))
        return;
    const uint32_t i = place->GetLevel();
    const uint32_t j = place->GetCellX();
    const uint32_t k = place->GetCellZ();
    auto channel = [](uint32_t v) { return static_cast<float>((v * 127u) & 255u) / 256.0f; };
    SceneModels().SetModelColor(*cog, Color(channel(i * k + j), channel(i * j + k), channel((j + k) * i), 0.5f));
}

// The names OutputPlayerStats shows its values under.
constexpr const char* kStatLiveInvaders = "Num Invaders ";
constexpr const char* kStatKills = "Kills ";
constexpr const char* kStatPoints = "Points";
constexpr const char* kStatPosition = "Pos";
constexpr const char* kStatTower = "Tower HP";

void OutputPlayerStats(Cog* cog)
{
    const DataController* data = Data();
    Console& console = Console::Instance();
    console.GetDebugValues().Set(kStatLiveInvaders, std::to_string(data ? data->mLiveInvaders : 0));
    console.GetDebugValues().Set(kStatKills, std::to_string(data ? data->mKills : 0));
    console.GetDebugValues().Set(kStatPoints, std::to_string(data ? data->mPoints : 0));
    if (const Positional* place = PosOf(cog))
    {
        const Vector3& p = place->GetPosition();
        console.GetDebugValues().Set(kStatPosition, FloatText(p.x) + " " + FloatText(p.y) + " " + FloatText(p.z));
    }
    const Cog* towerCog = FindCog("Tower");
    const BaseTower* tower = towerCog ? towerCog->Get<BaseTower>() : nullptr;
    console.GetDebugValues().Set(kStatTower, tower ? FloatText(tower->hitPoints) : std::string("It's GONE!"));
}

// Commands.

void Money()
{
    if (DataController* data = Data())
        data->SetPoints(10000);
}

void SetCameraPosition(float x, float y, float z)
{
    if (Camera* camera = ActiveCamera(); camera && camera->GetOwnerPositional())
        camera->GetOwnerPositional()->SetPosition(Vector3(x, y, z));
}

bool SaveObject(std::string objectName, std::string objectFile)
{
    Cog* cog = CogFactory::Instance().FindCogByName(objectName);
    if (!cog)
    {
        Console::Instance().Log("SaveObject: no object named " + objectName, LogError);
        return false;
    }
    std::string inside;
    return DataPathInside(objectFile, inside) && SaveCogXML(inside, *cog);
}

bool ConvertFolder(std::string source, std::string dest)
{
    std::string from;
    std::string to;
    if (!DataPathInside(source, from) || !DataPathInside(dest, to))
        return false;
    std::vector<std::string> names;
    ListFolderFiles(from, "XML", names);
    bool saved = true;
    for (const std::string& name : names)
    {
        const std::string file = "/" + name;
        if (Cog* cog = CogFactory::Instance().Allocate(source + file))
            saved = SaveCogBinary(*cog, to + file) && saved;
    }
    return saved;
}

void Edit(bool on)
{
    DataController* data = Data();
    if (!data || on == data->IsEditMode())
        return;
    // Through the engine, so that editing a level that is over starts no clock.
    if (gCoreEngine)
        gCoreEngine->SetPause(on);
    data->SetEditMode(on);
}

uint32_t GetTrapCost(std::string name)
{
    DataController* data = Data();
    return data ? static_cast<uint32_t>(data->GetTrapInfo(name).creditCost) : 0u;
}

void Spawn(std::string name)
{
    DataController* data = Data();
    const Positional* cursor = PosOf(FindCog("Cursor"));
    if (!data || !data->IsEditMode() || !cursor)
        return;
    if (name != "spawner" && !data->HasInvaderInfo(name))
        return;
    Cog* cog = CogFactory::Instance().Allocate(name);
    if (!cog)
        return;
    if (Positional* place = PosOf(cog))
        place->SetPosition(cursor->GetPosition());
    cog->Initialize();
}

// Where the menu's script is loaded (it made "MainMenu"), its FinishLevel ends the level as the
// waves do: statistics, game-over window and pause. Without it the state alone changes.
void EndLevel(int32_t state)
{
    if (CurrentGameState() == StateInLevel && FindCog("MainMenu"))
    {
        ParamBuffer params;
        params.PushInt(state);
        if (ScriptManager::Instance().CallFunction("FinishLevel", params))
            return;
    }
    if (DataController* data = Data())
        data->SetGameState(state);
}

void Win() { EndLevel(StateWon); }

void Lose() { EndLevel(StateLost); }

// The timing is the seconds of fade-in, hold and fade-out.
void TextPopup(int32_t size, std::string text, Color color, Vector3 timing)
{
    if (size != LargeTextPopup && size != SmallTextPopup)
    {
        ArgumentRefusal::Refuse(1, "no pop-up of size " + std::to_string(size) + " (0 large, 1 small)");
        return;
    }
    ShowTextPopup(size, text, color, timing.x, timing.y, timing.z);
}
} // namespace

bool AttemptTowerDrop(Vector3 position)
{
    TileMap* map = CurrentTileMap();
    if (!map)
        return false;
    const TileIndex at = map->WorldToTile(position, 4, 4);
    if (!map->IsAreaFree(at.first, at.second, 4, 4))
        return false;
    Cog* tower = CogFactory::Instance().Allocate("Data/BaseTower.xml");
    if (!tower)
        return false;
    if (Positional* place = PosOf(tower))
        place->StorePosition(position);
    tower->Initialize();
    return true;
}

void DropBomb(Vector3 position)
{
    Cog* bomb = CogFactory::Instance().Allocate("bomb");
    if (!bomb)
        return;
    if (Positional* place = PosOf(bomb))
        place->SetPosition(position);
    bomb->Initialize();
}

bool SaveCogBinary(Cog& cog, const std::string& path)
{
    BinarySaver saver;
    if (!saver.Open(path))
        return false;
    SerializeElement(saver, "cog", TypeConfig, cog);
    saver.Close();
    return saver.IsGood();
}

void ClearPlayerStats()
{
    DebugValues& values = Console::Instance().GetDebugValues();
    for (const char* name : {kStatLiveInvaders, kStatKills, kStatPoints, kStatPosition, kStatTower})
        values.Remove(name);
}

void RegisterLogicCommands(OwnedCommands& commands)
{
    CogFactory& cogs = CogFactory::Instance();
    auto memory = std::make_shared<ControlMemory>();
    auto remembering = [memory](void (*function)(Cog*, ControlMemory&)) {
        return [memory, function](Cog* cog) { function(cog, *memory); };
    };
    const std::pair<const char*, std::function<void(Cog*)>> actions[] = {
        {"RotateWithMouse", remembering(RotateWithMouse)},
        {"MouseFPS", remembering(MouseFPS)},
        {"WASDMove", WASDMove},
        {"GameCameraRotate", remembering(GameCameraRotate)},
        {"GameCameraMove", GameCameraMove},
        {"GameCameraZoom", GameCameraZoom},
        {"MouseGrabInvader", remembering(MouseGrabInvader)},
        {"AttractRegion", AttractRegion},
        {"SmoothMistMotion", SmoothMistMotion},
        {"FollowCursor", FollowCursor},
        {"MouseProjectPosition", MouseProjectPosition},
        {"OutputCogPosition", OutputCogPosition},
        {"CursorTileEdit", CursorTileEdit},
        {"Gunify", remembering(Gunify)},
        {"TrapDrop", remembering(TrapDrop)},
        {"DisplayQuadTreeNode", DisplayQuadTreeNode},
        {"OutputPlayerStats", OutputPlayerStats},
    };
    for (const auto& [name, function] : actions)
        cogs.Types().RegisterFunction(name, MakeCogFunctor(function));

    commands.Register("AttemptTowerDrop", MakeFunctionCommand(&AttemptTowerDrop), "Drops a tower");
    commands.Register("AttemptTrapDrop", MakeFunctionCommand(&AttemptTrapDrop), "AttemptTrapDrop");
    commands.Register("DropBomb", MakeFunctionCommand(&DropBomb), "Drops a bomb here");
    commands.Register("Money", MakeFunctionCommand(&Money), "Gives the player money.");
    commands.Register("SetCameraPosition", MakeFunctionCommand(&SetCameraPosition),
                      "Sets the position of the active camera.");
    commands.Register("SaveObject", MakeFunctionCommand(&SaveObject),
                      "Saves ObjectName to ObjectFile: takes two strings");
    commands.Register("ConvertFolder", MakeFunctionCommand(&ConvertFolder),
                      "Coverts all XML files to BIN: takes folder source & folder dest ");
    commands.Register("edit", MakeFunctionCommand(&Edit), "'on' and 'off'");
    commands.Register("GetTrapCost", MakeFunctionCommand(&GetTrapCost), "Gets trap cost");
    commands.Register("Spawn", MakeFunctionCommand(&Spawn), "spawns this invader at the cursor");
    commands.Register("Win", MakeFunctionCommand(&Win), "Lets you win level");
    commands.Register("Lose", MakeFunctionCommand(&Lose), "Lets you lose level");
    commands.Register("TextPopup", MakeFunctionCommand(&TextPopup),
                      "Shows a HUD message: size (0 large, 1 small), text, colour, (fade-in, hold, fade-out) seconds");
}
