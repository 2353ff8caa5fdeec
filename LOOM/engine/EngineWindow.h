#pragma once
#include "LOOM/base/SystemInfo.h"

class KeyListener;

// What the core engine needs of the platform window; the platform layer implements it.
class EngineWindow
{
public:
    // Handles at most one waiting event; false once the window has asked to quit.
    virtual bool PumpMessages() = 0;
    virtual void ShowMainWindow() = 0;
    virtual void ReportSystemInfo(SystemInfo& info) = 0;
    virtual void AddListener(KeyListener* listener) = 0;
    virtual void RemoveListener(KeyListener* listener) = 0;
    virtual void ResizeAndCenter(int width, int height) = 0;
    // The run-time log file is open: what the window reported before (it starts first) goes there.
    virtual void LogFileOpened() = 0;

protected:
    ~EngineWindow() = default;
};
