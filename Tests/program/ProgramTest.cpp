// The window program from a fresh copy of the application directory on a private display, driven with
// xdotool, wmctrl and xprop; it records from the virtual device ("Stereo Mix" carries a 1500 Hz tone).
#include "TestSupport.h"
#include "XDisplay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
CXDisplay* g_pDisplay = nullptr;
constexpr int SCREEN_WIDTH = 1024, SCREEN_HEIGHT = 768;

bool WaitFor(const std::function<bool()>& condition, int nTimeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(50)))
        if (std::chrono::steady_clock::now() > end)
            return false;
    return true;
}

std::string Output(const std::string& command)
{
    std::string output;
    RunCommand(command + " 2>/dev/null", &output);
    return output;
}
std::vector<std::string> Windows(const std::string& searchArgs)
{
    std::vector<std::string> lines;
    std::istringstream in(Output("xdotool search " + searchArgs));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
std::vector<std::string> MainWindows(bool bVisibleOnly = false)
{
    std::vector<std::string> windows = Windows(std::string(bVisibleOnly ? "--onlyvisible" : "") + " --class '^org\\.vorane\\.Recorder$'");
    // By title as well: GDK's hidden group leader window takes the program's name, the app id, as its class.
    std::erase_if(windows, [](const std::string& window) {
        return Output("xprop -id " + window + " WM_NAME").find("\"Vorane Audio Recorder\"") == std::string::npos;
    });
    return windows;
}

// "Normal" (shown), "Iconic" (minimized, hidden) or "".
std::string WmState(const std::string& window)
{
    const std::string state = Output("xprop -id " + window + " _NET_WM_STATE WM_STATE");
    const bool bHidden = state.find("_NET_WM_STATE_HIDDEN") != std::string::npos;
    if (state.find("window state: Normal") != std::string::npos && !bHidden)
        return "Normal";
    return state.find("window state: Iconic") != std::string::npos && bHidden ? "Iconic" : "";
}

bool OnTop(const std::string& window)
{
    const std::string output = Output("xprop -root _NET_CLIENT_LIST_STACKING");
    const size_t last = output.find_last_of(' ');
    return last != std::string::npos && std::strtoul(output.c_str() + last + 1, nullptr, 0) == std::strtoul(window.c_str(), nullptr, 0);
}

// Keys are typed through the X test extension, not sent to the window.
void Activate(const std::string& window, const std::string& keys = "")
{
    RunCommand("xdotool windowactivate --sync " + window + (keys.empty() ? "" : " key " + keys) + " >/dev/null 2>&1");
}

// Types the keys once the window holds the keyboard focus of its own accord (the keys follow the X
// input focus); false when it does not within 10 s.
bool PressWhenFocused(const std::string& window, const std::string& keys)
{
    const unsigned long id = std::strtoul(window.c_str(), nullptr, 0);
    if (!WaitFor([&] { return std::strtoul(Output("xdotool getwindowfocus").c_str(), nullptr, 0) == id; }, 10000))
        return false;
    RunCommand("xdotool key " + keys + " >/dev/null 2>&1");
    return true;
}

struct Rect { int x = 0, y = 0, width = 0, height = 0; };

Rect ClientRect(const std::string& window)
{
    const std::string output = Output("xwininfo -id " + window);
    auto field = [&](const char* pszName) {
        const size_t at = output.find(pszName);
        return at == std::string::npos ? 0 : std::atoi(output.c_str() + at + std::strlen(pszName));
    };
    return {field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"), field("Height:")};
}

struct Colour
{
    double r = 0, g = 0, b = 0;
    double DistanceTo(const Colour& o) const { return std::sqrt((r - o.r) * (r - o.r) + (g - o.g) * (g - o.g) + (b - o.b) * (b - o.b)); }
};

// The colour `attribute="#2C323B"` of the element `<element`.
Colour SkinColour(const std::string& xml, const std::string& element, const std::string& attribute)
{
    const size_t at = xml.find("<" + element + " ");
    const size_t value = at == std::string::npos ? at : xml.find(attribute + "=\"#", at);
    if (value == std::string::npos)
        return {-1000, -1000, -1000};
    const unsigned long rgb = std::strtoul(xml.substr(value + attribute.size() + 3, 6).c_str(), nullptr, 16);
    return {double((rgb >> 16) & 0xFF), double((rgb >> 8) & 0xFF), double(rgb & 0xFF)};
}

// A screenshot of the whole screen as 8-bit RGB, kept as PNG under the test output folder.
struct CScreenshot
{
    bool Take(const std::string& name)
    {
        const std::string folder = std::string(VORANE_TEST_BINARY_DIR) + "/program/output";
        fs::create_directories(folder);
        const std::string path = folder + "/" + name + ".png";
        return g_pDisplay->Screenshot(path) && RunCommand("convert '" + path + "' -depth 8 rgb:- 2>/dev/null", &rgb) == 0 &&
               rgb.size() == size_t(SCREEN_WIDTH) * SCREEN_HEIGHT * 3;
    }
    // The bytes of the rectangle's part of the screen, row by row.
    std::string Region(const Rect& r) const
    {
        std::string bytes;
        const int x0 = std::max(r.x, 0), x1 = std::min(r.x + r.width, SCREEN_WIDTH);
        for (int y = std::max(r.y, 0); y < std::min(r.y + r.height, SCREEN_HEIGHT) && x1 > x0 && !rgb.empty(); ++y)
            bytes.append(rgb, (size_t(y) * SCREEN_WIDTH + x0) * 3, size_t(x1 - x0) * 3);
        return bytes;
    }
    Colour Average(const Rect& r) const
    {
        const std::string bytes = Region(r);
        const double n = double(bytes.size() / 3);
        Colour sum = n ? Colour() : Colour{-1000, -1000, -1000};
        for (size_t i = 0; n && i < bytes.size(); i += 3)
            sum = {sum.r + uint8_t(bytes[i]) / n, sum.g + uint8_t(bytes[i + 1]) / n, sum.b + uint8_t(bytes[i + 2]) / n};
        return sum;
    }
    std::string rgb;
};

long long SizeOf(const std::string& path)
{
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? -1 : (long long)size;
}

using CProgram = CChildProcess;

class ProgramTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(g_pDisplay && g_pDisplay->Ok()) << "no private X display (Xvfb, openbox)";
        ASSERT_TRUE(fs::exists(std::string(VORANE_APP_DIR) + "/VoraneRecorder")) << "build the program first";
        fs::copy(VORANE_APP_DIR, m_appDir, fs::copy_options::recursive);
        fs::remove(m_appDir + "/Config.xml");
        fs::remove_all(m_appDir + "/output");
        m_appDir = fs::canonical(m_appDir).string();
        char runtime[] = "/tmp/vorane-program-XXXXXX";  // socket paths are short
        ASSERT_NE(mkdtemp(runtime), nullptr);
        m_runtimeDir = runtime;
        fs::create_directories(m_home);
        RunCommand("xdotool mousemove 0 0 >/dev/null 2>&1");  // away from the hover buttons
    }
    void TearDown() override
    {
        m_programs.clear();
        fs::remove_all(m_runtimeDir);
    }

    CProgram& Start()
    {
        m_programs.push_back(std::make_unique<CProgram>(
            std::vector<std::string>{m_appDir + "/VoraneRecorder"},
            std::vector<std::string>{"XDG_RUNTIME_DIR=" + m_runtimeDir, "HOME=" + m_home, "XDG_CONFIG_HOME=" + m_home + "/.config",
                                     "PULSE_SERVER=unix:" + m_runtimeDir + "/no-sound-server", "NO_AT_BRIDGE=1"},
            m_folder.File("program-" + std::to_string(m_programs.size()) + ".log")));
        return *m_programs.back();
    }

    // Starts the program and returns its main window once shown; fails the test when none comes.
    std::string StartWithWindow(CProgram*& pProgram)
    {
        pProgram = &Start();
        std::string found;
        WaitFor([&] {
            for (const std::string& window : MainWindows(true))
            {
                const std::string pid = Output("xprop -id " + window + " _NET_WM_PID");
                if (pid.find('=') != std::string::npos && std::atol(pid.c_str() + pid.find('=') + 1) == pProgram->Pid())
                    found = window;
            }
            return !found.empty() || !pProgram->Running();
        }, 20000);
        EXPECT_FALSE(found.empty()) << "no main window\n" << pProgram->Log();
        return found;
    }

    // Closes the window as its close box does and returns the exit code (-1: still running).
    int Close(CProgram& program)
    {
        RunCommand("wmctrl -c 'Vorane Audio Recorder' >/dev/null 2>&1");
        return program.WaitExit(20000);
    }

    // Alt+R, the recording runs, Alt+S (or another stop); true when the file was started and its size has stopped
    // changing. The seconds the recording may hold: at least from its file's start to the stop, at most from Alt+R
    // to when the stop was delivered, measured so that a slow machine moves both bounds.
    struct Span { double least = 0, most = 0; };
    bool Record(const std::string& window, const std::string& file, int nMilliseconds, Span& span,
                const std::function<void()>& stop = {})
    {
        using Clock = std::chrono::steady_clock;
        auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
        const auto pressed = Clock::now();
        Activate(window, "alt+r");
        // The recording has started once its file is made: under a hidden working name until it holds audio.
        const size_t nSlash = file.rfind('/');
        const std::string working = file.substr(0, nSlash + 1) + "." + file.substr(nSlash + 1) + ".part";
        if (!WaitFor([&] { return SizeOf(working) >= 0 || SizeOf(file) >= 0; }, 10000))
            return false;
        const auto started = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(nMilliseconds));
        const auto stopping = Clock::now();
        stop ? stop() : Activate(window, "alt+s");
        span = {seconds(stopping - started), seconds(Clock::now() - pressed)};
        long long last = -1;
        int nSame = 0;
        return WaitFor([&] {
            const long long size = SizeOf(file);
            nSame = size > 0 && size == last ? nSame + 1 : 0;
            last = size;
            return nSame >= 10;
        }, 20000);
    }

    // Screenshots until one satisfies the condition (and, if a window is given, its pixels match the shot before).
    bool ShotUntil(const std::string& name, const std::function<bool(const CScreenshot&)>& condition, CScreenshot& shot,
                   const std::string& settledWindow = "")
    {
        CScreenshot previous;
        return WaitFor([&] {
            if (!shot.Take(name))
                return false;
            const Rect client = settledWindow.empty() ? Rect() : ClientRect(settledWindow);
            const bool bSettled = settledWindow.empty() || (client.width > 0 && shot.Region(client) == previous.Region(client));
            previous = shot;
            return bSettled && condition(shot);
        }, 20000);
    }

    CTempFolder m_folder{"program"};
    std::string m_appDir = m_folder.File("app");
    std::string m_home = m_folder.File("home");
    std::string m_runtimeDir;
    std::vector<std::unique_ptr<CProgram>> m_programs;
};

TEST_F(ProgramTest, FirstStartRecordsTheToneCyclesTheSkinsAndSavesItsSettingsOnClose)
{
    CProgram* pProgram = nullptr;
    const std::string window = StartWithWindow(pProgram);
    ASSERT_FALSE(window.empty());
    // Keys are typed once the window stands still. Its list's rows: Tests/mainwindow.
    CScreenshot settled;
    ASSERT_TRUE(ShotUntil("start", [](const CScreenshot&) { return true; }, settled, window));
    const std::string file = m_appDir + "/output/Audio0.mp3";
    Span span;
    ASSERT_TRUE(Record(window, file, 3000, span)) << pProgram->Log();

    // The Skins button cycles through the four skins from the last one.
    const char* const skinFiles[] = {"Skin/Pying/skin_pying.xml", "Skin/Wguang/skin_wguang.xml",
                                     "Skin/Zzhong/skin_zzhong.xml", "Skin/Mmo/skin_mmo.xml"};
    // [0]: the start (skin 4); [n]: after n presses of Alt+K, which give skins 1, 2, 3 and 4. Each shot
    // is judged once the window is shown, still, and its dialog painted in the file's colour.
    Colour background[5];
    for (int n = 0; n <= 4; ++n)
    {
        CScreenshot shot;
        // The window keeps the keyboard focus through a skin change: the next press reaches it untouched.
        if (n > 0)
        {
            ASSERT_TRUE(PressWhenFocused(window, "alt+k")) << "press " << n << ": the window has no keyboard focus\n" << pProgram->Log();
        }
        const Colour file = n ? SkinColour(ReadFileText(m_appDir + "/" + skinFiles[n - 1]), "Dialog", "background") : Colour();
        EXPECT_TRUE(ShotUntil("skin-" + std::to_string(n), [&](const CScreenshot& s) {
            const Rect client = ClientRect(window);  // 474 by 420; the dialog shows above the waveform view
            background[n] = s.Average({client.x + 10, client.y + 2, 454, 6});
            return n == 0 || (WmState(window) == "Normal" && background[n].DistanceTo(file) < 6);
        }, shot, window)) << "press " << n << " of Alt+K: the dialog is not in its skin's colour, {" << background[n].r
                          << ", " << background[n].g << ", " << background[n].b << "}\n" << pProgram->Log();
    }
    EXPECT_EQ(Close(*pProgram), 0) << pProgram->Log();

    const DecodedAudio audio = DecodeFile(file);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_EQ(audio.codec.substr(0, 3), "mp3");
    // A little for the encoder's last frame and the file's first appearance.
    EXPECT_GE(audio.duration, span.least - 0.1) << "at most " << span.most;
    EXPECT_LE(audio.duration, span.most + 0.1) << "at least " << span.least;
    EXPECT_NEAR(DominantFrequency(audio.firstChannel, audio.sampleRate), 1500, 10);
    const std::string config = ReadFileText(m_appDir + "/Config.xml");
    EXPECT_NE(config.find("<SkinType>4</SkinType>"), std::string::npos) << config << "the last skin is saved";
    // The output folder lies in the folder the program was started from, named without a trailing slash.
    EXPECT_NE(config.find("<SavedDirectry>" + m_appDir + "/output</SavedDirectry>"), std::string::npos) << config;
}

// What a dead instance leaves behind: Tests/platform/SingleInstanceTest.
TEST_F(ProgramTest, EachLaterStartRaisesTheFirstWindowAndExits)
{
    CProgram* pFirst = nullptr;
    const std::string window = StartWithWindow(pFirst);
    ASSERT_FALSE(window.empty());
    // Another program's window, so "raised" means above something.
    CProgram cover({"/usr/bin/xmessage", "-geometry", "600x500+200+130", "cover"}, {}, m_folder.File("cover.log"));
    std::string coverWindow;
    ASSERT_TRUE(WaitFor([&] {
        const auto found = Windows("--onlyvisible --class '^Xmessage$'");
        coverWindow = found.empty() ? "" : found.back();
        return !coverWindow.empty();
    }, 10000));

    // Minimized, then only covered: each later start brings the first window back on top and exits.
    for (bool bMinimize : {true, false})
    {
        SCOPED_TRACE(bMinimize ? "minimized" : "covered");
        if (bMinimize)
            RunCommand("xdotool windowminimize --sync " + window + " >/dev/null 2>&1");
        Activate(coverWindow);
        ASSERT_TRUE(WaitFor([&] { return WmState(window) == (bMinimize ? "Iconic" : "Normal"); }, 5000));
        ASSERT_TRUE(OnTop(coverWindow));
        CProgram& later = Start();
        EXPECT_EQ(later.WaitExit(10000), 0) << later.Log();
        EXPECT_EQ(MainWindows().size(), 1u);
        EXPECT_TRUE(WaitFor([&] { return WmState(window) == "Normal" && OnTop(window); }, 5000)) << "not raised";
        // The first instance writes its settings only when it closes; the second never does.
        EXPECT_FALSE(fs::exists(m_appDir + "/Config.xml"));
        EXPECT_TRUE(pFirst->Running());
    }
    EXPECT_EQ(Close(*pFirst), 0) << pFirst->Log();
    EXPECT_TRUE(fs::exists(m_appDir + "/Config.xml"));
}

// The end of the desktop session (SIGTERM, SIGHUP) and Ctrl+C close the program as its close button does: a running
// take ends whole and the settings changed in this run are written, also with a dialog open over the window; a second
// signal while it closes loses nothing.
TEST_F(ProgramTest, SessionEndSignalsCloseAsTheCloseButtonKeepingTheTakeAndTheSettings)
{
    CProgram* pProgram = nullptr;
    std::string window = StartWithWindow(pProgram);
    ASSERT_FALSE(window.empty());
    CScreenshot settled;
    ASSERT_TRUE(ShotUntil("signal-start", [](const CScreenshot&) { return true; }, settled, window));
    ASSERT_TRUE(PressWhenFocused(window, "alt+k")) << pProgram->Log();  // skin 1, kept only when the program ends

    const std::string file = m_appDir + "/output/Audio0.mp3";
    Span span;
    int nExit = -1;
    ASSERT_TRUE(Record(window, file, 2000, span, [&] {
        kill(pProgram->Pid(), SIGTERM), kill(pProgram->Pid(), SIGTERM);
        nExit = pProgram->WaitExit(20000);
    })) << pProgram->Log();
    EXPECT_EQ(nExit, 0) << pProgram->Log();
    const DecodedAudio audio = DecodeFile(file);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_GE(audio.duration, span.least - 0.1) << "at most " << span.most;
    EXPECT_LE(audio.duration, span.most + 0.1) << "at least " << span.least;
    EXPECT_FALSE(fs::exists(m_appDir + "/output/.Audio0.mp3.part"));
    EXPECT_NE(ReadFileText(m_appDir + "/Config.xml").find("<SkinType>1</SkinType>"), std::string::npos);

    for (int nSignal : {SIGHUP, SIGINT})
    {
        SCOPED_TRACE(strsignal(nSignal));
        window = StartWithWindow(pProgram);
        ASSERT_FALSE(window.empty());
        ASSERT_TRUE(fs::remove(m_appDir + "/Config.xml"));  // read at the start; written again at the end
        // A modal dialog over the main window (the settings sheet, the about box) runs a loop of its own.
        ASSERT_TRUE(ShotUntil("signal-" + std::to_string(nSignal), [](const CScreenshot&) { return true; }, settled, window));
        ASSERT_TRUE(PressWhenFocused(window, nSignal == SIGHUP ? "alt+e" : "alt+a")) << pProgram->Log();
        const std::string dialog = nSignal == SIGHUP ? "'^Settings$'" : "'^About '";
        ASSERT_TRUE(WaitFor([&] { return !Windows("--onlyvisible --name " + dialog).empty(); }, 10000)) << pProgram->Log();
        kill(pProgram->Pid(), nSignal);
        EXPECT_EQ(pProgram->WaitExit(20000), 0) << pProgram->Log();
        EXPECT_TRUE(fs::exists(m_appDir + "/Config.xml"));
    }
}

TEST_F(ProgramTest, VersionAndHelpAnswerWithoutADisplay)
{
    for (const char* pszOption : {"--version", "--help"})
    {
        CProgram program({m_appDir + "/VoraneRecorder", pszOption}, {"DISPLAY", "WAYLAND_DISPLAY"}, m_folder.File(std::string(pszOption + 2) + ".log"));
        EXPECT_EQ(program.WaitExit(10000), 0) << program.Log();
        const std::string text = program.Log();
        EXPECT_NE(text.find(pszOption[2] == 'v' ? "vorane-recorder (Vorane Audio Recorder) " VORANE_VERSION "\n" : "Usage: vorane-recorder"),
                  std::string::npos) << text;
    }
}

// Under a Wayland compositor (Weston, in a window of the test's X display, which gives it a seat with a keyboard and a
// mouse) the program shows its window as org.vorane.Recorder, the name of its desktop entry, hands a later start's
// activation token to the running window, records, shows its dialogs and its popup, and closes on SIGTERM. The
// program itself has no X display at all: an X11 call would fail rather than go unnoticed.
TEST_F(ProgramTest, UnderWaylandTheWindowCarriesTheAppIdRecordsShowsItsDialogsAndPopupAndALaterStartHandsItsToken)
{
    if (!fs::exists("/usr/bin/weston"))
        GTEST_SKIP() << "weston is not installed (scripts/install-deps installs it)";
    CProgram weston({"/usr/bin/weston", "--backend=x11-backend.so", "--socket=wayland-vorane", "--idle-time=0", "--no-config",
                     "--width=900", "--height=640"}, {"XDG_RUNTIME_DIR=" + m_runtimeDir, "WAYLAND_DISPLAY"},
                    m_folder.File("weston.log"));
    ASSERT_TRUE(WaitFor([&] { return fs::exists(m_runtimeDir + "/wayland-vorane") || !weston.Running(); }, 10000));
    ASSERT_TRUE(weston.Running()) << weston.Log();
    std::vector<std::string> wayland = {"XDG_RUNTIME_DIR=" + m_runtimeDir, "HOME=" + m_home, "XDG_CONFIG_HOME=" + m_home + "/.config",
                                        "PULSE_SERVER=unix:" + m_runtimeDir + "/no-sound-server", "NO_AT_BRIDGE=1",
                                        "WAYLAND_DISPLAY=wayland-vorane", "GDK_BACKEND=wayland", "DISPLAY", "WAYLAND_DEBUG=1"};
    // Shown once the compositor has configured a surface titled so, after what the log held before.
    auto shown = [](CProgram& program, const std::string& title, size_t from = 0) {
        return WaitFor([&] {
            const std::string log = program.Log();
            const size_t at = log.find("set_title(\"" + title + "\")", from);
            return !program.Running() || (at != std::string::npos && log.find(".ack_configure(", at) != std::string::npos);
        }, 20000) && program.Running();
    };

    {
        // Idle, with nothing else to wake it, and a later start.
        CProgram first({m_appDir + "/VoraneRecorder"}, wayland, m_folder.File("wayland-first.log"));
        ASSERT_TRUE(shown(first, "Vorane Audio Recorder")) << first.Log().substr(0, 4000);
        const std::string log = first.Log();
        EXPECT_NE(log.find("set_app_id(\"org.vorane.Recorder\")"), std::string::npos);
        EXPECT_EQ(log.find("set_app_id(\"org.vorane.Recorder\")"), log.find("set_app_id(")) << "one app id for every window";
        std::vector<std::string> later = wayland;
        later.push_back("XDG_ACTIVATION_TOKEN=vorane-test-token");
        CProgram second({m_appDir + "/VoraneRecorder"}, later, m_folder.File("wayland-second.log"));
        EXPECT_EQ(second.WaitExit(10000), 0) << second.Log();
        // Weston 10 offers no xdg-activation; a compositor that does is asked to activate the window with the token.
        if (first.Log().find("\"xdg_activation_v1\"") != std::string::npos)
        {
            EXPECT_TRUE(WaitFor([&] { return first.Log().find("activate(\"vorane-test-token\"") != std::string::npos; }, 10000));
        }
        kill(first.Pid(), SIGTERM);
        EXPECT_EQ(first.WaitExit(20000), 0) << first.Log().substr(0, 4000);
        EXPECT_TRUE(fs::exists(m_appDir + "/Config.xml"));
    }

    CProgram recorder({m_appDir + "/VoraneRecorder"}, wayland, m_folder.File("wayland-recorder.log"));
    ASSERT_TRUE(shown(recorder, "Vorane Audio Recorder")) << recorder.Log().substr(0, 4000);
    // Keys reach the compositor's window on the X display, and the compositor gives them to ours.
    const std::vector<std::string> compositor = Windows("--class 'Weston Compositor'");
    ASSERT_FALSE(compositor.empty());
    auto press = [&](const std::string& keys) { Activate(compositor[0], keys); };
    press("alt+r");
    const std::string file = m_appDir + "/output/Audio0.mp3", working = m_appDir + "/output/.Audio0.mp3.part";
    ASSERT_TRUE(WaitFor([&] { return SizeOf(working) >= 0 || SizeOf(file) >= 0; }, 10000)) << recorder.Log().substr(0, 4000);
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const double least = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    press("alt+s");
    ASSERT_TRUE(WaitFor([&] { return SizeOf(working) < 0 && SizeOf(file) > 0; }, 10000));
    const DecodedAudio audio = DecodeFile(file);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_GE(audio.duration, least - 0.1);
    EXPECT_NEAR(DominantFrequency(audio.firstChannel, audio.sampleRate), 1500, 10);

    // The popup at the new row, right-clicked where the compositor shows it selected: its ivory items are drawn.
    const Rect screen = ClientRect(compositor[0]);
    CScreenshot shot;
    int nRowX = -1, nRowY = -1;
    ASSERT_TRUE(shot.Take("wayland-row"));
    for (int y = screen.y; y < screen.y + screen.height && nRowY < 0; ++y)
    {
        const std::string line = shot.Region({screen.x, y, screen.width, 1});
        int nBlue = 0, nFirst = -1;
        for (size_t i = 0; i + 2 < line.size(); i += 3)
            if (uint8_t(line[i]) == 53 && uint8_t(line[i + 1]) == 132 && uint8_t(line[i + 2]) == 228 && ++nBlue == 1)
                nFirst = int(i / 3);
        if (nBlue > 300)
            nRowX = screen.x + nFirst + 150, nRowY = y + 8;
    }
    ASSERT_GE(nRowY, 0) << "no selected row on the screen";
    RunCommand("xdotool mousemove " + std::to_string(nRowX) + " " + std::to_string(nRowY) + " click 3");
    EXPECT_TRUE(WaitFor([&] {
        if (!shot.Take("wayland-popup"))
            return false;
        const std::string bytes = shot.Region(screen);
        int nIvory = 0;
        for (size_t i = 0; i + 2 < bytes.size(); i += 3)
            nIvory += uint8_t(bytes[i]) == 255 && uint8_t(bytes[i + 1]) == 255 && uint8_t(bytes[i + 2]) == 240;
        return nIvory > 20000;
    }, 10000)) << "no popup drawn";
    press("Escape");
    // The settings sheet and the about box open as windows of their own and close by keyboard.
    for (const auto& [keys, title, close] : {std::tuple<const char*, const char*, const char*>{"alt+e", "Settings", "Escape"},
                                            {"alt+a", "About Vorane Audio Recorder", "Return"}})
    {
        // A click on the row gives our window the compositor's keyboard focus back from the dialog before.
        RunCommand("xdotool mousemove " + std::to_string(nRowX) + " " + std::to_string(nRowY) + " click 1");
        const size_t from = recorder.Log().size();
        press(keys);
        EXPECT_TRUE(shown(recorder, title, from)) << title << "\n" << recorder.Log().substr(from, 4000);
        const size_t open = recorder.Log().size();
        press(close);
        EXPECT_TRUE(WaitFor([&] { return recorder.Log().find("xdg_toplevel@", open) != std::string::npos &&
                                         recorder.Log().find(".destroy()", recorder.Log().find("xdg_toplevel@", open)) != std::string::npos; }, 10000))
            << title << " stays open";
    }
    kill(recorder.Pid(), SIGTERM);
    EXPECT_EQ(recorder.WaitExit(20000), 0) << recorder.Log().substr(0, 4000);
}
}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    CXDisplay display(SCREEN_WIDTH, SCREEN_HEIGHT);
    g_pDisplay = &display;
    if (!display.Ok())
        return std::fprintf(stderr, "ProgramTest: no private X display (Xvfb and openbox are needed)\n"), 1;
    return RUN_ALL_TESTS();
}
