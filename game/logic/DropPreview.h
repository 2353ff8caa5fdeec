#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/calls/CogDirectory.h"
#include "LOOM/math/Vector3.h"
#include "game/level/TileMap.h"
#include "game/logic/GameData.h"

class Cog;

// The translucent trap that follows the cursor while the player drops traps: green where the
// trap may go, red where not; an arrow for traps that face a way; a row of previews for a line
// drag. Owned by the data controller, driven by the cursor. The preview cogs are held by ID
// and forgotten when they die, so a restart never lets a stale ID move another cog.
class DropPreview : public CogIdListener
{
public:
    enum Mode : int32_t
    {
        ModeNone = 0,
        ModeTrap = 1,
        ModeAim = 2,
        ModeLine = 3,
    };
    static constexpr int32_t kNoCog = -1;

    DropPreview();
    ~DropPreview();
    DropPreview(const DropPreview&) = delete;
    DropPreview& operator=(const DropPreview&) = delete;

    void Enable() { mEnabled = true; }
    void Disable();
    bool SelectTrap(const std::string& name);
    void Update(const Vector3& cursor);
    bool TryDrop();
    bool DropIfActive();
    // Not dragging: starts a line at the last cursor position (true). Dragging: drops a trap at
    // every valid line preview, back to one preview (false). Both names do the same step.
    bool BeginLine() { return LineStep(); }
    bool CommitLine() { return LineStep(); }
    void ShowSingle();
    // Hides every preview; the cogs stay.
    void HideAll();
    // Destroys every preview cog.
    void Clear();

    // One of the four axis directions from a drag.
    static Vector3 SnapDirection(Vector3 d);
    void SetDirection(const Vector3& d) { mDirection = SnapDirection(d); }

    Cog* PreviewCog() const;
    Cog* ArrowCog() const;
    const std::vector<uint32_t>& LinePreviews() const { return mLinePreviews; }

    // CogIdListener.
    void ForgetCog(uint32_t id) override;
    void ForgetAllCogs() override;

    bool mEnabled = true;
    std::string mTrapName;
    TrapInfo mTrapInfo;
    Vector3 mAnchorPosition;
    Vector3 mDirection{1.0f, 0.0f, 0.0f};
    int32_t mMode = ModeNone;
    int32_t mPreviewCog = kNoCog;
    int32_t mArrowCog = kNoCog;
    Vector3 mLineStart;

private:
    bool LineStep();
    void FollowCursor(const Vector3& p);
    void BeginAim();
    void AimArrow(const Vector3& p);
    void UpdateLine(const Vector3& p);
    bool Drop();
    void SpawnDust(const Vector3& p);
    Cog* MakePreview();

    std::vector<uint32_t> mLinePreviews;
    std::vector<TileIndex> mLineTiles; // reused every frame of a drag
};
