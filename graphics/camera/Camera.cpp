#include "graphics/camera/Camera.h"

#include <cmath>

#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/math/MathUtil.h"
#include "LOOM/math/Quat.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/GraphicsLoom.h"

namespace {

Vector3 Cross(const Vector3& a, const Vector3& b)
{
    Vector3 out;
    CrossProduct(a, b, out);
    return out;
}

Plane MakePlane(const Vector3& normal, float d) { return Plane(normal.x, normal.y, normal.z, d); }

} // namespace

Camera::Camera() : mFOV(PI * 0.25f) {}

Camera::~Camera()
{
    if (GraphicsLoom* loom = GraphicsLoom::Instance(); loom && loom->GetActiveCamera() == this)
        loom->SetActiveCamera(nullptr);
}

void Camera::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeVector("UpVector", mUpVector);
    s.SerializeRealField("NearPlane", mNearPlane);
    s.SerializeRealField("FarPlane", mFarPlane);
    s.SerializeRealField("AspectRatio", mAspectRatio);
    s.SerializeRealField("FOV", mFOV);
    s.SerializeRealField("ZoomLevel", mZoomLevel);
}

void Camera::Initialize()
{
    BuildMatrices();
    MakeActive();
}

void Camera::MakeActive()
{
    if (GraphicsLoom* loom = GraphicsLoom::Instance())
        loom->SetActiveCamera(this);
}

void Camera::UpdateFromOwner()
{
    if (mOwnerPositional)
    {
        mPosition = mOwnerPositional->GetPosition();
        mForward = mOwnerPositional->GetOrientation().GetForward();
        Vector3 up = mUpVector;
        mOwnerPositional->GetOrientation().RotateVector(up);
        const Vector3 right = Cross(up, mForward).Normalized();
        // A zero or forward-parallel up vector gives no right axis: keep the last one rather
        // than build a view from zero vectors.
        if (right.IsZero())
        {
            if (!mWarnedUp)
            {
                Console::Instance().Log("Camera: UpVector is zero or parallel to the view, keeping the last right axis",
                                        LogError);
                mWarnedUp = true;
            }
        }
        else
        {
            mRight = right;
        }
        mLeft = mRight.Negated();
        mUp = Cross(mForward, mRight).Normalized();
    }
    BuildMatrices();
    BuildFrustum();
}

void Camera::BuildMatrices()
{
    mView =
        Matrix4(mRight.x, mUp.x, mForward.x, 0.0f, mRight.y, mUp.y, mForward.y, 0.0f, mRight.z, mUp.z, mForward.z, 0.0f,
                -DotProduct(mRight, mPosition), -DotProduct(mUp, mPosition), -DotProduct(mForward, mPosition), 1.0f);
    // A singular view (no axes yet) keeps the last inverse.
    Matrix4 inverse;
    if (mView.Inverse(inverse))
        mViewInverse = inverse;
    mViewRotationInverse = mViewInverse;
    mViewRotationInverse[12] = 0.0f;
    mViewRotationInverse[13] = 0.0f;
    mViewRotationInverse[14] = 0.0f;

    const float yScale = 1.0f / std::tan(mFOV * 0.5f);
    const float xScale = yScale / mAspectRatio;
    const float q = mFarPlane / (mFarPlane - mNearPlane);
    mProjection = Matrix4::Zero();
    mProjection[0] = xScale;
    mProjection[5] = yScale;
    mProjection[10] = q;
    mProjection[11] = 1.0f;
    mProjection[14] = -q * mNearPlane;
}

void Camera::BuildFrustum()
{
    const float slope = std::tan(mFOV * 0.5f);
    const float h = slope * mNearPlane;
    const float w = h * mAspectRatio;
    mExtents = {-w, w, h, -h};

    mUpVector.Normalize();
    mForward.Normalize();
    mRight.Normalize();

    // The side planes slope by the half angles and the near plane sits at NearPlane, so the
    // planes are the projection's for any near distance.
    const float sw = slope * mAspectRatio;
    const float kw = 1.0f / std::sqrt(sw * sw + 1.0f);
    const float kh = 1.0f / std::sqrt(slope * slope + 1.0f);
    const float forwardDot = DotProduct(mForward, mPosition);
    const Vector3 left = mRight * kw + mForward * (sw * kw);
    const Vector3 right = mRight * -kw + mForward * (sw * kw);
    const Vector3 bottom = mUp * kh + mForward * (slope * kh);
    const Vector3 top = mUp * -kh + mForward * (slope * kh);
    mFrustumPlanes[PlaneLeft] = MakePlane(left, -DotProduct(left, mPosition));
    mFrustumPlanes[PlaneRight] = MakePlane(right, -DotProduct(right, mPosition));
    mFrustumPlanes[PlaneBottom] = MakePlane(bottom, -DotProduct(bottom, mPosition));
    mFrustumPlanes[PlaneTop] = MakePlane(top, -DotProduct(top, mPosition));
    mFrustumPlanes[PlaneFar] = MakePlane(mForward.Negated(), forwardDot + mFarPlane);
    mFrustumPlanes[PlaneNear] = MakePlane(mForward, -(forwardDot + mNearPlane));
}

void Camera::SetAspectRatio(float width, float height) { mAspectRatio = width / height; }

void Camera::SetProjection(float fov, float aspectRatio, float nearPlane, float farPlane)
{
    mFOV = fov;
    mAspectRatio = aspectRatio;
    mNearPlane = nearPlane;
    mFarPlane = farPlane;
}

void Camera::SetView(const Vector3& position, const Vector3& forward, const Vector3& up)
{
    mPosition = position;
    mForward = forward.Normalized();
    mUpVector = up;
}

void Camera::GetRight(Vector3& out) const { out = Cross(mUpVector, mForward).Normalized(); }

bool Camera::IsSphereOutside(Vector3 center, float radius) const
{
    for (const Plane& plane : mFrustumPlanes)
    {
        const float length = plane.Normal().Length();
        const float s = length > 0.0f ? plane.DotCoord(center) / length : plane.d;
        if (s <= -radius)
            return true;
    }
    return false;
}

bool Camera::IsBoxOutside(Vector3 center, Vector3 halfExtents) const
{
    for (const Plane& plane : mFrustumPlanes)
    {
        const float s = plane.DotCoord(center);
        const float reach = std::fabs(plane.a * halfExtents.x) + std::fabs(plane.b * halfExtents.y) +
            std::fabs(plane.c * halfExtents.z);
        if (s <= -reach)
            return true;
    }
    return false;
}

Ray& Camera::GetPickRay(Ray& out, int32_t x, int32_t y)
{
    out = Ray();
    if (GraphicsLoom* loom = GraphicsLoom::Instance())
        out = loom->ScreenToWorldRay(static_cast<float>(x), static_cast<float>(y));
    return out;
}

CompFactory* CameraFactory()
{
    static CompFactoryOf<Camera> factory;
    return &factory;
}

void RegisterCamera(CogFactory& cogs) { cogs.Types().RegisterComponent(Camera::kTypeId, CameraFactory()); }
