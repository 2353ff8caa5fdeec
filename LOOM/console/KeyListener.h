#pragma once

// Receives the keys and typed characters the window passes on (the console is one).
// Header only, so any layer can implement it without linking the platform library.
class KeyListener
{
public:
    virtual void OnKey(int code) = 0;

protected:
    ~KeyListener() = default;
};

// Codes the window passes to listeners for keys that type no character.
enum WindowKeyCode : int
{
    kKeyUp = 1,
    kKeyDown = 2,
    kKeyRight = 3,
    kKeyLeft = 4,
    kKeyDelete = 5,
    kKeyPageUp = 6,
    kKeyPageDown = 7,
    kKeyF11 = 211,
    kKeyF12 = 212,
};

// Control characters arrive as characters, like any typed text.
enum WindowCharCode : int
{
    kCharBackspace = 8,
    kCharTab = 9,
    kCharEnter = 13,
    kCharEscape = 27,
};
