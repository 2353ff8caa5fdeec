#include "platform/Dialogs.h"

#include <SDL.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "LOOM/base/StopRequest.h"
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

enum class BoxEnd
{
    Pressed,
    Stopped,
    Failed,
};

// Program tests ask for a box that stays up until it is taken down, as a person's would: no
// display they run on can show SDL's (it needs X core fonts).
bool TestBoxStaysUp()
{
    const char* mode = std::getenv("LOOM_TEST_BOX");
    return mode && std::strcmp(mode, "stay") == 0;
}

// A child like SDL's own box process, that nobody answers.
int ShowStayingBox(const SDL_MessageBoxData* box, int* pressed)
{
    const pid_t child = fork();
    if (child == 0)
    {
        std::fprintf(stderr, "Test box process %d\nTest box up: %s\n%s\n", int(getpid()), box->title, box->message);
        std::fflush(stderr);
        for (;;)
            pause();
    }
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR)
    {
    }
    *pressed = -1;
    return -1;
}

// The children of this process, from /proc.
std::vector<pid_t> Children()
{
    std::vector<pid_t> children;
    const pid_t self = getpid();
    DIR* proc = opendir("/proc");
    if (!proc)
        return children;
    while (const dirent* entry = readdir(proc))
    {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0)
            continue;
        char stat[512] = {};
        FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
        if (!file)
            continue;
        const size_t got = std::fread(stat, 1, sizeof(stat) - 1, file);
        std::fclose(file);
        stat[got] = '\0';
        // The name may hold anything, so the fields are read after its closing parenthesis.
        const char* after = std::strrchr(stat, ')');
        int parent = 0;
        if (after && std::sscanf(after + 1, " %*c %d", &parent) == 1 && parent == self)
            children.push_back(pid);
    }
    closedir(proc);
    return children;
}

using BoxCall = int (*)(const SDL_MessageBoxData* box, int* pressed);

// What a box needs, owned, so that a box left behind at a stop reads nothing freed.
struct BoxRun
{
    BoxRun(const SDL_MessageBoxData& data, BoxCall call)
        : show(call), box(data), title(data.title ? data.title : ""), message(data.message ? data.message : ""),
          buttons(data.buttons, data.buttons + data.numbuttons)
    {
        box.title = title.c_str();
        box.message = message.c_str();
        box.buttons = buttons.data();
    }
    BoxCall show;
    SDL_MessageBoxData box;
    std::string title;
    std::string message;
    std::vector<SDL_MessageBoxButtonData> buttons;
    std::atomic<bool> done{false};
    int shown = -1;
    int pressed = -1;
};

int ShowBox(void* data)
{
    auto* run = static_cast<BoxRun*>(data);
    run->shown = run->show(&run->box, &run->pressed);
    // SDL keeps its error per thread.
    if (run->shown != 0 && !StopRequested())
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
    run->done = true;
    return 0;
}

// SDL's box waits for its own child process in a call that no signal ends. It runs on a thread
// of its own while this one polls the program's stop request; a stop takes the box process down,
// which ends the wait.
BoxEnd RunBox(const SDL_MessageBoxData& box, int& pressed)
{
    if (StopRequested())
        return BoxEnd::Stopped;
    const std::vector<pid_t> before = Children();
    // On the heap: a box left behind at a stop still reads it.
    auto* run = new BoxRun(box, TestBoxStaysUp() ? &ShowStayingBox : &SDL_ShowMessageBox);
    // An SDL thread: SDL frees the error text it keeps per thread when one of its own ends.
    SDL_Thread* shower = SDL_CreateThread(&ShowBox, "MessageBox", run);
    if (!shower)
    {
        const int shown = run->show(&run->box, &pressed);
        delete run;
        return shown == 0 ? BoxEnd::Pressed : BoxEnd::Failed;
    }
    using Clock = std::chrono::steady_clock;
    Clock::time_point giveUp{};
    bool stopped = false;
    while (!run->done)
    {
        if (StopRequested())
        {
            if (!stopped)
                giveUp = Clock::now() + std::chrono::seconds(2);
            stopped = true;
            // Again on every pass: the box process may start only after the stop came.
            for (const pid_t child : Children())
                if (std::find(before.begin(), before.end(), child) == before.end())
                    kill(child, SIGKILL);
            if (Clock::now() > giveUp)
            {
                // A box that does not go with its process: left behind, the program ends anyway.
                SDL_DetachThread(shower);
                return BoxEnd::Stopped;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    SDL_WaitThread(shower, nullptr);
    const BoxEnd end = stopped ? BoxEnd::Stopped : run->shown == 0 ? BoxEnd::Pressed : BoxEnd::Failed;
    pressed = run->pressed;
    delete run;
    return end;
}
} // namespace

bool CanShowDialogs()
{
    if (TestBoxStaysUp())
        return true;
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
    const BoxEnd end = RunBox(box, pressed);
    // Asked to stop while the box was up: "Exit", so the log is closed on the way out.
    if (end == BoxEnd::Stopped)
        return false;
    if (end == BoxEnd::Failed)
    {
        std::fprintf(stderr, "The error box could not be shown\n");
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
    const SDL_MessageBoxButtonData ok = {
        SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "OK"};
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_WARNING;
    box.title = caption.c_str();
    box.message = text.c_str();
    box.numbuttons = 1;
    box.buttons = &ok;
    int pressed = -1;
    if (RunBox(box, pressed) == BoxEnd::Failed)
        std::fprintf(stderr, "The message box could not be shown\n");
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
