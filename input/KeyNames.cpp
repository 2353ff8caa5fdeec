#include "input/KeyNames.h"

#include <SDL_scancode.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr KeyName kKeys[] = {
    {"A", SDL_SCANCODE_A, -1},
    {"B", SDL_SCANCODE_B, -1},
    {"C", SDL_SCANCODE_C, -1},
    {"D", SDL_SCANCODE_D, -1},
    {"E", SDL_SCANCODE_E, -1},
    {"F", SDL_SCANCODE_F, -1},
    {"G", SDL_SCANCODE_G, -1},
    {"H", SDL_SCANCODE_H, -1},
    {"I", SDL_SCANCODE_I, -1},
    {"J", SDL_SCANCODE_J, -1},
    {"K", SDL_SCANCODE_K, -1},
    {"L", SDL_SCANCODE_L, -1},
    {"M", SDL_SCANCODE_M, -1},
    {"N", SDL_SCANCODE_N, -1},
    {"O", SDL_SCANCODE_O, -1},
    {"P", SDL_SCANCODE_P, -1},
    {"Q", SDL_SCANCODE_Q, -1},
    {"R", SDL_SCANCODE_R, -1},
    {"S", SDL_SCANCODE_S, -1},
    {"T", SDL_SCANCODE_T, -1},
    {"U", SDL_SCANCODE_U, -1},
    {"V", SDL_SCANCODE_V, -1},
    {"W", SDL_SCANCODE_W, -1},
    {"X", SDL_SCANCODE_X, -1},
    {"Y", SDL_SCANCODE_Y, -1},
    {"Z", SDL_SCANCODE_Z, -1},
    {"1", SDL_SCANCODE_1, -1},
    {"2", SDL_SCANCODE_2, -1},
    {"3", SDL_SCANCODE_3, -1},
    {"4", SDL_SCANCODE_4, -1},
    {"5", SDL_SCANCODE_5, -1},
    {"6", SDL_SCANCODE_6, -1},
    {"7", SDL_SCANCODE_7, -1},
    {"8", SDL_SCANCODE_8, -1},
    {"9", SDL_SCANCODE_9, -1},
    {"0", SDL_SCANCODE_0, -1},
    {"Enter", SDL_SCANCODE_RETURN, -1},
    {"Esc", SDL_SCANCODE_ESCAPE, -1},
    {"Backspace", SDL_SCANCODE_BACKSPACE, -1},
    {"Tab", SDL_SCANCODE_TAB, -1},
    {"Space", SDL_SCANCODE_SPACE, -1},
    {"Minus", SDL_SCANCODE_MINUS, -1},
    {"Equals", SDL_SCANCODE_EQUALS, -1},
    {"LBracket", SDL_SCANCODE_LEFTBRACKET, -1},
    {"RBracket", SDL_SCANCODE_RIGHTBRACKET, -1},
    {"Backslash", SDL_SCANCODE_BACKSLASH, -1},
    {"Semicolon", SDL_SCANCODE_SEMICOLON, -1},
    {"Apostrophe", SDL_SCANCODE_APOSTROPHE, -1},
    {"Grave", SDL_SCANCODE_GRAVE, -1},
    {"Comma", SDL_SCANCODE_COMMA, -1},
    {"Period", SDL_SCANCODE_PERIOD, -1},
    {"Slash", SDL_SCANCODE_SLASH, -1},
    {"CapsLock", SDL_SCANCODE_CAPSLOCK, -1},
    {"F1", SDL_SCANCODE_F1, -1},
    {"F2", SDL_SCANCODE_F2, -1},
    {"F3", SDL_SCANCODE_F3, -1},
    {"F4", SDL_SCANCODE_F4, -1},
    {"F5", SDL_SCANCODE_F5, -1},
    {"F6", SDL_SCANCODE_F6, -1},
    {"F7", SDL_SCANCODE_F7, -1},
    {"F8", SDL_SCANCODE_F8, -1},
    {"F9", SDL_SCANCODE_F9, -1},
    {"F10", SDL_SCANCODE_F10, -1},
    {"F11", SDL_SCANCODE_F11, -1},
    {"F12", SDL_SCANCODE_F12, -1},
    {"PrintScreen", SDL_SCANCODE_PRINTSCREEN, -1},
    {"ScrollLock", SDL_SCANCODE_SCROLLLOCK, -1},
    {"Pause", SDL_SCANCODE_PAUSE, -1},
    {"Insert", SDL_SCANCODE_INSERT, -1},
    {"Home", SDL_SCANCODE_HOME, -1},
    {"PageUp", SDL_SCANCODE_PAGEUP, -1},
    {"Delete", SDL_SCANCODE_DELETE, -1},
    {"End", SDL_SCANCODE_END, -1},
    {"PageDown", SDL_SCANCODE_PAGEDOWN, -1},
    {"Right", SDL_SCANCODE_RIGHT, -1},
    {"Left", SDL_SCANCODE_LEFT, -1},
    {"Down", SDL_SCANCODE_DOWN, -1},
    {"Up", SDL_SCANCODE_UP, -1},
    {"NumLock", SDL_SCANCODE_NUMLOCKCLEAR, -1},
    {"NumDivide", SDL_SCANCODE_KP_DIVIDE, -1},
    {"NumMultiply", SDL_SCANCODE_KP_MULTIPLY, -1},
    {"NumMinus", SDL_SCANCODE_KP_MINUS, -1},
    {"NumPlus", SDL_SCANCODE_KP_PLUS, -1},
    {"NumEnter", SDL_SCANCODE_KP_ENTER, -1},
    {"Num1", SDL_SCANCODE_KP_1, -1},
    {"Num2", SDL_SCANCODE_KP_2, -1},
    {"Num3", SDL_SCANCODE_KP_3, -1},
    {"Num4", SDL_SCANCODE_KP_4, -1},
    {"Num5", SDL_SCANCODE_KP_5, -1},
    {"Num6", SDL_SCANCODE_KP_6, -1},
    {"Num7", SDL_SCANCODE_KP_7, -1},
    {"Num8", SDL_SCANCODE_KP_8, -1},
    {"Num9", SDL_SCANCODE_KP_9, -1},
    {"Num0", SDL_SCANCODE_KP_0, -1},
    {"NumPeriod", SDL_SCANCODE_KP_PERIOD, -1},
    {"Apps", SDL_SCANCODE_APPLICATION, -1},
    {"LCtrl", SDL_SCANCODE_LCTRL, -1},
    {"LShift", SDL_SCANCODE_LSHIFT, -1},
    {"LAlt", SDL_SCANCODE_LALT, -1},
    {"LWin", SDL_SCANCODE_LGUI, -1},
    {"RCtrl", SDL_SCANCODE_RCTRL, -1},
    {"RShift", SDL_SCANCODE_RSHIFT, -1},
    {"RAlt", SDL_SCANCODE_RALT, -1},
    {"RWin", SDL_SCANCODE_RGUI, -1},
    {"Ctrl", SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL},
    {"Shift", SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT},
    {"Alt", SDL_SCANCODE_LALT, SDL_SCANCODE_RALT},
};
constexpr size_t kKeyTotal = sizeof(kKeys) / sizeof(kKeys[0]);

// The table in name order, built once, so a look-up is a binary search.
const std::array<const KeyName*, kKeyTotal>& ByName()
{
    static const std::array<const KeyName*, kKeyTotal> sorted = [] {
        std::array<const KeyName*, kKeyTotal> entries{};
        for (size_t i = 0; i < kKeyTotal; ++i)
            entries[i] = &kKeys[i];
        std::sort(entries.begin(), entries.end(),
                  [](const KeyName* a, const KeyName* b) { return std::strcmp(a->mName, b->mName) < 0; });
        return entries;
    }();
    return sorted;
}

} // namespace

const KeyName* KeyNameTable(size_t& count)
{
    count = kKeyTotal;
    return kKeys;
}

const KeyName* FindKeyName(std::string_view name)
{
    const auto& sorted = ByName();
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), name,
                                     [](const KeyName* entry, std::string_view n) { return entry->mName < n; });
    if (it == sorted.end() || (*it)->mName != name)
        return nullptr;
    return *it;
}

const char* NameOfKey(int key)
{
    for (const KeyName& entry : kKeys)
        if (entry.mKey == key && entry.mOtherKey < 0)
            return entry.mName;
    return nullptr;
}

int KeyOfChar(char c)
{
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z')
        return SDL_SCANCODE_A + (c - 'A');
    if (c >= '1' && c <= '9')
        return SDL_SCANCODE_1 + (c - '1');
    switch (c)
    {
    case '0':
        return SDL_SCANCODE_0;
    case ' ':
        return SDL_SCANCODE_SPACE;
    case '\r':
    case '\n':
        return SDL_SCANCODE_RETURN;
    case '\t':
        return SDL_SCANCODE_TAB;
    case '\b':
        return SDL_SCANCODE_BACKSPACE;
    case 27:
        return SDL_SCANCODE_ESCAPE;
    case '-':
        return SDL_SCANCODE_MINUS;
    case '=':
        return SDL_SCANCODE_EQUALS;
    case '[':
        return SDL_SCANCODE_LEFTBRACKET;
    case ']':
        return SDL_SCANCODE_RIGHTBRACKET;
    case '\\':
        return SDL_SCANCODE_BACKSLASH;
    case ';':
        return SDL_SCANCODE_SEMICOLON;
    case '\'':
        return SDL_SCANCODE_APOSTROPHE;
    case '`':
        return SDL_SCANCODE_GRAVE;
    case ',':
        return SDL_SCANCODE_COMMA;
    case '.':
        return SDL_SCANCODE_PERIOD;
    case '/':
        return SDL_SCANCODE_SLASH;
    default:
        return -1;
    }
}
