// MP3 recordings for the command-line recorder.
#include "DeviceThread.h"
#include "Formats.h"
#include "ReceiverMP3.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

namespace
{
CliFormatRegistration g_mp3({"mp3", OUTPUT_FORMAT_MP3, [](const std::string& path, RecordingInfo& info) {
                                 const int nKbps = Mp3BitrateTable[theSettings.Mp3BitrateIndex];
                                 info.nBitrate = static_cast<unsigned>(nKbps) * 1000u;
                                 // Throws the binding's texts; the recording then does not start.
                                 auto* pReceiver = new CReceiverMP3(static_cast<uint32_t>(nKbps), 0);
                                 pReceiver->FileName = path;
                                 const WAVEFORMATEX& f = GetCurrentDevice()->Format();
                                 info.nSampleRate = f.nSamplesPerSec;
                                 info.nChannels = f.nChannels;
                                 return PreparedReceiver{pReceiver, [pReceiver] { delete pReceiver; }};
                             }});
}  // namespace
