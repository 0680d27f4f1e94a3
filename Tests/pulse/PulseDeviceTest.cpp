// The sound server as the program's capture device: listed first with its
// sources as lines, the virtual device after it; the lines follow the server;
// the mixer controls are the sources' own; the wave-input handle keeps the
// Windows rules on this device.
#include "DeviceThread.h"
#include "Event.h"
#include "Mixer.h"
#include "PulseTestSupport.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace
{
// Places where a steady sine of that frequency breaks (a gap, a jump, a lost
// stretch), once it has begun.
int SineBreaks(const std::vector<float>& x, double dFrequency, double dRate)
{
    const double c = 2 * std::cos(2 * M_PI * dFrequency / dRate);
    size_t i = 0;
    while (i < x.size() && std::fabs(x[i]) < 0.1f)
        ++i;
    int nBreaks = 0;
    bool bInBreak = false;
    for (i += 2; i < x.size(); ++i)
    {
        bool bOff = std::fabs(x[i] - (c * x[i - 1] - x[i - 2])) > 0.02;
        nBreaks += bOff && !bInBreak;
        bInBreak = bOff;
    }
    return nBreaks;
}

class PulseDevice : public CPulseTest
{
protected:
    std::vector<std::string> LineNames()
    {
        std::vector<std::string> names;
        CMixer& mixer = EnumDevices().at(0)->GetMixer();
        for (size_t i = 0; i < mixer.GetLineCount(); ++i)
            names.push_back(mixer.GetLine(i)->Name());
        mixer.Close();
        return names;
    }
    std::string Pactl(const std::string& arguments)
    {
        std::string output;
        EXPECT_EQ(0, TheDaemon().Pactl(arguments, &output)) << output;
        return output;
    }
};

TEST_F(PulseDevice, TheServerIsListedFirstWithStereoMixAndTheVirtualDeviceRemains)
{
    std::vector<CWaveIn*>& devices = EnumDevices();
    ASSERT_EQ(2u, devices.size());
    EXPECT_STREQ("PulseAudio Sound Server", devices[0]->Name());
    EXPECT_STREQ("Vorane Virtual Input", devices[1]->Name());
    EXPECT_EQ((std::vector<std::string>{"Stereo Mix", "Stereo Mix (Second Output)", "Sine source at 440 Hz"}),
              LineNames());

    // The default settings choose the server and its "Stereo Mix".
    std::string device, line;
    ASSERT_TRUE(SelectCurrentDevice(device, line));
    EXPECT_EQ("PulseAudio Sound Server", device);
    EXPECT_EQ("Stereo Mix", line);
    EXPECT_EQ(devices[0], GetCurrentDevice());
}

TEST_F(PulseDevice, TheLinesAreTheServersSourcesAsOfEachOpening)
{
    std::string index = Pactl("load-module module-null-sink sink_name=vorane_usb sink_properties=device.description=USB");
    EXPECT_EQ((std::vector<std::string>{"Stereo Mix", "Stereo Mix (Second Output)", "Sine source at 440 Hz",
                                        "Stereo Mix (USB)"}),
              LineNames());
    // Another default output: its monitor becomes "Stereo Mix".
    Pactl("set-default-sink vorane_usb");
    EXPECT_EQ((std::vector<std::string>{"Stereo Mix", "Stereo Mix (Test Speakers)", "Stereo Mix (Second Output)",
                                        "Sine source at 440 Hz"}),
              LineNames());
    Pactl("set-default-sink " + std::string(CPulseDaemon::kOutput));
    Pactl("unload-module " + std::to_string(std::atoi(index.c_str())));
    EXPECT_EQ(3u, LineNames().size());
}

TEST_F(PulseDevice, MuteAndVolumeAreTheSourcesOwn)
{
    const std::string sine = kSineSource;
    CMixer& mixer = EnumDevices().at(0)->GetMixer();
    CMixerLine* pLine = mixer.FindLine("Sine source at 440 Hz");
    Pactl("set-source-mute " + sine + " 1");
    pLine->Unmute();
    EXPECT_NE(std::string::npos, Pactl("get-source-mute " + sine).find("Mute: no"));
    pLine->SetVolume(50);
    // Half the amplitude is 79% on the server's own (cubic) scale.
    EXPECT_NE(std::string::npos, Pactl("get-source-volume " + sine).find("79%"));
    pLine->SetVolume(100);
    EXPECT_NE(std::string::npos, Pactl("get-source-volume " + sine).find("100%"));
    mixer.Close();
}

TEST_F(PulseDevice, TheVolumeKeepsTheBalanceOfTheSource)
{
    const std::string monitor = std::string(kSecondOutput) + ".monitor";
    Pactl("set-source-volume " + monitor + " 100% 50%");
    CMixer& mixer = EnumDevices().at(0)->GetMixer();
    mixer.FindLine("Stereo Mix (Second Output)")->SetVolume(50);
    mixer.Close();
    // The louder channel is at half amplitude (79%), the other keeps its ratio to it.
    std::string volume = Pactl("get-source-volume " + monitor);
    EXPECT_NE(std::string::npos, volume.find("79%")) << volume;
    EXPECT_NE(std::string::npos, volume.find("40%")) << volume;
}

TEST_F(PulseDevice, TheSourceSelectControlIsExclusiveAndFollowsTheSelectedLine)
{
    CMixer& mixer = EnumDevices().at(0)->GetMixer();
    mixer.FindLine("Sine source at 440 Hz")->SelectAsSource();
    mixer.Close();
    HMIXER hMixer = nullptr;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&hMixer, 0, 0, 0, MIXER_OBJECTF_WAVEIN));
    MIXERLINEA destination{};
    destination.cbStruct = sizeof(destination);
    destination.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(hMixer), &destination,
                                                  MIXER_GETLINEINFOF_COMPONENTTYPE));
    MIXERCONTROLA control{};
    MIXERLINECONTROLSA query{};
    query.cbStruct = sizeof(query);
    query.dwLineID = destination.dwLineID;
    query.dwControlType = MIXERCONTROL_CONTROLTYPE_MUX;
    query.cControls = 1;
    query.cbmxctrl = sizeof(control);
    query.pamxctrl = &control;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(hMixer), &query,
                                                      MIXER_GETLINECONTROLSF_ONEBYTYPE));
    ASSERT_EQ(3u, control.cMultipleItems);
    std::vector<MIXERCONTROLDETAILS_BOOLEAN> values(3);
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof(details);
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cMultipleItems = 3;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_BOOLEAN);
    details.paDetails = values.data();
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(hMixer), &details,
                                                        MIXER_GETCONTROLDETAILSF_VALUE));
    EXPECT_EQ(0, values[0].fValue);
    EXPECT_EQ(0, values[1].fValue);
    EXPECT_EQ(1, values[2].fValue);
    // One source at a time: two set entries are refused and change nothing.
    values[0].fValue = 1;
    EXPECT_EQ(MIXERR_INVALVALUE, mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(hMixer), &details,
                                                        MIXER_SETCONTROLDETAILSF_VALUE));
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(hMixer), &details,
                                                        MIXER_GETCONTROLDETAILSF_VALUE));
    EXPECT_EQ(0, values[0].fValue);
    EXPECT_EQ(1, values[2].fValue);
    mixerClose(hMixer);
}

// An open wave-input handle on the sound server, 44100 Hz 16-bit stereo.
class PulseWaveInHandle : public CPulseTest
{
protected:
    void SetUp() override
    {
        CPulseTest::SetUp();
        ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
        CWaveIn::SetPcmFormat(m_format, 16, 2, 44100);
        ASSERT_EQ(MMSYSERR_NOERROR,
                  waveInOpen(&m_hWaveIn, 0, &m_format, reinterpret_cast<DWORD_PTR>(m_hEvent), 0, CALLBACK_EVENT));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hEvent, 0));  // the open's own signal
    }
    void TearDown() override
    {
        if (m_hWaveIn)
        {
            waveInReset(m_hWaveIn);
            for (WAVEHDR& h : m_headers)
                if (h.dwFlags & WHDR_PREPARED)
                    waveInUnprepareHeader(m_hWaveIn, &h, sizeof(WAVEHDR));
            EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(m_hWaveIn));
        }
        CloseHandle(m_hEvent);
        CPulseTest::TearDown();
    }
    void Queue(int i, size_t nFrames)
    {
        m_buffers[i].assign(nFrames * 4, 0);
        m_headers[i] = WAVEHDR{};
        m_headers[i].lpData = m_buffers[i].data();
        m_headers[i].dwBufferLength = static_cast<DWORD>(m_buffers[i].size());
        ASSERT_EQ(MMSYSERR_NOERROR, waveInPrepareHeader(m_hWaveIn, &m_headers[i], sizeof(WAVEHDR)));
        ASSERT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(m_hWaveIn, &m_headers[i], sizeof(WAVEHDR)));
    }
    // The flags are read only after the event: the handle sets them, then signals.
    void WaitDone(int i)
    {
        do
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hEvent, 10000));
        while (!(m_headers[i].dwFlags & WHDR_DONE));
    }
    DWORD Position()
    {
        MMTIME position{};
        position.wType = TIME_SAMPLES;
        EXPECT_EQ(MMSYSERR_NOERROR, waveInGetPosition(m_hWaveIn, &position, sizeof(position)));
        return position.u.sample;
    }

    CTonePlayer m_tone;
    HANDLE m_hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    WAVEFORMATEX m_format{};
    HWAVEIN m_hWaveIn = nullptr;
    std::vector<char> m_buffers[2];
    WAVEHDR m_headers[2] = {};
};

TEST_F(PulseWaveInHandle, AStopReturnsThePartlyFilledBufferAndThePositionCountsItsSamples)
{
    // One frame, then ten seconds: the fragment that fills the first goes on into the second.
    Queue(0, 1);
    Queue(1, 441000);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(m_hWaveIn));
    WaitDone(0);
    EXPECT_EQ(4u, m_headers[0].dwBytesRecorded);

    ASSERT_EQ(MMSYSERR_NOERROR, waveInStop(m_hWaveIn));
    const DWORD nPosition = Position();
    ASSERT_EQ(MMSYSERR_NOERROR, waveInReset(m_hWaveIn));
    EXPECT_TRUE(m_headers[1].dwFlags & WHDR_DONE);
    EXPECT_GT(m_headers[1].dwBytesRecorded, 0u);
    EXPECT_LT(m_headers[1].dwBytesRecorded, m_headers[1].dwBufferLength);
    EXPECT_EQ(0u, m_headers[1].dwBytesRecorded % 4);
    // Nothing came after the stop: the position is every frame in the two buffers.
    EXPECT_EQ((m_headers[0].dwBytesRecorded + m_headers[1].dwBytesRecorded) / 4, nPosition);
}

TEST_F(PulseWaveInHandle, AProgramLateWithItsNextBufferLosesNoAudio)
{
    Queue(0, 44100);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(m_hWaveIn));
    WaitDone(0);
    // The program is a second and a half late with its next buffer (this wait is the
    // lateness being tested, not a synchronisation).
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Queue(1, 3 * 44100);
    WaitDone(1);
    // Audio comes only as the buffers take it, and the two join without a gap.
    EXPECT_EQ(4u * 44100, Position());
    std::vector<float> samples = FirstChannel(reinterpret_cast<const uint8_t*>(m_buffers[0].data()),
                                              m_buffers[0].size(), 2, 16);
    std::vector<float> more = FirstChannel(reinterpret_cast<const uint8_t*>(m_buffers[1].data()),
                                           m_buffers[1].size(), 2, 16);
    samples.insert(samples.end(), more.begin(), more.end());
    EXPECT_EQ(0, SineBreaks(samples, 1000, 44100));
}

TEST_F(PulseDevice, OneRecordingAtATime)
{
    WAVEFORMATEX format{};
    CWaveIn::SetPcmFormat(format, 16, 2, 44100);
    HWAVEIN hFirst = nullptr, hSecond = nullptr;
    ASSERT_EQ(MMSYSERR_NOERROR, waveInOpen(&hFirst, 0, &format, 0, 0, CALLBACK_NULL));
    EXPECT_EQ(MMSYSERR_ALLOCATED, waveInOpen(&hSecond, 0, &format, 0, 0, CALLBACK_NULL));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(hFirst));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInOpen(&hSecond, 0, &format, 0, 0, CALLBACK_NULL));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(hSecond));
}
}  // namespace
