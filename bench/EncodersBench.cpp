// CPU time to encode the same 60 s of 44.1 kHz stereo PCM through the MP3 and OGG
// receivers, beside the encoders' own command-line tools on the same input.
// Prints each receiver's time, the tool's time and their ratio (goal: at most 1.05).
// Each side is timed a few times and its best time kept, so other work on the
// machine weighs as little as possible on either side.
#include "BenchSupport.h"
#include "LameEncoder.h"
#include "ReceiverMP3.h"
#include "ReceiverOGG.h"
#include "RecorderSettings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
const uint32_t RATE = 44100;
const uint32_t SECONDS = 60;
const uint32_t BUFFER = RATE * 4;  // one second, as the capture hands it over
const int ROUNDS = 3;

// The best of ROUNDS timings; a failed round (negative) fails the whole.
template <typename F>
double Best(F measure)
{
    double best = -1;
    for (int i = 0; i < ROUNDS; ++i)
    {
        double d = measure();
        if (d < 0)
            return -1;
        if (best < 0 || d < best)
            best = d;
    }
    return best;
}

// Music-like input: a few drifting partials, a slow beat and some noise, so the encoders
// work as hard as on a real recording. Seeded, so every run encodes the same signal.
std::vector<uint8_t> MakeInput(unsigned nSeed)
{
    std::mt19937 random(nSeed);
    std::normal_distribution<double> noise(0.0, 0.02);
    std::vector<uint8_t> pcm(static_cast<size_t>(RATE) * SECONDS * 4);
    const double partials[] = {110, 220, 330, 440, 554.37, 659.25, 880, 1760, 3520};
    for (size_t i = 0; i < static_cast<size_t>(RATE) * SECONDS; ++i)
    {
        double t = static_cast<double>(i) / RATE;
        double left = 0, right = 0;
        for (size_t k = 0; k < std::size(partials); ++k)
        {
            double f = partials[k] * (1 + 0.002 * std::sin(0.3 * t + k));
            double a = 0.08 / (1 + 0.3 * k) * (0.6 + 0.4 * std::sin(2 * M_PI * 2 * t + k));
            left += a * std::sin(2 * M_PI * f * t);
            right += a * std::sin(2 * M_PI * f * t + 0.3 * k);
        }
        left += noise(random);
        right += noise(random);
        auto l = static_cast<int16_t>(std::lround(std::clamp(left, -1.0, 1.0) * 32767));
        auto r = static_cast<int16_t>(std::lround(std::clamp(right, -1.0, 1.0) * 32767));
        std::memcpy(&pcm[4 * i], &l, 2);
        std::memcpy(&pcm[4 * i + 2], &r, 2);
    }
    return pcm;
}

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

double EncodeMp3(const std::vector<uint8_t>& pcm, const std::string& path)
{
    double start = ProcessCpuSeconds();
    {
        CReceiverMP3 receiver(192, 0);
        receiver.Output = OutputFor(path);
        for (size_t pos = 0; pos < pcm.size(); pos += BUFFER)
            receiver.Write(pcm.data() + pos, BUFFER);
        receiver.Finish();
    }
    return ProcessCpuSeconds() - start;
}

double EncodeOgg(const std::vector<uint8_t>& pcm, const std::string& path)
{
    double start = ProcessCpuSeconds();
    {
        CReceiverOGG receiver;
        receiver.Options = OggOptions{0, 400};
        receiver.Output = OutputFor(path);
        uint32_t nBitrate = 0;
        try
        {
            receiver.LoadLibraries();
            receiver.Open(&nBitrate);
        }
        catch (const CRecorderError&)
        {
            return -1;
        }
        for (size_t pos = 0; pos < pcm.size(); pos += BUFFER)
            receiver.Write(pcm.data() + pos, BUFFER);
        receiver.Finish();
    }
    return ProcessCpuSeconds() - start;
}

void Report(const char* pszWhat, double dOurs, double dTool, const std::string& ours, const std::string& tool)
{
    std::printf("%-34s receiver %6.3f s  tool %6.3f s  ratio %.3f %s  (files %lld / %lld bytes)\n", pszWhat, dOurs,
                dTool, dOurs / dTool, dOurs / dTool <= 1.05 ? "ok" : "ABOVE GOAL", FileSize(ours), FileSize(tool));
}
}  // namespace

int main()
{
    const unsigned nSeed = 20240611;
    std::printf("Encoding %u s of 44.1 kHz 16-bit stereo (seed %u), CPU time, best of %d rounds in this run\n",
                SECONDS, nSeed, ROUNDS);
    char folderTemplate[] = "/tmp/vorane-encoders-bench-XXXXXX";
    if (!mkdtemp(folderTemplate))
    {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = folderTemplate;
    const std::string wav = folder + "/input.wav";
    std::vector<uint8_t> pcm = MakeInput(nSeed);
    if (!WriteWav(wav, pcm))
    {
        std::fprintf(stderr, "cannot write %s\n", wav.c_str());
        return 1;
    }

    SetLameLibraryPath(std::string(VORANE_APP_DIR) + "/liblame_enc.so");
    int nResult = 0;
    try
    {
        const std::string mp3Ours = folder + "/receiver.mp3", mp3Tool = folder + "/lame.mp3";
        double dMp3Ours = Best([&] { return EncodeMp3(pcm, mp3Ours); });
        double dMp3Tool = Best([&] {
            return ChildCpuSeconds({"lame", "--quiet", "-b", "192", "--cbr", "-m", "j", "--nores", wav, mp3Tool});
        });
        if (dMp3Tool <= 0)
        {
            std::fprintf(stderr, "lame did not run (is the \"lame\" package installed?)\n");
            nResult = 1;
        }
        else
            Report("MP3 192 kbit/s (CReceiverMP3/lame)", dMp3Ours, dMp3Tool, mp3Ours, mp3Tool);

        const std::string oggOurs = folder + "/receiver.ogg", oggTool = folder + "/oggenc.ogg";
        double dOggOurs = Best([&] { return EncodeOgg(pcm, oggOurs); });
        double dOggTool = Best([&] { return ChildCpuSeconds({"oggenc", "--quiet", "-q", "4", "-o", oggTool, wav}); });
        if (dOggOurs <= 0 || dOggTool <= 0)
        {
            std::fprintf(stderr, "%s\n", dOggOurs <= 0 ? "the Vorbis libraries did not load"
                                                       : "oggenc did not run (is \"vorbis-tools\" installed?)");
            nResult = 1;
        }
        else
            Report("OGG q4.00 (CReceiverOGG/oggenc)", dOggOurs, dOggTool, oggOurs, oggTool);
    }
    catch (const char* pszText)
    {
        std::fprintf(stderr, "%s\n", pszText);
        nResult = 1;
    }
    for (const char* name : {"input.wav", "receiver.mp3", "lame.mp3", "receiver.ogg", "oggenc.ogg"})
        unlink((folder + "/" + name).c_str());
    rmdir(folder.c_str());
    return nResult;
}
