// Binding the MP3 encoder module at run time: a missing module, a module that
// lacks an entry point, a stream that will not open, and a later load that works.
#include "EncoderFixtures.h"
#include "LameEncoder.h"
#include "Mp3Frames.h"
#include "ReceiverMP3.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <thread>
#include <vector>

namespace
{
std::string Stub(const char* pszName)
{
    return std::string(VORANE_TEST_BINARY_DIR) + "/encoderstubs/lib" + pszName + ".so";
}

// The text a new receiver throws, or null when it was made.
const char* ConstructionFailure()
{
    try
    {
        CReceiverMP3 receiver(192, 0);
        return nullptr;
    }
    catch (const char* pszText)
    {
        return pszText;
    }
}
}  // namespace

class Mp3Binding : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(Stub("lame_enc_noclose")))
            << "the stub modules are built with the tests (Tests/encoders/stubs)";
    }
    void TearDown() override { UseBuiltLameModule(); }
};

TEST_F(Mp3Binding, AMissingModuleIsReportedAndALaterLoadSucceeds)
{
    CTempFolder folder(TestFolderName() + "-mp3binding");
    SetLameLibraryPath(folder.File("liblame_enc.so"));
    const char* pszText = ConstructionFailure();
    ASSERT_NE(nullptr, pszText);
    EXPECT_STREQ("Error loading lame_enc.DLL", pszText);

    UseBuiltLameModule();
    EXPECT_EQ(nullptr, ConstructionFailure());
}

TEST_F(Mp3Binding, AModuleLackingAnEntryPointIsRefusedEveryTimeUntilAGoodOneIsFound)
{
    SetLameLibraryPath(Stub("lame_enc_noclose"));
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        const char* pszText = ConstructionFailure();
        ASSERT_NE(nullptr, pszText);
        EXPECT_STREQ("Unable to get LAME interfaces", pszText);
    }
    // The refused module was given back.
    EXPECT_EQ(nullptr, dlopen(Stub("lame_enc_noclose").c_str(), RTLD_NOW | RTLD_NOLOAD));

    UseBuiltLameModule();
    EXPECT_EQ(nullptr, ConstructionFailure());
}

TEST_F(Mp3Binding, AModuleWithoutTheInfoTagEntryIsBoundAndAStreamThatWillNotOpenIsReported)
{
    SetLameLibraryPath(Stub("lame_enc_noinfotag"));
    const char* pszText = ConstructionFailure();
    ASSERT_NE(nullptr, pszText);
    EXPECT_STREQ("ERRORR in beInitStream.", pszText);
}

TEST_F(Mp3Binding, ABoundModuleIsKeptForEveryLaterReceiver)
{
    UseBuiltLameModule();
    ASSERT_EQ(nullptr, ConstructionFailure());
    std::string path = LameLibraryPath();
    void* hLoaded = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(nullptr, hLoaded);
    dlclose(hLoaded);
    // Removing the file does not matter any more: the module is never loaded again.
    CTempFolder folder(TestFolderName() + "-mp3binding-copy");
    std::string copy = folder.File("liblame_enc.so");
    std::filesystem::copy_file(path, copy);
    SetLameLibraryPath(copy);
    ASSERT_EQ(nullptr, ConstructionFailure());
    std::filesystem::remove(copy);
    EXPECT_EQ(nullptr, ConstructionFailure());
    EXPECT_EQ(nullptr, ConstructionFailure());
}

TEST_F(Mp3Binding, TheModuleLoadsFromTheApplicationDirectoryByDefault)
{
    SetLameLibraryPath("");
    char exe[4096] = {0};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof(exe) - 1), 0);
    EXPECT_EQ(std::filesystem::path(exe).parent_path() / "liblame_enc.so", std::filesystem::path(LameLibraryPath()));
}

TEST_F(Mp3Binding, ReceiversMadeAtOnceOnSeveralThreadsEachGetAStreamOfTheirOwn)
{
    UseBuiltLameModule();
    CTempFolder folder(TestFolderName());
    const std::vector<uint8_t> pcm = StereoTone(2.0, 1000);
    std::vector<std::string> failures(6);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < failures.size(); ++i)
        threads.emplace_back([&, i] {
            try
            {
                CReceiverMP3 receiver(128, 0);
                receiver.FileName = folder.File(std::to_string(i) + ".mp3");
                receiver.Write(pcm.data(), 176400);
                receiver.Write(pcm.data() + 176400, 176400);
                receiver.Finish();
            }
            catch (const char* pszText)
            {
                failures[i] = pszText;
            }
        });
    for (std::thread& t : threads)
        t.join();
    for (size_t i = 0; i < failures.size(); ++i)
    {
        EXPECT_EQ("", failures[i]);
        Mp3Walk walk = WalkMp3File(folder.File(std::to_string(i) + ".mp3"));
        EXPECT_TRUE(walk.ok) << walk.error;
        EXPECT_GE(walk.frames.size() * 1152, 2u * 44100);
    }
}
