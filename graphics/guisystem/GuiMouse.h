#pragma once
#include <string>

// The mouse as the GUI sees it: where it is, whether there is one at all, and what it is over.
class GuiMouse
{
public:
    // Reads the input loom; without one there is no mouse.
    void Update();
    float GetX() const { return mX; }
    float GetY() const { return mY; }
    bool IsPresent() const { return mPresent; }
    // Reported by the widget layer each frame.
    void SetOver(bool over, const std::string& name);
    bool IsOver() const { return mOver; }
    const std::string& GetOverName() const { return mOverName; }
    void OnlyShowOnGui(bool only) { mOnlyOnGui = only; }
    bool GetOnlyShowOnGui() const { return mOnlyOnGui; }
    bool ShowsPointer() const { return mPresent && (!mOnlyOnGui || mOver); }

private:
    float mX = 0.0f;
    float mY = 0.0f;
    bool mPresent = false;
    bool mOver = false;
    std::string mOverName;
    bool mOnlyOnGui = false;
};
