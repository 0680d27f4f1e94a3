// The recordings list in a real window under Xvfb: its rows and shading as the
// screen shows them, and the messages its parent receives from real clicks.
#include "LstctrlAudio.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

namespace
{
AudioItem* NewItem(const std::string& name, uint32_t nState)
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
        m_pFrame->Show();
        ASSERT_TRUE(PumpUntil([this] { return m_pList->IsShownOnScreen() && m_pFrame->IsActive(); }));
    }
    void TearDown() override
    {
        m_pFrame->Destroy();
        PumpPending();
    }

    void AddRows(int n)
    {
        const char* const exts[] = {"wav", "mp3", "ogg", "wma"};
        for (int i = 0; i < n; ++i)
            m_pList->AddAudio(NewItem("Audio" + std::to_string(i) + "." + exts[i % 4], AUDIO_STATE_RECORDED));
    }

    // A point of the row on the screen: at the given share of its width, in its middle.
    wxPoint RowPoint(long nRow, double dShare)
    {
        wxRect r;
        m_pList->GetItemRect(nRow, r);
        return m_pList->ClientToScreen(wxPoint(r.x + static_cast<int>(r.width * dShare), r.y + r.height / 2));
    }
    // Below the last row, inside the list.
    wxPoint BlankPoint()
    {
        const wxSize size = m_pList->GetClientSize();
        return m_pList->ClientToScreen(wxPoint(size.x / 2, size.y - 10));
    }

    bool Click(const wxPoint& p, const std::string& what)
    {
        return RunX("xdotool mousemove --sync " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + what);
    }

    CMessageFrame* m_pFrame = nullptr;
    CLstctrlAudio* m_pList = nullptr;
};

TEST_F(RecordingsListWindow, OddRowsAreDrawnOnLightGreyAndEvenRowsAreNot)
{
    AddRows(5);
    wxImage image;
    // Sampled at the right end of the state column, where no text is.
    auto shaded = [this](const wxImage& shot) {
        for (long row = 0; row < 5; ++row)
            if ((PixelAt(shot, RowPoint(row, 0.98)) == GREY) != (row % 2 == 1))
                return false;
        return true;
    };
    const bool bShaded = ScreenshotUntil(OutputPath("list-rows.png"), shaded, image);
    for (long row = 0; row < 5; ++row)
        SCOPED_TRACE(testing::Message() << "row " << row << " is "
                                        << PixelAt(image, RowPoint(row, 0.98)).GetAsString(wxC2S_CSS_SYNTAX));
    EXPECT_TRUE(bShaded);
}

TEST_F(RecordingsListWindow, ShadingFollowsTheRowsAfterADeletion)
{
    AddRows(4);
    ASSERT_EQ(1, m_pList->DeleteAudio(0));
    wxImage image;
    auto shaded = [this](const wxImage& shot) {
        return PixelAt(shot, RowPoint(0, 0.98)) != GREY && PixelAt(shot, RowPoint(1, 0.98)) == GREY &&
               PixelAt(shot, RowPoint(2, 0.98)) != GREY;
    };
    EXPECT_TRUE(ScreenshotUntil(OutputPath("list-after-delete.png"), shaded, image));
}

TEST_F(RecordingsListWindow, RowsShowNameAndStateTextsAndARenameOnlyTouchesTheName)
{
    auto* pItem = NewItem("Audio0.mp3", AUDIO_STATE_RECORDING);
    EXPECT_EQ(0, m_pList->AddAudio(pItem));
    EXPECT_EQ("Audio0.mp3", m_pList->GetItemText(0, 0));
    EXPECT_EQ("Recording...", m_pList->GetItemText(0, 1));

    EXPECT_EQ(pItem, m_pList->FindRecordingAudio());
    pItem->nState = AUDIO_STATE_RECORDED;
    EXPECT_TRUE(m_pList->UpdateAudioText(pItem));
    EXPECT_EQ("Record over", m_pList->GetItemText(0, 1));
    EXPECT_EQ(nullptr, m_pList->FindRecordingAudio());

    pItem->SetPath("/tmp/vorane-list/Song.mp3");
    pItem->DeriveName();
    pItem->nState = AUDIO_STATE_NEWNAME;
    m_pList->UpdateAudioText(pItem);
    EXPECT_EQ("Song.mp3", m_pList->GetItemText(0, 0));
    EXPECT_EQ("Record over", m_pList->GetItemText(0, 1));

    // A state the list does not know leaves the row as it is.
    pItem->nState = 42;
    m_pList->UpdateAudioText(pItem);
    EXPECT_EQ("Song.mp3", m_pList->GetItemText(0, 0));
    EXPECT_EQ("Record over", m_pList->GetItemText(0, 1));
}

TEST_F(RecordingsListWindow, AddingRowsMakesEachNewRowCurrentAndDeletingRenumbers)
{
    AddRows(3);
    EXPECT_EQ(2, m_pList->GetCurIndex());
    EXPECT_STREQ("Audio2.ogg", m_pList->GetCurAudio()->szName);
    EXPECT_EQ(nullptr, m_pList->GetAudio(3));
    EXPECT_EQ(nullptr, m_pList->GetAudio(-1));

    EXPECT_EQ(1, m_pList->DeleteAudio(0));
    EXPECT_EQ(2, m_pList->GetItemCount());
    EXPECT_STREQ("Audio2.ogg", m_pList->GetAudio(1)->szName);
    EXPECT_EQ(1, m_pList->GetAudio(1)->nIndex);
    EXPECT_EQ(0, m_pList->DeleteAudio(5));
    EXPECT_EQ(2, m_pList->GetItemCount());

    std::vector<std::string> names;
    m_pList->GetOtherNames(0, names);
    EXPECT_EQ((std::vector<std::string>{"Audio2.ogg"}), names);

    m_pList->DeleteAllAudio();
    EXPECT_EQ(0, m_pList->GetItemCount());
    EXPECT_EQ(-1, m_pList->GetCurIndex());
    EXPECT_EQ(nullptr, m_pList->GetCurAudio());
}

TEST_F(RecordingsListWindow, RowsClearedByOtherMeansLeaveNoCurrentRow)
{
    AddRows(3);
    m_pList->DeleteAllItems();
    EXPECT_EQ(-1, m_pList->GetCurIndex());
    EXPECT_EQ(nullptr, m_pList->GetCurAudio());
}

TEST_F(RecordingsListWindow, EachRowHasTheIconOfItsFileType)
{
    AddRows(4);
    m_pList->AddAudio(NewItem("Audio9.wav", AUDIO_STATE_RECORDED));
    auto image = [this](long row) {
        wxListItem info;
        info.SetId(row);
        info.SetMask(wxLIST_MASK_IMAGE);
        m_pList->GetItem(info);
        return info.GetImage();
    };
    EXPECT_GE(image(0), 0);
    EXPECT_EQ(image(0), image(4));  // both WAV
    EXPECT_NE(image(0), image(1));
    EXPECT_NE(image(1), image(2));
    EXPECT_NE(image(2), image(3));
    EXPECT_EQ(4, m_pList->GetImageList(wxIMAGE_LIST_SMALL)->GetImageCount());
}

TEST_F(RecordingsListWindow, ClickingARowSelectsItAndTellsTheParent)
{
    AddRows(3);
    m_pList->SetItemState(0, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    m_pFrame->received.clear();
    ASSERT_TRUE(Click(RowPoint(1, 0.25), "click 1"));
    ASSERT_TRUE(PumpUntil([this] { return m_pFrame->Count(WM_AUDIOLIST_SELCHANGE) > 0; }));
    PumpUntil([this] { return m_pFrame->Last(WM_AUDIOLIST_SELCHANGE)->wParam == 1; });
    EXPECT_EQ(1, m_pFrame->Last(WM_AUDIOLIST_SELCHANGE)->wParam);
    EXPECT_EQ(0, m_pFrame->Last(WM_AUDIOLIST_SELCHANGE)->lParam);
    EXPECT_EQ(1, m_pList->GetCurIndex());
}

TEST_F(RecordingsListWindow, ClickingBelowTheRowsClearsTheSelectionButKeepsTheCurrentRow)
{
    AddRows(3);
    ASSERT_TRUE(Click(RowPoint(0, 0.25), "click 1"));
    ASSERT_TRUE(PumpUntil([this] { return m_pList->GetCurIndex() == 0; }));
    m_pFrame->received.clear();
    ASSERT_TRUE(Click(BlankPoint(), "click 1"));
    ASSERT_TRUE(PumpUntil([this] { return m_pFrame->Count(WM_AUDIOLIST_SELCHANGE) > 0; }));
    EXPECT_EQ(0, m_pFrame->Last(WM_AUDIOLIST_SELCHANGE)->wParam);
    EXPECT_EQ(0, m_pList->GetSelectedItemCount());
    EXPECT_EQ(0, m_pList->GetCurIndex());
}

TEST_F(RecordingsListWindow, RightClickingARowSendsTheRowAndTheScreenPoint)
{
    AddRows(3);
    const wxPoint p = RowPoint(2, 0.25);
    ASSERT_TRUE(Click(p, "click 3"));
    ASSERT_TRUE(PumpUntil([this] {
        const ReceivedMessage* m = m_pFrame->Last(WM_AUDIOLIST_RCLICK);
        return m && m->wParam == 2;
    }));
    const ReceivedMessage* m = m_pFrame->Last(WM_AUDIOLIST_RCLICK);
    EXPECT_NE(0, m->lParam);
    EXPECT_NEAR(p.x, m->point.x, 1);
    EXPECT_NEAR(p.y, m->point.y, 1);
}

TEST_F(RecordingsListWindow, RightClickingBelowTheRowsSendsRowMinusOne)
{
    AddRows(2);
    const wxPoint p = BlankPoint();
    ASSERT_TRUE(Click(p, "click 3"));
    ASSERT_TRUE(PumpUntil([this] { return m_pFrame->Count(WM_AUDIOLIST_RCLICK) > 0; }));
    const ReceivedMessage* m = m_pFrame->Last(WM_AUDIOLIST_RCLICK);
    EXPECT_EQ(-1, m->wParam);
    EXPECT_NEAR(p.x, m->point.x, 1);
    EXPECT_NEAR(p.y, m->point.y, 1);
}

TEST_F(RecordingsListWindow, DoubleClickingARowPostsTheDoubleClickMessage)
{
    AddRows(3);
    ASSERT_TRUE(Click(RowPoint(1, 0.25), "click --repeat 2 --delay 60 1"));
    ASSERT_TRUE(PumpUntil([this] { return m_pFrame->Count(WM_AUDIOLIST_DBLCLK) > 0; }));
    const ReceivedMessage* m = m_pFrame->Last(WM_AUDIOLIST_DBLCLK);
    EXPECT_EQ(0, m->wParam);
    EXPECT_EQ(0, m->lParam);
    EXPECT_EQ(1, m_pList->GetCurIndex());
}

TEST_F(RecordingsListWindow, SelectingAndFocusingARowInCodeMakesItCurrentAndTellsTheParent)
{
    AddRows(3);
    m_pFrame->received.clear();
    const long nBoth = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
    m_pList->SetItemState(1, nBoth, nBoth);
    ASSERT_TRUE(PumpUntil([this] { return m_pFrame->Count(WM_AUDIOLIST_SELCHANGE) > 0; }));
    EXPECT_EQ(1, m_pFrame->Last(WM_AUDIOLIST_SELCHANGE)->wParam);
    EXPECT_EQ(1, m_pList->GetCurIndex());
}
