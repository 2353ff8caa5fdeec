#pragma once
#include <vector>

#include "LOOM/math/Vector3.h"

class GraphicsDevice;
class VertexLayout;

// World-space segments queued for drawing over the scene.
class DebugLines
{
public:
    void Add(const Vector3& from, const Vector3& to);
    const std::vector<Vector3>& Lines() const { return mLines; }
    // Each pair as one segment, with the coloured-vertex layout when there is one.
    void Render(GraphicsDevice& device, VertexLayout* layout) const;

private:
    std::vector<Vector3> mLines;
};
