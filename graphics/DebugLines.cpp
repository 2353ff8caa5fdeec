#include "graphics/DebugLines.h"

#include "LOOM/math/Matrix4.h"
#include "graphics/device/GraphicsDevice.h"

namespace {
constexpr uint32_t kDebugLineColor = 0xFF3232FF;
} // namespace

void DebugLines::Add(const Vector3& from, const Vector3& to)
{
    mLines.push_back(from);
    mLines.push_back(to);
}

void DebugLines::Render(GraphicsDevice& device, VertexLayout* layout) const
{
    if (mLines.empty())
        return;
    GraphicsDevice::ColorVertex line[2];
    if (layout)
        device.SetVertexLayout(layout);
    device.UseBuiltin(GraphicsDevice::Builtin::Lines);
    device.SetTransform(TransformKind::World, Matrix4::Identity());
    for (size_t i = 0; i + 1 < mLines.size(); i += 2)
    {
        line[0] = {mLines[i].x, mLines[i].y, mLines[i].z, kDebugLineColor};
        line[1] = {mLines[i + 1].x, mLines[i + 1].y, mLines[i + 1].z, kDebugLineColor};
        device.DrawUser(PrimitiveType::LineStrip, 1, line, sizeof(line[0]));
    }
}
