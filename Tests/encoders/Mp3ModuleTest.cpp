// The encoder module's own interface, called directly: an output area is never overrun.
#include "BladeMP3EncDLL.h"
#include "EncoderFixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>

TEST(Mp3Module, AnOutputAreaTooSmallIsReportedAndNeverOverrun)
{
    void* hModule = dlopen((std::string(VORANE_APP_DIR) + "/liblame_enc.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, hModule) << dlerror();
    auto init = reinterpret_cast<BEINITSTREAM>(dlsym(hModule, TEXT_BEINITSTREAM));
    auto encode = reinterpret_cast<BEENCODECHUNK>(dlsym(hModule, TEXT_BEENCODECHUNK));
    auto close = reinterpret_cast<BECLOSESTREAM>(dlsym(hModule, TEXT_BECLOSESTREAM));
    ASSERT_TRUE(init && encode && close);

    BE_CONFIG c;
    std::memset(&c, 0, sizeof(c));
    c.dwConfig = BE_CONFIG_LAME;
    c.format.LHV1.dwStructVersion = 1;
    c.format.LHV1.dwStructSize = sizeof(c);
    c.format.LHV1.dwSampleRate = 44100;
    c.format.LHV1.nMode = BE_MP3_MODE_JSTEREO;
    c.format.LHV1.dwBitrate = 320;
    c.format.LHV1.nPreset = LQP_CBR;
    c.format.LHV1.dwMpegVersion = MPEG1;
    c.format.LHV1.bNoRes = 1;
    uint32_t nChunkSamples = 0, nBufferSize = 0;
    HBE_STREAM hStream = 0;
    ASSERT_EQ(BE_ERR_SUCCESSFUL, init(&c, &nChunkSamples, &nBufferSize, &hStream));

    std::vector<uint8_t> pcm = StereoTone(1.0, 1000);
    std::vector<uint8_t> area(1000 + 64, 0xA5);
    uint32_t n = 1000;
    EXPECT_EQ(BE_ERR_BUFFER_TOO_SMALL, encode(hStream, static_cast<uint32_t>(pcm.size() / 2),
                                              reinterpret_cast<int16_t*>(pcm.data()), area.data(), &n));
    EXPECT_EQ(0u, n);
    for (size_t i = 1000; i < area.size(); ++i)
        ASSERT_EQ(0xA5, area[i]) << "byte " << i << " past the area was written";
    close(hStream);
    dlclose(hModule);
}
