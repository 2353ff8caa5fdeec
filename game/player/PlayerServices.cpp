#include "game/player/PlayerServices.h"

#include <utility>

#include "LOOM/cogs/Positional.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/TerrainSeam.h"
#include "game/player/MenuComp.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/camera/Camera.h"
#include "graphics/guisystem/GuiSystem.h"
#include "gui/WidgetLayer.h"
#include "input/IOLoom.h"
#include "input/KeyNames.h"

IOLoom* Input() { return IOLoom::Instance(); }

namespace {
// The input loom's answer, or false or 0 while there is no input loom.
template <typename R, typename... Params, typename... Args>
R AskInput(R (IOLoom::*query)(Params...) const, Args&&... args)
{
    const IOLoom* io = Input();
    return io ? (io->*query)(std::forward<Args>(args)...) : R();
}
} // namespace

bool MousePressed(int button) { return AskInput(&IOLoom::MousePressed, button); }

bool MouseTriggered(int button) { return AskInput(&IOLoom::MouseTriggered, button); }

bool MouseReleased(int button) { return AskInput(&IOLoom::MouseReleased, button); }

bool CharHeld(char c) { return AskInput(&IOLoom::IsKeyPressedChar, c); }

bool CharPressedNow(char c) { return AskInput(&IOLoom::IsKeyTriggered, KeyOfChar(c)); }

uint64_t CharPressOrder(char c) { return AskInput(&IOLoom::KeyPressOrder, KeyOfChar(c)); }

bool KeyHeld(const std::string& name) { return AskInput(&IOLoom::IsKeyPressedByName, name); }

int MouseX() { return AskInput(&IOLoom::GetMouseX); }

int MouseY() { return AskInput(&IOLoom::GetMouseY); }

int PrevMouseX() { return AskInput(&IOLoom::GetPrevMouseX); }

int PrevMouseY() { return AskInput(&IOLoom::GetPrevMouseY); }

int MouseWheel() { return AskInput(&IOLoom::GetMouseWheel); }

int ScreenWidth() { return AskInput(&IOLoom::GetScreenWidth); }

int ScreenHeight() { return AskInput(&IOLoom::GetScreenHeight); }

GuiSystem* PlayerGui()
{
    GraphicsLoom* graphics = GraphicsLoom::Instance();
    GuiSeam* gui = graphics ? graphics->GetGui() : nullptr;
    return gui ? gui->AsGuiSystem() : nullptr;
}

bool GuiOwnsClick()
{
    if (MenuWindowUp())
        return true;
    GuiSystem* gui = PlayerGui();
    WidgetLayer* layer = WidgetLayer::Current();
    const IOLoom* io = Input();
    if (!gui || !layer || !io || !gui->IsVisible())
        return false;
    if (layer->TookPress())
        return true;
    // Hit-tested where the mouse is now: the GUI's hover may be a frame old, from before a move.
    return layer->HitTest(gui->Units().PixelToGuiX(float(io->GetMouseX())),
                          gui->Units().PixelToGuiY(float(io->GetMouseY()))) != nullptr;
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

double RealTime() { return gCoreEngine ? gCoreEngine->GetCoreTimer().GetElapsed() : 0.0; }

bool GamePaused() { return gCoreEngine && gCoreEngine->GetGameClock().IsPaused(); }

bool MapExtent(float& width, float& depth) { return SceneTerrain().GetMapExtent(width, depth); }

float TerrainHeight(float x, float z) { return GroundHeight(x, z); }

Cog* FindCog(const std::string& name) { return CogFactory::Instance().FindCogByName(name); }

Cog* CogById(int32_t id) { return id < 0 ? nullptr : CogFactory::Instance().GetCog(static_cast<uint32_t>(id)); }
