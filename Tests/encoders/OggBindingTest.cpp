// Binding the Vorbis and Ogg libraries at run time: a missing library, a library
// lacking an entry point, and a later load that works.
#include "EncoderFixtures.h"
#include "ReceiverOGG.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
const std::string STUB_VORBISENC = std::string(VORANE_TEST_BINARY_DIR) + "/encoderstubs/libvorbisenc_noinit.so";

// The text LoadLibraries throws, or null.
const char* LoadFailure(CReceiverOGG& receiver, bool& bLoaded)
{
    try
    {
        bLoaded = receiver.LoadLibraries();
        return nullptr;
    }
    catch (const char* pszText)
    {
        return pszText;
    }
}
}  // namespace

class OggBinding : public ::testing::Test
{
protected:
    void TearDown() override { SetVorbisModuleNames("", "", ""); }

    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
};

TEST_F(OggBinding, EachMissingLibraryIsReportedAndALaterLoadSucceeds)
{
    const std::string missing = m_folder.File("libmissing.so.0");
    const std::vector<std::vector<std::string>> names = {
        {missing, "", ""}, {"", missing, ""}, {"", "", missing}};
    for (const auto& n : names)
    {
        SetVorbisModuleNames(n[0], n[1], n[2]);
        CReceiverOGG receiver;
        bool bLoaded = true;
        const char* pszText = LoadFailure(receiver, bLoaded);
        ASSERT_NE(nullptr, pszText);
        EXPECT_STREQ("Error loading libvorbis.dll", pszText);
    }

    SetVorbisModuleNames("", "", "");
    CReceiverOGG receiver;
    bool bLoaded = false;
    EXPECT_EQ(nullptr, LoadFailure(receiver, bLoaded));
    EXPECT_TRUE(bLoaded);
    EXPECT_EQ(nullptr, receiver.MissingEntryPoint());
}

TEST_F(OggBinding, ALibraryLackingAnEntryPointLeavesTheReceiverUnopened)
{
    ASSERT_TRUE(std::filesystem::exists(STUB_VORBISENC)) << "the stub modules are built with the tests";
    SetVorbisModuleNames("", STUB_VORBISENC, "");
    CReceiverOGG receiver;
    bool bLoaded = true;
    EXPECT_EQ(nullptr, LoadFailure(receiver, bLoaded));
    EXPECT_FALSE(bLoaded);
    ASSERT_NE(nullptr, receiver.MissingEntryPoint());
    EXPECT_STREQ("vorbis_encode_init", receiver.MissingEntryPoint());
    receiver.FileName = m_folder.File("never.ogg");
    uint32_t nBitrate = 0;
    EXPECT_EQ(-1, receiver.Open(&nBitrate));
    EXPECT_FALSE(std::filesystem::exists(receiver.FileName));

    SetVorbisModuleNames("", "", "");
    CReceiverOGG good;
    EXPECT_TRUE(good.LoadLibraries());
    good.FileName = m_folder.File("good.ogg");
    EXPECT_EQ(0, good.Open(&nBitrate));
    good.Finish();
    EXPECT_TRUE(std::filesystem::exists(good.FileName));
}
