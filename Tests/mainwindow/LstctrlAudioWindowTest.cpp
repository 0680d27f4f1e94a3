// The recordings list in a real window under Xvfb: its rows and shading as the
// screen shows them, and the messages its parent receives from real clicks.
#include "LstctrlAudio.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

namespace
{
AudioItem* NewItem(const std::string& name, uint32_t nState = AUDIO_STATE_RECORDED)
{
    auto* pItem = new AudioItem;
    pItem->SetPath(("/tmp/vorane-list/" + name).c_str());
    pItem->DeriveName();
    pItem->nState = nState;
    return pItem;
}

const wxColour GREY(232, 232, 232);
}  // namespace

class RecordingsListWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pFrame = new CMessageFrame(wxSize(460, 220));
        m_pList = new CLstctrlAudio(m_pFrame, 1001, wxPoint(0, 0), m_pFrame->GetClientSize());
        ASSERT_TRUE(m_pList->InitList());
        ASSERT_TRUE(m_pFrame->ShowWith(m_pList));
    }
    void TearDown() override { m_pFrame->DestroyNow(); }

    void AddRows(int n)
    {
        const char* const exts[] = {"wav", "mp3", "ogg", "wma"};
        for (int i = 0; i < n; ++i)
            m_pList->AddAudio(NewItem("Audio" + std::to_string(i) + "." + exts[i % 4]));
    }

    // A point of the row on the screen (below the rows for row -1): at the given share of its width.
    wxPoint RowPoint(long nRow, double dShare = 0.5)
    {
        wxRect r(wxPoint(0, m_pList->GetClientSize().y - 20), wxSize(m_pList->GetClientSize().x, 20));
        if (nRow >= 0)
            m_pList->GetItemRect(nRow, r);
        return m_pList->ClientToScreen(wxPoint(r.x + static_cast<int>(r.width * dShare), r.y + r.height / 2));
    }

    // Clicks there and waits until the parent has the message and the condition holds.
    const ReceivedMessage* ClickFor(long nRow, const std::string& click, int nMessage,
                                    const std::function<bool(const ReceivedMessage&)>& condition = nullptr)
    {
        m_pFrame->received.clear();
        const wxPoint p = RowPoint(nRow);
        EXPECT_EQ(0, RunCommand("xdotool mousemove --sync " + std::to_string(p.x) + " " + std::to_string(p.y) + " " +
                                  click + " 2>/dev/null"));
        const bool bArrived = PumpUntil([&] {
            const ReceivedMessage* m = m_pFrame->Last(nMessage);
            return m && (!condition || condition(*m));
        });
        EXPECT_TRUE(bArrived) << "message " << nMessage << " after " << click << " on row " << nRow;
        return bArrived ? m_pFrame->Last(nMessage) : nullptr;
    }

    CMessageFrame* m_pFrame = nullptr;
    CLstctrlAudio* m_pList = nullptr;
};

TEST_F(RecordingsListWindow, OddRowsAreDrawnOnLightGreyAndEvenRowsAreNotAlsoAfterADeletion)
{
    AddRows(5);
    // Sampled at the right end of the state column, where no text is.
    auto shaded = [this](const wxImage& shot) {
        for (long row = 0; row < m_pList->GetItemCount(); ++row)
            if ((PixelAt(shot, RowPoint(row, 0.98)) == GREY) != (row % 2 == 1))
                return false;
        return true;
    };
    wxImage image;
    EXPECT_TRUE(ScreenshotUntil("list-rows.png", shaded, image));
    ASSERT_EQ(1, m_pList->DeleteAudio(0));
    EXPECT_TRUE(ScreenshotUntil("list-after-delete.png", shaded, image));
}

TEST_F(RecordingsListWindow, RowsShowNameAndStateTextsAndARenameOnlyTouchesTheName)
{
    auto* pItem = NewItem("Audio0.mp3", AUDIO_STATE_RECORDING);
    auto row = [this] { return m_pList->GetItemText(0, 0) + " | " + m_pList->GetItemText(0, 1); };
    EXPECT_EQ(0, m_pList->AddAudio(pItem));
    EXPECT_EQ("Audio0.mp3 | Recording...", row());

    EXPECT_EQ(pItem, m_pList->FindRecordingAudio());
    pItem->nState = AUDIO_STATE_RECORDED;
    EXPECT_TRUE(m_pList->UpdateAudioText(pItem));
    EXPECT_EQ("Audio0.mp3 | Record over", row());
    EXPECT_EQ(nullptr, m_pList->FindRecordingAudio());

    pItem->SetPath("/tmp/vorane-list/Song.mp3");
    pItem->DeriveName();
    // A rename, then a state the list does not know: only the name changes.
    for (uint32_t nState : {uint32_t(AUDIO_STATE_NEWNAME), 42u})
    {
        pItem->nState = nState;
        m_pList->UpdateAudioText(pItem);
        EXPECT_EQ("Song.mp3 | Record over", row()) << nState;
    }
}

TEST_F(RecordingsListWindow, RowsAndRecordsStayInStepWithTheirIconsAndCurrentRow)
{
    AddRows(5);
    auto image = [this](long row) {
        wxListItem info;
        info.SetId(row);
        info.SetMask(wxLIST_MASK_IMAGE);
        m_pList->GetItem(info);
        return info.GetImage();
    };
    // Rows 0 and 4 are WAV; then MP3, Ogg and WMA, each with the icon of its type.
    EXPECT_GE(image(0), 0);
    EXPECT_EQ(image(0), image(4));
    EXPECT_NE(image(0), image(1));
    EXPECT_NE(image(1), image(2));
    EXPECT_NE(image(2), image(3));
    EXPECT_EQ(4, m_pList->GetImageList(wxIMAGE_LIST_SMALL)->GetImageCount());

    EXPECT_EQ(4, m_pList->GetCurIndex());
    EXPECT_EQ(1, m_pList->DeleteAudio(0));
    EXPECT_EQ(0, m_pList->DeleteAudio(5));
    EXPECT_EQ(4, m_pList->GetItemCount());
    EXPECT_EQ("Audio2.ogg", m_pList->GetItemText(1, 0));
    EXPECT_STREQ("Audio2.ogg", m_pList->GetAudio(1)->szName);
    EXPECT_EQ(1, m_pList->GetAudio(1)->nIndex);

    std::vector<std::string> names;
    m_pList->GetOtherNames(0, names);
    EXPECT_EQ((std::vector<std::string>{"Audio2.ogg", "Audio3.wma", "Audio4.wav"}), names);

    // Rows cleared by other means leave no current row.
    m_pList->DeleteAllItems();
    EXPECT_EQ(-1, m_pList->GetCurIndex());
    EXPECT_EQ(nullptr, m_pList->GetCurAudio());
}

TEST_F(RecordingsListWindow, ClicksTellTheParentWithTheRowAndThePoint)
{
    AddRows(3);
    const ReceivedMessage* m = nullptr;
    for (long row : {-1L, 2L})
    {
        m = ClickFor(row, "click 3", WM_AUDIOLIST_RCLICK);
        ASSERT_TRUE(m);
        EXPECT_EQ(row, m->wParam);
        EXPECT_NE(0, m->lParam);
        EXPECT_NEAR(RowPoint(row).x, m->point.x, 1);
        EXPECT_NEAR(RowPoint(row).y, m->point.y, 1);
    }

    m = ClickFor(1, "click 1", WM_AUDIOLIST_SELCHANGE, [](const ReceivedMessage& m) { return m.wParam == 1; });
    ASSERT_TRUE(m);
    EXPECT_EQ(0, m->lParam);
    EXPECT_EQ(1, m_pList->GetCurIndex());

    // Below the rows: the selection goes, the current row stays.
    m = ClickFor(-1, "click 1", WM_AUDIOLIST_SELCHANGE);
    ASSERT_TRUE(m);
    EXPECT_EQ(0, m->wParam);
    EXPECT_EQ(0, m_pList->GetSelectedItemCount());
    EXPECT_EQ(1, m_pList->GetCurIndex());

    m = ClickFor(0, "click --repeat 2 --delay 60 1", WM_AUDIOLIST_DBLCLK);
    ASSERT_TRUE(m);
    EXPECT_EQ(0, m->wParam);
    EXPECT_EQ(0, m->lParam);
    EXPECT_EQ(0, m_pList->GetCurIndex());

    // Return on the selected row is no double-click: it would start the player.
    m_pFrame->received.clear();
    ASSERT_EQ(0, RunCommand("xdotool key --clearmodifiers Return 2>/dev/null"));
    // A marker posted after the key has arrived once the key's own handling is done.
    ASSERT_TRUE(PumpUntil([] { return false; }, 300) || m_pFrame->Drain());
    EXPECT_EQ(0, m_pFrame->Count(WM_AUDIOLIST_DBLCLK));
}
