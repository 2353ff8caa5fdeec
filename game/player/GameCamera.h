#pragma once
#include <cstdint>
#include <string>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Vector3.h"

class Camera;
class CogFactory;

// Steers the player's view (type id 501, on the cog "Camera"): orbits the ground point in the
// middle of the view, slides over the level and zooms along the view, by keys, mouse edges,
// wheel and right-button drags. Accelerations and damping are per frame; the cog's physics
// integrates the velocity, except while the game clock stands (paused, or in edit mode), when the
// camera moves itself on the real clock.
class GameCamera : public Comp
{
public:
    static constexpr uint32_t kTypeId = 501;
    static constexpr float kZoomNotches = 12.0f;
    // Held zoom keys count as this many notches a second.
    static constexpr float kKeyNotchesPerSecond = 6.0f;

    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "GameCamera"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();
    void SetEnableCamera(bool on);
    void EnableCamera(bool rotate, bool move, bool zoom);
    void LookAtPosition(Vector3 target);
    // As LookAtPosition, but near an edge the view stops short of the target so that the field,
    // not the sky past it, fills the screen: the mini-map's jumps.
    void LookOverField(Vector3 target);

    // Each step on its own, for the frame and for tests.
    void Rotate(float angle);
    void Move(float sideways, float forward);
    // Keeps the ground point in the middle of the view on the field.
    void ClampToMap();
    // Filling the screen also keeps the far edge and the sides out of the middle of the view
    // where the field is wide enough.
    Vector3 KeepViewOnField(Vector3 position, bool fillScreen = false) const;
    // Amount in wheel notches, positive in. Each notch sets the height the camera glides to one
    // step nearer the limit; kZoomNotches steps span minZoom to maxZoom. True for a non-zero amount.
    bool Zoom(float amount);
    // The camera's view direction: forward (0, 0, -1) turned by the cog's orientation.
    Vector3 ViewDirection() const;

    float minZoom = 20.0f;
    float maxZoom = 100.0f;
    // How fast the camera glides to the zoom height: the share 1 - exp(-ZoomRate t) of the way in t seconds.
    float ZoomRate = 7.5f;
    float edgeScrollValue = 0.0f;
    float MoveSpeed = 12.5f;
    float maxSpeed = 250.0f;
    float RotateRate = 100.0f;
    float slowRate = 0.85f;

    bool mRotateEnabled = true;
    bool mMoveEnabled = true;
    bool mZoomEnabled = true;

private:
    void LookAt(const Vector3& target, bool fillScreen);

    Camera* mCamera = nullptr;
    bool mMissingLogged = false;
    // The height a zoom glides to; negative when no zoom is under way.
    float mZoomTarget = -1.0f;
};

void RegisterGameCamera(CogFactory& cogs);
