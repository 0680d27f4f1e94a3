// Binding the Vorbis and Ogg libraries at run time: a missing library, a library
// lacking an entry point, and a later load that works.
#include "EncoderFixtures.h"
#include "ReceiverOGG.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(OggBinding, AMissingLibraryOrOneLackingAnEntryPointLeavesTheReceiverUnopenedUntilAGoodLoad)
{
    CSettingsScope settings;
    CTempFolder folder(TestFolderName());
    const std::string missing = folder.File("libmissing.so.0");
    for (const auto& n : std::vector<std::vector<std::string>>{{missing, "", ""}, {"", missing, ""}, {"", "", missing}})
    {
        SetVorbisModuleNames(n[0], n[1], n[2]);
        CReceiverOGG receiver;
        EXPECT_EQ("Error loading libvorbis.dll", ThrownText([&] { receiver.LoadLibraries(); }));
        // Some libraries loaded before the throw: Open must still refuse, not call a null entry point.
        receiver.FileName = folder.File("partial.ogg");
        uint32_t nBitrate = 0;
        EXPECT_EQ(-1, receiver.Open(&nBitrate));
        EXPECT_FALSE(std::filesystem::exists(receiver.FileName));
    }

    const std::string stub = std::string(VORANE_TEST_BINARY_DIR) + "/encoderstubs/libvorbisenc_noinit.so";
    ASSERT_TRUE(std::filesystem::exists(stub)) << "the stub modules are built with the tests";
    SetVorbisModuleNames("", stub, "");
    CReceiverOGG receiver;
    EXPECT_FALSE(receiver.LoadLibraries());
    ASSERT_NE(nullptr, receiver.MissingEntryPoint());
    EXPECT_STREQ("vorbis_encode_init", receiver.MissingEntryPoint());
    receiver.FileName = folder.File("never.ogg");
    uint32_t nBitrate = 0;
    EXPECT_EQ(-1, receiver.Open(&nBitrate));
    EXPECT_FALSE(std::filesystem::exists(receiver.FileName));

    SetVorbisModuleNames("", "", "");
    CReceiverOGG good;
    EXPECT_TRUE(good.LoadLibraries());
    EXPECT_EQ(nullptr, good.MissingEntryPoint());
    good.FileName = folder.File("good.ogg");
    EXPECT_EQ(0, good.Open(&nBitrate));
    good.Finish();
    EXPECT_TRUE(std::filesystem::exists(good.FileName));
}
