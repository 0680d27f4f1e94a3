// The recordings list's records without a window: row numbers, the current row, updates by path, names.
#include "RecordedRow.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(AudioItemArray, RowsAreRenumberedAfterADeletionAndTheCurrentRowStaysUntilItGoes)
{
    CAudioItemArray items;
    AudioItem* p[3];
    for (int i = 0; i < 3; ++i)
        items.Append(p[i] = RecordedRow("/rec/Audio" + std::to_string(i) + ".wav"));
    EXPECT_FALSE(items.Remove(3) || items.Remove(-1));
    p[1]->nState = p[2]->nState = AUDIO_STATE_RECORDING;
    EXPECT_EQ(p[1], items.FindRecording());
    items.SetCurrentRow(0);
    ASSERT_TRUE(items.Remove(2));
    EXPECT_EQ(0, items.CurrentRow(2));
    ASSERT_TRUE(items.Remove(0));
    EXPECT_EQ(std::make_tuple(0, p[1], (AudioItem*)nullptr, -1),
              std::make_tuple(p[1]->nIndex, items.Get(0), items.Get(1), items.CurrentRow(1)));
    // An empty control forgets the current row, and it stays forgotten when rows come back.
    items.SetCurrentRow(4);
    EXPECT_EQ(-1, items.CurrentRow(0));
    EXPECT_EQ(-1, items.CurrentRow(3));
}

TEST(AudioItemArray, InformationGoesOnlyToTheFirstItemWithTheExactPath)
{
    CAudioItemArray items;
    AudioItem* pA = RecordedRow("/rec/Audio0.ogg");
    AudioItem* pB = RecordedRow("/rec/Audio0.ogg");
    AudioItem* pUpper = RecordedRow("/rec/AUDIO0.ogg");
    for (AudioItem* p : {pA, pB, pUpper})
        items.Append(p);
    AudioItem info;
    info.SetPath("/rec/Audio0.ogg");
    std::tie(info.nLength, info.nSize, info.nSampleRate, info.nChannels, info.nBitrate, info.nBitsPerSample, info.nState,
             info.nIndex) = std::make_tuple(61500u, 1536000u, 44100u, 2u, 128000u, 16u, 99u, 7);
    items.UpdateInfo(info);
    // Only the six information fields move.
    EXPECT_EQ(std::make_tuple(61500u, 1536000u, 44100u, 2u, 128000u, 16u, int(AUDIO_STATE_RECORDED), 0),
              std::make_tuple(pA->nLength, pA->nSize, pA->nSampleRate, pA->nChannels, pA->nBitrate, pA->nBitsPerSample,
                              int(pA->nState), pA->nIndex));
    EXPECT_EQ(0u, pB->nLength + pUpper->nLength);
}

TEST(AudioItemName, IsThePartAfterTheLastSeparatorAndLongPathsAreCutWithoutWritingPastTheirFields)
{
    AudioItem item;
    for (const char* pszPath : {"/home/me/output/Audio12.mp3", "/a.b", "Audio3.wav", ""})
    {
        item.SetPath(pszPath);
        item.DeriveName();
        EXPECT_STREQ("Audio12.mp3", item.szName) << pszPath;
    }
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
