// WMA recordings for the command-line recorder.
#include "DeviceThread.h"
#include "Formats.h"
#include "MessageBox.h"
#include "ReceiverWMA.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

namespace
{
CliFormatRegistration g_wma({"wma", OUTPUT_FORMAT_WMA, [](const std::string& path, RecordingInfo& info) {
                                 auto* pReceiver = new CReceiverWMA;
                                 try
                                 {
                                     pReceiver->LoadLibraries();
                                 }
                                 catch (...)
                                 {
                                     delete pReceiver;
                                     throw;
                                 }
                                 pReceiver->FileName = path;
                                 uint32_t nBitrate = 0;
                                 if (pReceiver->Open(&nBitrate) < 0)
                                 {
                                     // The program abandons such a start quietly; here the user
                                     // would otherwise see nothing at all.
                                     ShowAppError(pReceiver->OpenFailure());
                                     delete pReceiver;
                                     return PreparedReceiver{};
                                 }
                                 const WAVEFORMATEX& f = GetCurrentDevice()->Format();
                                 info.nBitrate = nBitrate;
                                 info.nBitsPerSample = f.wBitsPerSample;
                                 info.nChannels = f.nChannels;
                                 info.nSampleRate = f.nSamplesPerSec;
                                 return PreparedReceiver{pReceiver, [pReceiver] { delete pReceiver; }};
                             }});
}  // namespace
