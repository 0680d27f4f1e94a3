// The choices the settings offer, and the naming of new recordings.
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// What the settings pages offer and the encoders are given: a changed entry records at another rate.
TEST(SettingsTables, HoldTheBitratesRatesAndQualitiesOffered)
{
    auto values = [](const auto& table) { return std::vector<int>(std::begin(table), std::end(table)); };
    const std::pair<std::vector<int>, std::vector<int>> tables[] = {
        {values(Mp3BitrateTable), {96, 112, 128, 144, 160, 192, 224, 256, 320}},
        {values(OggBitrateTable), {64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 500}},
        {values(WavChannelTable), {1, 2}},
        {values(WavSampleRateTable), {11025, 22050, 44100}},
        {values(WavBitsTable), {8, 16}},
        {values(WmaBitrateTable), {32, 48, 64, 80, 96, 128, 160, 192, 256, 320}},
        {values(WmaQualityTable), {10, 25, 50, 75, 90, 98, 100}},
    };
    for (size_t i = 0; i < std::size(tables); ++i)
        EXPECT_EQ(tables[i].first, tables[i].second) << "table " << i;
}

class OutputNames : public ::testing::Test
{
protected:
    void Touch(const std::string& name) { std::ofstream(m_folder.File(name)) << "x"; }
    CTempFolder m_folder{"OutputNames"};
};

TEST_F(OutputNames, TheLowestFreeNumberOfTheFormatIsTakenAndNoUnreadableFileIsOverwritten)
{
    Touch("Audio0.mp3");
    Touch("Audio1.mp3");
    EXPECT_EQ(m_folder.File("Audio2.mp3"), MakeOutputName(m_folder.Path(), OUTPUT_FORMAT_MP3));
    EXPECT_EQ(m_folder.File("Audio0.wav"), MakeOutputName(m_folder.Path(), OUTPUT_FORMAT_WAV))
        << "files of other formats do not count";
    Touch("Audio0.wav");
    Touch("Audio2.wav");
    EXPECT_EQ(m_folder.File("Audio1.wav"), MakeOutputName(m_folder.Path(), OUTPUT_FORMAT_WAV)) << "holes are filled";
    EXPECT_EQ("", MakeOutputName(m_folder.Path(), 4));

    chmod(m_folder.File("Audio0.wav").c_str(), 0);
    // As root every file can be read; the folder entry alone must keep the name taken.
    mkdir(m_folder.File("Audio1.wav").c_str(), 0);
    EXPECT_EQ(m_folder.File("Audio3.wav"), MakeOutputName(m_folder.Path(), OUTPUT_FORMAT_WAV));
}

TEST_F(OutputNames, AReservedNameIsNotHandedOutTwice)
{
    EXPECT_EQ(m_folder.File("Audio0.wav"), ReserveOutputName(m_folder.Path(), OUTPUT_FORMAT_WAV));
    EXPECT_EQ(m_folder.File("Audio1.wav"), ReserveOutputName(m_folder.Path(), OUTPUT_FORMAT_WAV));
    symlink("/nonexistent/target", m_folder.File("Audio0.mp3").c_str());
    EXPECT_EQ(m_folder.File("Audio1.mp3"), ReserveOutputName(m_folder.Path(), OUTPUT_FORMAT_MP3))
        << "a dangling link is no free name";
    EXPECT_EQ("", ReserveOutputName(m_folder.File("missing"), OUTPUT_FORMAT_WAV));
}

// Recorders starting at the same moment in one folder: each name goes to one of them alone.
// Many short rounds in fresh folders, as the starts collide most on the first free numbers.
TEST_F(OutputNames, RecordersReservingAtOnceNeverShareAName)
{
    const int kRounds = 40, kRecorders = 8, kEach = 16;
    std::set<std::string> distinct;
    for (int round = 0; round < kRounds; ++round)
    {
        const std::string folder = m_folder.File(std::to_string(round));
        mkdir(folder.c_str(), 0755);
        std::vector<std::string> names[kRecorders];
        std::atomic<int> nReady{0};
        std::vector<std::thread> recorders;
        for (int r = 0; r < kRecorders; ++r)
            recorders.emplace_back([&, r] {
                ++nReady;
                while (nReady < kRecorders)
                    std::this_thread::yield();
                for (int i = 0; i < kEach; ++i)
                    names[r].push_back(ReserveOutputName(folder, OUTPUT_FORMAT_WAV));
            });
        for (std::thread& t : recorders)
            t.join();
        for (const auto& list : names)
            distinct.insert(list.begin(), list.end());
    }
    EXPECT_EQ(0u, distinct.count(""));
    EXPECT_EQ(size_t{kRounds * kRecorders * kEach}, distinct.size()) << "a name was handed out twice";
}
