#include "RecordingStart.h"

#include "MessageBox.h"
#include "Mixer.h"
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "TagText.h"
#include "WaveIn.h"

#include <memory>


CRecordingStarter::CRecordingStarter(CDeviceThread& capture) : m_capture(capture)
{
}

CRecordingStarter::~CRecordingStarter()
{
    FreeReceivers();
}

template <typename T>
void CRecordingStarter::Drop(T*& pSlot)
{
    if (!pSlot)
        return;
    // A stopped recording's capture thread may still be finishing this receiver.
    m_capture.WaitForCaptureEnd();
    delete pSlot;
    pSlot = nullptr;
}

void CRecordingStarter::FreeReceivers()
{
    Drop(m_pReceiverMP3);
    Drop(m_pReceiverOGG);
    Drop(m_pReceiverWAV);
    Drop(m_pReceiverWMA);
}

void CRecordingStarter::PrepareLine(int nCaptureMode, int nChannels, int nRate, int nBits, DWORD nVolume,
                                    RecordingInfo& info)
{
    info.lineName =
        PrepareRecordingLine(CurrentLineChoice(), nCaptureMode, nChannels, nRate, nBits, nVolume, &info.lineBefore,
                             theSettings.BothLayout == BOTH_LAYOUT_SIDE_BY_SIDE);
    CWaveIn* pDevice = GetCurrentDevice();
    info.deviceName = pDevice->Name();
    info.bTestSignal = pDevice->Caps().wMid == MM_VORANE && pDevice->Caps().wPid == MM_VORANE_VIRTUAL_INPUT;
}

CReceiverMP3* CRecordingStarter::PrepareMP3(const std::shared_ptr<CRecordingFile>& file, RecordingInfo& info)
{
    const int nKbps = Mp3BitrateTable[theSettings.Mp3BitrateIndex];
    info.nBitrate = static_cast<uint32_t>(nKbps) * 1000u;
    PrepareLine(CAPTURE_MODE_MP3, 2, 44100, 16, static_cast<DWORD>(theSettings.Mp3Volume), info);
    Drop(m_pReceiverMP3);
    // The encoder decides the output rate; the binding throws its own texts.
    m_pReceiverMP3 = new CReceiverMP3(static_cast<uint32_t>(nKbps), 0);
    m_pReceiverMP3->Output = file;
    m_pReceiverMP3->Tags = CurrentTrackTags();
    // What the file really carries: a rate the format lacks is written at the next one up.
    info.nBitrate = m_pReceiverMP3->Encoder.WrittenBitrate() * 1000u;
    const WAVEFORMATEX& f = GetCurrentDevice()->Format();
    info.nSampleRate = f.nSamplesPerSec;
    info.nChannels = f.nChannels;
    return m_pReceiverMP3;
}

namespace
{
// The WAV page's channels, rate and bits, as the row and the view show them.
void WavSettingsInto(RecordingInfo& info)
{
    info.nChannels = static_cast<uint32_t>(WavChannelTable[theSettings.WavChannelsIndex]);
    info.nSampleRate = static_cast<uint32_t>(WavSampleRateTable[theSettings.WavSampleRateIndex]);
    info.nBitsPerSample = static_cast<uint32_t>(WavBitsTable[theSettings.WavBitsIndex]);
}
}  // namespace

CReceiverOGG* CRecordingStarter::PrepareOGG(const std::shared_ptr<CRecordingFile>& file, RecordingInfo& info)
{
    // An OGG recording shows the WAV settings; the encoder itself always takes 44.1 kHz stereo.
    WavSettingsInto(info);
    PrepareLine(CAPTURE_MODE_OGG, 2, 44100, 16, 100, info);
    Drop(m_pReceiverOGG);
    m_pReceiverOGG = new CReceiverOGG;
    // Throws when a library or an entry point is missing.
    m_pReceiverOGG->LoadLibraries();
    m_pReceiverOGG->Output = file;
    m_pReceiverOGG->Options = CurrentOggOptions();
    m_pReceiverOGG->Tags = CurrentTrackTags();
    // Throws a text when the settings cannot be encoded or the file takes nothing.
    m_pReceiverOGG->Open(&info.nBitrate);
    return m_pReceiverOGG;
}

CReceiverWAV* CRecordingStarter::PrepareWAV(const std::shared_ptr<CRecordingFile>& file, RecordingInfo& info)
{
    WavSettingsInto(info);
    info.nBitrate = info.nSampleRate * info.nChannels * info.nBitsPerSample;
    PrepareLine(CAPTURE_MODE_WAV, static_cast<int>(info.nChannels), static_cast<int>(info.nSampleRate),
                static_cast<int>(info.nBitsPerSample), 100, info);
    Drop(m_pReceiverWAV);
    m_pReceiverWAV = new CReceiverWAV;
    m_pReceiverWAV->Output = file;
    m_pReceiverWAV->CaptureFormat = GetCurrentDevice()->Format();
    m_pReceiverWAV->FormatSet = 1;
    return m_pReceiverWAV;
}

CReceiverWMA* CRecordingStarter::PrepareWMA(const std::shared_ptr<CRecordingFile>& file, RecordingInfo& info)
{
    PrepareLine(CAPTURE_MODE_WMA, 2, 44100, 16, 100, info);
    Drop(m_pReceiverWMA);
    m_pReceiverWMA = new CReceiverWMA;
    // Throws "Error loading bass.dll" or "Error loading basswma.dll".
    m_pReceiverWMA->LoadLibraries();
    m_pReceiverWMA->Output = file;
    m_pReceiverWMA->Options = CurrentWmaOptions();
    m_pReceiverWMA->Tags = CurrentTrackTags();
    m_pReceiverWMA->Open(&info.nBitrate);
    const WAVEFORMATEX& f = GetCurrentDevice()->Format();
    info.nBitsPerSample = f.wBitsPerSample;
    info.nChannels = f.nChannels;
    info.nSampleRate = f.nSamplesPerSec;
    return m_pReceiverWMA;
}

IReceiver* CRecordingStarter::Prepare(int nOutputFormat, const std::shared_ptr<CRecordingFile>& file,
                                     RecordingInfo& info, HWND hOwner)
{
    std::string failure;
    try
    {
        switch (nOutputFormat)
        {
        case OUTPUT_FORMAT_MP3:
            return PrepareMP3(file, info);
        case OUTPUT_FORMAT_OGG:
            return PrepareOGG(file, info);
        case OUTPUT_FORMAT_WAV:
            return PrepareWAV(file, info);
        case OUTPUT_FORMAT_WMA:
            return PrepareWMA(file, info);
        default:
            failure = "The output format in the settings is unknown. Choose MP3, OGG, WAV or WMA.";
            break;
        }
    }
    catch (const CRecorderError& error)
    {
        failure = error.what();
    }
    catch (...)
    {
        failure = "Application exception.";
    }
    // A receiver that failed to set up lets go of the file, and what the preparation changed
    // on the line goes back: no recording runs.
    for (IReceiver* pReceiver : std::initializer_list<IReceiver*>{m_pReceiverMP3, m_pReceiverOGG, m_pReceiverWAV, m_pReceiverWMA})
        if (pReceiver && pReceiver->Output == file)
            pReceiver->Output.reset();
    RestoreRecordingLine(info.lineBefore);
    info.lineBefore = LineSnapshot();
    MessageBoxA(hOwner, failure.c_str(), APP_CAPTION, MB_ICONHAND);
    return nullptr;
}

TrackTags CurrentTrackTags()
{
    TrackTags tags;
    tags.album = theSettings.AlbumTitle;
    tags.artist = theSettings.Artist;
    tags.title = theSettings.Title;
    tags.year = TagYear(theSettings.YearIndex);
    return tags;
}

OggOptions CurrentOggOptions()
{
    OggOptions options;
    options.nMode = theSettings.OggMode;
    options.nQuality = theSettings.OggQuality;
    options.nMinBitrateIndex = theSettings.OggMinBitrateIndex;
    options.nNominalBitrateIndex = theSettings.OggNominalBitrateIndex;
    options.nMaxBitrateIndex = theSettings.OggMaxBitrateIndex;
    return options;
}

WmaOptions CurrentWmaOptions()
{
    WmaOptions options;
    options.nMode = theSettings.WmaMode;
    options.nBitrateIndex = theSettings.WmaBitrateIndex;
    options.nQualityIndex = theSettings.WmaQualityIndex;
    return options;
}

LineChoice CurrentLineChoice()
{
    return FindKeptChoice(theSettings.DeviceName, theSettings.LineName,
                          LineChoice{theSettings.DeviceIndex, theSettings.LineIndex});
}

SilenceGateOptions CurrentSilenceGate()
{
    SilenceGateOptions options;
    options.bOn = theSettings.SkipSilence != 0;
    options.nThresholdDb = theSettings.SkipSilenceDb;
    options.nHoldMilliseconds = theSettings.SkipSilenceHoldMs;
    return options;
}

std::string DescribeSource(const RecordingInfo& info)
{
    std::string text = "Recording from \"" + info.lineName + "\" of " + info.deviceName;
    if (info.bTestSignal)
        text += " (test tones: no sound server answered, so this is the built-in virtual input)";
    return text;
}

ReceiverRecipe CurrentRecipe(int nOutputFormat)
{
    ReceiverRecipe recipe;
    recipe.nOutputFormat = nOutputFormat;
    recipe.nMp3Kbps = static_cast<uint32_t>(Mp3BitrateTable[theSettings.Mp3BitrateIndex]);
    recipe.tags = CurrentTrackTags();
    recipe.ogg = CurrentOggOptions();
    recipe.wma = CurrentWmaOptions();
    if (CWaveIn* pDevice = GetCurrentDevice())
        recipe.captureFormat = pDevice->Format();
    return recipe;
}

namespace
{
// An OGG or WMA receiver with its libraries loaded and its stream opened on the file.
template <class TReceiver, class TOptions, class TTags>
std::shared_ptr<IReceiver> OpenedEncoder(const std::shared_ptr<CRecordingFile>& file, const TOptions& options,
                                         const TTags& tags)
{
    auto pReceiver = std::make_shared<TReceiver>();
    pReceiver->LoadLibraries();
    pReceiver->Output = file;
    pReceiver->Options = options;
    pReceiver->Tags = tags;
    uint32_t nBitrate = 0;
    pReceiver->Open(&nBitrate);
    return pReceiver;
}
}  // namespace

std::shared_ptr<IReceiver> MakeReceiver(const ReceiverRecipe& recipe, const std::shared_ptr<CRecordingFile>& file)
{
    switch (recipe.nOutputFormat)
    {
    case OUTPUT_FORMAT_MP3:
    {
        auto pReceiver = std::make_shared<CReceiverMP3>(recipe.nMp3Kbps, 0);
        pReceiver->Output = file;
        pReceiver->Tags = recipe.tags;
        return pReceiver;
    }
    case OUTPUT_FORMAT_OGG:
        return OpenedEncoder<CReceiverOGG>(file, recipe.ogg, recipe.tags);
    case OUTPUT_FORMAT_WAV:
    {
        auto pReceiver = std::make_shared<CReceiverWAV>();
        pReceiver->Output = file;
        pReceiver->CaptureFormat = recipe.captureFormat;
        pReceiver->FormatSet = 1;
        return pReceiver;
    }
    case OUTPUT_FORMAT_WMA:
        return OpenedEncoder<CReceiverWMA>(file, recipe.wma, recipe.tags);
    default:
        throw CRecorderError("The output format in the settings is unknown. Choose MP3, OGG, WAV or WMA.");
    }
}
