// vorane-record: records from a capture device into the next free Audio<N> file
// of a folder, prepared exactly as the program prepares its recordings.
#include "DeviceThread.h"
#include "Event.h"
#include "MessageBox.h"
#include "Mixer.h"
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "RecordingStart.h"
#include "WaveIn.h"
#ifdef VORANE_HAVE_PULSE
#include "PulseBackend.h"
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
// The output formats by the names typed on the command line, in the settings' order.
const char* const FORMAT_NAMES[] = {"mp3", "ogg", "wav", "wma"};
const char* const FORMAT_LIST = "mp3, ogg, wav, wma";

int FindFormat(const std::string& name)
{
    for (int i = 0; i < 4; ++i)
        if (name == FORMAT_NAMES[i])
            return i;
    return -1;
}

const char* const USAGE =
    "Usage: vorane-record [options]\n"
    "Records from a capture device into the next free Audio<N> file of a folder.\n"
    "\n"
    "  -s, --seconds N        length of the recording (default 5); Ctrl+C stops earlier\n"
    "  -o, --folder DIR       output folder (default ./output)\n"
    "  -f, --format NAME      output format: %s (default wav)\n"
    "  -d, --device N|NAME    capture device by position or by name (default 0)\n"
    "  -l, --line N|NAME      source line by position or by name (default: the first\n"
    "                         line whose name contains \"Mix\")\n"
    "      --list             list the devices and their source lines, then exit\n"
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

struct Session : IWaveformView
{
    HANDLE hDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> bErrorShown{false};
    std::atomic<int> nSeconds{-1};
    std::atomic<unsigned long long> nBytes{0};
    std::atomic<int> nBuffers{0};
    int nTargetBuffers = 0;  // whole seconds asked for; reaching them ends the recording
    bool bProgress = false;

    void AddSamples(const std::vector<int32_t>&, uint32_t nBytesWritten) override
    {
        nBytes += nBytesWritten;
        int n = ++nBuffers;
        if (bProgress)
            std::fprintf(stderr, "\r  %d s recorded", n);
        if (nTargetBuffers > 0 && n >= nTargetBuffers)
            SetEvent(hDone);
    }
    void OnCaptureStopped(int nSecondsRecorded) override
    {
        nSeconds = nSecondsRecorded;
        SetEvent(hDone);
    }
};

Session g_session;

// Messages wait here until the recording is over: only then is it known whether a
// file was kept, and a message must not promise a file that is gone.
std::mutex g_messageMutex;
std::vector<std::pair<std::string, std::string>> g_messages;  // caption, text

void ShowMessages(bool bFileKept)
{
    std::vector<std::pair<std::string, std::string>> messages;
    {
        std::lock_guard<std::mutex> lock(g_messageMutex);
        messages.swap(g_messages);
    }
    for (const auto& [caption, text] : messages)
    {
        // Both full-disk texts promise a kept file, which a stop before the first second does not leave.
        const bool bSaysSaved = text == MSG_DISK_FULL || text == MSG_WMA_WRITE_FAILED;
        std::fprintf(stderr, "%s: %s\n", caption.c_str(),
                     bSaysSaved && !bFileKept ? "The disk is full: nothing could be saved." : text.c_str());
    }
}

int ShowError(const char* pszText)
{
    ShowAppError(pszText);
    return 1;
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

bool MakeFolder(const std::string& folder)
{
    std::string path;
    size_t pos = 0;
    while (pos != std::string::npos)
    {
        pos = folder.find('/', pos + 1);
        path = folder.substr(0, pos);
        if (!path.empty() && mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
        catch (const char* pszText)
        {
            std::printf("    (%s)\n", pszText);
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

bool IsFolder(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void WaitForSignals(sigset_t set)
{
    int nSignal = 0;
    if (sigwait(&set, &nSignal) == 0)
        SetEvent(g_session.hDone);
}

long long FileSize(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}
int Record(int argc, char** argv, const sigset_t& signals)
{
    double dSeconds = 5;
    std::string folder = "output";
    std::string formatName = "wav";
    std::string deviceArg, lineArg;
    long nChannels = 2, nRate = 44100, nBits = 16;
    bool bList = false;
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
            std::printf(USAGE, FORMAT_LIST);
            return 0;
        }
        else if (a == "--list")
            bList = true;
        else if (a == "-s" || a == "--seconds")
        {
            const char* p = need(i);
            char* pEnd = nullptr;
            dSeconds = std::strtod(p, &pEnd);
            if (*pEnd || !(dSeconds > 0) || dSeconds > 7 * 24 * 3600)
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

    const int nFormat = FindFormat(formatName);
    if (nFormat < 0)
    {
        std::fprintf(stderr, "vorane-record: unknown format \"%s\"; this build writes %s\n", formatName.c_str(),
                     FORMAT_LIST);
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
    catch (const char* pszText)
    {
        return ShowError(pszText);
    }

    if (!MakeFolder(folder))
        return ShowError(("Cannot create the output folder \"" + folder + "\".").c_str());
    std::string path = ReserveOutputName(folder, nFormat);
    if (path.empty())
        return ShowError("No new file can be made in the output folder: every name from Audio0 to Audio99999 "
                         "is taken, or the folder cannot be written.");

    // Prepared exactly as the program prepares a recording; failures are shown there.
    CDeviceThread capture;
    CRecordingStarter starter(capture);
    RecordingInfo info;
    IReceiver* pReceiver = starter.Prepare(nFormat, path, info, nullptr);
    if (!pReceiver)
    {
        ReleaseEmptyOutputName(path);
        return 1;
    }
    std::fprintf(stderr, "%s\n", DescribeSource(info).c_str());

    std::thread(WaitForSignals, signals).detach();
    g_session.bProgress = isatty(fileno(stderr));
    SetWaveformView(&g_session);

    // The recording ends with its last whole second; some grace covers the device's
    // pace, so "-s 2" gives two seconds of audio and not one.
    g_session.nTargetBuffers = static_cast<int>(dSeconds);
    double dWait = dSeconds * 1000.0 + (g_session.nTargetBuffers > 0 ? 4500.0 : 0.0);
    capture.StartCapture(pReceiver);
    if (!g_session.bErrorShown)
        WaitForSingleObject(g_session.hDone, static_cast<DWORD>(std::min(dWait, 4.0e9)));
    capture.StopCapture();
    // The receiver may be destroyed only once the capture thread is out of Finish.
    capture.WaitForCaptureEnd();
    SetWaveformView(nullptr);
    starter.FreeReceivers();
    if (g_session.bProgress)
        std::fprintf(stderr, "\n");

    // Only whole seconds count: a file of headers alone (OGG, WMA) holds nothing
    // and goes, as an empty one does, so an early stop ends alike in every format.
    const int nSecondsRecorded = g_session.nBuffers.load();
    KeepRecordedOutput(path, nSecondsRecorded);
    const long long nSize = FileSize(path);
    ShowMessages(nSize >= 0);

    if (nSize >= 0)
    {
        // The full path, so the user finds the file whatever folder the recorder ran in.
        char szFull[PATH_MAX];
        const char* pszShown = realpath(path.c_str(), szFull) ? szFull : path.c_str();
        std::printf("%s\t%d s\t%lld bytes\n", pszShown, nSecondsRecorded, nSize);
        return g_session.bErrorShown ? 1 : 0;
    }
    if (!IsFolder(folder))
        return ShowError(("The output folder \"" + folder +
                          "\" was removed during the recording, and the recording with it: no file was kept.")
                             .c_str());
    if (nSecondsRecorded > 0)
        return ShowError(("The file \"" + path + "\" was removed during the recording: no file was kept.").c_str());
    return ShowError("The recording ended before its first second: nothing was recorded, so no file was kept.");
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

    SetMessageBoxHandler([](const MessageBoxRequest& request) {
        {
            std::lock_guard<std::mutex> lock(g_messageMutex);
            g_messages.emplace_back(request.caption, request.text);
        }
        if (request.type & MB_ICONHAND)
        {
            g_session.bErrorShown = true;
            SetEvent(g_session.hDone);
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
    ShowMessages(true);
    // The device list goes on every way out, early ones included.
    FreeDevices();
    return nStatus;
}
