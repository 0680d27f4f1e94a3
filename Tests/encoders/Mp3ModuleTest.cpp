// The encoder module's own interface, called directly: output areas are never
// overrun, handles are checked, and the info tag goes only where room was kept.
#include "BladeMP3EncDLL.h"
#include "EncoderFixtures.h"
#include "Mp3Frames.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

class Mp3Module : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hModule = dlopen((std::string(VORANE_APP_DIR) + "/liblame_enc.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(nullptr, m_hModule) << dlerror();
        m_init = reinterpret_cast<BEINITSTREAM>(dlsym(m_hModule, TEXT_BEINITSTREAM));
        m_encode = reinterpret_cast<BEENCODECHUNK>(dlsym(m_hModule, TEXT_BEENCODECHUNK));
        m_deinit = reinterpret_cast<BEDEINITSTREAM>(dlsym(m_hModule, TEXT_BEDEINITSTREAM));
        m_close = reinterpret_cast<BECLOSESTREAM>(dlsym(m_hModule, TEXT_BECLOSESTREAM));
        m_infoTag = reinterpret_cast<BEWRITEINFOTAG>(dlsym(m_hModule, TEXT_BEWRITEINFOTAG));
        ASSERT_TRUE(m_init && m_encode && m_deinit && m_close && m_infoTag);
    }
    void TearDown() override
    {
        if (m_hStream)
            m_close(m_hStream);
        if (m_hModule)
            dlclose(m_hModule);
    }

    static BE_CONFIG Config(uint32_t nKbps, bool bInfoFrame)
    {
        BE_CONFIG c;
        std::memset(&c, 0, sizeof(c));
        c.dwConfig = BE_CONFIG_LAME;
        c.format.LHV1.dwStructVersion = 1;
        c.format.LHV1.dwStructSize = sizeof(c);
        c.format.LHV1.dwSampleRate = 44100;
        c.format.LHV1.nMode = BE_MP3_MODE_JSTEREO;
        c.format.LHV1.dwBitrate = nKbps;
        c.format.LHV1.nPreset = LQP_CBR;
        c.format.LHV1.dwMpegVersion = MPEG1;
        c.format.LHV1.bWriteVBRHeader = bInfoFrame;
        c.format.LHV1.bNoRes = 1;
        return c;
    }

    void Open(uint32_t nKbps, bool bInfoFrame = false)
    {
        BE_CONFIG c = Config(nKbps, bInfoFrame);
        ASSERT_EQ(BE_ERR_SUCCESSFUL, m_init(&c, &m_nChunkSamples, &m_nBufferSize, &m_hStream));
        ASSERT_NE(0u, m_hStream);
    }

    void* m_hModule = nullptr;
    BEINITSTREAM m_init = nullptr;
    BEENCODECHUNK m_encode = nullptr;
    BEDEINITSTREAM m_deinit = nullptr;
    BECLOSESTREAM m_close = nullptr;
    BEWRITEINFOTAG m_infoTag = nullptr;
    HBE_STREAM m_hStream = 0;
    uint32_t m_nChunkSamples = 0;
    uint32_t m_nBufferSize = 0;
};

TEST_F(Mp3Module, AnOutputAreaTooSmallIsReportedAndNeverOverrun)
{
    Open(320);
    std::vector<uint8_t> pcm = StereoTone(1.0, 1000);
    std::vector<uint8_t> area(1000 + 64, 0xA5);
    uint32_t n = 1000;
    EXPECT_EQ(BE_ERR_BUFFER_TOO_SMALL,
              m_encode(m_hStream, static_cast<uint32_t>(pcm.size() / 2), reinterpret_cast<int16_t*>(pcm.data()),
                       area.data(), &n));
    EXPECT_EQ(0u, n);
    for (size_t i = 1000; i < area.size(); ++i)
        ASSERT_EQ(0xA5, area[i]) << "byte " << i << " past the area was written";
}

TEST_F(Mp3Module, ASizeOfZeroHoldsTheCallerToTheChunkAndBufferSizesItWasGiven)
{
    Open(192);
    EXPECT_EQ(2u * 1152, m_nChunkSamples);
    EXPECT_GE(m_nBufferSize, 7200u);
    std::vector<uint8_t> pcm = StereoTone(1.0, 1000);
    std::vector<uint8_t> area(m_nBufferSize);
    uint32_t n = 0;
    EXPECT_EQ(BE_ERR_BUFFER_TOO_SMALL, m_encode(m_hStream, m_nChunkSamples + 2,
                                                reinterpret_cast<int16_t*>(pcm.data()), area.data(), &n));
    uint64_t nTotal = 0;
    for (size_t pos = 0; pos + m_nChunkSamples * 2 <= pcm.size(); pos += m_nChunkSamples * 2)
    {
        n = 0;
        ASSERT_EQ(BE_ERR_SUCCESSFUL, m_encode(m_hStream, m_nChunkSamples, reinterpret_cast<int16_t*>(&pcm[pos]),
                                              area.data(), &n));
        nTotal += n;
    }
    EXPECT_GT(nTotal, 20000u);
}

TEST_F(Mp3Module, UnknownOrClosedHandlesAreRefused)
{
    Open(128);
    uint8_t area[8192];
    uint32_t n = sizeof(area);
    int16_t samples[4] = {0, 0, 0, 0};
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, m_encode(m_hStream + 1000, 4, samples, area, &n));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, m_encode(0, 4, samples, area, &n));
    EXPECT_EQ(BE_ERR_SUCCESSFUL, m_close(m_hStream));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, m_close(m_hStream));
    n = sizeof(area);
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, m_deinit(m_hStream, area, &n));
    m_hStream = 0;
}

TEST_F(Mp3Module, TheInfoTagGoesOnlyIntoTheFrameKeptForIt)
{
    CTempFolder folder(TestFolderName() + "-mp3module");
    for (bool bInfoFrame : {false, true})
    {
        SCOPED_TRACE(bInfoFrame ? "with the frame kept" : "without it");
        Open(192, bInfoFrame);
        std::vector<uint8_t> pcm = StereoTone(2.0, 1000);
        std::vector<uint8_t> mp3, area(176400);
        for (size_t pos = 0; pos < pcm.size(); pos += 176400)
        {
            uint32_t n = static_cast<uint32_t>(area.size());
            ASSERT_EQ(BE_ERR_SUCCESSFUL,
                      m_encode(m_hStream, 88200, reinterpret_cast<int16_t*>(&pcm[pos]), area.data(), &n));
            mp3.insert(mp3.end(), area.begin(), area.begin() + n);
        }
        uint32_t n = static_cast<uint32_t>(area.size());
        ASSERT_EQ(BE_ERR_SUCCESSFUL, m_deinit(m_hStream, area.data(), &n));
        mp3.insert(mp3.end(), area.begin(), area.begin() + n);
        std::string path = folder.File(bInfoFrame ? "info.mp3" : "plain.mp3");
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(mp3.data(), 1, mp3.size(), f);
        std::fclose(f);

        BE_ERR result = m_infoTag(m_hStream, path.c_str());
        std::vector<uint8_t> after = ReadFileBytes(path);
        Mp3Walk walk = WalkMp3Frames(after);
        ASSERT_TRUE(walk.ok) << walk.error;
        std::string first(after.begin(), after.begin() + static_cast<long>(walk.frames[0].length));
        if (bInfoFrame)
        {
            EXPECT_EQ(BE_ERR_SUCCESSFUL, result);
            EXPECT_NE(std::string::npos, first.find("Info"));
        }
        else
        {
            EXPECT_NE(BE_ERR_SUCCESSFUL, result);
            EXPECT_EQ(mp3, after);
        }
        m_close(m_hStream);
        m_hStream = 0;
    }
}
