#include "graphics/Picker.h"

#include "LOOM/math/Matrix4.h"
#include "graphics/camera/Camera.h"
#include "graphics/device/GraphicsDevice.h"

Ray Picker::ScreenToWorldRay(float x, float y) const
{
    const Matrix4& projection =
        mCamera ? mCamera->GetProjection() : mDevice.Bound().Transform(TransformKind::Projection);
    const float px = (2.0f * x / float(mWidth) - 1.0f) / projection.m[0];
    const float py = -(2.0f * y / float(mHeight) - 1.0f) / projection.m[5];
    Matrix4 m;
    if (mCamera)
        m = mCamera->GetViewInverse();
    else
        mDevice.Bound().Transform(TransformKind::View).Inverse(m);
    return Ray(Vector3(m.m[12], m.m[13], m.m[14]),
               Vector3(px * m.m[0] + py * m.m[4] + m.m[8], px * m.m[1] + py * m.m[5] + m.m[9],
                       px * m.m[2] + py * m.m[6] + m.m[10]));
}

Vector3 Picker::WorldToScreen(const Vector3& point) const
{
    const Matrix4& view = mCamera ? mCamera->GetView() : mDevice.Bound().Transform(TransformKind::View);
    const Matrix4& projection =
        mCamera ? mCamera->GetProjection() : mDevice.Bound().Transform(TransformKind::Projection);
    Matrix4 viewProjection;
    view.Multiply(projection, viewProjection);
    const Vector3 p = viewProjection.TransformCoord(point);
    return Vector3((p.x + 1.0f) / 2.0f * float(mWidth), (1.0f - p.y) / 2.0f * float(mHeight), p.z);
}
