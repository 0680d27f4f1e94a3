// CPU of a live recording with the waveform trace and level meter on: the virtual
// device in real time feeds the capture worker, which writes a WAV file (or nothing)
// and feeds the waveform view in a real window on a private Xvfb display. The
// process CPU time (getrusage) over the run is the figure; the goal is under 3% of
// one core. Apart: the meter's measuring of a second of CD-quality sound, alone.
//
//   WaveformBench [seconds = 60] [--no-file] [--no-view] [--bare-parent]
#include "DeviceThread.h"
#include "LevelMeter.h"
#include "BenchSupport.h"
#include "ReceiverWAV.h"
#include "RecorderSettings.h"
#include "WaveIn.h"
#include "WaveformText.h"
#include "WindowMessages.h"
#include "WndWaveform.h"
#include "XDisplay.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>
#include <sys/resource.h>
#include <X11/Xlib.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/timer.h>

namespace
{
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
// CPU seconds of every thread of the process, by thread id (from /proc, in clock ticks).
std::map<int, double> ThreadCpuSeconds()
{
    std::map<int, double> cpu;
    const double dTick = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
    {
        std::ifstream in(entry.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i)
            if (i == 14)
                utime = std::stoull(field);
            else if (i == 15)
                stime = std::stoull(field);
        cpu[std::stoi(entry.path().filename().string())] = (utime + stime) / dTick;
    }
    return cpu;
}
// CPU seconds the meter takes to measure one second of 16-bit stereo at 44.1 kHz and show its slices.
double MeterSecondCpu()
{
    std::vector<uint8_t> second(4 * 44100);
    for (size_t i = 0; i < second.size(); ++i)
        second[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    CLevelMeter meter;
    constexpr int ROUNDS = 200;
    const double dStart = CpuSeconds();
    for (int n = 0; n < ROUNDS; ++n)
    {
        meter.AddBlock(second.data(), static_cast<uint32_t>(second.size()), 16, 2, 44100);
        for (int k = 0; k < CLevelMeter::SLICES_PER_SECOND; ++k)
            meter.Step(static_cast<uint32_t>(n * 1000 + k * 40));
    }
    return (CpuSeconds() - dStart) / ROUNDS;
}
}  // namespace

int main(int argc, char** argv)
{
    double dSeconds = 60;
    bool bFile = true, bView = true, bBareParent = false;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--no-file") == 0)
            bFile = false;
        else if (std::strcmp(argv[i], "--no-view") == 0)
            bView = false;
        else if (std::strcmp(argv[i], "--bare-parent") == 0)
            bBareParent = true;
        else
            dSeconds = std::atof(argv[i]);
    }
    if (dSeconds <= 0)
    {
        std::fprintf(stderr, "usage: WaveformBench [seconds] [--no-file] [--no-view] [--bare-parent]\n");
        return 2;
    }

    CXDisplay display;
    if (!display.Ok())
    {
        std::fprintf(stderr, "WaveformBench: Xvfb did not start\n");
        return 1;
    }
    // The server resets when its last client leaves, and a connection tried during a reset
    // fails: one of ours, held from the first answer to the end, keeps GTK's safe.
    Display* pHeld = nullptr;
    for (int i = 0; i < 1000 && !(pHeld = XOpenDisplay(display.Name().c_str())); ++i)
        usleep(10000);
    setenv("NO_AT_BRIDGE", "1", 1);
    wxApp::SetInstance(new wxApp);
    int nArgs = 1;
    if (!wxEntryStart(nArgs, argv))
    {
        std::fprintf(stderr, "WaveformBench: wx did not start on %s\n", display.Name().c_str());
        return 1;
    }
    if (!wxTheApp->CallOnInit())
    {
        std::fprintf(stderr, "WaveformBench: the wx application did not initialise\n");
        return 1;
    }

    theSettings.IsViewWaveform = 1;
    CWaveIn* pDevice = EnumDevices().empty() ? nullptr : EnumDevices()[0];
    if (!pDevice || !pDevice->SetFormat(CAPTURE_MODE_MP3, 0, 0, 0))
    {
        std::fprintf(stderr, "WaveformBench: no capture device\n");
        return 1;
    }
    SetCurrentDevice(pDevice);

    const std::string folder = std::filesystem::temp_directory_path() / "vorane-waveform-bench";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/Audio0.wav";
    CReceiverWAV receiver;
    receiver.Output = OutputFor(path);
    receiver.CaptureFormat = pDevice->Format();
    receiver.FormatSet = 1;

    AudioItem item;
    item.SetPath(path.c_str());
    item.DeriveName();
    item.nSampleRate = 44100;
    item.nChannels = 2;
    item.nBitsPerSample = 16;
    item.nBitrate = 1411200;
    item.nState = AUDIO_STATE_RECORDING;

    // The main window's size, with the view across its top.
    auto* pFrame = new wxFrame(nullptr, wxID_ANY, "Vorane waveform benchmark");
    pFrame->SetClientSize(480, 450);
    // On GTK 3 every repaint of the view repaints its parent too, and a window without a font
    // and colours of its own looks them up in the theme each time (a fifth of the main
    // thread's work here). The program's windows get theirs from the skin; so does this one,
    // unless asked to show the cost of a bare parent.
    if (!bBareParent)
    {
        pFrame->SetFont(*wxNORMAL_FONT);
        pFrame->SetForegroundColour(*wxBLACK);
        pFrame->SetBackgroundColour(wxColour(212, 208, 200));
    }
    CWndWaveform* pView = bView ? new CWndWaveform(pFrame, 1025, wxPoint(5, 10), wxSize(470, 100)) : nullptr;
    long nPaints = 0;
    if (pView)
        pView->Bind(wxEVT_PAINT, [&nPaints](wxPaintEvent& event) {
            ++nPaints;
            event.Skip();
        });
    bool bStopped = false;
    pFrame->Bind(EVT_TYPE_WINDOW_MESSAGE, [&bStopped](CWindowMessageEvent&) { bStopped = true; }, WM_WAVEFORM_STOPPED);
    pFrame->Show();

    wxEventLoop loop;
    wxEventLoopActivator activate(&loop);
    // Let the window appear before the clock starts.
    for (int i = 0; i < 100 && !(pFrame->IsShownOnScreen()); ++i)
        loop.DispatchTimeout(10);

    CDeviceThread capture;
    capture.StartCapture(bFile ? &receiver : nullptr);
    if (pView)
        pView->StartRecording(&item);

    const auto wallStart = std::chrono::steady_clock::now();
    const double dCpuStart = CpuSeconds();
    const std::map<int, double> threadsStart = ThreadCpuSeconds();
    wxTimer end;
    end.Bind(wxEVT_TIMER, [&loop](wxTimerEvent&) { loop.Exit(); });
    end.StartOnce(static_cast<int>(dSeconds * 1000));
    loop.Run();
    const double dCpu = CpuSeconds() - dCpuStart;
    std::map<int, double> threads = ThreadCpuSeconds();
    const double dWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

    capture.StopCapture();
    capture.WaitForCaptureEnd();
    for (int i = 0; pView && i < 200 && !bStopped; ++i)
        loop.DispatchTimeout(10);

    const uint32_t nFileSize = bFile ? GetFileSizeByName(path.c_str()) : 0;
    std::printf("waveform view %s, WAV file %s, %.1f s of real time\n", pView ? "on" : "off", bFile ? "on" : "off",
                dWall);
    std::printf("  process CPU %.3f s = %.2f%% of one core (goal: under 3%%)\n", dCpu, 100.0 * dCpu / dWall);
    if (pView)
        std::printf("  %ld paints of the view (%.1f per second)\n", nPaints, nPaints / dWall);
    std::printf("  by thread:");
    for (auto& [nTid, dSeconds] : threads)
    {
        auto it = threadsStart.find(nTid);
        const double dUsed = dSeconds - (it == threadsStart.end() ? 0.0 : it->second);
        if (dUsed > 0)
            std::printf(" %s %.2f%%", nTid == getpid() ? "main (windows)" : std::to_string(nTid).c_str(),
                        100.0 * dUsed / dWall);
    }
    std::printf("\n  (the virtual device's clock thread synthesises the signal a sound card would deliver)\n");
    const double dMeter = MeterSecondCpu();
    std::printf("  level meter alone: %.3f ms of CPU per second of 44.1 kHz stereo = %.3f%% of one core\n",
                dMeter * 1000, dMeter * 100);
    if (bFile)
        std::printf("  %u bytes written to %s\n", nFileSize, path.c_str());

    pFrame->Destroy();
    for (int i = 0; i < 10; ++i)
        loop.DispatchTimeout(10);
    std::filesystem::remove_all(folder);
    SetCurrentDevice(nullptr);
    FreeDevices();
    wxTheApp->OnExit();
    wxEntryCleanup();
    if (pHeld)
        XCloseDisplay(pHeld);
    std::fflush(nullptr);
    return 0;
}
