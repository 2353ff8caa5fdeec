#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/base/SaveLeftovers.h"
#include "LOOM/base/StopRequest.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/script/ScriptFileGuard.h"
#include "game/logic/SceneSeam.h"
#include "game/looms/GameLooms.h"
#include "game/player/PlayerBinding.h"
#include "game/player/SceneBinding.h"
#include "gui/GuiInstall.h"
#include "platform/PlatformWindow.h"

// Test-only console commands that queue input events (TestInput.cpp); only with LOOM_TEST_INPUT=1.
void RegisterTestInput();
// Test-only console commands that report what the invaders do at a ledge (TestLedgeWatch.cpp).
void RegisterTestWatch();

namespace {
// Time the program has to wind down after a stop signal before it is ended as it stands.
constexpr double kStopGraceSeconds = 3.0;

void OnStopSignal(int) { RequestStop(); }

void EndAtOnce()
{
    Console::Instance().Log("The program did not end within " + std::to_string(int(kStopGraceSeconds)) +
                                " s of the stop signal; ended at once",
                            LogError);
    Console::Instance().CloseLog();
}

// Before the window: the platform layer keeps handlers it finds in place. The frame loop and a
// running script both see the request, so even a script stuck in a loop ends and the log closes.
// No SA_RESTART: a blocked call the signal lands in returns; anything still stuck past the
// grace period is ended by the deadline. A closed terminal (SIGHUP) and SIGQUIT end the program
// the same way: a save under way finishes and the log is closed, where their default would cut
// both off.
void InstallStopSignals()
{
    ArmStopDeadline(kStopGraceSeconds, &EndAtOnce, 1);
    struct sigaction action = {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGQUIT, &action, nullptr);
    // A file-size limit reached then fails the write, as a full disk does, which the log and the
    // saves come through whole, rather than ending the program with both cut off.
    signal(SIGXFSZ, SIG_IGN);
    // A standard output whose reader is gone fails the write; it does not end the game.
    signal(SIGPIPE, SIG_IGN);
    // Started under nohup, hang-ups are meant to pass unnoticed.
    struct sigaction hangUp = {};
    if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &action, nullptr);
}

// The standard streams are the engine's: nothing waits on them. Input is never read, so a script
// that reaches it finds it at its end; output to a pipe or socket nobody reads fails the write
// instead of holding the frame. A terminal or a file is left as it is (the flag would reach the
// shell that shares it, and neither holds a write for long).
void TakeStandardStreams()
{
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nothing >= 0)
    {
        ::dup2(nothing, STDIN_FILENO);
        ::close(nothing);
    }
    struct stat out = {};
    if (::fstat(STDOUT_FILENO, &out) == 0 && (S_ISFIFO(out.st_mode) || S_ISSOCK(out.st_mode)))
    {
        const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
        if (flags >= 0)
            ::fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK);
    }
}

// Temporary files of saves a killed run cut off are litter in the data folder: gone at start.
void RemoveLeftoversOfCutSaves(PlatformWindow& window)
{
    for (const std::string& name : RemoveSaveLeftovers(GetDataPath()))
        window.LogEarly("Removed " + name + ", the temporary file of a save that was cut off", LogGeneral);
}
} // namespace

// The program's entry: the data folder, the window (it shows the splash), then the engine in it.
int main()
{
    InstallStopSignals();
    TakeStandardStreams();
    // The data folder is fixed and held to before anything is read from it, the splash first.
    SetDataPathFromCwd();
    ConfineToDataFolder(true);
    PlatformWindow* window = PlatformWindow::Create();
    if (!window || !PlatformWindow::GetHandle())
    {
        std::fprintf(stderr, "The window could not be created; is a display available?\n");
        PlatformWindow::Destroy();
        return 1;
    }
    RemoveLeftoversOfCutSaves(*window);
    InstallGui();
    RegisterTestInput();
    RegisterTestWatch();
    // The game's calls on models, HUD displays and the height map reach the scene components.
    SceneBinding scene;
    SetSceneSeam(&scene);
    PlayerBinding player;
    SetPlayerSide(&player);
    int status = EngineMain(window, GameLooms());
    // A script's os.exit ended the run through the engine: its status is the program's.
    if (const std::optional<int> asked = ScriptFileGuard::AskedExitStatus())
        status = *asked;
    if (StopRequested())
        Console::Instance().Log("Ended by a signal", LogGeneral);
    SetPlayerSide(nullptr);
    SetSceneSeam(nullptr);
    PlatformWindow::Destroy();
    // What is left (the log's close with the statics) is quick.
    DisarmStopDeadline();
    return status;
}
