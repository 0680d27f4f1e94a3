// The settings record's first-run values, its tables, and the naming of new recordings.
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

TEST(SettingsRecord, AFirstRunRecordsMp3At192FromTheMixLineOfDeviceZero)
{
    RecorderSettings s;
    EXPECT_EQ(0, s.DeviceIndex);
    EXPECT_EQ(-1, s.LineIndex);
    EXPECT_EQ(OUTPUT_FORMAT_MP3, s.OutputFormat);
    EXPECT_EQ(192, Mp3BitrateTable[s.Mp3BitrateIndex]);
    EXPECT_EQ(100, s.Mp3Volume);
    EXPECT_EQ("vorane", s.Artist);
    EXPECT_EQ(s.AlbumTitle, s.Title);
    EXPECT_EQ(DEFAULT_TAG_TEXT, s.AlbumTitle);
    EXPECT_EQ(std::string::npos, s.AlbumTitle.find("://")) << "a neutral text, not a web address";
    EXPECT_EQ(0, s.IsOpenOutput);
    EXPECT_EQ(1, s.IsViewWaveform);
    EXPECT_TRUE(s.SavedDirectry.empty());
    EXPECT_EQ(9, s.YearIndex);
    EXPECT_EQ(0, s.OggMode);
    EXPECT_EQ(400, s.OggQuality);
    EXPECT_EQ(64, OggBitrateTable[s.OggMinBitrateIndex]);
    EXPECT_EQ(128, OggBitrateTable[s.OggNominalBitrateIndex]);
    EXPECT_EQ(256, OggBitrateTable[s.OggMaxBitrateIndex]);
    EXPECT_EQ(2, WavChannelTable[s.WavChannelsIndex]);
    EXPECT_EQ(44100, WavSampleRateTable[s.WavSampleRateIndex]);
    EXPECT_EQ(16, WavBitsTable[s.WavBitsIndex]);
    EXPECT_EQ(0, s.WmaMode);
    EXPECT_EQ(64, WmaBitrateTable[s.WmaBitrateIndex]);
    EXPECT_EQ(50, WmaQualityTable[s.WmaQualityIndex]);
}

TEST(SettingsRecord, EveryDefaultIndexIsAPositionOfItsTable)
{
    RecorderSettings s;
    auto inside = [](int index, int size) { return index >= 0 && index < size; };
    EXPECT_TRUE(inside(s.Mp3BitrateIndex, TableSize(Mp3BitrateTable)));
    EXPECT_TRUE(inside(s.OggMinBitrateIndex, TableSize(OggBitrateTable)));
    EXPECT_TRUE(inside(s.OggNominalBitrateIndex, TableSize(OggBitrateTable)));
    EXPECT_TRUE(inside(s.OggMaxBitrateIndex, TableSize(OggBitrateTable)));
    EXPECT_TRUE(inside(s.WavChannelsIndex, TableSize(WavChannelTable)));
    EXPECT_TRUE(inside(s.WavSampleRateIndex, TableSize(WavSampleRateTable)));
    EXPECT_TRUE(inside(s.WavBitsIndex, TableSize(WavBitsTable)));
    EXPECT_TRUE(inside(s.WmaBitrateIndex, TableSize(WmaBitrateTable)));
    EXPECT_TRUE(inside(s.WmaQualityIndex, TableSize(WmaQualityTable)));
    EXPECT_TRUE(inside(s.YearIndex, 10));
    EXPECT_TRUE(inside(s.OggMode, 4));
    EXPECT_TRUE(inside(s.WmaMode, 2));
}

TEST(SettingsRecord, TheTagYearCountsBackFromThisYear)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(local.tm_year + 1900, TagYear(9));
    EXPECT_EQ(local.tm_year + 1900 - 9, TagYear(0));
}

class OutputNames : public ::testing::Test
{
protected:
    void Touch(const std::string& name)
    {
        std::ofstream(m_folder.File(name)) << "x";
    }
    CTempFolder m_folder{"OutputNames"};
};

TEST_F(OutputNames, TheLowestFreeNumberOfTheFormatIsTaken)
{
    Touch("Audio0.mp3");
    Touch("Audio1.mp3");
    EXPECT_EQ(m_folder.File("Audio2.mp3"), MakeOutputName(m_folder.Path(), OUTPUT_FORMAT_MP3));
    EXPECT_EQ(m_folder.File("Audio0.wav"), MakeOutputName(m_folder.Path(), OUTPUT_FORMAT_WAV))
        << "files of other formats do not count";
    Touch("Audio0.wav");
    Touch("Audio2.wav");
    EXPECT_EQ(m_folder.File("Audio1.wav"), MakeOutputName(m_folder.Path(), OUTPUT_FORMAT_WAV)) << "holes are filled";
    EXPECT_EQ(m_folder.File("Audio0.ogg"), MakeOutputName(m_folder.Path(), OUTPUT_FORMAT_OGG));
    EXPECT_EQ(m_folder.File("Audio0.wma"), MakeOutputName(m_folder.Path(), OUTPUT_FORMAT_WMA));
    EXPECT_EQ("", MakeOutputName(m_folder.Path(), 4));
}

TEST_F(OutputNames, AFileThatCannotBeReadIsNeverOverwritten)
{
    Touch("Audio0.wav");
    chmod(m_folder.File("Audio0.wav").c_str(), 0);
    // As root every file can be read; the folder entry alone must keep the name taken.
    mkdir(m_folder.File("Audio1.wav").c_str(), 0);
    EXPECT_EQ(m_folder.File("Audio2.wav"), MakeOutputName(m_folder.Path(), OUTPUT_FORMAT_WAV));
}


TEST_F(OutputNames, AReservedNameIsNotHandedOutTwice)
{
    std::string first = ReserveOutputName(m_folder.Path(), OUTPUT_FORMAT_WAV);
    std::string second = ReserveOutputName(m_folder.Path(), OUTPUT_FORMAT_WAV);
    EXPECT_EQ(m_folder.File("Audio0.wav"), first);
    EXPECT_EQ(m_folder.File("Audio1.wav"), second);
    symlink("/nonexistent/target", m_folder.File("Audio0.mp3").c_str());
    EXPECT_EQ(m_folder.File("Audio1.mp3"), ReserveOutputName(m_folder.Path(), OUTPUT_FORMAT_MP3))
        << "a dangling link is no free name";
    EXPECT_EQ("", ReserveOutputName(m_folder.File("missing"), OUTPUT_FORMAT_WAV));
}
