// The mini player plays recordings our own receivers made, from the start to the end.
#include "UiTestSupport.h"
#include "DlgPlayer.h"
#include "EncoderFixtures.h"
#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

class MiniPlayer : public ::testing::Test
{
protected:
    // Two seconds of a tone in each of the player's formats, as the program records them.
    static void SetUpTestSuite()
    {
        const std::vector<uint8_t> pcm = StereoTone(2.0, 440);
        for (const std::string format : {"wav", "mp3", "wma"})
        {
            std::shared_ptr<IReceiver> pReceiver = PreparedReceiver(format, File("Audio0." + format));
            ASSERT_TRUE(pReceiver) << format;
            pReceiver->Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
            pReceiver->Finish();
        }
    }
    // The window programs end without running static destructors.
    static void TearDownTestSuite() { std::filesystem::remove_all(s_folder.Path()); }

    void SetUp() override { ASSERT_TRUE(m_pFrame = ShowOwnerFrame()); }
    void TearDown() override { DestroyAndWait(m_pFrame); }

    static std::string File(const std::string& name) { return s_folder.File(name); }
    static bool Shows(CDlgPlayer& player, const wxString& text) { return WaitOnMain([&] { return player.GetInfoText() == text; }); }

    static CTempFolder s_folder;
    wxFrame* m_pFrame = nullptr;
};

CTempFolder MiniPlayer::s_folder("player-" + std::to_string(getpid()));

TEST_F(MiniPlayer, PlaysOurWavMp3AndWmaRecordingsFromTheStartToTheEndOnce)
{
    for (const std::string name : {"Audio0.wav", "Audio0.mp3", "Audio0.wma"})
    {
        SCOPED_TRACE(name);
        CDlgPlayer player(m_pFrame, File(name));
        const wxString file = "File: " + name + "\n";
        const int nResult = RunModal(player, [&] {
            ASSERT_TRUE(WaitUntilActiveAndPainted(&player, player.GetInfoControl()));
            EXPECT_TRUE(Shows(player, file + "Time: 00:00/00:02"));
            EXPECT_TRUE(Shows(player, file + "Time: 00:01/00:02")) << "the position moves on";
            EXPECT_TRUE(Shows(player, file + "Time: 00:02/00:02")) << "the end arrives";
            EXPECT_TRUE(WaitOnMain([&] { return !player.GetMediaWindow()->IsPlaying(); })) << "and it plays once";
            PressKeys("Return");
        });
        EXPECT_EQ(nResult, wxID_OK);
    }
}

// However a preparation fails, it ends: the player never waits for it for good.
TEST_F(MiniPlayer, AFileTheMediaCannotPlayEndsItsPreparation)
{
    std::ofstream(File("Broken.wav")) << "no sound in here";
    for (const char* pszName : {"Broken.wav", "Missing.wav"})
    {
        auto* pMedia = new CMediaWindow();
        ASSERT_TRUE(pMedia->Create(m_pFrame, wxID_ANY, File(pszName)));
        EXPECT_TRUE(WaitUntil([&] { return !pMedia->IsPreparing(); })) << pszName;
        pMedia->Destroy();
    }
}
