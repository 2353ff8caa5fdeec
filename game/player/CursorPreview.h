#pragma once
#include <string>

#include "LOOM/math/Vector3.h"

// The cursor's calls into the data controller's drop preview, in one place: the preview hides,
// is torn down, takes a trap kind, follows the cursor, places, and drags a line.
void PreviewHide();
void PreviewDestroy();
bool PreviewSelect(const std::string& kind);
void PreviewFollow(const Vector3& position);
bool PreviewPlace();
// Starts a line (true) or places along the line being dragged (false).
bool PreviewLineStep(const Vector3& position);
bool PreviewDraggingLine();
