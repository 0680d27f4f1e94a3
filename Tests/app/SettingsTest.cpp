// The settings record's first-run values, its tables, and the naming of new recordings.
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <iterator>
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

TEST(SettingsRecord, TheTablesHoldExactlyTheValuesTheEncodersAndPagesOffer)
{
    // Every page lists these and every recording converts its indexes through them: a changed
    // entry is a bitrate an encoder refuses or a recording that says one thing and is another.
    auto values = [](const auto& table) { return std::vector<int>(std::begin(table), std::end(table)); };
    const std::vector<std::pair<std::vector<int>, std::vector<int>>> tables = {
        {values(Mp3BitrateTable), {96, 112, 128, 144, 160, 192, 224, 256, 320}},
        {values(OggBitrateTable), {64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 500}},
        {values(WavChannelTable), {1, 2}},
        {values(WavSampleRateTable), {11025, 22050, 44100}},
        {values(WavBitsTable), {8, 16}},
        {values(WmaBitrateTable), {32, 48, 64, 80, 96, 128, 160, 192, 256, 320}},
        {values(WmaQualityTable), {10, 25, 50, 75, 90, 98, 100}},
    };
    for (size_t i = 0; i < tables.size(); ++i)
        EXPECT_EQ(tables[i].second, tables[i].first) << "table " << i;
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
