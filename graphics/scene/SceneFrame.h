#pragma once

class GraphicsLoom;

// The scene components' steps in the loom's frame.
namespace SceneFrame {
// Every model files its draws, every path controller steps.
void UpdateComponents(GraphicsLoom& loom, float frameTime);
// The bounding volumes of every model ("Bounding" toggle).
void RenderBounds(GraphicsLoom& loom);
// Every live HUD display.
void RenderHudDisplays(GraphicsLoom& loom);
// Device objects of the scene components: made at start-up and after a reset, released at
// loss and shutdown.
void CreateDeviceObjects(GraphicsLoom& loom);
void ReleaseDeviceObjects();
} // namespace SceneFrame
