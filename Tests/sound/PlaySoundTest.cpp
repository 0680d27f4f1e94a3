// The PlaySoundA stand-in against a private sound server: what it plays is
// heard on the default output, a newer sound or a stop ends the one playing,
// and a server that never answers holds up neither the caller nor the next sound.
#include "PlaySound.h"
#include "SoundTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

class PlaySoundStandIn : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartSoundDaemon()) << SoundDaemon().Log();
        ASSERT_TRUE(m_listener.Start());
        ASSERT_TRUE(m_listener.WaitForSilence());
    }
    void TearDown() override
    {
        PlaySoundA(nullptr, nullptr, 0);
        SoundDaemon().UseInThisProcess();
    }

    CMonitorListener m_listener;
};

TEST_F(PlaySoundStandIn, ASoundIsHeardOnTheDefaultOutputUntilANewerOneOrAStopEndsIt)
{
    // Long sounds: only ending them early lets the output fall silent within the wait.
    RegisterSoundResource(301, ToneWave(440, 60));
    const std::vector<uint8_t> newer = ToneWave(660, 60);

    EXPECT_FALSE(PlaySoundA(MAKEINTRESOURCEA(302), nullptr, SND_RESOURCE | SND_ASYNC)) << "nothing registered there";
    EXPECT_FALSE(PlaySoundA(MAKEINTRESOURCEA(301), nullptr, SND_RESOURCE | SND_SYNC)) << "only asynchronous sounds";
    ASSERT_TRUE(PlaySoundA(MAKEINTRESOURCEA(301), nullptr, SND_RESOURCE | SND_ASYNC));
    EXPECT_TRUE(m_listener.WaitForTone(440)) << m_listener.Describe();

    ASSERT_TRUE(PlaySoundA(reinterpret_cast<LPCSTR>(newer.data()), nullptr, SND_MEMORY | SND_ASYNC));
    EXPECT_TRUE(m_listener.WaitForTone(660)) << m_listener.Describe();

    PlaySoundA(nullptr, nullptr, 0);
    EXPECT_TRUE(m_listener.WaitForSilence()) << m_listener.Describe();
}

TEST_F(PlaySoundStandIn, AServerThatNeverAnswersHoldsUpNeitherTheCallerNorTheNextSound)
{
    CSilentServer silent;
    setenv("PULSE_SERVER", silent.Address().c_str(), 1);
    RegisterSoundResource(303, ToneWave(550, 60));
    ASSERT_TRUE(PlaySoundA(MAKEINTRESOURCEA(303), nullptr, SND_RESOURCE | SND_ASYNC));
    // The call has returned while the sound still waits for the server's first word.
    ASSERT_TRUE(silent.WaitForClient());
    EXPECT_TRUE(silent.ClientWaits());

    SoundDaemon().UseInThisProcess();
    ASSERT_TRUE(PlaySoundA(MAKEINTRESOURCEA(303), nullptr, SND_RESOURCE | SND_ASYNC));
    EXPECT_TRUE(m_listener.WaitForTone(550)) << m_listener.Describe();
    EXPECT_FALSE(silent.ClientWaits()) << "the newer sound gave up the silent server";
}
