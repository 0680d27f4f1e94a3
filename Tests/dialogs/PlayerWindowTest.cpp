// The mini player on a real display with recordings our own receivers made:
// it plays each from the start to the end while its two-line text follows the
// position, closing stops it, resizing keeps its rows, and a file it cannot
// open gives a quiet player.
#include "DialogTestSupport.h"
#include "DlgPlayer.h"
#include "EncoderFixtures.h"
#include "ReceiverMP3.h"
#include "ReceiverWAV.h"
#include "ReceiverWMA.h"
#include "TestSupport.h"

#include <wx/frame.h>
#include <wx/settings.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <unistd.h>

namespace
{
// Two seconds of a 440 Hz tone in each of the player's formats, as the program records them.
void MakeRecordings(const CTempFolder& folder)
{
    const std::vector<uint8_t> pcm = StereoTone(2.0, 440);
    CReceiverWAV wav;
    wav.FileName = folder.File("Audio0.wav");
    wav.CaptureFormat = WAVEFORMATEX{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    wav.FormatSet = 1;
    wav.Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
    wav.Finish();

    UseBuiltLameModule();
    CReceiverMP3 mp3(192, 0);
    mp3.FileName = folder.File("Audio0.mp3");
    mp3.Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
    mp3.Finish();

    CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
    CReceiverWMA wma;
    uint32_t nBitrate = 0;
    wma.FileName = folder.File("Audio0.wma");
    ASSERT_TRUE(wma.LoadLibraries());
    ASSERT_EQ(wma.Open(&nBitrate), 0);
    wma.Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
    wma.Finish();
}
}  // namespace

class MiniPlayer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pFolder = new CTempFolder("player-" + std::to_string(getpid()));
        MakeRecordings(*s_pFolder);
    }
    static void TearDownTestSuite() { delete s_pFolder; }

    void SetUp() override
    {
        // GStreamer finds no sound server and plays into a sink of its own, in real time.
        setenv("PULSE_SERVER", "unix:/nonexistent/vorane/native", 1);
        MoveMouse(wxPoint(2, 2));
        m_pFrame = new wxFrame(nullptr, wxID_ANY, "Owner", wxPoint(40, 40), wxSize(500, 300));
        m_pFrame->Show();
        ASSERT_TRUE(WaitUntil([&] { return m_pFrame->IsActive(); }));
    }
    void TearDown() override { DestroyAndWait(m_pFrame); }

    static std::string File(const std::string& name) { return s_pFolder->File(name); }
    // From the user thread: waits until the player shows the text.
    static bool Shows(CDlgPlayer& player, const wxString& text, int nTimeoutMs = 20000)
    {
        return WaitOnMain([&] { return player.GetInfoText() == text; }, nTimeoutMs);
    }

    static CTempFolder* s_pFolder;
    wxFrame* m_pFrame = nullptr;
};

CTempFolder* MiniPlayer::s_pFolder = nullptr;

TEST_F(MiniPlayer, PlaysOurWavMp3AndWmaRecordingsFromTheStartToTheEndAndClosingStopsIt)
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
            // Both lines are drawn, one above the other, inside the text's frame.
            const wxRect info = OnMain([&] { return ScreenRect(player.GetInfoControl()); });
            EXPECT_GT(DarkPixels(wxRect(info.x + 2, info.y + 2, info.width - 4, info.height / 2 - 2)), 20);
            EXPECT_GT(DarkPixels(wxRect(info.x + 2, info.y + info.height / 2, info.width - 4, info.height / 2 - 2)), 20);
            if (name == "Audio0.mp3")
            {
                // Closed in the middle.
                EXPECT_TRUE(OnMain([&] { return player.GetMediaWindow()->IsPlaying(); }));
                PressKeys("Escape");
                return;
            }
            EXPECT_TRUE(Shows(player, file + "Time: 00:02/00:02")) << "the end arrives";
            EXPECT_TRUE(WaitOnMain([&] { return !player.GetMediaWindow()->IsPlaying(); })) << "and it plays once";
            if (name == "Audio0.wav")
            {
                // On the screen the bar is filled up to the knob at its right end.
                const wxColour fill = OnMain([] { return wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT); });
                const wxPoint end = OnMain([&] {
                    wxWindow* pBar = player.GetMediaWindow();
                    return pBar->ClientToScreen(wxPoint(pBar->GetClientSize().x - 18, pBar->GetClientSize().y / 2));
                });
                EXPECT_TRUE(WaitForPixelFromThread(end, fill));
                SaveScreenshot("player_at_end");
                PressKeys("Return");
            }
            else
            {
                const wxRect exit = OnMain([&] { return ScreenRect(player.FindWindow(IDC_PLAYER_EXIT)); });
                ClickAt(exit.GetPosition() + wxPoint(exit.width / 2, exit.height / 2));
            }
        });
        EXPECT_EQ(nResult, wxID_OK);
        // Closed in the middle, it went quiet there and never reached the end.
        EXPECT_TRUE(WaitUntil([&] { return !player.GetMediaWindow()->IsPlaying(); }));
        if (name == "Audio0.mp3")
            EXPECT_LT(player.GetMediaWindow()->GetPosition(), 1500);
    }
}

TEST_F(MiniPlayer, ResizingKeepsTheTextAndThePlayBarInTheirRows)
{
    CDlgPlayer player(m_pFrame, File("Audio0.wav"));
    RunModal(player, [&] {
        ASSERT_TRUE(WaitUntilActiveAndPainted(&player, player.GetInfoControl()));
        const int nTextHeight = OnMain([&] { return std::max(40, 2 * player.GetCharHeight() + 6); });
        const wxSize client = OnMain([&] {
            player.SetClientSize(player.GetClientSize() + wxSize(150, 60));
            return player.GetClientSize();
        });
        EXPECT_TRUE(WaitOnMain([&] {
            return player.GetInfoControl()->GetRect() == wxRect(5, 10, client.x - 15, nTextHeight) &&
                   player.GetMediaWindow()->GetRect() == wxRect(0, nTextHeight + 20, client.x, 20);
        })) << OnMain([&] { return player.GetInfoControl()->GetRect(); }).width;
        // The bar's groove runs on to the new right edge.
        const wxColour groove = OnMain([] { return wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW); });
        const wxPoint right = OnMain([&] { return player.GetMediaWindow()->ClientToScreen(wxPoint(client.x - 10, 10)); });
        EXPECT_TRUE(WaitForPixelFromThread(right, groove)) << "no groove at the right end";
        SaveScreenshot("player_resized");
        PressKeys("Escape");
    });
}

TEST_F(MiniPlayer, AFileItCannotOpenGivesAPlayerThatDoesNotPlayAndSaysNothing)
{
    std::vector<char> noise(4000);
    std::mt19937 random(7);
    for (char& c : noise)
        c = static_cast<char>(random());
    std::ofstream(File("Broken.mp3"), std::ios::binary).write(noise.data(), static_cast<std::streamsize>(noise.size()));
    {
        CDlgPlayer player(m_pFrame, File("Broken.mp3"));
        const int nResult = RunModal(player, [&] {
            ASSERT_TRUE(WaitUntilActiveAndPainted(&player, player.FindWindow(IDC_PLAYER_EXIT)));
            EXPECT_TRUE(Shows(player, "File: Broken.mp3\nTime: 00:00/00:00"));
            EXPECT_FALSE(OnMain([&] { return player.GetMediaWindow()->IsPlaying(); }));
            EXPECT_EQ(OnMain([] { return wxTopLevelWindows.size(); }), 2u) << "the owner and the player, no message";
            PressKeys("Return");
        });
        EXPECT_EQ(nResult, wxID_OK);
    }
    {
        CDlgPlayer player(m_pFrame, "");
        const int nResult = RunModal(player, [&] {
            ASSERT_TRUE(WaitUntilActiveAndPainted(&player, player.FindWindow(IDC_PLAYER_EXIT)));
            EXPECT_EQ(OnMain([&] { return player.GetMediaWindow(); }), nullptr);
            EXPECT_EQ(OnMain([&] { return player.GetInfoText(); }), "");
            PressKeys("Escape");
        });
        EXPECT_EQ(nResult, wxID_OK);
    }
}
