#include "TestSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>
#include <sys/wait.h>
#include <unistd.h>

double ToneAmplitude(const std::vector<float>& samples, double dFrequency, double dRate)
{
    // Goertzel over one second from the middle: whole periods of a tone of whole hertz, no leakage.
    const size_t n = std::min<size_t>(samples.size(), static_cast<size_t>(dRate));
    const size_t start = (samples.size() - n) / 2;
    const double c = 2 * std::cos(2 * M_PI * dFrequency / dRate);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < n; ++i)
    {
        const double s0 = samples[start + i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return n ? 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / n : 0;
}

double DominantFrequency(const std::vector<float>& samples, double dRate)
{
    double best = 0, bestAmplitude = -1;
    for (double f = 20; f <= std::min(5000.0, dRate / 2 - 1); f += 5)
    {
        const double a = ToneAmplitude(samples, f, dRate);
        if (a > bestAmplitude)
        {
            bestAmplitude = a;
            best = f;
        }
    }
    return best;
}

double Rms(const std::vector<float>& samples)
{
    double sum = 0;
    for (float s : samples)
        sum += static_cast<double>(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

std::vector<float> FirstChannel(const uint8_t* pData, size_t nBytes, int nChannels)
{
    std::vector<float> out;
    for (size_t i = 0; i + 2 * nChannels <= nBytes; i += 2 * nChannels)
        out.push_back(static_cast<int16_t>(LE16(pData + i)) / 32768.0f);
    return out;
}

DecodedAudio DecodeFile(const std::string& path)
{
    DecodedAudio result;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
    {
        result.error = "cannot open " + path;
        return result;
    }
    avformat_find_stream_info(fmt, nullptr);
    int stream = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0)
    {
        result.error = "no audio stream";
        avformat_close_input(&fmt);
        return result;
    }
    AVStream* st = fmt->streams[stream];
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, st->codecpar);
    avcodec_open2(ctx, codec, nullptr);
    result.codec = codec ? codec->name : "";
    result.sampleRate = st->codecpar->sample_rate;
    result.channels = st->codecpar->ch_layout.nb_channels;
    result.bitRate = st->codecpar->bit_rate ? st->codecpar->bit_rate : fmt->bit_rate;
    for (const AVDictionary* metadata : {fmt->metadata, st->metadata})
        for (const AVDictionaryEntry* e = nullptr; (e = av_dict_get(metadata, "", e, AV_DICT_IGNORE_SUFFIX));)
            result.tags[e->key] = e->value;

    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    // Sample i of channel c, full scale 1.0, in any of the layouts the decoders give.
    auto sample = [&](int c, int i) -> float {
        const bool bPlanar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format));
        const uint8_t* p = frame->data[bPlanar ? c : 0];
        const int n = bPlanar ? i : i * result.channels + c;
        switch (av_get_packed_sample_fmt(static_cast<AVSampleFormat>(frame->format)))
        {
        case AV_SAMPLE_FMT_S16: return reinterpret_cast<const int16_t*>(p)[n] / 32768.0f;
        case AV_SAMPLE_FMT_U8: return (p[n] - 128) / 128.0f;
        case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(p)[n];
        case AV_SAMPLE_FMT_S32: return reinterpret_cast<const int32_t*>(p)[n] / 2147483648.0f;
        default: return 0;
        }
    };
    auto drain = [&] {
        while (avcodec_receive_frame(ctx, frame) == 0)
        {
            for (int i = 0; i < frame->nb_samples; ++i)
            {
                result.firstChannel.push_back(sample(0, i));
                if (result.channels > 1)
                    result.secondChannel.push_back(sample(1, i));
            }
        }
    };
    while (av_read_frame(fmt, pkt) >= 0)
    {
        if (pkt->stream_index == stream && avcodec_send_packet(ctx, pkt) == 0)
            drain();
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    result.duration = result.sampleRate ? static_cast<double>(result.firstChannel.size()) / result.sampleRate : 0;
    result.ok = true;
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return result;
}

FfmpegVerdict AskFfmpeg(const std::string& path)
{
    FfmpegVerdict verdict;
    RunCommand("ffmpeg -nostdin -hide_banner -v error -i '" + path + "' -f null - 2>&1", &verdict.errors);
    std::string duration;
    RunCommand("ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 '" + path + "' 2>&1", &duration);
    char* pEnd = nullptr;
    const double d = std::strtod(duration.c_str(), &pEnd);
    verdict.statedDuration = pEnd != duration.c_str() ? d : -1;
    return verdict;
}

CTempFolder::CTempFolder(const std::string& name)
{
    // CTest runs the tests of one program side by side: each process gets its own folder.
    m_path = std::string(VORANE_TEST_BINARY_DIR) + "/tmp/" + name + "-" + std::to_string(getpid());
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

CTempFolder::~CTempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int RunCommand(const std::string& command, std::string* pOutput)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    size_t n;
    std::string output;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, n);
    int status = pclose(pipe);
    if (pOutput)
        *pOutput = output;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool PollUntil(const std::function<bool()>& condition, int nTimeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    for (; !condition(); usleep(10000))
        if (std::chrono::steady_clock::now() > end)
            return false;
    return true;
}

std::string InChild(const std::function<std::string()>& f)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "no pipe";
    const pid_t pid = fork();
    if (pid == 0)
    {
        close(fds[0]);
        const std::string answer = f();
        (void)!write(fds[1], answer.data(), answer.size());
        _exit(0);
    }
    close(fds[1]);
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? answer : "the child ended with status " + std::to_string(status);
}

CScopedEnv::CScopedEnv(const char* pszName, const std::optional<std::string>& value)
    : m_pszName(pszName), m_old(getenv(pszName) ? std::optional<std::string>(getenv(pszName)) : std::nullopt)
{
    if (value)
        setenv(pszName, value->c_str(), 1);
    else
        unsetenv(pszName);
}

CScopedEnv::~CScopedEnv()
{
    if (m_old)
        setenv(m_pszName, m_old->c_str(), 1);
    else
        unsetenv(m_pszName);
}

std::vector<uint32_t> WavHeaderFields(const std::vector<uint8_t>& file)
{
    if (file.size() < 44 || memcmp(file.data(), "RIFF", 4) || memcmp(&file[8], "WAVEfmt ", 8) ||
        LE32(&file[16]) != 16 || memcmp(&file[36], "data", 4))
        return {};
    return {LE32(&file[4]), LE16(&file[20]), LE16(&file[22]), LE32(&file[24]),
            LE32(&file[28]), LE16(&file[32]), LE16(&file[34]), LE32(&file[40])};
}
