// vorane-record: records from a capture device into the next free Audio<N> file
// of a folder, prepared exactly as the program prepares its recordings.
#include "DeviceThread.h"
#include "Event.h"
#include "MessageBox.h"
#include "Mixer.h"
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "RecordingSession.h"
#include "WaveIn.h"
#ifdef VORANE_HAVE_PULSE
#include "PulseBackend.h"
#include "RecorderError.h"
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
// The output formats go by their file extensions on the command line, in the settings' order.
int FindFormat(const std::string& name)
{
    for (int i = 0; OutputExtension(i); ++i)
        if (name == OutputExtension(i))
            return i;
    return -1;
}

std::string FormatList()
{
    std::string list;
    for (int i = 0; OutputExtension(i); ++i)
        list += (i ? ", " : "") + std::string(OutputExtension(i));
    return list;
}

const char* const USAGE =
    "Usage: vorane-record [options]\n"
    "Records from a capture device into the next free Audio<N> file of a folder.\n"
    "\n"
    "  -s, --seconds N        seconds of audio to record (default 5); Ctrl+C stops earlier,\n"
    "                         keeping everything up to that moment\n"
    "  -o, --folder DIR       output folder (default ./output)\n"
    "  -f, --format NAME      output format: %s (default wav)\n"
    "  -d, --device N|NAME    capture device by position or by name (default 0)\n"
    "  -l, --line N|NAME      source line by position or by name (default: the first\n"
    "                         line whose name contains \"Mix\")\n"
    "      --both-layout L    mixed or side: how the \"Stereo Mix + Microphone\" line\n"
    "                         records the computer and the microphone: both in every\n"
    "                         channel, or the computer left and the microphone right\n"
    "                         (default mixed)\n"
    "  -i, --interactive      read keys from the terminal: Space pauses and resumes,\n"
    "                         q or Enter stops; without --seconds it records until\n"
    "                         stopped. The file leaves out the paused stretches\n"
    "      --skip-silence DB[:SECONDS]\n"
    "                         write nothing while the input stays below DB dBFS (-80 to\n"
    "                         -10, e.g. -45) for longer than SECONDS (0.5 to 60, default 2);\n"
    "                         the 0.3 s before the sound returns is kept, and --seconds\n"
    "                         counts only what is written\n"
    "      --split-minutes N  go on into a new file (the next free Audio<N>) every N\n"
    "                         minutes of audio, 0.05 to 1440; each file is printed\n"
    "                         once it is complete\n"
    "      --list             list the devices and their source lines, then exit\n"
    "      --version          print the version, then exit\n"
    "WAV:\n"
    "  -c, --channels 1|2     channels (default 2)\n"
    "  -r, --rate HZ          11025, 22050 or 44100 (default 44100)\n"
    "  -b, --bits 8|16        bits per sample (default 16)\n"
    "MP3:\n"
    "      --mp3-bitrate KBPS one of 96 112 128 144 160 192 224 256 320 (default 192)\n"
    "      --mp3-volume P     line volume in percent for MP3 recordings (default 100)\n"
    "OGG:\n"
    "      --ogg-mode M       quality, vbr, abr or cbr (default quality)\n"
    "      --ogg-quality Q    0.00 to 10.00 (default 4.00)\n"
    "      --ogg-min KBPS     --ogg-nominal KBPS  --ogg-max KBPS\n"
    "                         one of 64 80 96 112 128 160 192 224 256 320 500\n"
    "WMA:\n"
    "      --wma-bitrate KBPS one of 32 48 64 80 96 128 160 192 256 320 (default 64)\n"
    "      --wma-quality P    quality mode: 10 25 50 75 90 98 or 100 percent\n"
    "Tags (MP3, OGG, WMA):\n"
    "      --album TEXT  --artist TEXT  --title TEXT\n"
    "      --year YEAR        one of the last ten years (default this year)\n";

// A bad command line: reported by main, which then ends with status 2.
struct UsageError
{
};

// The recorder's view of its capture: progress on a terminal, and the end.
struct CRecorderView : IWaveformView
{
    HANDLE hDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> bErrorShown{false};
    std::atomic<int> nBuffers{0};
    bool bProgress = false;
    CDeviceThread* pCapture = nullptr;  // set before the capture starts
    uint32_t nRate = 0;
    std::atomic<bool> bWaiting{false};

    void AddSamples(const std::vector<int32_t>&, uint32_t) override
    {
        ++nBuffers;
        // Recorded audio, not buffers: a pause hands on a part of a second.
        if (bProgress && pCapture && nRate)
            std::fprintf(stderr, "\r  %d s recorded%s\033[K", static_cast<int>(pCapture->CapturedFrames() / nRate),
                         bWaiting ? ", waiting for sound" : "");
    }
    void OnWaitingForSound(bool bNow, uint32_t) override { bWaiting = bNow; }
    void OnCaptureStopped(uint32_t) override { SetEvent(hDone); }
    // A split recording's file is complete: the main loop keeps it and hands on the next.
    std::atomic<bool> bFileFinished{false};
    void OnFileFinished() override
    {
        bFileFinished = true;
        SetEvent(hDone);
    }
};

CRecorderView g_view;

// Messages come from the capture's threads too: one line at a time.
std::mutex g_messageMutex;

int ShowError(const std::string& text)
{
    ShowAppError(text.c_str());
    return 1;
}

// "DB" or "DB:SECONDS" of --skip-silence into the options; false when either is out of range.
bool ParseSkipSilence(const char* pszText, SilenceGateOptions& options)
{
    std::string text = pszText;
    const size_t nColon = text.find(':');
    char* pEnd = nullptr;
    errno = 0;
    const long nDb = std::strtol(text.c_str(), &pEnd, 10);
    if (pEnd == text.c_str() || errno != 0 || pEnd != text.c_str() + std::min(nColon, text.size()) ||
        nDb < SKIP_SILENCE_MIN_DB || nDb > SKIP_SILENCE_MAX_DB)
        return false;
    double dSeconds = options.nHoldMilliseconds / 1000.0;
    if (nColon != std::string::npos)
    {
        const char* pszSeconds = text.c_str() + nColon + 1;
        dSeconds = std::strtod(pszSeconds, &pEnd);
        if (pEnd == pszSeconds || *pEnd || !(dSeconds * 1000 >= SKIP_SILENCE_MIN_HOLD_MS) ||
            !(dSeconds * 1000 <= SKIP_SILENCE_MAX_HOLD_MS))
            return false;
    }
    options.bOn = true;
    options.nThresholdDb = static_cast<int>(nDb);
    options.nHoldMilliseconds = static_cast<int>(std::lround(dSeconds * 1000));
    return true;
}

// Prints each kept file (its full path, so the user finds it whatever folder the recorder ran in,
// its length and size) after what the user is told about it. True when one did not end as asked.
bool PrintFiles(const std::vector<RecordingOutcome>& files, bool bTell = true)
{
    bool bFailed = false;
    for (const RecordingOutcome& file : files)
    {
        if (bTell)
            CRecordingSession::Tell(file, nullptr);
        bFailed = bFailed || file.bFailed;
        if (!file.bKept)
            continue;
        char szFull[PATH_MAX];
        const char* pszShown = realpath(file.path.c_str(), szFull) ? szFull : file.path.c_str();
        std::printf("%s\t%.2f s\t%llu bytes\n", pszShown, file.nMilliseconds / 1000.0,
                    static_cast<unsigned long long>(file.nSize));
        std::fflush(stdout);
    }
    return bFailed;
}

bool ParseInt(const char* pszText, long& value)
{
    if (!pszText || !*pszText)
        return false;
    char* pEnd = nullptr;
    errno = 0;
    value = std::strtol(pszText, &pEnd, 10);
    return errno == 0 && *pEnd == '\0' && value >= INT_MIN && value <= INT_MAX;
}

template <int N>
bool IndexOf(const int (&table)[N], long value, int& index)
{
    for (int i = 0; i < N; ++i)
        if (table[i] == value)
        {
            index = i;
            return true;
        }
    return false;
}

void ListDevices()
{
    std::vector<CWaveIn*>& devices = EnumDevices();
    if (devices.empty())
        std::printf("No capture device.\n");
    for (size_t d = 0; d < devices.size(); ++d)
    {
        std::printf("%zu: %s\n", d, devices[d]->Name());
        try
        {
            CMixer& mixer = devices[d]->GetMixer();
            for (size_t i = 0; i < mixer.GetLineCount(); ++i)
                std::printf("    %zu: %s\n", i, mixer.GetLine(i)->Name());
            mixer.Close();
        }
        catch (const CRecorderError& error)
        {
            std::printf("    (%s)\n", error.what());
        }
    }
}

// The line position of a name on the chosen device, or -2 when the device has no such line.
int LinePositionByName(const std::string& name)
{
    std::vector<CWaveIn*>& devices = EnumDevices();
    if (theSettings.DeviceIndex < 0 || static_cast<size_t>(theSettings.DeviceIndex) >= devices.size())
        return -2;
    CMixer& mixer = devices[theSettings.DeviceIndex]->GetMixer();
    int nFound = -2;
    for (size_t i = 0; i < mixer.GetLineCount(); ++i)
        if (name == mixer.GetLine(i)->Name())
        {
            nFound = static_cast<int>(i);
            break;
        }
    mixer.Close();
    return nFound;
}

// Single keys from the terminal for -i. The terminal's own settings come back on every way out:
// the destructor, a fatal signal, and Ctrl+Z (raw again after fg).
struct termios g_savedTerminal;
struct termios g_rawTerminal;
volatile sig_atomic_t g_bTerminalRaw = 0;

void RestoreTerminal()
{
    if (g_bTerminalRaw)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
}

void OnFatalSignal(int nSignal)
{
    RestoreTerminal();
    std::signal(nSignal, SIG_DFL);
    raise(nSignal);
}

void OnTerminalStop(int)
{
    RestoreTerminal();
    raise(SIGSTOP);
    // Continued: single keys again.
    if (g_bTerminalRaw)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_rawTerminal);
}

class CKeyboard
{
public:
    // Puts the terminal into single-key mode; false when stdin is no terminal.
    bool Start()
    {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_savedTerminal) != 0)
            return false;
        g_rawTerminal = g_savedTerminal;
        // No line editing and no echo; Ctrl+C and the other signal keys still work.
        g_rawTerminal.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        g_rawTerminal.c_cc[VMIN] = 1;
        g_rawTerminal.c_cc[VTIME] = 0;
        for (int nSignal : {SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
            std::signal(nSignal, OnFatalSignal);
        std::signal(SIGTSTP, OnTerminalStop);
        g_bTerminalRaw = 1;
        if (tcsetattr(STDIN_FILENO, TCSANOW, &g_rawTerminal) != 0)
        {
            g_bTerminalRaw = 0;
            return false;
        }
        return true;
    }
    ~CKeyboard()
    {
        RestoreTerminal();
        g_bTerminalRaw = 0;
    }
    // The next key within nMilliseconds: -1 for none, 0 when the terminal is gone.
    int Next(int nMilliseconds)
    {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, nMilliseconds) <= 0)
            return -1;
        unsigned char c = 0;
        const ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return -1;
        return n == 1 ? (c ? c : -1) : 0;
    }
};

// A line on stderr for each change of state, below the progress line.
void TellState(const char* pszText)
{
    std::lock_guard<std::mutex> lock(g_messageMutex);
    std::fprintf(stderr, "%s%s\n", g_view.bProgress ? "\r\033[K" : "", pszText);
}

const char* const STATE_RECORDING = "Recording: Space pauses, q or Enter stops.";
const char* const STATE_PAUSED = "Paused: Space resumes, q or Enter stops.";

void WaitForSignals(sigset_t set)
{
    int nSignal = 0;
    if (sigwait(&set, &nSignal) == 0)
        SetEvent(g_view.hDone);
}

int Record(int argc, char** argv, const sigset_t& signals)
{
    double dSeconds = 5;
    double dSplitMinutes = 0;
    std::string folder = "output";
    std::string formatName = "wav";
    std::string deviceArg, lineArg;
    long nChannels = 2, nRate = 44100, nBits = 16;
    bool bList = false;
    bool bInteractive = false;
    bool bSecondsGiven = false;
    SilenceGateOptions skipSilence;
    std::map<std::string, std::string> options;

    auto need = [&](int& i) -> const char* {
        if (i + 1 >= argc)
        {
            std::fprintf(stderr, "vorane-record: %s needs a value\n", argv[i]);
            throw UsageError{};
        }
        return argv[++i];
    };
    auto bad = [](const char* pszOption, const char* pszValue) {
        std::fprintf(stderr, "vorane-record: %s: invalid value \"%s\"\n", pszOption, pszValue);
        throw UsageError{};
    };

    for (int i = 1; i < argc; ++i)
    {
        std::string a = argv[i];
        long v = 0;
        if (a == "-h" || a == "--help")
        {
            std::printf(USAGE, FormatList().c_str());
            return 0;
        }
        else if (a == "--version")
        {
            std::printf("vorane-record %s\n", VORANE_VERSION);
            return 0;
        }
        else if (a == "--list")
            bList = true;
        else if (a == "-i" || a == "--interactive")
            bInteractive = true;
        else if (a == "-s" || a == "--seconds")
        {
            const char* p = need(i);
            char* pEnd = nullptr;
            dSeconds = std::strtod(p, &pEnd);
            if (*pEnd || !(dSeconds > 0) || dSeconds > 7 * 24 * 3600)
                bad(a.c_str(), p);
            bSecondsGiven = true;
        }
        else if (a == "--skip-silence")
        {
            const char* p = need(i);
            if (!ParseSkipSilence(p, skipSilence))
            {
                std::fprintf(stderr,
                             "vorane-record: --skip-silence: invalid value \"%s\"; give a level in dBFS from %d to %d, "
                             "then, after a colon, a hold time in seconds from %g to %g (for example -45:2)\n",
                             p, SKIP_SILENCE_MIN_DB, SKIP_SILENCE_MAX_DB, SKIP_SILENCE_MIN_HOLD_MS / 1000.0,
                             SKIP_SILENCE_MAX_HOLD_MS / 1000.0);
                throw UsageError{};
            }
        }
        else if (a == "--split-minutes")
        {
            const char* p = need(i);
            char* pEnd = nullptr;
            dSplitMinutes = std::strtod(p, &pEnd);
            if (*pEnd || !(dSplitMinutes >= 0.05) || dSplitMinutes > 1440)
                bad(a.c_str(), p);
        }
        else if (a == "-o" || a == "--folder")
            folder = need(i);
        else if (a == "-f" || a == "--format")
            formatName = need(i);
        else if (a == "-d" || a == "--device")
            deviceArg = need(i);
        else if (a == "-l" || a == "--line")
            lineArg = need(i);
        else if (a == "-c" || a == "--channels")
        {
            const char* p = need(i);
            if (!ParseInt(p, nChannels) || (nChannels != 1 && nChannels != 2))
                bad(a.c_str(), p);
        }
        else if (a == "-r" || a == "--rate")
        {
            const char* p = need(i);
            int idx;
            if (!ParseInt(p, nRate) || !IndexOf(WavSampleRateTable, nRate, idx))
                bad(a.c_str(), p);
        }
        else if (a == "-b" || a == "--bits")
        {
            const char* p = need(i);
            int idx;
            if (!ParseInt(p, nBits) || !IndexOf(WavBitsTable, nBits, idx))
                bad(a.c_str(), p);
        }
        else if (a == "--mp3-bitrate" || a == "--wma-bitrate" || a == "--ogg-min" || a == "--ogg-nominal" ||
                 a == "--ogg-max" || a == "--wma-quality" || a == "--mp3-volume" || a == "--year")
        {
            const char* p = need(i);
            int* pIndex = nullptr;
            bool ok = ParseInt(p, v);
            if (a == "--mp3-bitrate")
                ok = ok && IndexOf(Mp3BitrateTable, v, theSettings.Mp3BitrateIndex);
            else if (a == "--wma-bitrate")
                ok = ok && IndexOf(WmaBitrateTable, v, theSettings.WmaBitrateIndex), theSettings.WmaMode = 0;
            else if (a == "--wma-quality")
                ok = ok && IndexOf(WmaQualityTable, v, theSettings.WmaQualityIndex), theSettings.WmaMode = 1;
            else if (a == "--ogg-min")
                pIndex = &theSettings.OggMinBitrateIndex;
            else if (a == "--ogg-nominal")
                pIndex = &theSettings.OggNominalBitrateIndex;
            else if (a == "--ogg-max")
                pIndex = &theSettings.OggMaxBitrateIndex;
            else if (a == "--mp3-volume")
            {
                ok = ok && v >= 0 && v <= 100;
                theSettings.Mp3Volume = static_cast<int>(v);
            }
            else if (a == "--year")
            {
                int nIndex = static_cast<int>(v - TagYear(0));
                ok = ok && nIndex >= 0 && nIndex <= 9;
                theSettings.YearIndex = nIndex;
            }
            if (pIndex)
                ok = ok && IndexOf(OggBitrateTable, v, *pIndex);
            if (!ok)
                bad(a.c_str(), p);
        }
        else if (a == "--ogg-mode")
        {
            const char* p = need(i);
            static const char* const modes[] = {"quality", "vbr", "abr", "cbr"};
            int m = -1;
            for (int k = 0; k < 4; ++k)
                if (std::strcmp(p, modes[k]) == 0)
                    m = k;
            if (m < 0)
                bad(a.c_str(), p);
            theSettings.OggMode = m;
        }
        else if (a == "--ogg-quality")
        {
            const char* p = need(i);
            char* pEnd = nullptr;
            double q = std::strtod(p, &pEnd);
            if (*pEnd || !(q >= 0 && q <= 10))
                bad(a.c_str(), p);
            theSettings.OggQuality = static_cast<int>(q * 100 + 0.5);
        }
        else if (a == "--both-layout")
        {
            const char* p = need(i);
            const int nLayout = BothLayoutFromName(p);
            if (nLayout < 0)
                bad(a.c_str(), p);
            theSettings.BothLayout = nLayout;
        }
        else if (a == "--album")
            theSettings.AlbumTitle = need(i);
        else if (a == "--artist")
            theSettings.Artist = need(i);
        else if (a == "--title")
            theSettings.Title = need(i);
        else
        {
            std::fprintf(stderr, "vorane-record: unknown option %s (see --help)\n", a.c_str());
            return 2;
        }
    }

    if (bList)
    {
        ListDevices();
        return 0;
    }

    CKeyboard keyboard;
    if (bInteractive && !keyboard.Start())
    {
        std::fprintf(stderr, "vorane-record: -i reads single keys from a terminal, and standard input is none\n");
        return 2;
    }

    const int nFormat = FindFormat(formatName);
    if (nFormat < 0)
    {
        std::fprintf(stderr, "vorane-record: unknown format \"%s\"; this build writes %s\n", formatName.c_str(),
                     FormatList().c_str());
        return 2;
    }
    theSettings.OutputFormat = nFormat;
    IndexOf(WavChannelTable, nChannels, theSettings.WavChannelsIndex);
    IndexOf(WavSampleRateTable, nRate, theSettings.WavSampleRateIndex);
    IndexOf(WavBitsTable, nBits, theSettings.WavBitsIndex);

    try
    {
        if (!deviceArg.empty())
        {
            long v;
            if (ParseInt(deviceArg.c_str(), v) && v >= 0)
                theSettings.DeviceIndex = static_cast<int>(v);
            else
            {
                CWaveIn* pDevice = FindDeviceByName(deviceArg.c_str());
                if (!pDevice)
                    return 1;
                std::vector<CWaveIn*>& devices = EnumDevices();
                theSettings.DeviceIndex =
                    static_cast<int>(std::find(devices.begin(), devices.end(), pDevice) - devices.begin());
            }
        }
        if (!lineArg.empty())
        {
            long v;
            if (ParseInt(lineArg.c_str(), v) && v >= 0)
                theSettings.LineIndex = static_cast<int>(v);
            else
            {
                int nLine = LinePositionByName(lineArg);
                if (nLine < 0)
                    return ShowError("Mixer's line not found.");
                theSettings.LineIndex = nLine;
            }
        }
    }
    catch (const CRecorderError& error)
    {
        return ShowError(error.what());
    }

    // The length counts recorded audio, not time: a recorder that was stopped (Ctrl+Z) and
    // continued still records as long as it was asked to.
    RecordingRequest request;
    request.nOutputFormat = nFormat;
    request.folder = folder;
    request.skipSilence = skipSilence;
    const double dRate = nFormat == OUTPUT_FORMAT_WAV ? static_cast<double>(nRate) : 44100.0;
    request.nSplitMilliseconds = static_cast<uint32_t>(std::llround(dSplitMinutes * 60000));
    if (!bInteractive || bSecondsGiven)
        request.nFrameLimit = std::max<uint64_t>(1, static_cast<uint64_t>(std::llround(dSeconds * dRate)));

    // Prepared exactly as the program prepares a recording; failures are told there.
    CRecordingSession session;
    g_view.bProgress = isatty(fileno(stderr));
    g_view.pCapture = &session.Capture();
    g_view.nRate = static_cast<uint32_t>(dRate);
    SetWaveformView(&g_view);
    if (!session.Start(request, nullptr))
    {
        SetWaveformView(nullptr);
        return 1;
    }
    std::fprintf(stderr, "%s\n", DescribeSource(session.Info()).c_str());
    std::thread(WaitForSignals, signals).detach();
    if (bInteractive)
        TellState(STATE_RECORDING);

    // A capture that delivers nothing for this long has stalled: the recording ends
    // with what it holds, and says so. A paused one delivers nothing on purpose.
    const DWORD STALL_CHECK_MS = 5000;
    const int KEY_WAIT_MS = 50;
    auto lastCheck = std::chrono::steady_clock::now();
    int nStalledChecks = 0;
    int nBuffersSeen = g_view.nBuffers;
    bool bFileFailed = false;
    // True once the capture has ended; the files a split recording finished meanwhile are
    // printed, and the next one is handed on.
    auto ended = [&](DWORD nMilliseconds) {
        if (WaitForSingleObject(g_view.hDone, nMilliseconds) == WAIT_TIMEOUT)
            return false;
        if (!g_view.bFileFinished.exchange(false))
            return true;
        // An end that came meanwhile has marked the capture ended before it set the event.
        ResetEvent(g_view.hDone);
        if (session.HasEnded() || g_view.bErrorShown)
            return true;
        const bool bGoesOn = session.GoOnSplitting();
        bFileFailed = PrintFiles(session.TakeFinishedFiles()) || bFileFailed;
        return !bGoesOn;
    };
    while (!g_view.bErrorShown)
    {
        if (bInteractive)
        {
            if (ended(0))
                break;
            const int nKey = keyboard.Next(KEY_WAIT_MS);
            if (nKey == 0 || nKey == 'q' || nKey == 'Q' || nKey == '\n' || nKey == '\r')
                break;
            if (nKey == ' ')
            {
                if (session.Resume())
                    TellState(STATE_RECORDING);
                else if (session.Pause())
                    TellState(STATE_PAUSED);
            }
            if (std::chrono::steady_clock::now() - lastCheck < std::chrono::milliseconds(STALL_CHECK_MS))
                continue;
        }
        else if (ended(STALL_CHECK_MS))
            break;
        lastCheck = std::chrono::steady_clock::now();
        // Two quiet checks in a row: one may only be the time a stopped process (Ctrl+Z) was away.
        nStalledChecks = g_view.nBuffers == nBuffersSeen && !session.IsPaused() ? nStalledChecks + 1 : 0;
        nBuffersSeen = g_view.nBuffers;
        if (nStalledChecks >= 2)
        {
            session.Stop(MSG_CAPTURE_STALLED);
            break;
        }
    }
    if (bInteractive && !g_view.bErrorShown)
        TellState("Stopped.");
    session.Stop();
    const RecordingOutcome outcome = session.Finish(nullptr, true);
    SetWaveformView(nullptr);
    session.FreeReceivers();
    if (g_view.bProgress)
        std::fprintf(stderr, "\n");
    // Files finished just before the end come first, as they were recorded.
    bFileFailed = PrintFiles(session.TakeFinishedFiles()) || bFileFailed;
    CRecordingSession::Tell(outcome, nullptr);
    if (!outcome.bKept)
        return 1;
    PrintFiles({outcome}, false);
    return outcome.bFailed || bFileFailed || g_view.bErrorShown ? 1 : 0;
}
}  // namespace

int main(int argc, char** argv)
{
    // Ctrl+C, termination and a closed terminal end the recording cleanly: the
    // waiting thread in Record takes them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A closed pipe on the other end of the output must not kill the recording before its file is finished.
    std::signal(SIGPIPE, SIG_IGN);

    // A file-size limit (ulimit -f) must end a recording like a full disk, not kill the recorder.
    std::signal(SIGXFSZ, SIG_IGN);

    SetMessageBoxHandler([](const MessageBoxRequest& request) {
        {
            std::lock_guard<std::mutex> lock(g_messageMutex);
            std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
        }
        // A failure told while the recording runs (the sound server lost) ends it.
        if (request.type & MB_ICONHAND)
        {
            g_view.bErrorShown = true;
            SetEvent(g_view.hDone);
        }
        return IDOK;
    });

#ifdef VORANE_HAVE_PULSE
    UseSoundServer();
#endif

    int nStatus = 2;
    try
    {
        nStatus = Record(argc, argv, signals);
    }
    catch (const UsageError&)
    {
    }
    // The device list goes on every way out, early ones included.
    FreeDevices();
    return nStatus;
}
