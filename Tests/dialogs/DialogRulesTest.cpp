// The dialogs' rules that need no window: the rename refusals, a case-only rename, the player's texts.
#include "DlgPlayer.h"
#include "DlgRename.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(RenameRules, EachNewNameGetsItsRefusalOrNone)
{
    std::string wide;  // sixteen four-byte characters: more than a row's name field keeps
    for (int i = 0; i < 16; ++i)
        wide += "\xf0\x9f\x8e\xb5";
    const std::string hostile = "Invalid file name.( no '/', '..' or control characters, no '.' at the start )";
    const std::pair<std::string, std::string> cases[] = {
        {"a.wav", ""}, {"abcdefghijklmnop.wav", ""}, {"abcdefghijklmnopq.wav", "Too long file name.( <= 16 )"},
        {".wav", "Please input new file name."}, {"äöüäöüäöüäöüäöüä.wav", ""},
        {"äöüäöüäöüäöüäöüäö.wav", "Too long file name.( <= 16 )"}, {wide + ".wav", "Too long file name.( <= 63 bytes )"},
        {"Audio0.wav", "New file name is the same as original file name."},
        {"Audio1.wav", "New file name is exist."},  // another row's name, whether or not its file is there
        {"audio0.wav", ""}, {"AUDIO1.wav", ""}, {"a.b c-d_(1).wav", ""},
        {"../x.wav", hostile}, {"a/b.wav", hostile}, {"a/../b.wav", hostile}, {"..", "Please input new file name."},
        {"...wav", hostile}, {".hide.wav", hostile}, {"take..2.wav", ""}, {"a...wav", ""}, {"a\tb.wav", hostile},
        {std::string("a\0b.wav", 7), hostile}, {"a\x7f" "b.wav", hostile}, {"a\xc2\x85" "b.wav", hostile}};
    for (const auto& [name, refusal] : cases)
        EXPECT_EQ(RefusalOfNewName(name, "Audio0.wav", {"Audio1.wav", "Audio2.mp3"}), refusal) << name;
}

TEST(RenameRules, ANewNameThatIsTheOldFileItselfEndsAsTheNewNameAndNeverLosesIt)
{
    // Two names of one file, as a folder that ignores letter case shows them.
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

TEST(PlayerTexts, TheLengthChoosesMinutesOrHoursAndOnlyMp3WavAndWmaPlayInThePlayer)
{
    EXPECT_EQ(PlayerInfoText("/home/user/Audio0.wav", 0, 75000), "File: Audio0.wav\r\nTime: 00:00/01:15");
    EXPECT_EQ(PlayerTimeText(605000, 605000), "10:05");
    const long nLong = (2 * 3600 + 3 * 60 + 4) * 1000 + 999;
    EXPECT_EQ(PlayerTimeText(nLong, nLong), "02:03:04");
    EXPECT_EQ(PlayerTimeText(65000, nLong), "00:01:05");
    for (const char* path : {"/rec/Audio0.mp3", "/rec/Audio0.MP3", "/rec/Audio0.wav", "/rec/Audio0.Wma"})
        EXPECT_TRUE(IsMiniPlayerFile(path)) << path;
    for (const char* path : {"/rec/Audio0.ogg", "/rec/Audio0.flac", "/rec/Audio0"})
        EXPECT_FALSE(IsMiniPlayerFile(path)) << path;
}
