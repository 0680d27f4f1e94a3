// WAV recordings for the command-line recorder.
#include "DeviceThread.h"
#include "Formats.h"
#include "ReceiverWAV.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

namespace
{
CliFormatRegistration g_wav({"wav", OUTPUT_FORMAT_WAV, [](const std::string& path, RecordingInfo& info) {
                                 auto* pReceiver = new CReceiverWAV;
                                 pReceiver->FileName = path;
                                 const WAVEFORMATEX& f = GetCurrentDevice()->Format();
                                 pReceiver->CaptureFormat = f;
                                 pReceiver->FormatSet = 1;
                                 info.nChannels = f.nChannels;
                                 info.nSampleRate = f.nSamplesPerSec;
                                 info.nBitsPerSample = f.wBitsPerSample;
                                 info.nBitrate = f.nSamplesPerSec * f.nChannels * f.wBitsPerSample;
                                 return PreparedReceiver{pReceiver, [pReceiver] { delete pReceiver; }};
                             }});
}  // namespace
