// The Debian package, made by CPack from this build with the install rules scripts/package uses: what it
// holds and asks for, what lintian and the desktop's validators say of it, and its programs run by their
// links in /usr/bin from the package unpacked (dpkg -x) into a folder of its own.
#include "TestSupport.h"
#include "XDisplay.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
std::string Output(const std::string& command, int* pStatus = nullptr)
{
    std::string output;
    const int status = RunCommand(command + " 2>&1", &output);
    if (pStatus)
        *pStatus = status;
    return output;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every file below a folder, as paths relative to it.
std::vector<std::string> Tree(const std::string& root)
{
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        paths.push_back(fs::relative(entry.path(), root).string());
    std::sort(paths.begin(), paths.end());
    return paths;
}
}  // namespace

class Package : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pFolder = new CTempFolder("package");
        const std::string out = s_pFolder->File("cpack");
        s_log = Output("cpack -G DEB --config " VORANE_BUILD_DIR "/CPackConfig.cmake -B '" + out + "'");
        for (const auto& entry : fs::directory_iterator(out))
            if (entry.path().extension() == ".deb")
                s_deb = entry.path().string();
        if (!s_deb.empty())
            Output("dpkg -x '" + s_deb + "' '" + Root() + "'");
    }
    static void TearDownTestSuite()
    {
        delete s_pFolder;
        s_pFolder = nullptr;
    }
    void SetUp() override { ASSERT_FALSE(s_deb.empty()) << "cpack made no package:\n" << s_log; }

    static std::string Root() { return s_pFolder->File("root"); }
    static std::string Usr(const std::string& path) { return Root() + "/usr/" + path; }

    static inline CTempFolder* s_pFolder = nullptr;
    static inline std::string s_deb, s_log;
};

TEST_F(Package, HoldsBothProgramsByNameTheDesktopFilesAndAsksForWhatItLoadsAtRunTime)
{
    EXPECT_EQ("vorane-recorder_" VORANE_VERSION "_amd64.deb", fs::path(s_deb).filename().string());

    const std::string contents = Output("dpkg-deb -c '" + s_deb + "'");
    for (const char* pszPath :
         {"./usr/bin/vorane-recorder -> ../lib/vorane-recorder/VoraneRecorder",
          "./usr/bin/vorane-record -> ../lib/vorane-recorder/vorane-record", "./usr/lib/vorane-recorder/VoraneRecorder",
          "./usr/lib/vorane-recorder/vorane-record", "./usr/lib/vorane-recorder/liblame_enc.so",
          "./usr/lib/vorane-recorder/libbass.so", "./usr/lib/vorane-recorder/libbasswma.so",
          "./usr/lib/vorane-recorder/Recorder.html", "./usr/lib/vorane-recorder/Skin/Mmo/skin_mmo.xml",
          "./usr/share/applications/" VORANE_APP_ID ".desktop", "./usr/share/metainfo/" VORANE_APP_ID ".metainfo.xml",
          "./usr/share/icons/hicolor/scalable/apps/" VORANE_APP_ID ".svg", "./usr/share/man/man1/vorane-recorder.1.gz",
          "./usr/share/man/man1/vorane-record.1.gz", "./usr/share/bash-completion/completions/vorane-record",
          "./usr/share/doc/vorane-recorder/copyright", "./usr/share/doc/vorane-recorder/changelog.gz"})
        EXPECT_TRUE(Contains(contents, std::string(pszPath) + "\n") || Contains(contents, std::string(pszPath) + " "))
            << pszPath << " missing from\n" << contents;
    // Only the build's own application directory is portable, and nothing of a run is packed.
    for (const char* pszPath : {"/portable", "Config.xml", "/output"})
        EXPECT_FALSE(Contains(contents, pszPath)) << pszPath << " in\n" << contents;
    std::istringstream lines(contents);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(Contains(line, " root/root ")) << line;

    const std::string control = Output("dpkg-deb -f '" + s_deb + "' Package Version Architecture Depends");
    EXPECT_TRUE(Contains(control, "Package: vorane-recorder\n")) << control;
    EXPECT_TRUE(Contains(control, "Version: " VORANE_VERSION "\n")) << control;
    EXPECT_TRUE(Contains(control, "Architecture: amd64\n")) << control;
    // Linked (found by dpkg-shlibdeps, the modules' too) and opened at run time (named by hand).
    for (const char* pszPackage : {"libwxgtk3.2-1", "libmp3lame0", "libavcodec59", "libpulse0", "libpugixml1v5",
                                   "libvorbis0a", "libvorbisenc2", "libogg0", "gstreamer1.0-plugins-base",
                                   "gstreamer1.0-plugins-good", "gstreamer1.0-plugins-ugly", "gstreamer1.0-libav"})
        EXPECT_TRUE(Contains(control, pszPackage)) << pszPackage << " not in\n" << control;

    // The desktop starts the program by its link, and finds its window and icon by the app id.
    const std::string entry = ReadFileText(Usr("share/applications/" VORANE_APP_ID ".desktop"));
    for (const char* pszLine :
         {"\nExec=/usr/bin/vorane-recorder\n", "\nIcon=" VORANE_APP_ID "\n", "\nStartupWMClass=" VORANE_APP_ID "\n"})
        EXPECT_TRUE(Contains(entry, pszLine)) << pszLine << " not in\n" << entry;
}

// Lintian's warnings kept: none but those named here, each with its reason.
TEST_F(Package, LintianAndTheDesktopValidatorsFindNoFault)
{
    int nStatus = -1;
    const std::string lintian = Output("lintian --tag-display-limit 0 '" + s_deb + "'", &nStatus);
    std::istringstream lines(lintian);
    for (std::string line; std::getline(lines, line);)
        EXPECT_FALSE(line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0) << line;
    EXPECT_EQ(0, nStatus) << lintian;

    const std::string desktop = Output("desktop-file-validate '" + Usr("share/applications/" VORANE_APP_ID ".desktop'"), &nStatus);
    EXPECT_EQ(0, nStatus) << desktop;
    EXPECT_EQ("", desktop);
    const std::string appstream =
        Output("appstreamcli validate --no-net '" + Usr("share/metainfo/" VORANE_APP_ID ".metainfo.xml'"), &nStatus);
    EXPECT_EQ(0, nStatus) << appstream;
    EXPECT_FALSE(Contains(appstream, "W:") || Contains(appstream, "E:")) << appstream;
}

// vorane-record by its link: its version, a recording in MP3 (its module found beside the real program, not
// the link), and its completion, which asks the program itself.
TEST_F(Package, TheCommandLineRecorderRecordsAndCompletesFromItsLink)
{
    int nStatus = -1;
    EXPECT_EQ("vorane-record " VORANE_VERSION "\n", Output("'" + Usr("bin/vorane-record") + "' --version", &nStatus));
    EXPECT_EQ(0, nStatus);

    const std::string folder = s_pFolder->File("recordings");
    const std::string noServer = "PULSE_SERVER=unix:" + s_pFolder->File("no-sound-server");
    const std::string recorded =
        Output("cd / && " + noServer + " '" + Usr("bin/vorane-record") + "' --seconds 1 --format mp3 --folder '" + folder + "'", &nStatus);
    ASSERT_EQ(0, nStatus) << recorded;
    const std::string duration =
        Output("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + folder + "/Audio0.mp3'", &nStatus);
    EXPECT_EQ(0, nStatus) << duration;
    EXPECT_NEAR(1.0, std::atof(duration.c_str()), 0.1) << duration;

    // What bash offers for the last word, as the shell would ask the completion.
    const std::string script = s_pFolder->File("complete.sh");
    std::ofstream(script) << "source '" << Usr("share/bash-completion/completions/vorane-record") << "'\n"
                          << "COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _vorane_record\n"
                          << "for reply in \"${COMPREPLY[@]}\"; do echo \"$reply\"; done\n";
    auto complete = [&](const std::string& words) {
        return Output("env " + noServer + " PATH='" + Usr("bin") + ":/usr/bin:/bin' bash '" + script + "' " + words);
    };
    EXPECT_EQ("mp3\nogg\nwav\nwma\n", complete("vorane-record --format ''"));
    EXPECT_EQ("112\n128\n144\n160\n192\n", complete("vorane-record --mp3-bitrate 1"));
    EXPECT_EQ("500\n", complete("vorane-record --ogg-max 5"));
    EXPECT_EQ("--version\n", complete("vorane-record --vers"));
    // Devices and lines as --list gives them, names quoted for the shell.
    EXPECT_EQ("0\nMicrophone\n1\nLine\\ In\n2\nStereo\\ Mix\n3\nStereo\\ Mix\\ +\\ Microphone\n",
              complete("vorane-record --seconds 2 -l ''"));
    EXPECT_EQ("Stereo\\ Mix\nStereo\\ Mix\\ +\\ Microphone\n", complete("vorane-record -d 0 --line 'S'"));
    EXPECT_EQ("mixed\nside\n", complete("vorane-record --both-layout ''"));
    EXPECT_EQ("", complete("vorane-record -d 7 --line ''"));
}

// The window program by its link draws its window, and at its close writes its settings into the user's
// configuration folder: never into /usr/lib, even where it could write there.
TEST_F(Package, TheWindowProgramStartsFromItsLinkAndKeepsItsSettingsInTheUsersFolders)
{
    CXDisplay display;
    ASSERT_TRUE(display.Ok()) << "no private X display (Xvfb, openbox)";
    const std::vector<std::string> installed = Tree(Root());
    const std::string home = s_pFolder->File("home"), runtime = s_pFolder->File("run");
    fs::create_directories(home);
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const std::string log = s_pFolder->File("program.log");

    const pid_t pid = fork();
    if (pid == 0)
    {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("PULSE_SERVER", ("unix:" + runtime + "/no-sound-server").c_str(), 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        const std::string program = Usr("bin/vorane-recorder");
        execl(program.c_str(), program.c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    int nStatus = -1;
    auto exited = [&] { return waitpid(pid, &nStatus, WNOHANG) == pid; };

    // Shown, and painted: the same picture twice in a row, of more than a few colours.
    std::string window, shot, previous;
    const bool bPainted = PollUntil([&] {
        if (window.empty())
        {
            std::istringstream ids(Output("xdotool search --onlyvisible --pid " + std::to_string(pid)));
            std::getline(ids, window);
            return false;
        }
        const std::string file = s_pFolder->File("window.png");
        if (Output("import -window " + window + " '" + file + "' && echo ok") != "ok\n")
            return false;
        previous = shot;
        shot = Output("convert '" + file + "' -format '%# %k' info:");
        return shot == previous && std::atoi(shot.substr(shot.find(' ') + 1).c_str()) > 20;
    }, 30000);
    EXPECT_TRUE(bPainted) << "window " << window << " colours " << shot << "\n" << ReadFileText(log);

    RunCommand("wmctrl -c 'Vorane Audio Recorder' >/dev/null 2>&1");
    if (!PollUntil(exited, 20000))
    {
        kill(pid, SIGKILL);
        waitpid(pid, &nStatus, 0);
        FAIL() << "still running after its window was closed\n" << ReadFileText(log);
    }
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << ReadFileText(log);

    const std::string config = ReadFileText(home + "/.config/vorane-recorder/Config.xml");
    EXPECT_TRUE(Contains(config, "<SavedDirectry>" + home + "/Vorane Recordings</SavedDirectry>")) << config;
    EXPECT_EQ(installed, Tree(Root())) << "the program wrote into its installed folders";
}
