#pragma once
#include "LOOM/calls/DisplaySettings.h"

// What game logic asks of the display: the loading screen while a level is built, and the
// display's settings.
class DisplaySeam
{
public:
    virtual ~DisplaySeam() = default;

    // The loading screen while a level is built, and its end.
    virtual void RenderLoading() = 0;
    virtual void DoneLoading() = 0;
    // The display's settings as the graphics run them (speech byte untouched); false, leaving
    // the record as it was, when nothing is drawn.
    virtual bool GetDisplaySettings(DisplaySettings&) = 0;
    // A new display mode, size, sync, multisampling and shadows.
    virtual void ChangeDisplaySettings(const DisplaySettings&) = 0;
};

// The installed scene's display; never null.
DisplaySeam& SceneDisplay();
