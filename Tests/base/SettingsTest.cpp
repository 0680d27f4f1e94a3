// The naming of new recordings: free names, hostile links, left-over working files, rivals; and the
// folder the output folder's chooser opens at.
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class OutputNames : public ::testing::Test
{
protected:
    CTempFolder m_folder{"OutputNames"};
};

namespace
{
std::string PathOf(const std::unique_ptr<CRecordingFile>& pFile) { return pFile ? pFile->Path() : std::string(); }
}  // namespace

// A name is taken by any entry under it (as root every file can be read: the entry alone counts);
// names of other formats do not count. (Holes filled, through the window: Tests/mainwindow.)
TEST_F(OutputNames, ANameInUseInAnyFormOrReservedIsNotHandedOut)
{
    std::ofstream(m_folder.File("Audio0.wav")) << "x";
    chmod(m_folder.File("Audio0.wav").c_str(), 0);
    mkdir(m_folder.File("Audio1.wav").c_str(), 0);
    symlink("/nonexistent/target", m_folder.File("Audio2.wav").c_str());
    auto first = ReserveRecordingFile(m_folder.Path(), OUTPUT_FORMAT_WAV);
    auto second = ReserveRecordingFile(m_folder.Path(), OUTPUT_FORMAT_WAV);
    EXPECT_EQ(std::make_pair(m_folder.File("Audio3.wav"), m_folder.File("Audio4.wav")),
              std::make_pair(PathOf(first), PathOf(second)));
    EXPECT_EQ(m_folder.File("Audio0.mp3"), PathOf(ReserveRecordingFile(m_folder.Path(), OUTPUT_FORMAT_MP3)));
    EXPECT_EQ(nullptr, ReserveRecordingFile(m_folder.File("missing"), OUTPUT_FORMAT_WAV));
    EXPECT_EQ(nullptr, ReserveRecordingFile(m_folder.Path(), 4));
}

// Another local user who can write the folder puts links in place of the names while the file is
// written: the links' target is never written. A taken final name is left to its owner, and a
// working name taken over means the recording was removed, which its file can tell.
TEST_F(OutputNames, ALinkPutInPlaceOfTheNamesIsNeverWrittenThrough)
{
    const std::string target = m_folder.File("target");
    for (const std::string swapped : {"Audio0.wav", ".Audio0.wav.part"})
    {
        SCOPED_TRACE(swapped);
        std::ofstream(target) << "precious";
        auto file = ReserveRecordingFile(m_folder.Path(), OUTPUT_FORMAT_WAV);
        ASSERT_EQ(m_folder.File("Audio0.wav"), PathOf(file));
        for (int i = 0; i < 50; ++i)
            ASSERT_EQ(5, write(file->Fd(), "audio", 5));
        std::thread attacker([&] {
            const std::string link = m_folder.File("swap.link");
            symlink(target.c_str(), link.c_str());
            rename(link.c_str(), m_folder.File(swapped).c_str());
        });
        attacker.join();
        for (int i = 0; i < 50; ++i)
            ASSERT_EQ(5, write(file->Fd(), "audio", 5));
        const bool bPublished = file->Publish();
        EXPECT_EQ("precious", ReadFileText(target));
        if (swapped == "Audio0.wav")
        {
            EXPECT_TRUE(bPublished);
            EXPECT_EQ(m_folder.File("Audio1.wav"), file->Path());
            EXPECT_EQ(500u, ReadFileText(file->Path()).size());
        }
        else
            EXPECT_TRUE(!bPublished && file->IsDeleted());
        file.reset();
        EXPECT_EQ("precious", ReadFileText(target)) << "nothing is written or removed through a link at the end";
        for (const char* pszName : {"Audio0.wav", "Audio1.wav", ".Audio0.wav.part"})
            unlink(m_folder.File(pszName).c_str());
    }
}

// A working file left by a recorder that was killed before its first audio is taken over;
// one that a running recorder holds is not.
TEST_F(OutputNames, AWorkingFileOfAGoneRecorderIsTakenOverButNotOneInUse)
{
    auto held = ReserveRecordingFile(m_folder.Path(), OUTPUT_FORMAT_MP3);
    const std::string stale = m_folder.File(".Audio1.mp3.part");
    std::ofstream(stale) << "left over";
    const timespec hourAgo[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    utimensat(AT_FDCWD, stale.c_str(), hourAgo, 0);
    utimensat(AT_FDCWD, m_folder.File(".Audio0.mp3.part").c_str(), hourAgo, 0);
    auto next = ReserveRecordingFile(m_folder.Path(), OUTPUT_FORMAT_MP3);
    EXPECT_EQ(m_folder.File("Audio1.mp3"), PathOf(next));
    EXPECT_EQ("", ReadFileText(stale)) << "taken over empty";

    // A recorder killed as it named its file leaves the working name as a second link of a kept
    // recording, which the user may have renamed since: that is never taken over.
    const std::string kept = m_folder.File("Interview.mp3");
    std::ofstream(kept) << "the recording";
    ASSERT_EQ(0, link(kept.c_str(), m_folder.File(".Audio2.mp3.part").c_str()));
    utimensat(AT_FDCWD, kept.c_str(), hourAgo, 0);
    EXPECT_EQ(m_folder.File("Audio3.mp3"), PathOf(ReserveRecordingFile(m_folder.Path(), OUTPUT_FORMAT_MP3)));
    EXPECT_EQ("the recording", ReadFileText(kept));
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
        std::vector<std::unique_ptr<CRecordingFile>> names[kRecorders];
        std::atomic<int> nReady{0};
        std::vector<std::thread> recorders;
        for (int r = 0; r < kRecorders; ++r)
            recorders.emplace_back([&, r] {
                ++nReady;
                while (nReady < kRecorders)
                    std::this_thread::yield();
                for (int i = 0; i < kEach; ++i)
                    names[r].push_back(ReserveRecordingFile(folder, OUTPUT_FORMAT_WAV));
            });
        for (std::thread& t : recorders)
            t.join();
        for (const auto& list : names)
            for (const auto& pFile : list)
                distinct.insert(PathOf(pFile));
    }
    EXPECT_EQ(0u, distinct.count(""));
    EXPECT_EQ(size_t{kRounds * kRecorders * kEach}, distinct.size()) << "a name was handed out twice";
}

TEST(ChooserFolder, AnExistingFolderItselfElseTheNearestFolderAboveThatExistsAlwaysAbsolute)
{
    CTempFolder folder("chooser");
    std::filesystem::create_directories(folder.File("takes"));
    std::ofstream(folder.File("a file")) << "x";
    EXPECT_EQ(NearestExistingFolder(folder.File("takes")), folder.File("takes"));
    EXPECT_EQ(NearestExistingFolder(folder.File("takes/")), folder.File("takes/"));
    EXPECT_EQ(NearestExistingFolder(folder.File("takes/gone/deeper/")), folder.File("takes"));
    EXPECT_EQ(NearestExistingFolder(folder.File("a file")), folder.Path());
    EXPECT_EQ(NearestExistingFolder("/no-such-folder-" + std::to_string(getpid())), "/");
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(NearestExistingFolder("gone-" + std::to_string(getpid()) + "/x"), cwd);
    EXPECT_EQ(NearestExistingFolder(""), "");
}
