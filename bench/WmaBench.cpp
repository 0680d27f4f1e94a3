// CPU time of a WMA recording through CReceiverWMA at 64 kbit/s beside the ffmpeg
// command line encoding the same 60 s of 44.1 kHz stereo PCM. One run, as a ratio.
#include "BenchSupport.h"
#include "ReceiverWMA.h"
#include "RecorderSettings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
const int SECONDS = 60;
const uint32_t BYTES_PER_SECOND = 44100 * 4;

double CpuSeconds(const rusage& r)
{
    return r.ru_utime.tv_sec + r.ru_utime.tv_usec / 1e6 + r.ru_stime.tv_sec + r.ru_stime.tv_usec / 1e6;
}

// A chord with a little noise, so the encoder has real work; the seed is fixed.
std::vector<uint8_t> MakePcm()
{
    std::vector<uint8_t> pcm(static_cast<size_t>(BYTES_PER_SECOND) * SECONDS);
    uint32_t seed = 12345;
    for (size_t i = 0; i < pcm.size() / 4; ++i)
    {
        double t = static_cast<double>(i) / 44100;
        seed = seed * 1664525u + 1013904223u;
        double noise = (static_cast<int32_t>(seed) / 2147483648.0) * 0.02;
        double left = 0.3 * std::sin(2 * M_PI * 440 * t) + 0.2 * std::sin(2 * M_PI * 1250 * t) + noise;
        double right = 0.3 * std::sin(2 * M_PI * 660 * t) + 0.2 * std::sin(2 * M_PI * 3100 * t) - noise;
        int16_t l = static_cast<int16_t>(left * 32767), r = static_cast<int16_t>(right * 32767);
        std::memcpy(&pcm[4 * i], &l, 2);
        std::memcpy(&pcm[4 * i + 2], &r, 2);
    }
    return pcm;
}

}  // namespace

int main()
{
    char folderTemplate[] = "/tmp/vorane-wmabench-XXXXXX";
    if (!mkdtemp(folderTemplate))
        return 1;
    const std::string folder = folderTemplate;
    const std::vector<uint8_t> pcm = MakePcm();
    const std::string input = folder + "/input.wav", ours = folder + "/receiver.wma", theirs = folder + "/ffmpeg.wma";
    if (!WriteWav(input, pcm))
    {
        std::fprintf(stderr, "cannot write %s\n", input.c_str());
        return 1;
    }

    // The receiver, as a WMA recording drives it: one Write per second of audio.
    CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
    theSettings.WmaMode = 0;
    theSettings.WmaBitrateIndex = 2;  // 64 kbit/s
    rusage before, opened, after;
    getrusage(RUSAGE_SELF, &before);
    {
        CReceiverWMA receiver;
        receiver.Output = OutputFor(ours);
        uint32_t nBitrate = 0;
        try
        {
            receiver.LoadLibraries();
            receiver.Open(&nBitrate);
        }
        catch (const CRecorderError& error)
        {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
        getrusage(RUSAGE_SELF, &opened);
        for (int s = 0; s < SECONDS; ++s)
            receiver.Write(pcm.data() + static_cast<size_t>(s) * BYTES_PER_SECOND, BYTES_PER_SECOND);
        receiver.Finish();
    }
    getrusage(RUSAGE_SELF, &after);
    double dOurs = CpuSeconds(after) - CpuSeconds(before);

    // The same input through the ffmpeg command line, its CPU time from its own accounting.
    double dTheirs = ChildCpuSeconds(
        {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", input, "-c:a", "wmav2", "-b:a", "64k", theirs});
    if (dTheirs < 0)
    {
        std::fprintf(stderr, "ffmpeg did not run (is it installed?)\n");
        return 1;
    }

    std::printf("WMA 64 kbit/s, %d s of 44.1 kHz stereo PCM\n", SECONDS);
    std::printf("  CReceiverWMA      %.3f s CPU  %lld bytes (opening the library and encoder: %.3f s)\n", dOurs,
                FileSize(ours), CpuSeconds(opened) - CpuSeconds(before));
    std::printf("  ffmpeg -c:a wmav2 %.3f s CPU  %lld bytes\n", dTheirs, FileSize(theirs));
    std::printf("  ratio %.3f (goal: at most 1.05)\n", dTheirs > 0 ? dOurs / dTheirs : 0.0);

    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
