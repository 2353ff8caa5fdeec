#pragma once
#include <SDL.h>

#include <cstring>

// Synthetic SDL input events, as the window's observer would pass them on.
namespace InputEvents {

inline SDL_Event Button(Uint32 type, Uint8 button, int x = 0, int y = 0)
{
    SDL_Event event{};
    event.type = type;
    event.button.button = button;
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = x;
    event.button.y = y;
    return event;
}

inline SDL_Event Motion(int x, int y)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = x;
    event.motion.y = y;
    return event;
}

inline SDL_Event Wheel(float notches, Uint32 direction = SDL_MOUSEWHEEL_NORMAL)
{
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.y = static_cast<Sint32>(notches);
    event.wheel.preciseY = notches;
    event.wheel.direction = direction;
    return event;
}

// Typed text; the event holds at most 31 bytes of it.
inline SDL_Event Text(const char* typed)
{
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::strncpy(event.text.text, typed, sizeof(event.text.text) - 1);
    return event;
}

inline SDL_Event Key(Uint32 type, SDL_Scancode scancode, Uint8 repeat = 0)
{
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    return event;
}

} // namespace InputEvents
