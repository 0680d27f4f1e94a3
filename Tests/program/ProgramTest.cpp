// The window program as a user meets it: VoraneRecorder started from a fresh copy
// of the application directory on a private display, driven from outside with
// xdotool, wmctrl and xprop, judged by its files, its windows and its pixels.
//
// No sound server answers the program (its runtime folder is private and the
// server address leads nowhere), so it records from the virtual device, whose
// "Stereo Mix" line carries a 1500 Hz tone.
#include "TestSupport.h"
#include "XDisplay.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{
CXDisplay* g_pDisplay = nullptr;
constexpr int SCREEN_WIDTH = 1024;
constexpr int SCREEN_HEIGHT = 768;

const char* const WINDOW_CLASS = "Vorane.MainDlg";
const char* const WINDOW_TITLE = "Vorane Audio Recorder";

// Skin files by skin number 1..4, as the application directory carries them.
const char* const SKIN_FILES[] = {"Skin/Pying/skin_pying.xml", "Skin/Wguang/skin_wguang.xml",
                                  "Skin/Zzhong/skin_zzhong.xml", "Skin/Mmo/skin_mmo.xml"};

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WaitFor(const std::function<bool()>& condition, int nTimeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// "0x400013" or "4194323" as X prints them.
unsigned long WindowNumber(const std::string& text)
{
    return std::strtoul(text.c_str(), nullptr, 0);
}

// Every window carrying the program's class, mapped or not.
std::vector<std::string> WindowsOfClass(bool bVisibleOnly)
{
    std::string output;
    RunCommand(std::string("xdotool search ") + (bVisibleOnly ? "--onlyvisible " : "") + "--class '^" +
                   "Vorane\\.MainDlg$' 2>/dev/null",
               &output);
    return Lines(output);
}

std::string Xprop(const std::string& window, const std::string& properties)
{
    std::string output;
    RunCommand("xprop -id " + window + " " + properties + " 2>/dev/null", &output);
    return output;
}

long WindowPid(const std::string& window)
{
    const std::string text = Xprop(window, "_NET_WM_PID");
    const size_t eq = text.find('=');
    return eq == std::string::npos ? -1 : std::atol(text.c_str() + eq + 1);
}

// Shown and not minimized, as the window manager records it.
bool IsNormal(const std::string& window)
{
    const std::string state = Xprop(window, "_NET_WM_STATE WM_STATE");
    return state.find("window state: Normal") != std::string::npos &&
           state.find("_NET_WM_STATE_HIDDEN") == std::string::npos;
}

bool IsMinimized(const std::string& window)
{
    const std::string state = Xprop(window, "_NET_WM_STATE WM_STATE");
    return state.find("window state: Iconic") != std::string::npos &&
           state.find("_NET_WM_STATE_HIDDEN") != std::string::npos;
}

// The window on top of all others the window manager stacks.
unsigned long TopWindow()
{
    std::string output;
    RunCommand("xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null", &output);
    const size_t last = output.find_last_of(' ');
    return last == std::string::npos ? 0 : WindowNumber(output.substr(last + 1));
}

void Activate(const std::string& window)
{
    RunCommand("xdotool windowactivate --sync " + window + " >/dev/null 2>&1");
}

// Keys go through the X test extension to the focused window, as typed ones do.
void PressKey(const std::string& window, const std::string& keys)
{
    Activate(window);
    RunCommand("xdotool key " + keys + " >/dev/null 2>&1");
}

struct Rect
{
    int x = 0, y = 0, width = 0, height = 0;
};

// Where the window's client area lies on the screen.
Rect ClientRect(const std::string& window)
{
    std::string output;
    RunCommand("xwininfo -id " + window + " 2>/dev/null", &output);
    Rect r;
    auto field = [&](const char* pszName) {
        const size_t at = output.find(pszName);
        return at == std::string::npos ? 0 : std::atoi(output.c_str() + at + std::strlen(pszName));
    };
    r.x = field("Absolute upper-left X:");
    r.y = field("Absolute upper-left Y:");
    r.width = field("Width:");
    r.height = field("Height:");
    return r;
}

struct Colour
{
    double r = 0, g = 0, b = 0;
    double DistanceTo(const Colour& other) const
    {
        return std::sqrt((r - other.r) * (r - other.r) + (g - other.g) * (g - other.g) + (b - other.b) * (b - other.b));
    }
};

std::ostream& operator<<(std::ostream& out, const Colour& c)
{
    return out << "(" << std::lround(c.r) << "," << std::lround(c.g) << "," << std::lround(c.b) << ")";
}

// "#2C323B" after `attribute="` in the element `<element`.
Colour SkinColour(const std::string& xml, const std::string& element, const std::string& attribute)
{
    const size_t at = xml.find("<" + element + " ");
    const size_t value = at == std::string::npos ? at : xml.find(attribute + "=\"#", at);
    if (value == std::string::npos)
        return {-1000, -1000, -1000};
    const unsigned long rgb = std::strtoul(xml.substr(value + attribute.size() + 3, 6).c_str(), nullptr, 16);
    return {static_cast<double>((rgb >> 16) & 0xFF), static_cast<double>((rgb >> 8) & 0xFF),
            static_cast<double>(rgb & 0xFF)};
}

// A screenshot of the whole screen, kept as PNG under the test output folder, read back as pixels.
class CScreenshot
{
public:
    bool Take(const std::string& name)
    {
        const std::string folder = std::string(VORANE_TEST_BINARY_DIR) + "/program/output";
        fs::create_directories(folder);
        const std::string path = folder + "/" + name + ".png";
        if (!g_pDisplay->Screenshot(path))
            return false;
        return RunCommand("convert " + ShellQuote(path) + " -depth 8 rgb:- 2>/dev/null", &m_rgb) == 0 &&
               m_rgb.size() == static_cast<size_t>(SCREEN_WIDTH) * SCREEN_HEIGHT * 3;
    }

    Colour Pixel(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= SCREEN_WIDTH || y >= SCREEN_HEIGHT || m_rgb.empty())
            return {-1000, -1000, -1000};
        const size_t at = (static_cast<size_t>(y) * SCREEN_WIDTH + x) * 3;
        return {static_cast<double>(static_cast<unsigned char>(m_rgb[at])),
                static_cast<double>(static_cast<unsigned char>(m_rgb[at + 1])),
                static_cast<double>(static_cast<unsigned char>(m_rgb[at + 2]))};
    }

    Colour Average(const Rect& r) const
    {
        Colour sum;
        int n = 0;
        for (int y = r.y; y < r.y + r.height; ++y)
            for (int x = r.x; x < r.x + r.width; ++x)
            {
                const Colour c = Pixel(x, y);
                sum.r += c.r;
                sum.g += c.g;
                sum.b += c.b;
                ++n;
            }
        return n ? Colour{sum.r / n, sum.g / n, sum.b / n} : sum;
    }

    // Pixels in the rectangle clearly unlike the colour: text, icons, lines.
    int CountUnlike(const Rect& r, const Colour& colour) const
    {
        int n = 0;
        for (int y = r.y; y < r.y + r.height; ++y)
            for (int x = r.x; x < r.x + r.width; ++x)
                n += Pixel(x, y).DistanceTo(colour) > 80 ? 1 : 0;
        return n;
    }

    bool SameAs(const CScreenshot& other, const Rect& r) const
    {
        for (int y = r.y; y < r.y + r.height; ++y)
            for (int x = r.x; x < r.x + r.width; ++x)
                if (Pixel(x, y).DistanceTo(other.Pixel(x, y)) > 0)
                    return false;
        return true;
    }

private:
    std::string m_rgb;
};

// Places in the main window's fixed 474 by 420 client area (the layout of
// CMainDlg::LayoutControls), relative to its top-left corner.
const Rect DIALOG_STRIP{10, 2, 454, 6};     // dialog background above the waveform view
const Rect RECORD_BUTTON{8, 124, 52, 19};   // inside the Record button's frame
const Rect FIRST_ROW{10, 198, 190, 14};     // the list's first row, Audio column, below the header
const Rect LIST_EMPTY{100, 395, 200, 10};   // the list's empty lower part

Rect On(const Rect& client, const Rect& part)
{
    return {client.x + part.x, client.y + part.y, part.width, part.height};
}

long long SizeOf(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// One run of the program, with its own environment; its output goes to a log.
class CProgram
{
public:
    CProgram(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env,
             const std::string& logPath)
        : m_logPath(logPath)
    {
        m_pid = fork();
        if (m_pid == 0)
        {
            int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            int devnull = open("/dev/null", O_RDONLY);
            dup2(devnull, STDIN_FILENO);
            for (const auto& [name, value] : env)
                setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> argv;
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }

    ~CProgram()
    {
        if (Running())
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    pid_t Pid() const { return m_pid; }

    bool Running()
    {
        if (m_pid <= 0 || m_bExited)
            return false;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
        {
            m_bExited = true;
            m_nExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return false;
        }
        return true;
    }

    // The exit code once the process has ended within the time-out; -1 while it still runs.
    int WaitExit(int nTimeoutMs)
    {
        WaitFor([this] { return !Running(); }, nTimeoutMs);
        return m_bExited ? m_nExitCode : -1;
    }

    void KillHard()
    {
        if (Running())
        {
            kill(m_pid, SIGKILL);
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_bExited = true;
            m_nExitCode = 128 + SIGKILL;
        }
    }

    std::string Log() const { return ReadText(m_logPath); }

private:
    std::string m_logPath;
    pid_t m_pid = -1;
    bool m_bExited = false;
    int m_nExitCode = -1;
};

class ProgramTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(g_pDisplay && g_pDisplay->Ok()) << "no private X display (Xvfb, openbox)";
        ASSERT_TRUE(fs::exists(std::string(VORANE_APP_DIR) + "/VoraneRecorder"))
            << "build the program first: " << VORANE_APP_DIR << "/VoraneRecorder";
        // A fresh application directory: what the build laid out, without settings or recordings.
        fs::copy(VORANE_APP_DIR, m_appDir, fs::copy_options::recursive);
        std::error_code ec;
        fs::remove(m_appDir + "/Config.xml", ec);
        fs::remove_all(m_appDir + "/output", ec);
        m_appDir = fs::canonical(m_appDir).string();
        // Unix socket paths are short, so the runtime folder lives in /tmp.
        char runtime[] = "/tmp/vorane-program-XXXXXX";
        ASSERT_NE(mkdtemp(runtime), nullptr);
        m_runtimeDir = runtime;
        fs::create_directories(m_home);
        // The pointer rests in a corner, away from the hover buttons.
        RunCommand("xdotool mousemove 0 0 >/dev/null 2>&1");
    }

    void TearDown() override
    {
        m_programs.clear();
        std::error_code ec;
        fs::remove_all(m_runtimeDir, ec);
    }

    CProgram& Start()
    {
        const std::string log = m_folder.File("program-" + std::to_string(m_programs.size()) + ".log");
        m_programs.push_back(std::make_unique<CProgram>(
            std::vector<std::string>{m_appDir + "/VoraneRecorder"},
            std::vector<std::pair<std::string, std::string>>{
                {"XDG_RUNTIME_DIR", m_runtimeDir},
                {"HOME", m_home},
                {"XDG_CONFIG_HOME", m_home + "/.config"},
                // An address where no server answers: the virtual device records.
                {"PULSE_SERVER", "unix:" + m_runtimeDir + "/no-sound-server"},
                {"NO_AT_BRIDGE", "1"},
            },
            log));
        return *m_programs.back();
    }

    // The program's main window once it is on the screen; empty if it never comes or the process ends first.
    std::string WaitForWindow(CProgram& program)
    {
        std::string found;
        WaitFor(
            [&] {
                for (const std::string& window : WindowsOfClass(true))
                    if (WindowPid(window) == program.Pid())
                        found = window;
                return !found.empty() || !program.Running();
            },
            20000);
        return found;
    }

    // Closes the window as its close box does and returns the exit code (-1: still running).
    int Close(CProgram& program)
    {
        RunCommand(std::string("wmctrl -c ") + ShellQuote(WINDOW_TITLE) + " >/dev/null 2>&1");
        return program.WaitExit(20000);
    }

    // A file the program is writing, once its size has stopped changing.
    bool WaitForFinalSize(const std::string& path)
    {
        long long last = -1;
        int nSame = 0;
        return WaitFor(
            [&] {
                const long long size = SizeOf(path);
                nSame = size > 0 && size == last ? nSame + 1 : 0;
                last = size;
                return nSame >= 10;
            },
            20000);
    }

    // Alt+R, the recording runs, Alt+S; true when the file was started and has come to its final size.
    bool Record(const std::string& window, const std::string& file, int nMilliseconds)
    {
        PressKey(window, "alt+r");
        if (!WaitFor([&] { return SizeOf(file) >= 0; }, 10000))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(nMilliseconds));
        PressKey(window, "alt+s");
        return WaitForFinalSize(file);
    }

    // Takes screenshots until the condition holds on one; false when the time is up.
    bool ShotUntil(const std::string& name, const std::function<bool(const CScreenshot&)>& condition,
                   CScreenshot& shot, int nTimeoutMs = 10000)
    {
        return WaitFor([&] { return shot.Take(name) && condition(shot); }, nTimeoutMs);
    }

    // A screenshot once the window's pixels stand still over two shots in a row.
    bool SettledShot(const std::string& window, const std::string& name, CScreenshot& shot)
    {
        CScreenshot previous;
        bool bHavePrevious = false;
        return ShotUntil(
            name,
            [&](const CScreenshot& current) {
                const Rect client = ClientRect(window);
                const bool bSettled = bHavePrevious && client.width > 0 && current.SameAs(previous, client);
                previous = current;
                bHavePrevious = true;
                return bSettled;
            },
            shot);
    }

    std::string ConfigText() const { return ReadText(m_appDir + "/Config.xml"); }

    CTempFolder m_folder{"program"};
    std::string m_appDir = m_folder.File("app");
    std::string m_home = m_folder.File("home");
    std::string m_runtimeDir;
    std::vector<std::unique_ptr<CProgram>> m_programs;
};

std::string Tag(const std::string& name, const std::string& value)
{
    return "<" + name + ">" + value + "</" + name + ">";
}

// --- A first start records, shows the recording and keeps its settings --------------------------

TEST_F(ProgramTest, FirstStartRecordsTheToneShowsItInTheListAndSavesItsSettingsOnClose)
{
    CProgram& program = Start();
    const std::string window = WaitForWindow(program);
    ASSERT_FALSE(window.empty()) << "no window of class " << WINDOW_CLASS << "\n" << program.Log();

    CScreenshot before;
    ASSERT_TRUE(SettledShot(window, "record-before", before));
    const Rect client = ClientRect(window);
    const Colour listColour = before.Average(On(client, LIST_EMPTY));
    EXPECT_EQ(before.CountUnlike(On(client, FIRST_ROW), listColour), 0) << "the list starts with a row";

    const std::string file = m_appDir + "/output/Audio0.mp3";
    ASSERT_TRUE(Record(window, file, 3000)) << "no recording at " << file << "\n" << program.Log();

    CScreenshot after;
    EXPECT_TRUE(ShotUntil("record-after",
                          [&](const CScreenshot& shot) {
                              const Rect now = ClientRect(window);
                              return shot.CountUnlike(On(now, FIRST_ROW), listColour) >= 30;
                          },
                          after))
        << "no row in the list after the recording";

    EXPECT_EQ(Close(program), 0) << program.Log();

    const DecodedAudio audio = DecodeFile(file);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_EQ(audio.codec.substr(0, 3), "mp3");
    EXPECT_GE(audio.duration, 2.5);
    EXPECT_LE(audio.duration, 4.0);
    EXPECT_NEAR(DominantFrequency(audio.firstChannel, audio.sampleRate), 1500, 10);

    const std::string config = ConfigText();
    ASSERT_FALSE(config.empty()) << "no Config.xml next to the program";
    EXPECT_NE(config.find(Tag("SkinType", "4")), std::string::npos) << config;
    EXPECT_NE(config.find(Tag("SavedDirectry", m_appDir + "/output")), std::string::npos) << config;
}

// --- A second start hands over to the first ----------------------------------------------------

TEST_F(ProgramTest, SecondStartRestoresAndRaisesTheMinimizedFirstWindowAndEndsWithoutOneOfItsOwn)
{
    CProgram& first = Start();
    const std::string window = WaitForWindow(first);
    ASSERT_FALSE(window.empty()) << first.Log();

    // Another program's window, so "raised" means above something.
    CProgram cover({"/usr/bin/xmessage", "-geometry", "600x500+200+130", "cover"}, {}, m_folder.File("cover.log"));
    std::string coverWindow;
    ASSERT_TRUE(WaitFor(
        [&] {
            std::string output;
            RunCommand("xdotool search --onlyvisible --class '^Xmessage$' 2>/dev/null", &output);
            const std::vector<std::string> found = Lines(output);
            coverWindow = found.empty() ? "" : found.back();
            return !coverWindow.empty();
        },
        10000));

    RunCommand("xdotool windowminimize --sync " + window + " >/dev/null 2>&1");
    Activate(coverWindow);
    ASSERT_TRUE(WaitFor([&] { return IsMinimized(window); }, 5000)) << Xprop(window, "_NET_WM_STATE WM_STATE");
    ASSERT_EQ(TopWindow(), WindowNumber(coverWindow));

    CProgram& second = Start();
    EXPECT_EQ(second.WaitExit(10000), 0) << second.Log();
    EXPECT_EQ(WindowsOfClass(false).size(), 1u);

    EXPECT_TRUE(WaitFor([&] { return IsNormal(window); }, 5000)) << Xprop(window, "_NET_WM_STATE WM_STATE");
    EXPECT_TRUE(WaitFor([&] { return TopWindow() == WindowNumber(window); }, 5000)) << "not raised";
    // The first instance writes its settings only when it closes; the second never does.
    EXPECT_FALSE(fs::exists(m_appDir + "/Config.xml"));
    EXPECT_TRUE(first.Running());

    // Not minimized, only covered: a start brings it back on top as well.
    Activate(coverWindow);
    ASSERT_EQ(TopWindow(), WindowNumber(coverWindow));
    CProgram& third = Start();
    EXPECT_EQ(third.WaitExit(10000), 0) << third.Log();
    EXPECT_TRUE(WaitFor([&] { return TopWindow() == WindowNumber(window); }, 5000)) << "not raised";
    EXPECT_FALSE(fs::exists(m_appDir + "/Config.xml"));

    EXPECT_EQ(Close(first), 0) << first.Log();
    EXPECT_TRUE(fs::exists(m_appDir + "/Config.xml"));
}

// --- Skins -------------------------------------------------------------------------------------

TEST_F(ProgramTest, SkinsButtonCyclesThroughTheFourSkinsFromTheLastAndTheLastOneIsSaved)
{
    std::string skinXml[4];
    for (int i = 0; i < 4; ++i)
    {
        skinXml[i] = ReadText(m_appDir + "/" + SKIN_FILES[i]);
        if (skinXml[i].empty())
        {
            GTEST_SKIP() << "the application directory has no " << SKIN_FILES[i]
                         << " yet: build the recorder_skins target";
        }
    }

    CProgram& program = Start();
    const std::string window = WaitForWindow(program);
    ASSERT_FALSE(window.empty()) << program.Log();

    CScreenshot start;
    ASSERT_TRUE(SettledShot(window, "skin-start", start));
    Colour background[5], button[5];
    Rect client = ClientRect(window);
    background[0] = start.Average(On(client, DIALOG_STRIP));
    button[0] = start.Average(On(client, RECORD_BUTTON));

    // The window leaves the screen while the skin changes; each shot is taken once it is back,
    // painted in other colours and still.
    for (int n = 1; n <= 4; ++n)
    {
        PressKey(window, "alt+k");
        const std::string name = "skin-" + std::to_string(n);
        CScreenshot changed;
        ASSERT_TRUE(ShotUntil(name,
                              [&](const CScreenshot& shot) {
                                  client = ClientRect(window);
                                  return IsNormal(window) &&
                                         shot.Average(On(client, DIALOG_STRIP)).DistanceTo(background[n - 1]) > 10;
                              },
                              changed))
            << "press " << n << " of Alt+K changed nothing\n" << program.Log();
        CScreenshot shot;
        ASSERT_TRUE(SettledShot(window, name, shot));
        client = ClientRect(window);
        background[n] = shot.Average(On(client, DIALOG_STRIP));
        button[n] = shot.Average(On(client, RECORD_BUTTON));
    }

    // Starting from skin 4, the presses give skins 1, 2, 3 and 4: the dialog takes each file's colour.
    for (int n = 1; n <= 4; ++n)
        EXPECT_LT(background[n].DistanceTo(SkinColour(skinXml[n - 1], "Dialog", "background")), 6)
            << "press " << n << ": background " << background[n] << ", skin " << n << " file "
            << SkinColour(skinXml[n - 1], "Dialog", "background");
    EXPECT_LT(background[4].DistanceTo(background[0]), 6) << "the cycle does not come back to skin 4";
    EXPECT_LT(button[4].DistanceTo(button[0]), 6) << "the cycle does not come back to skin 4";
    // Each skin looks clearly unlike the others.
    for (int i = 1; i <= 4; ++i)
        for (int j = i + 1; j <= 4; ++j)
        {
            EXPECT_GT(background[i].DistanceTo(background[j]), 20)
                << "skins " << i << " and " << j << ": " << background[i] << " " << background[j];
            EXPECT_GT(button[i].DistanceTo(button[j]), 20)
                << "skins " << i << " and " << j << ": " << button[i] << " " << button[j];
        }

    ASSERT_EQ(Close(program), 0) << program.Log();
    EXPECT_NE(ConfigText().find(Tag("SkinType", "4")), std::string::npos) << ConfigText();
}

// --- Settings that are not ours, or no folder --------------------------------------------------

struct ForeignConfig
{
    const char* pszName;
    const char* pszApp;  // nullptr: no Config.xml at all
    bool bElsewhere;     // the file names a folder of its own
};

void PrintTo(const ForeignConfig& config, std::ostream* pOut)
{
    *pOut << config.pszName;
}

class ProgramConfigTest : public ProgramTest, public testing::WithParamInterface<ForeignConfig>
{
};

TEST_P(ProgramConfigTest, StartsAndRecordsIntoTheOutputFolderNextToTheProgram)
{
    const ForeignConfig& param = GetParam();
    const std::string elsewhere = m_folder.File("elsewhere");
    fs::create_directories(elsewhere);
    const bool bRootHadFile = fs::exists("/Audio0.mp3");
    if (param.pszApp)
    {
        std::ofstream(m_appDir + "/Config.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Config Author=\"Someone\" App=\"" << param.pszApp
            << "\" Version=\"1,0,0,0\">\n  <Setting>\n    <SkinType>2</SkinType>\n    <SavedDirectry>"
            << (param.bElsewhere ? elsewhere : "") << "</SavedDirectry>\n  </Setting>\n</Config>\n";
    }

    CProgram& program = Start();
    const std::string window = WaitForWindow(program);
    ASSERT_FALSE(window.empty()) << program.Log();

    const std::string file = m_appDir + "/output/Audio0.mp3";
    EXPECT_TRUE(Record(window, file, 1000)) << "no recording at " << file << "\n" << program.Log();
    EXPECT_EQ(Close(program), 0) << program.Log();

    EXPECT_TRUE(DecodeFile(file).ok);
    EXPECT_FALSE(fs::exists(elsewhere + "/Audio0.mp3"));
    if (!bRootHadFile)
    {
        EXPECT_FALSE(fs::exists("/Audio0.mp3")) << "recorded into the root folder";
    }
}

INSTANTIATE_TEST_SUITE_P(Configs, ProgramConfigTest,
                         testing::Values(ForeignConfig{"OtherProduct", "Other", true},
                                         ForeignConfig{"OursWithEmptyFolder", "Vorane Audio Recorder", false}),
                         [](const testing::TestParamInfo<ForeignConfig>& info) { return info.param.pszName; });

// --- A killed instance ---------------------------------------------------------------------------

TEST_F(ProgramTest, InstanceKilledOutrightDoesNotBlockTheNextStart)
{
    CProgram& killed = Start();
    ASSERT_FALSE(WaitForWindow(killed).empty()) << killed.Log();
    killed.KillHard();
    // What it left behind: its socket, which nobody answers any more.
    bool bSocketLeft = false;
    for (const auto& entry : fs::directory_iterator(m_runtimeDir))
        bSocketLeft = bSocketLeft || entry.is_socket();
    ASSERT_TRUE(bSocketLeft) << "the killed instance left no socket, so this proves nothing";

    CProgram& next = Start();
    const std::string window = WaitForWindow(next);
    ASSERT_FALSE(window.empty()) << "the next start showed no window\n" << next.Log();
    EXPECT_TRUE(next.Running());

    // The new instance answers on the socket in its turn: a later start brings its minimized window back.
    RunCommand("xdotool windowminimize --sync " + window + " >/dev/null 2>&1");
    ASSERT_TRUE(WaitFor([&] { return IsMinimized(window); }, 5000)) << Xprop(window, "_NET_WM_STATE WM_STATE");
    CProgram& later = Start();
    EXPECT_EQ(later.WaitExit(10000), 0) << later.Log();
    EXPECT_EQ(WindowsOfClass(false).size(), 1u);
    EXPECT_TRUE(WaitFor([&] { return IsNormal(window); }, 5000)) << Xprop(window, "_NET_WM_STATE WM_STATE");
    EXPECT_EQ(Close(next), 0) << next.Log();
}
}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    CXDisplay display(SCREEN_WIDTH, SCREEN_HEIGHT);
    g_pDisplay = &display;
    if (!display.Ok())
    {
        std::fprintf(stderr, "ProgramTest: no private X display (Xvfb and openbox are needed)\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
