// Start-up of the window program: the time from exec of VoraneRecorder to its
// main window (class org.vorane.Recorder) being viewable on a private Xvfb display
// with openbox. Each start runs from a fresh copy of the application directory
// (no Config.xml, no output folder) with its own runtime and home folders, and
// is closed through the window manager before the next. No sound server answers,
// as on a machine without one. One uncounted start first leaves the display as a
// desktop's is (see WarmUpDisplay). Prints every start and the median; the goal is
// a median under 0.5 s.
//
//   StartupBench [--runs N]   (10 by default)
#include "ProgramBench.h"
#include "XDisplay.h"

#include <algorithm>

using namespace programbench;

int main(int argc, char** argv)
{
    int nRuns = 10;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            nRuns = std::max(1, std::atoi(argv[++i]));

    CXDisplay display;
    if (!display.Ok())
    {
        std::fprintf(stderr, "StartupBench: no private X display (Xvfb and openbox are needed)\n");
        return 1;
    }
    Display* pDisplay = XOpenDisplay(display.Name().c_str());
    if (!pDisplay)
    {
        std::fprintf(stderr, "StartupBench: cannot open display %s\n", display.Name().c_str());
        return 1;
    }
    CScratch scratch("vorane-startbench");

    std::printf("Start of VoraneRecorder to its main window viewable, %d starts (fresh application directory each):\n",
                nRuns);
    const double warmUp = WarmUpDisplay(pDisplay, scratch.Path() + "/warm-up");
    if (warmUp < 0)
    {
        std::fprintf(stderr, "StartupBench: the warm-up start failed (log: %s/warm-up/program.log)\n",
                     scratch.Path().c_str());
        return 1;
    }
    std::printf("  first start on the fresh display %7.1f ms (probes OpenGL for GTK; not counted)\n", warmUp);
    std::vector<double> times;
    for (int run = 0; run < nRuns; ++run)
    {
        const std::string dir = scratch.Path() + "/" + std::to_string(run);
        const std::string appDir = dir + "/app";
        if (!FreshAppDir(appDir))
        {
            std::fprintf(stderr, "StartupBench: cannot copy %s (build the program first)\n", VORANE_APP_DIR);
            return 1;
        }
        const auto env = PrivateEnv(dir);
        const auto start = Clock::now();
        const pid_t pid = StartProgram(appDir, env, dir + "/program.log");
        const Window window = WaitForMainWindow(pDisplay, pid, 20000);
        const double ms = Ms(Clock::now() - start);
        if (!window)
        {
            std::fprintf(stderr, "StartupBench: start %d showed no window (log: %s/program.log)\n", run + 1,
                         dir.c_str());
            return 1;
        }
        times.push_back(ms);
        std::printf("  start %2d  %7.1f ms\n", run + 1, ms);
        std::fflush(stdout);
        // The window is up; let the start finish its work before asking it to close.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int code = CloseProgram(window, pid);
        if (code != 0)
        {
            std::fprintf(stderr, "StartupBench: start %d ended with %d after the close\n", run + 1, code);
            return 1;
        }
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    const double median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    std::printf("  median %.1f ms, fastest %.1f ms, slowest %.1f ms (goal: median under 500 ms)\n", median,
                sorted.front(), sorted.back());
    XCloseDisplay(pDisplay);
    return 0;
}
