#include "game/player/PlayerServices.h"

#include "LOOM/cogs/Positional.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/TerrainSeam.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/camera/Camera.h"
#include "graphics/guisystem/GuiSystem.h"
#include "input/IOLoom.h"

IOLoom* Input() { return IOLoom::Instance(); }

bool MousePressed(int button)
{
    const IOLoom* io = Input();
    return io && io->MousePressed(button);
}

bool MouseTriggered(int button)
{
    const IOLoom* io = Input();
    return io && io->MouseTriggered(button);
}

bool MouseReleased(int button)
{
    const IOLoom* io = Input();
    return io && io->MouseReleased(button);
}

bool CharHeld(char c)
{
    const IOLoom* io = Input();
    return io && io->IsKeyPressedChar(c);
}

bool KeyHeld(const std::string& name)
{
    const IOLoom* io = Input();
    return io && io->IsKeyPressedByName(name);
}

int MouseX()
{
    const IOLoom* io = Input();
    return io ? io->GetMouseX() : 0;
}

int MouseY()
{
    const IOLoom* io = Input();
    return io ? io->GetMouseY() : 0;
}

int PrevMouseX()
{
    const IOLoom* io = Input();
    return io ? io->GetPrevMouseX() : 0;
}

int PrevMouseY()
{
    const IOLoom* io = Input();
    return io ? io->GetPrevMouseY() : 0;
}

int MouseWheel()
{
    const IOLoom* io = Input();
    return io ? io->GetMouseWheel() : 0;
}

int ScreenWidth()
{
    const IOLoom* io = Input();
    return io ? io->GetScreenWidth() : 0;
}

int ScreenHeight()
{
    const IOLoom* io = Input();
    return io ? io->GetScreenHeight() : 0;
}

GuiSystem* PlayerGui()
{
    GraphicsLoom* graphics = GraphicsLoom::Instance();
    GuiSeam* gui = graphics ? graphics->GetGui() : nullptr;
    return gui ? gui->AsGuiSystem() : nullptr;
}

bool MouseOverMiniMap()
{
    const GuiSystem* gui = PlayerGui();
    return gui && gui->Mouse().IsOver() && gui->Mouse().GetOverName() == "MiniMapImageBox";
}

Camera* ActiveCamera()
{
    GraphicsLoom* graphics = GraphicsLoom::Instance();
    return graphics ? graphics->GetActiveCamera() : nullptr;
}

bool ActiveView(Vector3& position, Vector3& direction)
{
    Camera* camera = ActiveCamera();
    if (!camera)
        return false;
    // Read from the owner so the view is this frame's even before the camera refreshes.
    if (const Positional* place = camera->GetOwnerPositional())
    {
        position = place->GetPosition();
        direction = place->GetOrientation().GetForward();
        return true;
    }
    position = camera->GetPosition();
    camera->GetForward(direction);
    return true;
}

bool PickRay(int x, int y, Vector3& origin, Vector3& direction)
{
    const Camera* camera = ActiveCamera();
    const int width = ScreenWidth();
    const int height = ScreenHeight();
    if (!camera || width <= 0 || height <= 0)
        return false;
    // From the camera's own matrices: they are this frame's whatever the device last drew.
    const Matrix4& projection = camera->GetProjection();
    if (projection.m[0] == 0.0f || projection.m[5] == 0.0f)
        return false;
    const float px = (2.0f * static_cast<float>(x) / static_cast<float>(width) - 1.0f) / projection.m[0];
    const float py = -(2.0f * static_cast<float>(y) / static_cast<float>(height) - 1.0f) / projection.m[5];
    const Matrix4& m = camera->GetViewInverse();
    origin = Vector3(m.m[12], m.m[13], m.m[14]);
    direction = Vector3(px * m.m[0] + py * m.m[4] + m.m[8], px * m.m[1] + py * m.m[5] + m.m[9],
                        px * m.m[2] + py * m.m[6] + m.m[10]);
    return true;
}

bool PointerOnGround(Vector3& out)
{
    Vector3 origin;
    Vector3 direction;
    // A ray that does not go down is in the sky.
    if (!PickRay(MouseX(), MouseY(), origin, direction) || !(direction.y < 0.0f))
        return false;
    direction.Normalize();
    const auto above = [&](float t) {
        const Vector3 p = origin + direction * t;
        return p.y - TerrainHeight(p.x, p.z);
    };
    if (above(0.0f) < 0.0f)
        return false;
    // March to the first point under the ground, then halve the step that crossed it.
    constexpr float kStep = 1.0f;
    constexpr float kReach = 4000.0f;
    float near = 0.0f;
    float far = kStep;
    while (above(far) > 0.0f)
    {
        near = far;
        far += kStep;
        if (far > kReach)
            return false;
    }
    for (int i = 0; i < 16; ++i)
    {
        const float mid = 0.5f * (near + far);
        (above(mid) > 0.0f ? near : far) = mid;
    }
    out = origin + direction * far;
    out.y = TerrainHeight(out.x, out.z);
    return true;
}

DataController* Data() { return CurrentDataController(); }

bool IsEditMode()
{
    const DataController* data = Data();
    return data && data->IsEditMode();
}

int32_t CurrentGameState()
{
    const DataController* data = Data();
    return data ? data->mGameState : StateQuit;
}

float GameTime() { return GameNow(); }

float FrameTime() { return GameDt(); }

float RealFrameTime() { return gCoreEngine ? static_cast<float>(gCoreEngine->GetCoreTimer().GetDt()) : 0.0f; }

bool GamePaused() { return gCoreEngine && gCoreEngine->GetGameClock().IsPaused(); }

bool MapExtent(float& width, float& depth) { return SceneTerrain().GetMapExtent(width, depth); }

float TerrainHeight(float x, float z) { return GroundHeight(x, z); }

Cog* FindCog(const std::string& name) { return CogFactory::Instance().FindCogByName(name); }

Cog* CogById(int32_t id) { return id < 0 ? nullptr : CogFactory::Instance().GetCog(static_cast<uint32_t>(id)); }
