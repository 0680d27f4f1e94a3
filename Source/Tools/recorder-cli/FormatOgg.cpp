// Ogg Vorbis recordings for the command-line recorder.
#include "DeviceThread.h"
#include "Formats.h"
#include "ReceiverOGG.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <memory>
#include <string>

namespace
{
CliFormatRegistration g_ogg({"ogg", OUTPUT_FORMAT_OGG, [](const std::string& path, RecordingInfo& info) {
                                 auto pReceiver = std::make_unique<CReceiverOGG>();
                                 // Throws "Error loading libvorbis.dll" when a library is missing.
                                 if (!pReceiver->LoadLibraries())
                                 {
                                     static std::string text;
                                     text = std::string("The Vorbis libraries of this system lack \"") +
                                            pReceiver->MissingEntryPoint() +
                                            "\": OGG recordings cannot be made. Reinstall libvorbis.";
                                     throw text.c_str();
                                 }
                                 pReceiver->FileName = path;
                                 // Throws a text when the settings cannot be encoded.
                                 if (pReceiver->Open(&info.nBitrate) < 0)
                                     throw "Can't create OGG file.";
                                 // The capture format of every OGG recording.
                                 const WAVEFORMATEX& f = GetCurrentDevice()->Format();
                                 info.nSampleRate = f.nSamplesPerSec;
                                 info.nChannels = f.nChannels;
                                 info.nBitsPerSample = f.wBitsPerSample;
                                 CReceiverOGG* p = pReceiver.release();
                                 return PreparedReceiver{p, [p] { delete p; }};
                             }});
}  // namespace
