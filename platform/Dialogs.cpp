#include "platform/Dialogs.h"

#include <SDL.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "LOOM/console/Console.h"
#include "platform/PlatformWindow.h"

extern char** environ;

namespace {
constexpr int kDebugButton = 1;
constexpr int kExitButton = 105;

// The texts the error box shows; the message-only form keeps the other two.
std::string gErrorExpression;
std::string gErrorLocation;
std::string gErrorMessage;

bool IsHeadlessDriver(const char* driver)
{
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

void WriteToStderr(const std::string& caption, const std::string& text)
{
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
}
} // namespace

bool CanShowDialogs()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return !IsHeadlessDriver(SDL_GetCurrentVideoDriver());
    if (IsHeadlessDriver(std::getenv("SDL_VIDEODRIVER")))
        return false;
    // Before the video starts, a box needs an X or Wayland display to appear on.
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

std::string FormatErrorText(const std::string& expression, const std::string& location, const std::string& message)
{
    std::string text = "Error Information\n";
    text += "Expression: " + expression + "\n";
    text += "Location: " + location + "\n\n";
    text += "Error Message\n";
    text += message;
    return text;
}

bool ShowErrorDialog(const std::string& expression, const std::string& location, const std::string& message)
{
    gErrorExpression = expression;
    gErrorLocation = location;
    return ShowErrorMessage(message);
}

bool ShowErrorMessage(const std::string& message)
{
    gErrorMessage = message;
    const std::string text = FormatErrorText(gErrorExpression, gErrorLocation, gErrorMessage);
    WriteToStderr("LOOM Error", text);
    if (!CanShowDialogs())
        return true;

    // "Exit" is the default button, as Enter and Escape both take it.
    const SDL_MessageBoxButtonData buttons[] = {
        {0, kDebugButton, "Debug"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kExitButton, "Exit"},
    };
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_ERROR;
    box.window = PlatformWindow::GetHandle();
    box.title = "LOOM Error";
    box.message = text.c_str();
    box.numbuttons = 2;
    box.buttons = buttons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0)
    {
        std::fprintf(stderr, "The error box could not be shown: %s\n", SDL_GetError());
        return true;
    }
    return pressed == kDebugButton;
}

void ShowMessageBox(const std::string& caption, const std::string& text)
{
    Console::Instance().Log(caption + ": " + text, LogError);
    WriteToStderr(caption, text);
    if (!CanShowDialogs())
        return;
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption.c_str(), text.c_str(), nullptr) != 0)
        std::fprintf(stderr, "The message box could not be shown: %s\n", SDL_GetError());
}

std::string ShowOpenFileDialog()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return std::string();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    // GTK chatters on standard error; the chooser's answer is all we want.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char program[] = "zenity";
    char selection[] = "--file-selection";
    char filter[] = "--file-filter=Data Files (*.xml,*.lmf) | *.lmf *.xml";
    char* const argv[] = {program, selection, filter, nullptr};
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0)
    {
        close(fds[0]);
        return std::string();
    }

    std::string path;
    char buffer[1024];
    for (;;)
    {
        const ssize_t got = read(fds[0], buffer, sizeof(buffer));
        if (got > 0)
            path.append(buffer, static_cast<size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);

    int status = 0;
    pid_t waited = -1;
    do
        waited = waitpid(child, &status, 0);
    while (waited < 0 && errno == EINTR);
    // zenity answers 1 when the user cancels.
    if (waited != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::string();
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
        path.pop_back();
    return path;
}
