// The recordings list's records without a window: rows and their numbers, the
// current row the commands act on, and the name taken from a path.
#include "AudioItem.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace
{
AudioItem* NewItem(const std::string& path)
{
    auto* pItem = new AudioItem;
    pItem->SetPath(path.c_str());
    pItem->DeriveName();
    pItem->nState = AUDIO_STATE_RECORDED;
    return pItem;
}
}  // namespace

class AudioItemArray : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (AudioItem*& pItem : m_p)
            m_items.Append(pItem = NewItem("/rec/Audio" + std::to_string(&pItem - m_p) + ".wav"));
    }

    CAudioItemArray m_items;
    AudioItem* m_p[3] = {};
};

TEST_F(AudioItemArray, RowsAreNumberedInOrderAndRenumberedAfterADeletion)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(i, m_p[i]->nIndex);
    EXPECT_EQ(2, m_items.CurrentRow(3));
    EXPECT_EQ(nullptr, m_items.Get(-1));
    EXPECT_EQ(nullptr, m_items.Get(3));
    // Rows that have no record change nothing.
    EXPECT_FALSE(m_items.Remove(3));
    EXPECT_FALSE(m_items.Remove(-1));
    EXPECT_EQ(3, m_items.Count());
    EXPECT_EQ(2, m_items.CurrentRow(3));

    ASSERT_TRUE(m_items.Remove(0));
    EXPECT_EQ(2, m_items.Count());
    EXPECT_EQ(0, m_p[1]->nIndex);
    EXPECT_EQ(1, m_p[2]->nIndex);
    EXPECT_EQ(m_p[2], m_items.Get(1));
    EXPECT_EQ(nullptr, m_items.Get(2));
}

TEST_F(AudioItemArray, TheCurrentRowStaysUntilItIsDeletedOrTheControlIsEmptyAndTheFirstRecordingItemIsFound)
{
    // The recording item is the first in row order that records.
    EXPECT_EQ(nullptr, m_items.FindRecording());
    m_p[1]->nState = AUDIO_STATE_RECORDING;
    m_p[2]->nState = AUDIO_STATE_RECORDING;
    EXPECT_EQ(m_p[1], m_items.FindRecording());
    m_items.SetCurrentRow(0);
    ASSERT_TRUE(m_items.Remove(2));
    EXPECT_EQ(0, m_items.CurrentRow(2));
    EXPECT_EQ(m_p[0], m_items.Get(0));
    ASSERT_TRUE(m_items.Remove(0));
    EXPECT_EQ(-1, m_items.CurrentRow(1));

    // An empty control forgets the current row, and it stays forgotten when rows come back.
    m_items.SetCurrentRow(4);
    EXPECT_EQ(-1, m_items.CurrentRow(0));
    EXPECT_EQ(-1, m_items.CurrentRow(3));
}

TEST(AudioItemInfo, GoesOnlyToTheFirstItemWithTheExactPath)
{
    CAudioItemArray items;
    AudioItem* pA = NewItem("/rec/Audio0.ogg");
    AudioItem* pB = NewItem("/rec/Audio0.ogg");
    AudioItem* pUpper = NewItem("/rec/AUDIO0.ogg");
    items.Append(pA);
    items.Append(pB);
    items.Append(pUpper);
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
    items.UpdateInfo(info);
    // Only the six information fields move.
    auto fields = [](const AudioItem& i) {
        return std::make_tuple(i.nLength, i.nSize, i.nSampleRate, i.nChannels, i.nBitrate, i.nBitsPerSample,
                               static_cast<int>(i.nState), i.nIndex);
    };
    EXPECT_EQ(std::make_tuple(61500u, 1536000u, 44100u, 2u, 128000u, 16u, int(AUDIO_STATE_RECORDED), 0), fields(*pA));
    EXPECT_EQ(0u, pB->nLength);
    EXPECT_EQ(0u, pUpper->nLength);
}

TEST(AudioItemName, IsThePartAfterTheLastSeparatorAndStaysWhenThePathIsShortOrHasNone)
{
    AudioItem item;
    for (const char* pszPath : {"/home/me/output/Audio12.mp3", "/a.b", "Audio3.wav", ""})
    {
        item.SetPath(pszPath);
        item.DeriveName();
        EXPECT_STREQ("Audio12.mp3", item.szName) << pszPath;
    }
}

TEST(AudioItemName, LongPathsAndNamesAreCutToTheirFieldsAndNothingIsWrittenPastThem)
{
    AudioItem item;
    item.nLength = 0x11111111;
    item.SetPath(("/rec/" + std::string(100, 'n')).c_str());
    item.DeriveName();
    EXPECT_EQ(std::string(63, 'n'), item.szName);
    EXPECT_EQ(0x11111111u, item.nLength);

    AudioItem other;
    other.SetPath(("/" + std::string(300, 'p')).c_str());
    EXPECT_EQ(255u, std::string(other.szPath).size());
    EXPECT_EQ(0u, other.szName[0]);
}
