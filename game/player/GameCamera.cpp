#include "game/player/GameCamera.h"

#include <cmath>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Plane.h"
#include "LOOM/math/Quat.h"
#include "LOOM/serial/Serializer.h"
#include "game/player/PlayerServices.h"
#include "graphics/camera/Camera.h"
#include "input/IOLoom.h"

namespace {
class GameCameraFactory : public CompFactoryOf<GameCamera>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.AddOwnedUpdate(MakeCompFunctor(GameCamera::kTypeId, &GameCamera::Update));
        composer.BindMessage("SetEnableCamera", MakeCompFunctor(GameCamera::kTypeId, &GameCamera::SetEnableCamera));
        composer.BindMessage("EnableCamera", MakeCompFunctor(GameCamera::kTypeId, &GameCamera::EnableCamera));
        composer.BindMessage("LookAtPosition", MakeCompFunctor(GameCamera::kTypeId, &GameCamera::LookAtPosition));
    }
};

GameCameraFactory gGameCameraFactory;

// Each source counts once per frame; two held together count twice.
float Count(bool a, bool b, bool c) { return static_cast<float>(int(a) + int(b) + int(c)); }
} // namespace

void RegisterGameCamera(CogFactory& cogs) { cogs.Types().RegisterComponent(GameCamera::kTypeId, &gGameCameraFactory); }

void GameCamera::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("minZoom", minZoom);
    s.SerializeRealField("maxZoom", maxZoom);
    s.SerializeRealField("ZoomRate", ZoomRate);
    s.SerializeRealField("edgeScrollValue", edgeScrollValue);
    s.SerializeRealField("MoveSpeed", MoveSpeed);
    s.SerializeRealField("maxSpeed", maxSpeed);
    s.SerializeRealField("RotateRate", RotateRate);
    s.SerializeRealField("slowRate", slowRate);
}

void GameCamera::Initialize() { mCamera = mOwner ? mOwner->Get<Camera>() : nullptr; }

Vector3 GameCamera::ViewDirection() const
{
    return GetOwnerPositional() ? GetOwnerPositional()->GetOrientation().GetForward() : Vector3(0, 0, -1);
}

void GameCamera::SetEnableCamera(bool on) { mRotateEnabled = mMoveEnabled = mZoomEnabled = on; }

void GameCamera::EnableCamera(bool rotate, bool move, bool zoom)
{
    mRotateEnabled = rotate;
    mMoveEnabled = move;
    mZoomEnabled = zoom;
}

void GameCamera::Update()
{
    Positional* place = GetOwnerPositional();
    if (!mCamera || !place)
    {
        if (!mMissingLogged)
        {
            mMissingLogged = true;
            Console::Instance().Log("GameCamera: its cog has no Camera, the view stays where it is", LogError);
        }
        return;
    }
    bool input = false;
    if (mRotateEnabled)
    {
        float angle = 0.0f;
        if (MousePressed(1) && RotateRate != 0.0f)
            angle += static_cast<float>(PrevMouseX() - MouseX()) / RotateRate;
        if (RotateRate != 0.0f)
        {
            if (CharHeld('Q') || KeyHeld("Delete"))
                angle -= 10.0f / RotateRate;
            if (CharHeld('E') || KeyHeld("End"))
                angle += 10.0f / RotateRate;
        }
        Rotate(angle);
    }
    if (mMoveEnabled)
    {
        // The pointer stays on the frame's pixels: the last row and column are its far edges.
        const int x = MouseX();
        const int y = MouseY();
        const float forward =
            Count(CharHeld('W'), KeyHeld("Up"), y < 1) - Count(CharHeld('S'), KeyHeld("Down"), y >= ScreenHeight() - 1);
        const float sideways = Count(CharHeld('A'), KeyHeld("Left"), x < 1) -
            Count(CharHeld('D'), KeyHeld("Right"), x >= ScreenWidth() - 1);
        if (forward != 0.0f || sideways != 0.0f)
        {
            Move(sideways, forward);
            input = true;
        }
        ClampToMap();
    }
    if (mZoomEnabled)
    {
        const float ceiling = maxZoom;
        if (IsEditMode())
            maxZoom = 200.0f;
        float amount = static_cast<float>(MouseWheel()) / static_cast<float>(IOLoom::kWheelNotch);
        const float keyNotches = kKeyNotchesPerSecond * RealFrameTime();
        if (KeyHeld("R") || KeyHeld("PageUp"))
            amount += keyNotches;
        if (KeyHeld("F") || KeyHeld("PageDown"))
            amount -= keyNotches;
        input = Zoom(amount) || input;
        maxZoom = ceiling;
    }
    if (mMoveEnabled || mZoomEnabled)
    {
        Vector3 velocity = place->GetVelocity();
        if (!input)
            velocity *= slowRate;
        if (velocity.Length() > maxSpeed)
            velocity = velocity.Normalized() * maxSpeed;
        place->SetVelocity(velocity);
        // The physics moves the view on the game clock. While that stands (paused, or editing)
        // the view moves on the real one, as it turns: the player looks round a paused field.
        if (GamePaused())
        {
            place->StorePosition(place->GetPosition() + velocity * RealFrameTime());
            if (mMoveEnabled)
                ClampToMap();
        }
    }
    place->SetPosition(place->GetPosition());
}

void GameCamera::Rotate(float angle)
{
    Positional* place = GetOwnerPositional();
    if (!place || std::fabs(angle) < 0.001f)
        return;
    const Plane ground(0.0f, 1.0f, 0.0f, 0.0f);
    Vector3 hit;
    if (!ground.IntersectRay(Ray(place->GetPosition(), ViewDirection()), &hit))
        return;
    Matrix4 turn;
    MakeRotationY(turn, angle);
    place->StorePosition(turn.RotateVector(place->GetPosition() - hit) + hit);
    place->SetOrientation(place->GetOrientation().Multiply(Quat::FromMatrix(turn)));
}

void GameCamera::Move(float sideways, float forward)
{
    Positional* place = GetOwnerPositional();
    if (!place)
        return;
    Vector3 d = ViewDirection();
    d.y = 0.0f;
    d.Normalize();
    const Vector3 side = Vector3(-d.z, 0.0f, d.x).Normalized();
    place->SetVelocity(place->GetVelocity() + side * (sideways * MoveSpeed) + d * (forward * MoveSpeed));
}

Vector3 GameCamera::KeepViewOnField(Vector3 p, bool fillScreen) const
{
    float width = 0.0f;
    float depth = 0.0f;
    const Positional* place = GetOwnerPositional();
    if (!place || !MapExtent(width, depth))
        return p;
    // The ground under the middle of the view and under the bottom corners of the screen must be
    // field: kept over the field, a camera at its edge still looks past it at half a screen of sky.
    // Filling the screen, the ground under the top middle and the side middles should be field too
    // where the field is wide enough: otherwise the far edge and the sides leave most of the top
    // half to the sky.
    const Quat& turn = place->GetOrientation();
    const Vector3 forward = ViewDirection();
    Vector3 right(1.0f, 0.0f, 0.0f);
    Vector3 up(0.0f, 1.0f, 0.0f);
    turn.RotateVector(right);
    turn.RotateVector(up);
    // The half field of view from the projection, or a 45 degree 4:3 view before the first frame.
    float tanV = 0.4142f;
    float tanH = tanV * 4.0f / 3.0f;
    if (mCamera)
    {
        const Matrix4& projection = mCamera->GetProjection();
        if (projection.m[0] > 0.0f && projection.m[5] > 0.0f)
        {
            tanH = 1.0f / projection.m[0];
            tanV = 1.0f / projection.m[5];
        }
    }
    // Per axis, the shifts that bring the ground points onto the field: the must-points first,
    // then the should-points.
    struct Range
    {
        float low[2] = {-1e30f, -1e30f};
        float high[2] = {1e30f, 1e30f};
        // The value nearest to it inside, or the middle when there is no inside.
        float Nearest(int axis, float value) const
        {
            return low[axis] <= high[axis] ? std::fmin(std::fmax(value, low[axis]), high[axis])
                                           : 0.5f * (low[axis] + high[axis]);
        }
    };
    Range must;
    Range should;
    const float size[2] = {width, depth};
    bool any = false;
    struct Point
    {
        float sx, sy;
        bool must;
    };
    constexpr Point kPoints[] = {{0.0f, 0.0f, true},  {-1.0f, -1.0f, true}, {1.0f, -1.0f, true},
                                 {0.0f, 1.0f, false}, {-1.0f, 0.0f, false}, {1.0f, 0.0f, false}};
    for (const Point& point : kPoints)
    {
        const Vector3 ray = forward + right * (point.sx * tanH) + up * (point.sy * tanV);
        if (!(ray.y < -0.01f) || (!point.must && !fillScreen))
            continue;
        const Vector3 ground = p + ray * (-p.y / ray.y);
        const float at[2] = {ground.x, ground.z};
        Range& range = point.must ? must : should;
        for (int axis = 0; axis < 2; ++axis)
        {
            range.low[axis] = std::fmax(range.low[axis], -at[axis]);
            range.high[axis] = std::fmin(range.high[axis], size[axis] - at[axis]);
        }
        any = any || point.must;
    }
    if (!any)
    {
        p.x = std::fmin(std::fmax(p.x, 0.0f), width);
        p.z = std::fmin(std::fmax(p.z, 0.0f), depth);
        return p;
    }
    p.x += must.Nearest(0, should.Nearest(0, 0.0f));
    p.z += must.Nearest(1, should.Nearest(1, 0.0f));
    return p;
}

void GameCamera::ClampToMap()
{
    Positional* place = GetOwnerPositional();
    if (!place)
        return;
    const Vector3 p = place->GetPosition();
    const Vector3 kept = KeepViewOnField(p);
    // Held against an edge, the speed across it would carry the view past it again this frame.
    Vector3 velocity = place->GetVelocity();
    if (kept.x != p.x)
        velocity.x = 0.0f;
    if (kept.z != p.z)
        velocity.z = 0.0f;
    place->SetVelocity(velocity);
    place->StorePosition(kept);
}

bool GameCamera::Zoom(float amount)
{
    Positional* place = GetOwnerPositional();
    if (!place)
        return false;
    Vector3 p = place->GetPosition();
    Vector3 velocity = place->GetVelocity();
    const Vector3 view = ViewDirection();
    // Steps multiply the height, so each notch looks the same way near and far.
    if (amount != 0.0f && std::isfinite(amount) && minZoom > 0.0f && maxZoom > minZoom)
    {
        if (mZoomTarget < 0.0f)
            mZoomTarget = std::fmin(std::fmax(p.y, minZoom), maxZoom);
        const float notch = std::pow(minZoom / maxZoom, 1.0f / kZoomNotches);
        mZoomTarget = std::fmin(std::fmax(mZoomTarget * std::pow(notch, amount), minZoom), maxZoom);
    }
    if (mZoomTarget >= 0.0f)
    {
        const float gap = mZoomTarget - p.y;
        float rise = gap * (1.0f - std::exp(-ZoomRate * RealFrameTime()));
        if (std::fabs(gap) < 0.01f)
        {
            rise = gap;
            mZoomTarget = -1.0f;
        }
        // Along the view, so the ground point in the middle of the screen stays there.
        if (view.y < -0.05f || view.y > 0.05f)
            p += view * (rise / view.y);
        else
            p.y += rise;
    }
    if (p.y < minZoom)
    {
        p.y = minZoom;
        velocity.y = 0.0f;
    }
    if (p.y > maxZoom)
    {
        p.y = maxZoom;
        velocity.y = 0.0f;
    }
    float width = 0.0f;
    float depth = 0.0f;
    if (MapExtent(width, depth))
    {
        p = KeepViewOnField(p);
        const float floor = TerrainHeight(p.x, p.z) + 1.0f;
        if (p.y < floor)
        {
            p.y = floor;
            velocity.y = 0.0f;
            mZoomTarget = -1.0f;
        }
    }
    place->StorePosition(p);
    place->SetVelocity(velocity);
    return amount != 0.0f;
}

void GameCamera::LookAtPosition(Vector3 target) { LookAt(target, false); }

void GameCamera::LookOverField(Vector3 target) { LookAt(target, true); }

void GameCamera::LookAt(const Vector3& target, bool fillScreen)
{
    Positional* place = GetOwnerPositional();
    if (!place)
        return;
    const Vector3 d = place->GetDirection();
    const float dy = target.y - place->GetPosition().y;
    if (d.y == 0.0f || ((d.y < 0.0f) != (dy < 0.0f)))
        return;
    Vector3 p = target - d * (dy / d.y);
    place->SetPosition(KeepViewOnField(p, fillScreen));
}
