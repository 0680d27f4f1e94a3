// The recordings list in a real window under Xvfb: the messages its parent receives from real clicks and keys,
// the row's tooltip under the pointer, and names outside ASCII drawn whole.
#include "LstctrlAudio.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <clocale>

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
    void TearDown() override { DestroyAndWait(m_pFrame); }

    void AddRows(int n)
    {
        for (int i = 0; i < n; ++i)
            m_pList->AddAudio(RecordedRow("/tmp/vorane-list/Audio" + std::to_string(i) + ".wav"));
        ASSERT_TRUE(WaitForRowsLaidOut(*m_pList));
    }

    // A point of the row on the screen (below the rows for row -1): at the given share of its width.
    wxPoint RowPoint(long nRow, double dShare = 0.5)
    {
        wxRect r(wxPoint(0, m_pList->GetClientSize().y - 20), wxSize(m_pList->GetClientSize().x, 20));
        if (nRow >= 0)
            m_pList->GetItemRect(nRow, r);
        return m_pList->ClientToScreen(wxPoint(r.x + static_cast<int>(r.width * dShare), r.y + r.height / 2));
    }

    const ReceivedMessage* ClickFor(long nRow, const std::string& click, int nMessage, long nWParam)
    {
        m_pFrame->received.clear();
        EXPECT_TRUE(ClickAt(RowPoint(nRow), click));
        const bool bArrived = WaitUntil([&] {
            const ReceivedMessage* m = m_pFrame->Last(nMessage);
            return m && m->wParam == nWParam;
        });
        EXPECT_TRUE(bArrived) << "message " << nMessage << " after " << click << " on row " << nRow;
        return bArrived ? m_pFrame->Last(nMessage) : nullptr;
    }

    CMessageFrame* m_pFrame = nullptr;
    CLstctrlAudio* m_pList = nullptr;
};

TEST_F(RecordingsListWindow, ClicksTellTheParentWithTheRowAndThePointAndReturnIsNoDoubleClick)
{
    AddRows(3);
    // The pointer over a finished recording's row shows how much of it clipped.
    m_pList->GetAudio(2)->nClipped = 1234;
    // The running recording's row counts as it goes.
    m_pList->GetAudio(1)->nState = AUDIO_STATE_RECORDING;
    m_pList->SetLiveClipCount([] { return 7u; });
    for (long row : {2L, 0L, 1L, 2L})
    {
        const wxString expected = row == 2 ? "Clipped: 1234 samples at full scale"
                                : row == 1 ? "Clipped so far: 7 samples at full scale" : "No clipping";
        ASSERT_TRUE(ClickAt(RowPoint(row), ""));
        EXPECT_TRUE(WaitUntil([&] { return m_pList->GetToolTipText() == expected; }))
            << "row " << row << ": " << m_pList->GetToolTipText();
    }
    for (long row : {-1L, 2L})
    {
        const ReceivedMessage* m = ClickFor(row, "click 3", WM_AUDIOLIST_RCLICK, row);
        ASSERT_TRUE(m);
        EXPECT_NEAR(RowPoint(row).x, m->point.x, 1);
        EXPECT_NEAR(RowPoint(row).y, m->point.y, 1);
    }
    const ReceivedMessage* m = ClickFor(1, "click 1", WM_AUDIOLIST_SELCHANGE, 1);
    ASSERT_TRUE(m);
    EXPECT_EQ(std::make_pair(intptr_t(0), 1), std::make_pair(m->lParam, m_pList->GetCurIndex()));
    // Two clicks after the last one within the desktop's double-click time would count as a triple click.
    wxMilliSleep(500);
    ASSERT_TRUE(ClickFor(0, "click --repeat 2 --delay 60 1", WM_AUDIOLIST_DBLCLK, 0));
    EXPECT_EQ(0, m_pList->GetCurIndex());

    // Return on the selected row is no double-click: it would start the player.
    m_pFrame->received.clear();
    ASSERT_TRUE(PressKeysAndWait("Return"));
    // A message the key's handling posted has arrived once a marker posted after it has.
    ASSERT_TRUE(m_pFrame->Drain());
    EXPECT_EQ(0, m_pFrame->Count(WM_AUDIOLIST_DBLCLK));
}

// The Menu key and Shift+F10 ask for the popup at the current row, as a right-click on it does.
TEST_F(RecordingsListWindow, TheMenuKeyAndShiftF10AskForThePopupAtTheCurrentRow)
{
    AddRows(3);
    ASSERT_TRUE(ClickFor(1, "click 1", WM_AUDIOLIST_SELCHANGE, 1));
    wxRect row;
    ASSERT_TRUE(m_pList->GetItemRect(1, row));
    row = ScreenRect(m_pList, row);
    for (const char* keys : {"Menu", "shift+F10"})
    {
        SCOPED_TRACE(keys);
        m_pFrame->received.clear();
        ASSERT_TRUE(PressKeysAndWait(keys));
        ASSERT_TRUE(m_pFrame->Drain());
        const ReceivedMessage* m = m_pFrame->Last(WM_AUDIOLIST_RCLICK);
        ASSERT_TRUE(m) << "no popup asked for";
        EXPECT_EQ(1, m->wParam);
        EXPECT_TRUE(row.Contains(m->point)) << m->point.x << "," << m->point.y;
    }
}

// Names are UTF-8 whatever the locale says: a name outside ASCII shows whole in its row, also after a
// rename, and is read back whole for the rename dialog's comparison.
TEST_F(RecordingsListWindow, NamesOutsideAsciiShowWholeUnderALocaleThatIsNotUtf8)
{
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    AudioItem* pItem = RecordedRow("/tmp/vorane-list/gr\xC3\xB6\xC3\x9F" "e.wav");
    m_pList->AddAudio(pItem);
    m_pList->AddAudio(RecordedRow("/tmp/vorane-list/Audio1.wav"));
    wxRect name;
    m_pList->GetItemRect(0, name);
    name = ScreenRect(m_pList, wxRect(name.x, name.y, m_pList->GetColumn(0)->GetWidth(), name.height));
    auto dark = [](const wxColour& c) { return c.Red() + c.Green() + c.Blue() < 200; };
    EXPECT_TRUE(WaitUntil([&] { return CountPixels(name, dark) > 20; })) << "the row's name is not drawn";
    EXPECT_EQ("gr\xC3\xB6\xC3\x9F" "e.wav", m_pList->GetItemText(0, 0).utf8_string());

    pItem->SetPath("/tmp/vorane-list/M\xC3\xBAsica.wav");
    pItem->DeriveName();
    pItem->nState = AUDIO_STATE_NEWNAME;
    m_pList->UpdateAudioText(pItem);
    std::vector<std::string> others;
    m_pList->GetOtherNames(1, others);
    std::setlocale(LC_CTYPE, locale.c_str());
    EXPECT_EQ(std::vector<std::string>{"M\xC3\xBAsica.wav"}, others);
}
