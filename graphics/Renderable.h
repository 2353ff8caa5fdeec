#pragma once
#include <cstdint>

#include "LOOM/math/Vector3.h"

class Cog;
class GraphicsDevice;
class Shader;
class RenderQueue;
struct RenderQueueEntry;

// The second base of drawable components: the loom's model list and the render queue hold
// these pointers. A drawable derives from Comp first and Renderable second.
class Renderable
{
public:
    virtual ~Renderable() = default;
    virtual bool Intersect(const Vector3& origin, const Vector3& direction)
    {
        (void)origin;
        (void)direction;
        return false;
    }
    virtual Cog* GetOwner() { return nullptr; }
    virtual void BindGeometry(GraphicsDevice& device, uint16_t meshSerial, uint16_t secondKey, bool shadowPass)
    {
        (void)device, (void)meshSerial, (void)secondKey, (void)shadowPass;
    }
    virtual void ApplyMaterial(Shader* shader, uint32_t materialIndex) { (void)shader, (void)materialIndex; }
    virtual bool Submit(float frameTime, uint32_t reserved, RenderQueue* queue) = 0;
    virtual void Draw(GraphicsDevice& device, float frameTime, Shader* shader, RenderQueueEntry* entry) = 0;
    virtual void DrawShadow(GraphicsDevice& device, Shader* shader, RenderQueueEntry* entry)
    {
        (void)device, (void)shader, (void)entry;
    }
    virtual void DrawBounds(GraphicsDevice& device, Shader* shader) = 0;
};
