// The WMA receiver and the command-line recorder when a library module is missing.
#include "ReceiverWMA.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
namespace fs = std::filesystem;

// A folder of its own per test: CTest runs the tests of one program side by side.
std::string FolderForThisTest(const char* pszPrefix)
{
    return std::string(pszPrefix) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

class WmaMissingModule : public ::testing::Test
{
protected:
    void TearDown() override { CReceiverWMA::SetModuleFolder(""); }

    // The text LoadLibraries throws for modules taken from a folder holding only these files.
    std::string LoadFrom(std::initializer_list<const char*> modules)
    {
        for (const char* m : modules)
            fs::copy_file(std::string(VORANE_APP_DIR) + "/" + m, m_folder.File(m));
        CReceiverWMA::SetModuleFolder(m_folder.Path());
        CReceiverWMA receiver;
        try
        {
            receiver.LoadLibraries();
        }
        catch (const char* pszText)
        {
            return pszText;
        }
        return "";
    }

    CTempFolder m_folder{FolderForThisTest("wma-modules")};
};

TEST_F(WmaMissingModule, NoCoreLibraryIsReportedFirst)
{
    EXPECT_EQ(LoadFrom({}), "Error loading bass.dll");
    EXPECT_EQ(LoadFrom({"libbasswma.so"}), "Error loading bass.dll");
}

TEST_F(WmaMissingModule, NoWmaAddOnIsReportedByName)
{
    EXPECT_EQ(LoadFrom({"libbass.so"}), "Error loading basswma.dll");
}

TEST_F(WmaMissingModule, BothModulesLoad)
{
    EXPECT_EQ(LoadFrom({"libbass.so", "libbasswma.so"}), "");
}

// The command-line recorder copied into a folder with only some of its modules.
class WmaCommandLine : public ::testing::Test
{
protected:
    int Record(std::initializer_list<const char*> modules, std::string& output)
    {
        fs::copy_file(std::string(VORANE_APP_DIR) + "/vorane-record", m_folder.File("vorane-record"));
        for (const char* m : modules)
            fs::copy_file(std::string(VORANE_APP_DIR) + "/" + m, m_folder.File(m));
        return RunCommand("cd '" + m_folder.Path() + "' && ./vorane-record -f wma -s 1 -o out --line 'Line In' 2>&1",
                          &output);
    }

    CTempFolder m_folder{FolderForThisTest("wma-cli")};
};

TEST_F(WmaCommandLine, SaysWhichModuleIsMissingAndWritesNothing)
{
    std::string output;
    EXPECT_NE(Record({"libbass.so"}, output), 0);
    EXPECT_NE(output.find("Error loading basswma.dll"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(m_folder.File("out/Audio0.wma")));
}

TEST_F(WmaCommandLine, RecordsAPlayableFileWithItsModules)
{
    std::string output;
    ASSERT_EQ(Record({"libbass.so", "libbasswma.so"}, output), 0) << output;
    DecodedAudio a = DecodeFile(m_folder.File("out/Audio0.wma"));
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.codec, "wmav2");
    EXPECT_GE(a.duration, 1.0);
    EXPECT_NEAR(DominantFrequency(a.firstChannel, 44100), 1000, 10);
}
}  // namespace
