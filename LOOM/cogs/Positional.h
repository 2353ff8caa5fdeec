#pragma once
#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"
#include "LOOM/space/Spatial.h"

class Cog;
class CogFactory;

// A cog's place in the world: position, velocity, orientation, bounds and visibility. Files
// itself in the quadtree and keeps the filing current as it moves.
class Positional : public Comp, public Spatial
{
public:
    // Leaving the quadtree is the Spatial part's destructor's work.
    Positional();

    static constexpr uint32_t kTypeId = 1;

    void Serialize(Serializer& s) override;
    std::string GetTypeName() override { return "Positional"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void ResetPosition();
    void SetPosition(Vector3 position);
    Vector3 GetPositionValue() const { return GetPosition(); }
    void SetOrientation(Quat orientation) { mOrientation = orientation; }
    const Quat& GetOrientation() const { return mOrientation; }
    Quat GetOrientationValue() const { return mOrientation; }
    void SetVelocity(Vector3 velocity) { mVelocity = velocity; }
    const Vector3& GetVelocity() const { return mVelocity; }
    void SetDirection(Vector3 direction);
    Vector3 GetDirection() const;
    bool IsVisible() const { return mVisible; }
    void SetVisible(bool visible) { mVisible = visible; }
    // Re-files the object after its position or bounds changed.
    void UpdateQuadTree();

    // Kept for the renderer: the world matrix and whether it was drawn this frame.
    Matrix4 mWorldMatrix;
    bool mDrawnThisFrame = false;

private:
    Vector3 mVelocity;
    Quat mOrientation;
    bool mVisible = true;
};

// Registers the Positional type (id 1) with the cog manager.
void RegisterPositional(CogFactory& cogs);

// Creates a cog from a file or archetype name, places it, then attaches its components; the
// new cog is filed in the quadtree at its position at once.
Cog* CreateAt(CogFactory& cogs, std::string name, Vector3 position);
