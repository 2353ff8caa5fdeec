#pragma once
#include "graphics/device/GraphicsDevice.h"

// A widget's place in GUI units: x runs -1 (left) to 1 (right), y 0.75 (top) to -0.75
// (bottom). (mX, mY) is the top-left corner; the size grows right and down; the rotation
// (radians) turns the quad about its centre.
struct GuiBox
{
    float mX = 0.0f;
    float mY = 0.0f;
    float mWidth = 0.0f;
    float mHeight = 0.0f;
    float mRotation = 0.0f;
};

// The back buffer's size and the conversions between its pixels and GUI units.
struct GuiUnits
{
    static constexpr float kTop = 0.75f;

    // Never below one pixel: the conversions divide by it.
    void SetSize(int width, int height)
    {
        mWidth = width > 0 ? width : 1;
        mHeight = height > 0 ? height : 1;
    }
    float GuiToPixelX(float x) const { return (x + 1.0f) * 0.5f * float(mWidth); }
    float GuiToPixelY(float y) const { return (kTop - y) / (2.0f * kTop) * float(mHeight); }
    float PixelToGuiX(float x) const { return x / float(mWidth) * 2.0f - 1.0f; }
    float PixelToGuiY(float y) const { return kTop - y / float(mHeight) * 2.0f * kTop; }
    Rect BoxToPixels(const GuiBox& box) const;

    int mWidth = 1;
    int mHeight = 1;
};
