// Binding the encoder libraries at run time: a missing module, a module that lacks an
// entry point, and a later load that works; each missing WMA module named.
#include "EncoderFixtures.h"
#include "LameEncoder.h"
#include "ReceiverMP3.h"
#include "ReceiverOGG.h"
#include "ReceiverWMA.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>

namespace
{
std::string Stub(const char* pszName)
{
    std::string path = std::string(VORANE_TEST_BINARY_DIR) + "/encoderstubs/" + pszName;
    EXPECT_TRUE(std::filesystem::exists(path)) << "the stub modules are built with the tests (Tests/encoders/stubs)";
    return path;
}
}  // namespace

TEST(Mp3Binding, AMissingModuleOrOneLackingAnEntryPointIsRefusedUntilAGoodOneIsFound)
{
    auto ConstructionFailure = [] { return ThrownText([] { CReceiverMP3 receiver(192, 0); }); };
    const std::string stub = Stub("liblame_enc_noclose.so");
    CTempFolder folder(TestFolderName());
    SetLameLibraryPath(folder.File("liblame_enc.so"));
    EXPECT_EQ("Error loading lame_enc.DLL", ConstructionFailure());
    SetLameLibraryPath(stub);
    EXPECT_EQ("Unable to get LAME interfaces", ConstructionFailure());
    EXPECT_EQ("Unable to get LAME interfaces", ConstructionFailure());
    EXPECT_EQ(nullptr, dlopen(stub.c_str(), RTLD_NOW | RTLD_NOLOAD)) << "the refused module was given back";
    UseBuiltLameModule();
    EXPECT_EQ("", ConstructionFailure());
}

TEST(OggBinding, AMissingLibraryOrOneLackingAnEntryPointLeavesTheReceiverUnopenedUntilAGoodLoad)
{
    CSettingsScope settings;
    CTempFolder folder(TestFolderName());
    const std::string missing = folder.File("libmissing.so.0");
    uint32_t nBitrate = 0;
    for (const auto& n : std::vector<std::vector<std::string>>{{missing, "", ""}, {"", missing, ""}, {"", "", missing}})
    {
        SetVorbisModuleNames(n[0], n[1], n[2]);
        CReceiverOGG receiver;
        EXPECT_EQ("Error loading libvorbis.dll", ThrownText([&] { receiver.LoadLibraries(); }));
        // Some libraries loaded before the throw: Open must still refuse, not call a null entry point.
        receiver.Output = RecordingFileFor(folder.File("partial.ogg"));
        EXPECT_EQ("Error loading libvorbis.dll", ThrownText([&] { receiver.Open(&nBitrate); }));
        receiver.Finish();
    }

    SetVorbisModuleNames("", Stub("libvorbisenc_noinit.so"), "");
    CReceiverOGG receiver;
    EXPECT_NE(std::string::npos, ThrownText([&] { receiver.LoadLibraries(); }).find("\"vorbis_encode_init\""));
    EXPECT_STREQ("vorbis_encode_init", receiver.MissingEntryPoint());
    receiver.Output = RecordingFileFor(folder.File("never.ogg"));
    EXPECT_EQ("Error loading libvorbis.dll", ThrownText([&] { receiver.Open(&nBitrate); }));
    receiver.Finish();
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << "a refused Open leaves no file";

    SetVorbisModuleNames("", "", "");
    CReceiverOGG good;
    EXPECT_EQ("", ThrownText([&] { good.LoadLibraries(); }));
    EXPECT_EQ(nullptr, good.MissingEntryPoint());
    good.Output = RecordingFileFor(folder.File("good.ogg"));
    EXPECT_EQ("", ThrownText([&] { good.Open(&nBitrate); }));
    const std::vector<uint8_t> second = StereoTone(1.0, 440);
    EXPECT_GT(good.Write(second.data(), static_cast<uint32_t>(second.size())), 0u);
    good.Finish();
    EXPECT_TRUE(std::filesystem::exists(folder.File("good.ogg")));
}

TEST(WmaModules, EachMissingModuleIsNamed)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "Error loading bass.dll"},
        {{"libbasswma.so"}, "Error loading bass.dll"},
        {{"libbass.so"}, "Error loading basswma.dll"},
        {{"libbass.so", "libbasswma.so"}, ""}};
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        CTempFolder folder("wma-modules-" + std::to_string(i));
        for (const std::string& module : cases[i].first)
            std::filesystem::copy_file(std::string(VORANE_APP_DIR) + "/" + module, folder.File(module));
        CReceiverWMA::SetModuleFolder(folder.Path());
        EXPECT_EQ(ThrownText([] { CReceiverWMA().LoadLibraries(); }), cases[i].second) << i;
    }
    CReceiverWMA::SetModuleFolder("");
}
