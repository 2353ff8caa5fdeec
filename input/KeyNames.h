#pragma once
#include <cstddef>
#include <string_view>

// A key as key-binding files name it. Key numbers are USB HID usage numbers (SDL scancodes).
struct KeyName
{
    const char* mName;
    int mKey;
    // A second key the name also stands for ("Shift" is either shift key); -1 when none.
    int mOtherKey;
};

// Every named key; names are unique and compared exactly.
const KeyName* KeyNameTable(size_t& count);
// The table entry of a name; null when no key has that name. Does not allocate.
const KeyName* FindKeyName(std::string_view name);
// The name of a key number; null when the key has no name.
const char* NameOfKey(int key);
// The key that types a character (upper or lower case alike); -1 when none does.
int KeyOfChar(char c);
