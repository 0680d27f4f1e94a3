// Binding the MP3 encoder module at run time: a missing module, a module that
// lacks an entry point, and a later load that works.
#include "EncoderFixtures.h"
#include "LameEncoder.h"
#include "ReceiverMP3.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>

TEST(Mp3Binding, AMissingModuleOrOneLackingAnEntryPointIsRefusedUntilAGoodOneIsFound)
{
    // The text a new receiver throws, or "" when it was made.
    auto ConstructionFailure = [] { return ThrownText([] { CReceiverMP3 receiver(192, 0); }); };
    const std::string stub = std::string(VORANE_TEST_BINARY_DIR) + "/encoderstubs/liblame_enc_noclose.so";
    ASSERT_TRUE(std::filesystem::exists(stub)) << "the stub modules are built with the tests (Tests/encoders/stubs)";
    CTempFolder folder(TestFolderName());
    SetLameLibraryPath(folder.File("liblame_enc.so"));
    EXPECT_EQ("Error loading lame_enc.DLL", ConstructionFailure());

    SetLameLibraryPath(stub);
    EXPECT_EQ("Unable to get LAME interfaces", ConstructionFailure());
    EXPECT_EQ("Unable to get LAME interfaces", ConstructionFailure());
    // The refused module was given back.
    EXPECT_EQ(nullptr, dlopen(stub.c_str(), RTLD_NOW | RTLD_NOLOAD));

    UseBuiltLameModule();
    EXPECT_EQ("", ConstructionFailure());
}
