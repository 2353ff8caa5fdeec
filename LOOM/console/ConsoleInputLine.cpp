#include "LOOM/console/ConsoleInputLine.h"

#include <algorithm>

#include "LOOM/console/KeyListener.h"

void ConsoleInputLine::Edit(int code)
{
    const int length = static_cast<int>(mText.size());
    mCursor = std::clamp(mCursor, 0, length);
    switch (code)
    {
    case kKeyDelete:
        if (mCursor < length)
            mText.erase(static_cast<size_t>(mCursor), 1);
        return;
    case kCharBackspace:
        if (mCursor > 0)
            mText.erase(static_cast<size_t>(--mCursor), 1);
        return;
    case kKeyUp:
    case kKeyDown:
        if (const std::string* line = code == kKeyUp ? mHistory.Back() : mHistory.Forward())
        {
            mText = *line;
            mCursor = static_cast<int>(mText.size());
        }
        return;
    case kKeyRight:
        if (mCursor < length)
            ++mCursor;
        return;
    case kKeyLeft:
        if (mCursor > 0)
            --mCursor;
        return;
    default:
        break;
    }
    // Only printable characters reach the line; control and function-key codes do not.
    if (code >= 32 && code <= 126)
    {
        mText.insert(static_cast<size_t>(mCursor), 1, static_cast<char>(code));
        ++mCursor;
    }
}

std::string ConsoleInputLine::Take()
{
    std::string text = std::move(mText);
    mText.clear();
    return text;
}

void ConsoleInputLine::Clear()
{
    mText.clear();
    mCursor = 0;
    mHistory.SetBrowse(0);
}

void ConsoleInputLine::Ran(const std::string& line)
{
    mHistory.SetBrowse(0);
    mCursor = 0;
    mHistory.Push(line);
}
