#pragma once
#include <cstdint>
#include <string>

#include "LOOM/cogs/Cog.h"
#include "LOOM/math/Vector3.h"
#include "game/components/GameComponents.h"

class Camera;
class DataController;
class GuiSystem;
class IOLoom;
class Positional;

// What the player's components ask of the engine's other parts, each answering "absent" when
// that part does not run (a headless game has no graphics loom, a tool no input loom).

// Null without an IO loom; the input helpers below then answer "not pressed".
IOLoom* Input();
bool MousePressed(int button);
bool MouseTriggered(int button);
bool MouseReleased(int button);
bool CharHeld(char c);
// The key of the character went down since the last frame.
bool CharPressedNow(char c);
// When the character's key last went down: of two keys, the higher went down later.
uint64_t CharPressOrder(char c);
bool KeyHeld(const std::string& name);
int MouseX();
int MouseY();
int PrevMouseX();
int PrevMouseY();
int MouseWheel();
// The screen size the input loom clamps the mouse to.
int ScreenWidth();
int ScreenHeight();

// The graphics loom's full GUI system, or null.
GuiSystem* PlayerGui();
// A click now is not the field's: the pointer is over a shown widget or window, the press that
// is down landed on one, or a menu window the game waits on is up.
bool GuiOwnsClick();
// The graphics loom's active camera, or null.
Camera* ActiveCamera();
// The active camera's view direction and position; false without an active camera.
bool ActiveView(Vector3& position, Vector3& direction);
// The world ray through the pixel from the active camera; false without one.
bool PickRay(int x, int y, Vector3& origin, Vector3& direction);
// Where the ray through the mouse first meets the terrain; false without an active camera or
// when the ray meets no ground within reach.
bool PointerOnGround(Vector3& out);

// The logic loom's data controller, or null.
DataController* Data();
bool IsEditMode();
int32_t CurrentGameState();

// The game clock: total time and this frame's time (0 while paused), 0 without an engine.
float GameTime();
float FrameTime();
bool GamePaused();
// This frame's time on the core clock, which runs on while the game is paused.
float RealFrameTime();
// Seconds on the core clock since the engine started; 0 without an engine.
double RealTime();

// The height map's extent in world units; false without one.
bool MapExtent(float& width, float& depth);
// The terrain's height under (x, z); 0 without terrain.
float TerrainHeight(float x, float z);
Cog* FindCog(const std::string& name);
Cog* CogById(int32_t id);
