// The recordings list's records without a window: rows and their numbers, the
// current row the commands act on, and the name taken from a path.
#include "AudioItem.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
AudioItem* NewItem(const std::string& path, uint32_t nState = AUDIO_STATE_RECORDED)
{
    auto* pItem = new AudioItem;
    pItem->SetPath(path.c_str());
    pItem->DeriveName();
    pItem->nState = nState;
    return pItem;
}
}  // namespace

class AudioItemArray : public ::testing::Test
{
protected:
    void AddThree()
    {
        m_pFirst = NewItem("/rec/Audio0.wav");
        m_pSecond = NewItem("/rec/Audio1.wav");
        m_pThird = NewItem("/rec/Audio2.wav");
        m_items.Append(m_pFirst);
        m_items.Append(m_pSecond);
        m_items.Append(m_pThird);
    }

    CAudioItemArray m_items;
    AudioItem* m_pFirst = nullptr;
    AudioItem* m_pSecond = nullptr;
    AudioItem* m_pThird = nullptr;
};

TEST_F(AudioItemArray, AddingThreeGivesRowsZeroToTwoAndTheLastIsCurrent)
{
    AddThree();
    EXPECT_EQ(0, m_pFirst->nIndex);
    EXPECT_EQ(1, m_pSecond->nIndex);
    EXPECT_EQ(2, m_pThird->nIndex);
    EXPECT_EQ(2, m_items.CurrentRow(3));
    EXPECT_EQ(m_pSecond, m_items.Get(1));
}

TEST_F(AudioItemArray, DeletingRowZeroRenumbersTheRestAndRowOneIsTheFormerThird)
{
    AddThree();
    ASSERT_TRUE(m_items.Remove(0));
    EXPECT_EQ(2, m_items.Count());
    EXPECT_EQ(0, m_pSecond->nIndex);
    EXPECT_EQ(1, m_pThird->nIndex);
    EXPECT_EQ(m_pThird, m_items.Get(1));
    EXPECT_EQ(nullptr, m_items.Get(2));
}

TEST_F(AudioItemArray, DeletingTheCurrentRowLeavesNoCurrentRow)
{
    AddThree();
    ASSERT_TRUE(m_items.Remove(2));
    EXPECT_EQ(-1, m_items.CurrentRow(2));
}

TEST_F(AudioItemArray, DeletingAnotherRowKeepsTheCurrentRow)
{
    AddThree();
    m_items.SetCurrentRow(0);
    ASSERT_TRUE(m_items.Remove(2));
    EXPECT_EQ(0, m_items.CurrentRow(2));
    EXPECT_EQ(m_pFirst, m_items.Get(0));
}

TEST_F(AudioItemArray, DeletingARowThatHasNoRecordChangesNothing)
{
    AddThree();
    EXPECT_FALSE(m_items.Remove(3));
    EXPECT_FALSE(m_items.Remove(-1));
    EXPECT_EQ(3, m_items.Count());
    EXPECT_EQ(2, m_items.CurrentRow(3));
}

TEST_F(AudioItemArray, ClearingLeavesNoRowsAndNoCurrentRow)
{
    AddThree();
    m_items.Clear();
    EXPECT_EQ(0, m_items.Count());
    EXPECT_EQ(-1, m_items.CurrentRow(0));
    EXPECT_EQ(nullptr, m_items.Get(0));
}

TEST_F(AudioItemArray, AnEmptyControlHasNoCurrentRowWhateverWasCurrentBefore)
{
    AddThree();
    m_items.SetCurrentRow(4);
    EXPECT_EQ(-1, m_items.CurrentRow(0));
    // And it stays forgotten when rows come back.
    EXPECT_EQ(-1, m_items.CurrentRow(3));
}

TEST_F(AudioItemArray, RowsOutsideTheListHaveNoRecord)
{
    AddThree();
    EXPECT_EQ(nullptr, m_items.Get(-1));
    EXPECT_EQ(nullptr, m_items.Get(3));
}

TEST_F(AudioItemArray, TheRecordingItemIsTheFirstInRowOrderThatRecords)
{
    EXPECT_EQ(nullptr, m_items.FindRecording());
    AudioItem* pDone = NewItem("/rec/Audio0.mp3", AUDIO_STATE_RECORDED);
    AudioItem* pRecording = NewItem("/rec/Audio1.mp3", AUDIO_STATE_RECORDING);
    AudioItem* pAlsoRecording = NewItem("/rec/Audio2.mp3", AUDIO_STATE_RECORDING);
    m_items.Append(pDone);
    m_items.Append(pRecording);
    m_items.Append(pAlsoRecording);
    EXPECT_EQ(pRecording, m_items.FindRecording());
}

TEST_F(AudioItemArray, InformationGoesOnlyToTheFirstItemWithTheExactPath)
{
    AudioItem* pA = NewItem("/rec/Audio0.ogg");
    AudioItem* pB = NewItem("/rec/Audio0.ogg");
    AudioItem* pUpper = NewItem("/rec/AUDIO0.ogg");
    m_items.Append(pA);
    m_items.Append(pB);
    m_items.Append(pUpper);
    AudioItem info;
    info.SetPath("/rec/Audio0.ogg");
    info.nLength = 61500;
    info.nSize = 1536000;
    info.nSampleRate = 44100;
    info.nChannels = 2;
    info.nBitrate = 128000;
    info.nBitsPerSample = 16;
    info.nState = 99;
    info.nIndex = 7;
    m_items.UpdateInfo(info);
    EXPECT_EQ(61500u, pA->nLength);
    EXPECT_EQ(1536000u, pA->nSize);
    EXPECT_EQ(44100u, pA->nSampleRate);
    EXPECT_EQ(2u, pA->nChannels);
    EXPECT_EQ(128000u, pA->nBitrate);
    EXPECT_EQ(16u, pA->nBitsPerSample);
    // Only the six information fields move.
    EXPECT_EQ(AUDIO_STATE_RECORDED, static_cast<int>(pA->nState));
    EXPECT_EQ(0, pA->nIndex);
    EXPECT_EQ(0u, pB->nLength);
    EXPECT_EQ(0u, pUpper->nLength);
}

TEST(AudioItemName, IsThePartAfterTheLastSeparator)
{
    AudioItem item;
    item.SetPath("/home/me/output/Audio12.mp3");
    item.DeriveName();
    EXPECT_STREQ("Audio12.mp3", item.szName);
}

TEST(AudioItemName, StaysWhenThePathIsShortOrHasNoSeparator)
{
    AudioItem item;
    std::snprintf(item.szName, sizeof(item.szName), "old.wav");
    item.SetPath("/a.b");
    item.DeriveName();
    EXPECT_STREQ("old.wav", item.szName);
    item.SetPath("Audio3.wav");
    item.DeriveName();
    EXPECT_STREQ("old.wav", item.szName);
    item.SetPath("");
    item.DeriveName();
    EXPECT_STREQ("old.wav", item.szName);
}

TEST(AudioItemName, ALongNameIsCutToTheFieldAndNothingIsWrittenPastIt)
{
    AudioItem item;
    item.nLength = 0x11111111;
    const std::string longName(100, 'n');
    item.SetPath(("/rec/" + longName).c_str());
    item.DeriveName();
    EXPECT_EQ(std::string(63, 'n'), item.szName);
    EXPECT_EQ(0x11111111u, item.nLength);
}

TEST(AudioItemName, ALongPathIsCutToTheField)
{
    AudioItem item;
    const std::string longPath = "/" + std::string(300, 'p');
    item.SetPath(longPath.c_str());
    EXPECT_EQ(255u, std::string(item.szPath).size());
    EXPECT_EQ(0u, item.szName[0]);
}
