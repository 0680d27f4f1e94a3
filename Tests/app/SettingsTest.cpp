// The naming of new recordings.
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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
