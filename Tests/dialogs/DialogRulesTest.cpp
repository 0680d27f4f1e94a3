// The rules of the dialogs that need no window: which new names the rename
// dialog refuses and with what words, how it moves a file, the player's time
// texts and which files it plays, and the path pieces the commands use.
#include "DlgPlayer.h"
#include "DlgRename.h"
#include "FilePaths.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
const std::vector<std::string> kNoOthers;

std::string Refusal(const std::string& name, const std::vector<std::string>& others = kNoOthers)
{
    return RefusalOfNewName(name, "Audio0.wav", others);
}

std::string ReadText(const std::string& path)
{
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}
}  // namespace

TEST(RenameRules, OneToSixteenCharactersBeforeTheExtensionPassAndTheMessagesSayWhyOthersDoNot)
{
    EXPECT_EQ(Refusal("a.wav"), "");
    EXPECT_EQ(Refusal("abcdefghijklmnop.wav"), "");
    EXPECT_EQ(Refusal("abcdefghijklmnopq.wav"), "Too long file name.( <= 16 )");
    EXPECT_EQ(Refusal(".wav"), "Please input new file name.");
    EXPECT_EQ(Refusal(""), "Please input new file name.");
    // Characters count, not bytes: sixteen letters with accents are sixteen.
    EXPECT_EQ(Refusal("äöüäöüäöüäöüäöüä.wav"), "");
    EXPECT_EQ(Refusal("äöüäöüäöüäöüäöüäö.wav"), "Too long file name.( <= 16 )");
}

TEST(RenameRules, TheOldNameAndNamesOtherRowsShowAreRefusedInTheirExactLetterCase)
{
    const std::vector<std::string> others = {"Audio1.wav", "Audio2.mp3"};
    EXPECT_EQ(Refusal("Audio0.wav", others), "New file name is the same as original file name.");
    EXPECT_EQ(Refusal("Audio1.wav", others), "New file name is exist.");
    // A row's name is taken whether or not its file is still there: nothing on disk is asked.
    EXPECT_FALSE(fs::exists("Audio1.wav"));
    EXPECT_EQ(Refusal("audio0.wav", others), "");
    EXPECT_EQ(Refusal("AUDIO1.wav", others), "");
}

TEST(RenameRules, NamesThatWouldLeaveTheFolderHideTheFileOrHoldControlsAreRefused)
{
    const std::string invalid = "Invalid file name.( no '/', '..' or control characters, no '.' at the start )";
    for (const std::string& name : std::vector<std::string>{"../x.wav", "a/b.wav", "/etc.wav", ".hide.wav", "..wav", "a..b.wav", "a\tb.wav",
                                   "a\nb.wav", std::string("a\0b.wav", 7), "a\x7f" "b.wav", "a\xc2\x85" "b.wav"})
        EXPECT_EQ(Refusal(name), invalid) << name;
    EXPECT_EQ(Refusal("a.b c-d_(1).wav"), "");
    // Sixteen characters of four bytes each are more than a row's name field keeps.
    std::string wide;
    for (int i = 0; i < 16; ++i)
        wide += "\xf0\x9f\x8e\xb5";
    EXPECT_EQ(Refusal(wide + ".wav"), "Too long file name.( <= 63 bytes )");
}

TEST(RenameRules, TheTextAlwaysEndsInTheOldExtension)
{
    EXPECT_EQ(KeepExtension("song", "wav"), "song.wav");
    EXPECT_EQ(KeepExtension("x.mp3", "wav"), "x.wav");
    EXPECT_EQ(KeepExtension("a.b.WAV", "wav"), "a.b.wav");
    EXPECT_EQ(KeepExtension("", "wav"), ".wav");
}

class RenameMove : public ::testing::Test
{
protected:
    std::string Make(const std::string& name, const std::string& text)
    {
        std::ofstream(m_folder.File(name)) << text;
        return m_folder.File(name);
    }
    // The folder's entries, sorted.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_folder.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    CTempFolder m_folder{"rename-move-" + std::to_string(getpid())};
};

TEST_F(RenameMove, AnExistingFileIsReplacedOnlyWhenTheUserAgreed)
{
    const std::string oldPath = Make("Audio0.wav", "new take"), target = Make("Song.wav", "old take");
    EXPECT_EQ(MoveRecordingFile(oldPath, target, false), EEXIST);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Audio0.wav", "Song.wav"}));
    EXPECT_EQ(ReadText(target), "old take");

    EXPECT_EQ(MoveRecordingFile(oldPath, target, true), 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Song.wav"}));
    EXPECT_EQ(ReadText(target), "new take");

    EXPECT_EQ(MoveRecordingFile(target, m_folder.File("song.wav"), false), 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"song.wav"}));
    EXPECT_EQ(ReadText(m_folder.File("song.wav")), "new take");
}

TEST_F(RenameMove, ANewNameThatIsTheOldFileItselfEndsAsTheNewNameAndNeverLosesIt)
{
    // Two names of one file, as a folder that ignores letter case shows "Audio0.wav" and "AUDIO0.wav".
    const std::string oldPath = Make("Audio0.wav", "the take"), newPath = m_folder.File("AUDIO0.wav");
    ASSERT_EQ(link(oldPath.c_str(), newPath.c_str()), 0);
    EXPECT_EQ(MoveRecordingFile(oldPath, newPath, true), 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"AUDIO0.wav"}));
    EXPECT_EQ(ReadText(newPath), "the take");
}

TEST_F(RenameMove, AMoveThatFailsChangesNothing)
{
    const std::string oldPath = Make("Audio0.wav", "the take");
    EXPECT_EQ(MoveRecordingFile(m_folder.File("Audio9.wav"), m_folder.File("Song.wav"), false), ENOENT);
    fs::create_directory(m_folder.File("Song.wav"));
    std::ofstream(m_folder.File("Song.wav/inside")) << "x";
    EXPECT_NE(MoveRecordingFile(oldPath, m_folder.File("Song.wav"), true), 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Audio0.wav", "Song.wav"}));
    EXPECT_EQ(ReadText(oldPath), "the take");
}

TEST(PlayerTexts, TheLengthChoosesMinutesOrHoursForBothValues)
{
    EXPECT_EQ(PlayerInfoText("/home/user/Audio0.wav", 0, 75000), "File: Audio0.wav\r\nTime: 00:00/01:15");
    EXPECT_EQ(PlayerInfoText("/home/user/Audio0.wav", 75000, 75000), "File: Audio0.wav\r\nTime: 01:15/01:15");
    EXPECT_EQ(PlayerTimeText(605000, 605000), "10:05");
    EXPECT_EQ(PlayerTimeText(3599999, 3599999), "59:59");
    const long nLong = (2 * 3600 + 3 * 60 + 4) * 1000 + 999;
    EXPECT_EQ(PlayerTimeText(nLong, nLong), "02:03:04");
    EXPECT_EQ(PlayerTimeText(65000, nLong), "00:01:05");
    EXPECT_EQ(PlayerInfoText("/a.wav", 0, 0), "File: \r\nTime: 00:00/00:00") << "too short a path names no file";
}

TEST(PlayerTexts, Mp3WavAndWmaInAnyLetterCasePlayInThePlayerOtherFilesGoToTheShell)
{
    for (const char* path : {"/rec/Audio0.mp3", "/rec/Audio0.MP3", "/rec/Audio0.wav", "/rec/Audio0.Wma"})
        EXPECT_TRUE(IsMiniPlayerFile(path)) << path;
    for (const char* path : {"/rec/Audio0.ogg", "/rec/Audio0.flac", "/rec/Audio0", ".mp3"})
        EXPECT_FALSE(IsMiniPlayerFile(path)) << path;
}

TEST(FilePaths, TheFolderIsCopiedUnterminatedIntoABufferOfAtLeast64AndOnlyWhenThereIsOne)
{
    char dir[64];
    std::memset(dir, 'x', sizeof(dir));
    ASSERT_TRUE(GetFileDir("/home/u/Audio0.wav", dir, sizeof(dir)));
    EXPECT_EQ(std::string(dir, 8), "/home/ux") << "the copy writes no terminator";
    std::memset(dir, 0, sizeof(dir));
    EXPECT_FALSE(GetFileDir("/a/b", dir, sizeof(dir)));
    EXPECT_FALSE(GetFileDir("Audio0.wav", dir, sizeof(dir)));
    EXPECT_FALSE(GetFileDir("/home/u/Audio0.wav", dir, 63));
    EXPECT_EQ(dir[0], '\0');

    std::string ext = "kept";
    EXPECT_FALSE(GetFileExt("a.mp", ext));
    EXPECT_FALSE(GetFileExt("/home/u/Audio0", ext));
    EXPECT_EQ(ext, "kept");
    EXPECT_TRUE(GetFileExt("/home/u/Audio0.OGG", ext));
    EXPECT_EQ(ext, "ogg");
}
