// The rules of the dialogs that need no window: which new names the rename
// dialog refuses and with what words, a rename to a name that is the old file
// itself, the player's time texts and which files it plays.
#include "DlgPlayer.h"
#include "DlgRename.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
std::string Refusal(const std::string& name, const std::vector<std::string>& others = {})
{
    return RefusalOfNewName(name, "Audio0.wav", others);
}
}  // namespace

TEST(RenameRules, OneToSixteenCharactersBeforeTheExtensionPassAndTheMessagesSayWhyOthersDoNot)
{
    EXPECT_EQ(Refusal("a.wav"), "");
    EXPECT_EQ(Refusal("abcdefghijklmnop.wav"), "");
    EXPECT_EQ(Refusal("abcdefghijklmnopq.wav"), "Too long file name.( <= 16 )");
    EXPECT_EQ(Refusal(".wav"), "Please input new file name.");
    // Characters count, not bytes: sixteen letters with accents are sixteen.
    EXPECT_EQ(Refusal("äöüäöüäöüäöüäöüä.wav"), "");
    EXPECT_EQ(Refusal("äöüäöüäöüäöüäöüäö.wav"), "Too long file name.( <= 16 )");
    // Sixteen characters of four bytes each are more than a row's name field keeps.
    std::string wide;
    for (int i = 0; i < 16; ++i)
        wide += "\xf0\x9f\x8e\xb5";
    EXPECT_EQ(Refusal(wide + ".wav"), "Too long file name.( <= 63 bytes )");
}

TEST(RenameRules, TheOldNameAndNamesOtherRowsShowAreRefusedInTheirExactLetterCase)
{
    const std::vector<std::string> others = {"Audio1.wav", "Audio2.mp3"};
    EXPECT_EQ(Refusal("Audio0.wav", others), "New file name is the same as original file name.");
    // A row's name is taken whether or not its file is still there: nothing on disk is asked.
    EXPECT_EQ(Refusal("Audio1.wav", others), "New file name is exist.");
    EXPECT_EQ(Refusal("audio0.wav", others), "");
    EXPECT_EQ(Refusal("AUDIO1.wav", others), "");
}

TEST(RenameRules, NamesThatWouldLeaveTheFolderHideTheFileOrHoldControlsAreRefused)
{
    for (const std::string& name : std::vector<std::string>{"../x.wav", "a/b.wav", ".hide.wav", "a..b.wav", "a\tb.wav",
                                                            std::string("a\0b.wav", 7), "a\x7f" "b.wav", "a\xc2\x85" "b.wav"})
        EXPECT_EQ(Refusal(name), "Invalid file name.( no '/', '..' or control characters, no '.' at the start )")
            << name;
    EXPECT_EQ(Refusal("a.b c-d_(1).wav"), "");
}

TEST(RenameRules, ANewNameThatIsTheOldFileItselfEndsAsTheNewNameAndNeverLosesIt)
{
    // Two names of one file, as a folder that ignores letter case shows "Audio0.wav" and "AUDIO0.wav".
    CTempFolder folder("rename-same-" + std::to_string(getpid()));
    std::ofstream(folder.File("Audio0.wav")) << "the take";
    ASSERT_EQ(link(folder.File("Audio0.wav").c_str(), folder.File("AUDIO0.wav").c_str()), 0);
    EXPECT_EQ(MoveRecordingFile(folder.File("Audio0.wav"), folder.File("AUDIO0.wav"), true), 0);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"AUDIO0.wav"});
    EXPECT_EQ(fs::file_size(folder.File("AUDIO0.wav")), 8u);
}

TEST(PlayerTexts, TheLengthChoosesMinutesOrHoursForBothValues)
{
    EXPECT_EQ(PlayerInfoText("/home/user/Audio0.wav", 0, 75000), "File: Audio0.wav\r\nTime: 00:00/01:15");
    EXPECT_EQ(PlayerInfoText("/home/user/Audio0.wav", 75000, 75000), "File: Audio0.wav\r\nTime: 01:15/01:15");
    EXPECT_EQ(PlayerTimeText(605000, 605000), "10:05");
    const long nLong = (2 * 3600 + 3 * 60 + 4) * 1000 + 999;
    EXPECT_EQ(PlayerTimeText(nLong, nLong), "02:03:04");
    EXPECT_EQ(PlayerTimeText(65000, nLong), "00:01:05");
}

TEST(PlayerTexts, Mp3WavAndWmaInAnyLetterCasePlayInThePlayerOtherFilesGoToTheShell)
{
    for (const char* path : {"/rec/Audio0.mp3", "/rec/Audio0.MP3", "/rec/Audio0.wav", "/rec/Audio0.Wma"})
        EXPECT_TRUE(IsMiniPlayerFile(path)) << path;
    for (const char* path : {"/rec/Audio0.ogg", "/rec/Audio0.flac", "/rec/Audio0"})
        EXPECT_FALSE(IsMiniPlayerFile(path)) << path;
}
