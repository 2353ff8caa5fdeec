#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/engine/Loom.h"

union SDL_Event;
struct KeyName;

// Keyboard and mouse state for the frame. The window shows us every input event as SDL raises
// it, so presses, releases, motion and wheel turns between two updates all count even though the
// window takes only one event off its queue per frame; Update turns what was seen into this
// frame's state, which stays the same until the next Update.
class IOLoom : public Loom
{
public:
    // Mouse buttons: 0 left, 1 right, 2 middle.
    static constexpr int kMouseButtons = 3;
    // Key numbers are USB HID usage numbers (what SDL calls scancodes).
    static constexpr int kKeyCount = 512;
    // One wheel notch.
    static constexpr int kWheelNotch = 120;

    static IOLoom* Create();
    static IOLoom* Instance();

    ~IOLoom() override;

    LOOM_LOOM_OVERRIDES

    // Went down this frame or is held.
    bool MousePressed(int button) const;
    // Went down this frame.
    bool MouseTriggered(int button) const;
    // Went up this frame.
    bool MouseReleased(int button) const;
    // The button's state word: 0 up, 1 went down this frame (also when it went up again inside
    // the frame), 2 held, 3 went up this frame.
    int GetMouseButtonState(int button) const;
    int GetMouseX() const { return mMouseX; }
    int GetMouseY() const { return mMouseY; }
    int GetPrevMouseX() const { return mPrevMouseX; }
    int GetPrevMouseY() const { return mPrevMouseY; }
    void GetMousePosition(int& x, int& y) const
    {
        x = mMouseX;
        y = mMouseY;
    }
    // Sum of this frame's wheel turns, kWheelNotch per notch, positive away from the user.
    int GetMouseWheel() const { return mWheel; }

    // The key of that character (letters in either case, digits, space, punctuation).
    bool IsKeyPressedChar(char c) const;
    bool IsKeyPressedByName(const std::string& name) const;
    bool IsKeyTriggeredByName(const std::string& name) const;
    bool IsKeyPressed(int key) const;
    bool IsKeyTriggered(int key) const;
    // Went up this frame.
    bool IsKeyReleased(int key) const;
    // When the key last went down, counted in fresh key presses since the start: of keys
    // triggered in the same frame, the higher was pressed later.
    uint64_t KeyPressOrder(int key) const;

    // This frame's typed text (UTF-8) and editing keys, in the order they came: Backspace, Enter
    // and Esc appear as the bytes below; typed text never holds them.
    static constexpr char kTextBackspace = '\b';
    static constexpr char kTextEnter = '\r';
    static constexpr char kTextEscape = '\x1b';
    const std::string& GetTextQueue() const { return mText; }

    // The mouse position is clamped to 0..width and 0..height; the graphics loom sets them. The
    // frame is stretched over the window whatever its size, so a position in the window is
    // scaled from the window's current size to this one, its last pixel to the frame's last.
    void SetScreenSize(int width, int height);
    int GetScreenWidth() const { return mScreenWidth; }
    int GetScreenHeight() const { return mScreenHeight; }
    // In relative mode the position is a cursor of our own, moved by the motion times the
    // mouse sensitivity, so it still means something when the pointer is captured.
    void SetRelativeMouse(bool relative);
    bool IsRelativeMouse() const { return mRelative; }
    float GetMouseSensitivity() const { return mSensitivity; }
    void SetMouseSensitivity(float sensitivity);

    // Takes one input event into the state of the next update.
    void HandleEvent(const SDL_Event& event);
    // The window's input observer.
    static void ObserveEvent(const SDL_Event& event, void* userdata);

private:
    // A frame's text beyond this is dropped; room for it is taken once, not per frame.
    static constexpr size_t kTextQueueLimit = 4096;

    IOLoom();
    void QueueText(const char* text, size_t size);
    void ResetState();
    // The table entry of a key name; null for an unknown name, which is reported once.
    const KeyName* LookUpKey(const std::string& name) const;
    // The main window's size, when the window is the main one.
    bool MainWindowSize(uint32_t windowId, int& width, int& height) const;
    // The screen's pixels per pixel of the main window, across and down: 1 for any other window.
    void WindowScale(uint32_t windowId, double& scaleX, double& scaleY) const;
    // The pointer last seen, in screen pixels, clamped to the screen.
    void ScreenPointer(int& x, int& y) const;

    // A mouse button or a key.
    struct ButtonState
    {
        // Seen since the last update.
        bool mHeld = false;
        bool mWentDown = false;
        bool mWentUp = false;
        // This frame's state.
        bool mPressed = false;
        bool mTriggered = false;
        bool mReleased = false;

        // Going down or up. Only a fresh press that starts a hold marks it as gone down.
        void Track(bool down, bool fresh);
        // Turns what was seen into this frame's state; a blocked one is neither pressed nor triggered.
        void Settle(bool blocked);
    };

    std::array<ButtonState, kMouseButtons> mButtons{};
    std::array<ButtonState, kKeyCount> mKeys{};

    // Seen since the last update: the pointer in pixels of the window it was in (screen pixels
    // when relative, or when the window is not known).
    std::string mTextSeen;
    // Fresh key presses seen, and each key's place among them.
    uint64_t mPresses = 0;
    std::array<uint64_t, kKeyCount> mPressOrder{};
    int mSeenX = 0;
    int mSeenY = 0;
    uint32_t mSeenWindow = 0;
    int mWheelSeen = 0;

    // This frame's state.
    std::string mText;
    int mMouseX = 0;
    int mMouseY = 0;
    int mPrevMouseX = 0;
    int mPrevMouseY = 0;
    int mWheel = 0;

    int mScreenWidth = 0;
    int mScreenHeight = 0;

    bool mRelative = false;
    float mSensitivity = 1.0f;
    // The relative-mode cursor, kept in fractions so slow motion is not lost to rounding.
    float mCursorX = 0.0f;
    float mCursorY = 0.0f;

    bool mActive = false;
    mutable std::vector<std::string> mReportedNames;
};
