#include "VirtualDevice.h"

#include "MixerModel.h"
#include "WaveInPort.h"

#include <chrono>
#include <cmath>
#include <cstring>

namespace winmm::virt
{
namespace
{
constexpr double kPi = 3.14159265358979323846;

std::atomic<bool> g_bManualClock{false};
std::mutex g_devicesMutex;
std::vector<std::shared_ptr<CVirtualWaveIn>> g_devices;
bool g_bDevicesMade = false;

std::vector<std::shared_ptr<CVirtualWaveIn>>& DevicesLocked()
{
    if (!g_bDevicesMade)
    {
        g_bDevicesMade = true;
        g_devices.push_back(std::make_shared<CVirtualWaveIn>(DefaultDevice()));
    }
    return g_devices;
}

class CVirtualBackend : public IWaveBackend
{
public:
    std::vector<std::shared_ptr<IWaveInDevice>> Devices() override
    {
        std::lock_guard<std::mutex> lock(g_devicesMutex);
        auto& devices = DevicesLocked();
        return {devices.begin(), devices.end()};
    }
};
}  // namespace

std::vector<LineSpec> DefaultLines()
{
    LineSpec mic;
    mic.name = "Microphone";
    mic.componentType = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
    mic.frequencies = {440.0};
    mic.channels = 1;
    LineSpec line;
    line.name = "Line In";
    line.componentType = MIXERLINE_COMPONENTTYPE_SRC_LINE;
    line.frequencies = {1000.0};
    LineSpec mix;
    mix.name = "Stereo Mix";
    mix.componentType = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
    mix.frequencies = {1500.0};
    LineSpec both;
    both.name = BOTH_LINE_NAME;
    both.componentType = MIXERLINE_COMPONENTTYPE_SRC_ANALOG;
    both.frequencies = {800.0};
    both.microphoneFrequency = 300.0;
    LineSpec synth;
    synth.name = "SW Synth";
    synth.componentType = MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;
    synth.frequencies = {700.0};
    for (LineSpec* pStereo : {&line, &mix, &synth})
        pStereo->rightFrequency = 2500.0;
    return {mic, line, mix, both, synth};
}

DeviceSpec DefaultDevice()
{
    DeviceSpec spec;
    spec.lines = DefaultLines();
    return spec;
}

CVirtualWaveIn::CVirtualWaveIn(DeviceSpec spec) : m_spec(std::move(spec))
{
    for (size_t i = 0; i < m_spec.lines.size(); ++i)
    {
        const LineSpec& l = m_spec.lines[i];
        LineState state;
        state.spec = l;
        DWORD channels = std::max<DWORD>(1, l.channels);
        state.volume.assign(channels, l.volume);
        state.muted.assign(channels, l.muted);
        state.selected = m_spec.selected.empty() ? i == 0 : (i < m_spec.selected.size() && m_spec.selected[i]);
        m_lines.push_back(state);
    }
}

CVirtualWaveIn::~CVirtualWaveIn()
{
    StopStream();
}

MMRESULT CVirtualWaveIn::GetCaps(WAVEINCAPSA& caps)
{
    if (!m_spec.capsReadable)
        return MMSYSERR_NODRIVER;
    caps.wMid = MM_VORANE;
    caps.wPid = MM_VORANE_VIRTUAL_INPUT;
    caps.vDriverVersion = 0x0100;
    CopyName(caps.szPname, sizeof(caps.szPname), m_spec.name);
    caps.dwFormats = 0x00000FFF;  // 11.025, 22.05 and 44.1 kHz; mono and stereo; 8 and 16 bits
    caps.wChannels = 2;
    return MMSYSERR_NOERROR;
}

MMRESULT CVirtualWaveIn::Check(WaveCall call)
{
    std::lock_guard<std::mutex> lock(m_failMutex);
    int i = static_cast<int>(call);
    ++m_calls[i];
    Failure& f = m_failures[i];
    if (f.code == 0)
        return MMSYSERR_NOERROR;
    if (f.skip > 0)
    {
        --f.skip;
        return MMSYSERR_NOERROR;
    }
    if (f.times == 0)
        return MMSYSERR_NOERROR;
    if (f.times > 0)
        --f.times;
    return f.code;
}

void CVirtualWaveIn::FailCall(WaveCall call, MMRESULT code, int nSkip, int nTimes)
{
    std::lock_guard<std::mutex> lock(m_failMutex);
    m_failures[static_cast<int>(call)] = Failure{code, nSkip, nTimes};
}

void CVirtualWaveIn::ClearFailures()
{
    std::lock_guard<std::mutex> lock(m_failMutex);
    for (Failure& f : m_failures)
        f = Failure{};
}

int CVirtualWaveIn::CallCount(WaveCall call)
{
    std::lock_guard<std::mutex> lock(m_failMutex);
    return m_calls[static_cast<int>(call)];
}

std::vector<CVirtualWaveIn::LineState> CVirtualWaveIn::Lines()
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_lines;
}

void CVirtualWaveIn::SetLineState(size_t nLine, const LineState& state)
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    if (nLine < m_lines.size())
        m_lines[nLine] = state;
}

MMRESULT CVirtualWaveIn::OpenStream(CWaveInPort* pPort, const WAVEFORMATEX& format)
{
    std::lock_guard<std::mutex> lock(m_streamMutex);
    if (m_pPort)
        return MMSYSERR_ALLOCATED;
    m_pPort = pPort;
    m_format = format;
    m_bRunning = false;
    m_nElapsedNs = 0;
    m_nFramesDone = 0;
    m_nSignalBase = 0;
    m_bHalted = false;
    m_nHaltedNs = 0;
    m_both = CBothMixer(format.nSamplesPerSec);
    return MMSYSERR_NOERROR;
}

void CVirtualWaveIn::StartStream()
{
    std::lock_guard<std::mutex> lock(m_streamMutex);
    if (!m_pPort || m_bRunning)
        return;
    m_bRunning = true;
    if (m_bHalted)
    {
        uint64_t nHaltedNs = m_nHaltedNs;
        if (!g_bManualClock)
            nHaltedNs = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                  std::chrono::steady_clock::now() - m_haltedAt)
                                                  .count());
        m_nSignalBase += m_nFramesDone +
                         static_cast<uint64_t>((static_cast<unsigned __int128>(nHaltedNs) * m_format.nSamplesPerSec) /
                                               1000000000u);
        m_bHalted = false;
        m_nHaltedNs = 0;
    }
    m_nElapsedNs = 0;
    m_nFramesDone = 0;
    if (!g_bManualClock)
    {
        m_realStart = std::chrono::steady_clock::now();
        m_clockThread = std::thread(&CVirtualWaveIn::RealTimeLoop, this);
    }
}

void CVirtualWaveIn::StopStream()
{
    // On the real clock, what was captured up to this moment is delivered first, as a driver
    // returns the buffer with everything up to the stop.
    uint64_t nTarget = 0;
    {
        std::lock_guard<std::mutex> lock(m_streamMutex);
        if (m_bRunning && m_clockThread.joinable())
        {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                                 m_realStart)
                                .count();
            nTarget = static_cast<uint64_t>((static_cast<unsigned __int128>(ns) * m_format.nSamplesPerSec) / 1000000000u);
        }
    }
    if (nTarget > 0)
        Pump(nTarget, false);
    std::thread clock;
    {
        std::lock_guard<std::mutex> lock(m_streamMutex);
        if (m_bRunning)
        {
            m_bHalted = true;
            m_nHaltedNs = 0;
            m_haltedAt = std::chrono::steady_clock::now();
        }
        m_bRunning = false;
        clock.swap(m_clockThread);
    }
    m_streamChanged.notify_all();
    if (clock.joinable())
        clock.join();
    // A delivery under way finishes before the stream counts as stopped.
    std::lock_guard<std::mutex> wait(m_deliverMutex);
}

void CVirtualWaveIn::CloseStream()
{
    StopStream();
    std::lock_guard<std::mutex> lock(m_streamMutex);
    m_pPort = nullptr;
}

bool CVirtualWaveIn::IsStreaming()
{
    std::lock_guard<std::mutex> lock(m_streamMutex);
    return m_bRunning;
}

void CVirtualWaveIn::AdvanceManual(uint64_t nNanoseconds, bool bWaitForBuffers)
{
    uint64_t nTarget;
    {
        std::lock_guard<std::mutex> lock(m_streamMutex);
        if (!m_bRunning)
        {
            if (m_bHalted)
                m_nHaltedNs += nNanoseconds;
            return;
        }
        m_nElapsedNs += nNanoseconds;
        nTarget = static_cast<uint64_t>((static_cast<unsigned __int128>(m_nElapsedNs) * m_format.nSamplesPerSec) /
                                        1000000000u);
    }
    Pump(nTarget, bWaitForBuffers);
}

bool CVirtualWaveIn::WaitForQueuedBuffer(int nMilliseconds)
{
    CWaveInPort* pPort;
    {
        std::lock_guard<std::mutex> lock(m_streamMutex);
        pPort = m_pPort;
    }
    return pPort && pPort->WaitForQueuedBuffer(nMilliseconds);
}

size_t CVirtualWaveIn::QueuedBuffers()
{
    std::lock_guard<std::mutex> lock(m_streamMutex);
    return m_pPort ? m_pPort->QueuedBuffers() : 0;
}

void CVirtualWaveIn::Pump(uint64_t nTargetFrames, bool bWaitForBuffers)
{
    for (;;)
    {
        std::unique_lock<std::mutex> deliver(m_deliverMutex);
        CWaveInPort* pPort;
        uint64_t nFirst, nBase;
        {
            std::lock_guard<std::mutex> lock(m_streamMutex);
            if (!m_bRunning || !m_pPort || m_nFramesDone >= nTargetFrames)
                return;
            pPort = m_pPort;
            nFirst = m_nFramesDone;
            nBase = m_nSignalBase;
        }
        const size_t nAlign = std::max<WORD>(1, m_format.nBlockAlign);
        uint64_t nFrames = nTargetFrames - nFirst;
        if (bWaitForBuffers)
        {
            size_t nSpace = pPort->SpaceInCurrentBuffer() / nAlign;
            if (nSpace == 0)
            {
                deliver.unlock();
                if (pPort->WaitForQueuedBuffer(2000))
                    continue;
                deliver.lock();  // nobody queues a buffer: time passes and the audio is lost
            }
            else
                nFrames = std::min<uint64_t>(nFrames, nSpace);
        }
        m_scratch.resize(static_cast<size_t>(nFrames) * nAlign);
        Generate(m_scratch.data(), nBase + nFirst, static_cast<size_t>(nFrames));
        {
            std::lock_guard<std::mutex> lock(m_streamMutex);
            if (!m_bRunning)
                return;
            m_nFramesDone = nFirst + nFrames;
        }
        pPort->Deliver(m_scratch.data(), m_scratch.size());
    }
}

void CVirtualWaveIn::Generate(uint8_t* pOut, uint64_t nFirstFrame, size_t nFrames)
{
    struct Voice
    {
        double gain[2];
        const std::vector<double>* freqs;
        double rightFrequency, rightGain;
        double microphoneFrequency, microphoneGain, computerGain, level;  // a "Stereo Mix + Microphone" line
        bool sideBySide;
    };
    std::vector<LineState> lines;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        lines = m_lines;
    }
    std::vector<Voice> voices;
    for (const LineState& l : lines)
    {
        if (!l.selected || l.spec.frequencies.empty())
            continue;
        Voice v{{0, 0}, &l.spec.frequencies, l.spec.rightFrequency, 0, l.spec.microphoneFrequency,
                l.spec.microphoneAmplitude, l.spec.amplitude / l.spec.frequencies.size(), 0, l.sideBySide};
        double range = static_cast<double>(l.spec.maximum) - l.spec.minimum;
        for (int ch = 0; ch < 2; ++ch)
        {
            size_t c = std::min<size_t>(ch, l.volume.size() - 1);
            double level = range > 0 ? (static_cast<double>(l.volume[c]) - l.spec.minimum) / range : 1.0;
            if (!l.spec.hasVolume)
                level = 1.0;
            bool muted = l.spec.hasMute && l.muted[std::min<size_t>(ch, l.muted.size() - 1)];
            v.gain[ch] = muted ? 0.0 : l.spec.amplitude * level / l.spec.frequencies.size();
            if (ch == 1 && !muted)
                v.rightGain = l.spec.rightAmplitude * level;
            v.level = muted ? 0.0 : level;
        }
        voices.push_back(v);
    }
    const double rate = m_format.nSamplesPerSec;
    const int channels = m_format.nChannels;
    const bool b16 = m_format.wBitsPerSample == 16;
    for (size_t i = 0; i < nFrames; ++i)
    {
        // The phase comes from the frame number, so the signal runs on unbroken across deliveries.
        double t = static_cast<double>(nFirstFrame + i) / rate;
        double sample[2] = {0, 0};
        for (const Voice& v : voices)
        {
            double s = 0;
            for (double f : *v.freqs)
                s += std::sin(2 * kPi * f * t);
            if (v.microphoneFrequency > 0)
            {
                // Both sources at their own amplitudes; the line's volume and layout act as the sound server's do.
                const double computer = s * v.computerGain;
                const double microphone = std::sin(2 * kPi * v.microphoneFrequency * t) * v.microphoneGain;
                double l, r;
                m_both.Mix(v.sideBySide, v.level, computer, computer, microphone, microphone, l, r);
                sample[0] += l;
                sample[1] += r;
                continue;
            }
            sample[0] += s * v.gain[0];
            sample[1] += s * v.gain[1];
            if (v.rightFrequency > 0)
                sample[1] += std::sin(2 * kPi * v.rightFrequency * t) * v.rightGain;
        }
        if (channels == 1)
            sample[0] = (sample[0] + sample[1]) / 2;
        for (int ch = 0; ch < channels; ++ch)
        {
            double x = std::max(-1.0, std::min(1.0, sample[ch]));
            if (b16)
            {
                int16_t s16 = static_cast<int16_t>(std::lround(x * 32767));
                std::memcpy(pOut, &s16, 2);
                pOut += 2;
            }
            else
                *pOut++ = static_cast<uint8_t>(std::lround(128 + x * 127));
        }
    }
}

void CVirtualWaveIn::RealTimeLoop()
{
    using Clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lock(m_streamMutex);
    const auto start = m_realStart;
    while (m_bRunning)
    {
        m_streamChanged.wait_for(lock, std::chrono::milliseconds(10));
        if (!m_bRunning)
            break;
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
        uint64_t target = static_cast<uint64_t>((static_cast<unsigned __int128>(ns) * m_format.nSamplesPerSec) / 1000000000u);
        lock.unlock();
        Pump(target, false);
        lock.lock();
    }
}

namespace
{
// The virtual device's mixer: its lines and controls, over the device's line state.
class CVirtualMixer : public CMixerModel
{
public:
    explicit CVirtualMixer(std::shared_ptr<CVirtualWaveIn> pDevice) : m_pDevice(std::move(pDevice)), m_device(*m_pDevice)
    {
        const DeviceSpec& spec = m_device.Spec();
        m_destination.id = kDestinationId;
        m_destination.componentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
        m_destination.channels = spec.destinationChannels;
        m_destination.name = "Recording Control";
        if (spec.sourceControlType != 0)
        {
            MixerControlDesc select;
            select.id = kSelectControlId;
            select.type = spec.sourceControlType;
            select.flags = MIXERCONTROL_CONTROLF_MULTIPLE | (spec.sourceControlUniform ? MIXERCONTROL_CONTROLF_UNIFORM : 0);
            select.items = static_cast<DWORD>(spec.lines.size());
            select.maximum = 1;
            select.name = "Recording Source";
            m_destination.controls.push_back(select);
        }
        for (DWORD i = 0; i < spec.lines.size(); ++i)
        {
            const LineSpec& l = spec.lines[i];
            MixerLineDesc line;
            line.id = kFirstSourceId + i;
            line.componentType = l.componentType;
            line.channels = l.channels;
            line.name = l.name;
            line.failInfo = l.failInfo;
            DWORD uniform = l.uniform ? MIXERCONTROL_CONTROLF_UNIFORM : 0;
            if (l.hasMute)
                line.controls.push_back(MuteControl(ControlId(i, 1), uniform));
            if (l.hasVolume)
                line.controls.push_back(VolumeControl(ControlId(i, 2), uniform, l.minimum, l.maximum));
            if (l.microphoneFrequency > 0)
                line.controls.push_back(SideBySideControl(ControlId(i, 3)));
            m_sources.push_back(line);
        }
    }

protected:
    std::vector<DWORD> ReadValues(const MixerControlDesc& control, DWORD nLine) override
    {
        std::lock_guard<std::mutex> lock(m_device.StateMutex());
        auto& lines = m_device.LinesLocked();
        std::vector<DWORD> values;
        if (control.id == kSelectControlId)
            for (auto& l : lines)
                values.push_back(l.selected ? 1 : 0);
        else if (control.type == MIXERCONTROL_CONTROLTYPE_MUTE)
            for (bool m : lines[nLine].muted)
                values.push_back(m ? 1 : 0);
        else if (control.type == MIXERCONTROL_CONTROLTYPE_ONOFF)
            values.push_back(lines[nLine].sideBySide ? 1 : 0);
        else
            values = lines[nLine].volume;
        return values;
    }

    MMRESULT WriteValues(const MixerControlDesc& control, DWORD nLine, const std::vector<DWORD>& values) override
    {
        std::lock_guard<std::mutex> lock(m_device.StateMutex());
        auto& lines = m_device.LinesLocked();
        if (control.id == kSelectControlId)
        {
            size_t nSet = 0;
            for (DWORD v : values)
                nSet += v ? 1 : 0;
            const bool bExclusive = control.type == MIXERCONTROL_CONTROLTYPE_MUX ||
                                    control.type == MIXERCONTROL_CONTROLTYPE_SINGLESELECT;
            if (bExclusive && nSet != 1)
                return MIXERR_INVALVALUE;
            for (size_t i = 0; i < lines.size() && i < values.size(); ++i)
                lines[i].selected = values[i] != 0;
        }
        else if (control.type == MIXERCONTROL_CONTROLTYPE_MUTE)
            for (size_t ch = 0; ch < lines[nLine].muted.size(); ++ch)
                lines[nLine].muted[ch] = values[std::min(ch, values.size() - 1)] != 0;
        else if (control.type == MIXERCONTROL_CONTROLTYPE_ONOFF)
            lines[nLine].sideBySide = !values.empty() && values[0] != 0;
        else
            for (size_t ch = 0; ch < lines[nLine].volume.size(); ++ch)
                lines[nLine].volume[ch] = values[std::min(ch, values.size() - 1)];
        return MMSYSERR_NOERROR;
    }

private:
    static constexpr DWORD kDestinationId = 0xFFFF0000u;
    static constexpr DWORD kSelectControlId = 1;
    static constexpr DWORD kFirstSourceId = 0x1000;
    static DWORD ControlId(DWORD nLine, DWORD nKind) { return 100 + nLine * 10 + nKind; }

    std::shared_ptr<CVirtualWaveIn> m_pDevice;  // kept alive while the mixer is open
    CVirtualWaveIn& m_device;
};
}  // namespace

MMRESULT CVirtualWaveIn::OpenMixer(std::unique_ptr<IMixerPort>& pMixer)
{
    if (!m_spec.mixerOpens)
        return MMSYSERR_NODRIVER;
    pMixer = std::make_unique<CVirtualMixer>(shared_from_this());
    return MMSYSERR_NOERROR;
}

std::shared_ptr<IWaveBackend> Backend()
{
    static auto backend = std::make_shared<CVirtualBackend>();
    return backend;
}

void SetDevices(const std::vector<DeviceSpec>& specs)
{
    {
        std::lock_guard<std::mutex> lock(g_devicesMutex);
        g_bDevicesMade = true;
        g_devices.clear();
        for (const DeviceSpec& spec : specs)
            g_devices.push_back(std::make_shared<CVirtualWaveIn>(spec));
    }
    // Outside our lock: listing takes the registry's lock first, then ours.
    InvalidateDeviceList();
}

void Restore()
{
    SetDevices({DefaultDevice()});
    UseManualClock(false);
}

std::vector<std::shared_ptr<CVirtualWaveIn>> Devices()
{
    std::lock_guard<std::mutex> lock(g_devicesMutex);
    return DevicesLocked();
}

std::shared_ptr<CVirtualWaveIn> Device(size_t nIndex)
{
    std::lock_guard<std::mutex> lock(g_devicesMutex);
    auto& devices = DevicesLocked();
    return nIndex < devices.size() ? devices[nIndex] : nullptr;
}

void UseManualClock(bool bManual)
{
    g_bManualClock = bManual;
}

bool IsManualClock()
{
    return g_bManualClock;
}

void AdvanceClock(double dSeconds)
{
    uint64_t ns = static_cast<uint64_t>(std::llround(dSeconds * 1e9));
    for (auto& device : Devices())
        device->AdvanceManual(ns);
}
}  // namespace winmm::virt
