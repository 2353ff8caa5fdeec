#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Plane.h"
#include "LOOM/math/Ray.h"
#include "LOOM/math/Vector3.h"

class CogFactory;
class CompFactory;

// Turns its cog's place into the frame's view and projection and the six inward-facing frustum
// planes the culling uses (type id 5). The camera attached last is the loom's active one.
class Camera : public Comp
{
public:
    static constexpr uint32_t kTypeId = 5;
    enum PlaneIndex : uint32_t
    {
        PlaneLeft,
        PlaneRight,
        PlaneBottom,
        PlaneTop,
        PlaneFar,
        PlaneNear
    };

    Camera();
    ~Camera() override;

    void Serialize(Serializer& s) override;
    // Builds the matrices and makes this the active camera.
    void Initialize() override;
    std::string GetTypeName() override { return "Camera"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void MakeActive();
    // Position and axes from the owner, then BuildMatrices and BuildFrustum.
    void UpdateFromOwner();
    void BuildMatrices();
    void BuildFrustum();

    void SetAspectRatio(float width, float height);
    // Setters store only; the next UpdateFromOwner or BuildMatrices uses them.
    void SetProjection(float fov, float aspectRatio, float nearPlane, float farPlane);
    void SetFOV(float fov) { mFOV = fov; }
    void SetNearPlane(float nearPlane) { mNearPlane = nearPlane; }
    void SetFarPlane(float farPlane) { mFarPlane = farPlane; }
    void SetView(const Vector3& position, const Vector3& forward, const Vector3& up);

    void GetPosition(Vector3& out) const { out = mPosition; }
    void GetForward(Vector3& out) const { out = mForward; }
    void GetUpVector(Vector3& out) const { out = mUpVector; }
    void GetRight(Vector3& out) const;
    const Vector3& GetPosition() const { return mPosition; }

    bool IsSphereOutside(Vector3 center, float radius) const;
    bool IsBoxOutside(Vector3 center, Vector3 halfExtents) const;

    // The world ray through a pixel, from the active camera.
    static Ray& GetPickRay(Ray& out, int32_t x, int32_t y);

    const Matrix4& GetView() const { return mView; }
    const Matrix4& GetProjection() const { return mProjection; }
    const Matrix4& GetViewInverse() const { return mViewInverse; }
    const Matrix4& GetViewRotationInverse() const { return mViewRotationInverse; }
    const std::array<Plane, 6>& GetFrustumPlanes() const { return mFrustumPlanes; }
    // Near-plane extents: left, right, top, bottom.
    const std::array<float, 4>& GetExtents() const { return mExtents; }
    float GetAspectRatio() const { return mAspectRatio; }
    float GetFarPlane() const { return mFarPlane; }
    bool IsActive() const { return mActive; }
    void SetActiveFlag(bool active) { mActive = active; }

private:
    Matrix4 mView;
    Matrix4 mProjection;
    Matrix4 mViewRotationInverse;
    Matrix4 mViewInverse;
    bool mActive = false;
    std::array<Plane, 6> mFrustumPlanes{};
    Vector3 mForward;
    Vector3 mLeft;
    // World x until an up vector gives a better one; kept when the up vector is unusable.
    Vector3 mRight{1.0f, 0.0f, 0.0f};
    Vector3 mPosition;
    Vector3 mUpVector;
    Vector3 mUp;
    std::array<float, 4> mExtents{};
    float mNearPlane = 1.0f;
    float mFarPlane = 1000.0f;
    float mAspectRatio = 4.0f / 3.0f;
    float mFOV;
    float mZoomLevel = 0.0f;
    bool mWarnedUp = false;
};

// The Camera type's factory (id 5), for the loom's component table.
CompFactory* CameraFactory();
// Registers the Camera type with a cog manager.
void RegisterCamera(CogFactory& cogs);
