#include "EncoderFixtures.h"

#include "DeviceThread.h"
#include "LameEncoder.h"
#include "Mp3Frames.h"
#include "OggPages.h"
#include "ReceiverMP3.h"
#include "ReceiverOGG.h"
#include "ReceiverWAV.h"
#include "ReceiverWMA.h"
#include "RecordingFiles.h"
#include "RecordingStart.h"
#include "TestSupport.h"
#include "VirtualDevice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <type_traits>
#include <unistd.h>

std::vector<uint8_t> StereoTone(double dSeconds, double dFrequency, double dAmplitude)
{
    const size_t nFrames = static_cast<size_t>(dSeconds * 44100 + 0.5);
    std::vector<uint8_t> pcm(nFrames * 4);
    for (size_t i = 0; i < nFrames; ++i)
    {
        auto v = static_cast<int16_t>(std::lround(dAmplitude * 32767 * std::sin(2 * M_PI * dFrequency * i / 44100.0)));
        std::memcpy(&pcm[4 * i], &v, 2);
        std::memcpy(&pcm[4 * i + 2], &v, 2);
    }
    return pcm;
}

std::string TestFolderName()
{
    const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
    return pInfo ? std::string(pInfo->test_suite_name()) + "." + pInfo->name() : "encoders";
}

void UseBuiltLameModule()
{
    SetLameLibraryPath(std::string(VORANE_APP_DIR) + "/liblame_enc.so");
}

int CurrentYear()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    return localtime_r(&now, &local)->tm_year + 1900;
}

std::shared_ptr<CRecordingFile> RecordingFileFor(const std::string& path)
{
    unlink(path.c_str());
    const size_t nSlash = path.rfind('/');
    return CRecordingFile::Create(nSlash == std::string::npos ? "." : path.substr(0, nSlash),
                                  nSlash == std::string::npos ? path : path.substr(nSlash + 1));
}

std::shared_ptr<IReceiver> PreparedReceiver(const std::string& format, const std::string& path)
{
    theSettings.OggMode = 0;
    theSettings.OggQuality = 400;
    theSettings.WmaMode = 0;
    theSettings.WmaBitrateIndex = 2;
    uint32_t nBitrate = 0;
    auto opened = [&](auto receiver) -> std::shared_ptr<IReceiver> {
        receiver->Output = RecordingFileFor(path);
        receiver->Tags = CurrentTrackTags();
        if constexpr (std::is_same_v<decltype(receiver), std::shared_ptr<CReceiverOGG>>)
            receiver->Options = CurrentOggOptions();
        else
            receiver->Options = CurrentWmaOptions();
        try
        {
            receiver->LoadLibraries();
            receiver->Open(&nBitrate);
            return receiver;
        }
        catch (const CRecorderError&)
        {
            return nullptr;
        }
    };
    if (format == "ogg")
        return opened(std::make_shared<CReceiverOGG>());
    if (format == "wma")
    {
        CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
        return opened(std::make_shared<CReceiverWMA>());
    }
    std::shared_ptr<IReceiver> receiver;
    if (format == "wav")
    {
        auto wav = std::make_shared<CReceiverWAV>();
        wav->CaptureFormat = WAVEFORMATEX{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
        wav->FormatSet = 1;
        receiver = wav;
    }
    else
    {
        UseBuiltLameModule();
        auto mp3 = std::make_shared<CReceiverMP3>(128, 0);
        mp3->Tags = CurrentTrackTags();
        receiver = mp3;
    }
    receiver->Output = RecordingFileFor(path);
    return receiver;
}

bool RecordOnManualClock(IReceiver* pReceiver, double dSeconds)
{
    CDeviceThread capture;
    if (!capture.StartCapture(pReceiver).empty())
        return false;
    winmm::virt::AdvanceClock(dSeconds);
    capture.StopCapture();
    return capture.WaitForCaptureEnd(20000);
}

void ExpectWholeFile(const std::string& path, double dMinSeconds, double dMaxSeconds, double dLengthTolerance,
                     const std::string& what, bool bFinished)
{
    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok) << what << ": " << decoded.error;
    FfmpegVerdict verdict = AskFfmpeg(path);
    EXPECT_EQ("", verdict.errors) << what;
    EXPECT_GE(decoded.duration, dMinSeconds) << what;
    EXPECT_LE(decoded.duration, dMaxSeconds) << what;
    EXPECT_NEAR(verdict.statedDuration, decoded.duration, dLengthTolerance) << what;
    if (bFinished && path.ends_with(".mp3"))
    {
        Mp3Walk walk = WalkMp3File(path);
        EXPECT_TRUE(walk.ok) << what << ": " << walk.error;
        EXPECT_EQ(128u, walk.id3v1.size()) << what << ": no closing tag";
    }
    if (bFinished && path.ends_with(".ogg"))
    {
        OggWalk walk = WalkOggFile(path);
        ASSERT_TRUE(walk.ok) << what << ": " << walk.error;
        EXPECT_TRUE(walk.pages.back().Eos()) << what << ": no end-of-stream page";
    }
}

int RunRecorder(const std::string& folder, const std::string& args, std::string* pOutput, const std::string& prefix)
{
    return RunCommand(prefix + "'" + VORANE_APP_DIR + "/vorane-record' --folder '" + folder + "' " + args + " 2>&1",
                      pOutput);
}
