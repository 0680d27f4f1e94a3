// The mini player plays recordings our own receivers made, from the start to the end, and shows the busy
// cursor while its media is prepared.
#include "UiTestSupport.h"
#include "DlgPlayer.h"
#include "EncoderFixtures.h"
#include "TestSupport.h"

#include <wx/panel.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace
{
// The cursor image the X server shows now: each one has its own serial.
unsigned long ShownCursor()
{
    Display* pDisplay = XOpenDisplay(UiDisplay().Name().c_str());
    XFixesCursorImage* pImage = pDisplay ? XFixesGetCursorImage(pDisplay) : nullptr;
    const unsigned long nSerial = pImage ? pImage->cursor_serial : 0;
    if (pImage)
        XFree(pImage);
    if (pDisplay)
        XCloseDisplay(pDisplay);
    return nSerial;
}

// Polls the screen without running wx events, so a pending "loaded" stays pending.
bool CursorBecomes(const std::function<bool(unsigned long)>& test)
{
    for (int i = 0; i < 500; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (test(ShownCursor()))
            return true;
    return false;
}
}  // namespace

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

TEST_F(MiniPlayer, TheBusyCursorShowsFromTheStartOfThePreparationUntilTheMediaIsLoadedOrHasFailed)
{
    std::ofstream(File("Broken.wav")) << "no sound in here";
    // The toolkit sets a window's cursor on the screen only where it has seen the pointer move.
    auto* pPanel = new wxPanel(m_pFrame, wxID_ANY, wxPoint(), m_pFrame->GetClientSize());
    bool bSeen = false;
    pPanel->Bind(wxEVT_MOTION, [&](wxMouseEvent& event) { bSeen = true; event.Skip(); });
    int nPolls = 0;
    ASSERT_TRUE(WaitUntil([&] {
        if (nPolls++ % 50 == 0)  // until the panel is on the screen to see it
            MoveMouse(m_pFrame->ClientToScreen(wxPoint(100 + nPolls / 50 % 2, 100)));
        return bSeen;
    })) << "the pointer never moved over the window";
    const unsigned long nNormal = ShownCursor();
    // A recording, then files the media cannot play: however the preparation ends, the cursor comes back.
    for (const auto& [name, bSound] : {std::pair{"Audio0.mp3", true}, {"Broken.wav", false}, {"Missing.wav", false}})
    {
        SCOPED_TRACE(name);
        auto* pMedia = new CMediaWindow();
        ASSERT_TRUE(pMedia->Create(pPanel, wxID_ANY, File(name)));
        if (bSound)
        {
            EXPECT_TRUE(pMedia->IsPreparing());
            EXPECT_TRUE(CursorBecomes([&](unsigned long n) { return n != nNormal; })) << "no busy cursor";
        }
        EXPECT_TRUE(WaitUntil([&] { return !pMedia->IsPreparing(); })) << "still preparing";
        EXPECT_TRUE(!bSound || pMedia->CanPlay());
        EXPECT_TRUE(WaitUntil([&] { return ShownCursor() == nNormal; })) << "the busy cursor stayed";
        pMedia->Destroy();
    }
}
