#pragma once
#include "LOOM/math/Ray.h"
#include "LOOM/math/Vector3.h"

class Camera;
class GraphicsDevice;

// Pick rays through back-buffer pixels and the pixels of world points, from the active camera's
// matrices: the device's transforms end a frame as the last pass left them. Without a camera
// the device's are all there is.
class Picker
{
public:
    Picker(const GraphicsDevice& device, const Camera* camera, int width, int height)
        : mDevice(device), mCamera(camera), mWidth(width), mHeight(height)
    {
    }
    Ray ScreenToWorldRay(float x, float y) const;
    Vector3 WorldToScreen(const Vector3& point) const;

private:
    const GraphicsDevice& mDevice;
    const Camera* mCamera;
    int mWidth;
    int mHeight;
};
