#pragma once
#include <string>

#include "LOOM/console/ConsoleHistory.h"

// The line being typed into the console: its text, the cursor in it and the lines run before,
// for recall with the arrow keys.
class ConsoleInputLine
{
public:
    const std::string& Text() const { return mText; }
    int Cursor() const { return mCursor; }
    const ConsoleHistory& History() const { return mHistory; }

    // One key: a printable character is typed at the cursor; Delete, Backspace, the arrows and
    // recall edit or move; anything else is ignored.
    void Edit(int code);
    // The typed text, leaving the line empty.
    std::string Take();
    // Drops what is typed and any recall in progress: the next line starts empty.
    void Clear();
    // A line was run: it joins the history, recall starts again from the newest, the cursor goes home.
    void Ran(const std::string& line);

private:
    std::string mText;
    int mCursor = 0;
    ConsoleHistory mHistory;
};
