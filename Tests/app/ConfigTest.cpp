// The configuration file and the program's folders: what is read, what is
// written and where, and what a damaged or hostile file does.
#include "AppPaths.h"
#include "Config.h"
#include "RecorderSettings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

// Sets an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* pszName, const std::string& strValue) : m_name(pszName)
    {
        if (const char* pszOld = getenv(pszName))
            m_old = pszOld;
        setenv(pszName, strValue.c_str(), 1);
    }
    ~ScopedEnv() { m_old ? setenv(m_name.c_str(), m_old->c_str(), 1) : unsetenv(m_name.c_str()); }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

std::string Slurp(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Spit(const std::string& strPath, const std::string& strData)
{
    std::ofstream(strPath, std::ios::binary) << strData;
}

std::string ConfigWith(const std::string& strBody, const std::string& strRootAttrs = "App=\"Vorane Audio Recorder\"")
{
    return "<?xml version=\"1.0\"?><Config " + strRootAttrs + ">" + strBody + "</Config>";
}

}  // namespace

class ConfigFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(m_app);
        SetAppDir(m_app);
        theSettings = RecorderSettings();
        g_nSkinNumber = 4;
    }
    void TearDown() override
    {
        chmod(m_app.c_str(), 0755);
        SetAppDir(m_originalAppDir);
        theSettings = RecorderSettings();
        g_nSkinNumber = 4;
    }
    // Root ignores permissions, so there the app folder sits below a plain file instead.
    void MakeAppDirUnwritable()
    {
        if (geteuid() == 0)
        {
            Spit(m_tmp.File("blocker"), "x");
            SetAppDir(m_tmp.File("blocker/app"));
        }
        else
        {
            chmod(m_app.c_str(), 0555);
        }
    }
    int Load(const std::string& strData)
    {
        Spit(m_app + "/Config.xml", strData);
        return LoadConfig("Config.xml");
    }

    std::string m_originalAppDir = GetAppDir();
    CTempFolder m_tmp{"ConfigFile"};
    std::string m_app = m_tmp.File("app");
    ScopedEnv m_home{"HOME", m_tmp.File("home")};
    ScopedEnv m_xdg{"XDG_CONFIG_HOME", m_tmp.File("xdg")};
};

TEST_F(ConfigFile, WithoutAFileTheOutputFolderIsMadeInTheAppDirectory)
{
    EXPECT_EQ(0, LoadConfig("Config.xml"));
    EXPECT_EQ(m_app + "/output", theSettings.SavedDirectry);
    EXPECT_TRUE(fs::is_directory(m_app + "/output"));
    EXPECT_EQ(4, g_nSkinNumber);
    EXPECT_EQ(RecorderSettings().AlbumTitle, theSettings.AlbumTitle);
    EXPECT_EQ(1, theSettings.IsViewWaveform);
    EXPECT_EQ(-1, LoadConfig(nullptr));
    EXPECT_FALSE(SaveConfig(nullptr));
}

TEST_F(ConfigFile, AnotherProductsFileIsNotReadAndSetsNoFolder)
{
    EXPECT_EQ(0, Load(ConfigWith("<Setting><SkinType>1</SkinType></Setting>", "Author=\"x\" App=\"Other Recorder\"")));
    EXPECT_EQ(4, g_nSkinNumber);
    EXPECT_TRUE(theSettings.SavedDirectry.empty());
    EXPECT_FALSE(fs::exists(m_app + "/output"));
    EXPECT_EQ(m_app + "/output", OutputFolder()) << "an empty folder means the default, never the root";
}

TEST_F(ConfigFile, AnyRootWithoutAppIsReadAndNumbersReadLikeAtoi)
{
    EXPECT_EQ(1, Load("<Other Version=\"9\"><Setting><SkinType>abc</SkinType><IsOpenOutput> 1</IsOpenOutput>"
                      "<IsViewWaveform>-7px</IsViewWaveform><SavedDirectry></SavedDirectry></Setting></Other>"));
    EXPECT_EQ(0, g_nSkinNumber);
    EXPECT_EQ(1, theSettings.IsOpenOutput);
    EXPECT_EQ(-7, theSettings.IsViewWaveform);
    EXPECT_TRUE(theSettings.SavedDirectry.empty());

    EXPECT_EQ(1, Load(ConfigWith("<Setting><SkinType>99999999999999999999</SkinType>"
                                 "<IsOpenOutput>-99999999999999</IsOpenOutput></Setting>")));
    EXPECT_EQ(INT_MAX, g_nSkinNumber);
    EXPECT_EQ(INT_MIN, theSettings.IsOpenOutput);
}

TEST_F(ConfigFile, KeysFollowTheLastSectionNamedAndTheLastValueWins)
{
    EXPECT_EQ(1, Load(ConfigWith("<Pre><SkinType>1</SkinType></Pre>"
                                 "<Setting><Title>no</Title><skintype>3</skintype><SkinType>2</SkinType>"
                                 "<SkinType>3</SkinType><SkinTypeX>1</SkinTypeX></Setting>"
                                 "<Trkinfo><Artist>B</Artist></Trkinfo>"
                                 "<Extra><Title>C</Title><SkinType>1</SkinType></Extra>")));
    EXPECT_EQ(3, g_nSkinNumber);
    EXPECT_EQ("B", theSettings.Artist);
    EXPECT_EQ("C", theSettings.Title);
    EXPECT_EQ(RecorderSettings().AlbumTitle, theSettings.AlbumTitle);
}

TEST_F(ConfigFile, TheWrittenFileHoldsEveryValueInOrderAndReadsBack)
{
    g_nSkinNumber = 2;
    theSettings.SavedDirectry = "/Rec";
    theSettings.IsOpenOutput = 1;
    theSettings.IsViewWaveform = 1;
    theSettings.AlbumTitle = "A";
    theSettings.Artist = "B";
    theSettings.Title = "C";
    ASSERT_TRUE(SaveConfig("Config.xml"));

    std::string strFile = Slurp(m_app + "/Config.xml");
    EXPECT_EQ(0u, strFile.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Config")) << strFile;
    EXPECT_NE(std::string::npos, strFile.find("\n  <Setting>\n    <SkinType>2</SkinType>\n")) << strFile;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(strFile.c_str()));
    std::string strSeen;
    pugi::xml_node root = doc.document_element();
    strSeen += root.name();
    for (pugi::xml_attribute a : root.attributes())
        strSeen += std::string(" ") + a.name() + "=" + a.value();
    for (pugi::xml_node group : root.children())
    {
        strSeen += std::string(" ") + group.name() + ":";
        for (pugi::xml_node key : group.children())
            strSeen += std::string(" ") + key.name() + "=" + key.text().get();
    }
    EXPECT_EQ("Config Author=Vorane Software Website=https://vorane.example.org App=Vorane Audio Recorder "
              "Version=1,5,0,1 Setting: SkinType=2 SavedDirectry=/Rec IsOpenOutput=1 IsViewWaveform=1 "
              "Trkinfo: AlbumTitle=A Artist=B Title=C",
              strSeen);

    theSettings = RecorderSettings();
    g_nSkinNumber = 4;
    EXPECT_EQ(1, LoadConfig("Config.xml"));
    EXPECT_EQ(2, g_nSkinNumber);
    EXPECT_EQ("/Rec", theSettings.SavedDirectry);
    EXPECT_EQ(1, theSettings.IsOpenOutput);
    EXPECT_EQ("C", theSettings.Title);
}

TEST_F(ConfigFile, TextsSurviveTheRoundTripUnchanged)
{
    theSettings.SavedDirectry = "/music/<Rock & \"Roll\">/ä€";
    theSettings.AlbumTitle = "  leading and trailing  ";
    theSettings.Artist = "   ";
    theSettings.Title = "";
    ASSERT_TRUE(SaveConfig("Config.xml"));
    theSettings = RecorderSettings();
    EXPECT_EQ(1, LoadConfig("Config.xml"));
    EXPECT_EQ("/music/<Rock & \"Roll\">/ä€", theSettings.SavedDirectry);
    EXPECT_EQ("  leading and trailing  ", theSettings.AlbumTitle);
    EXPECT_EQ("   ", theSettings.Artist);
    EXPECT_EQ("", theSettings.Title);
}

TEST_F(ConfigFile, AnUnwritableAppDirectoryMovesTheFileAndTheOutputToTheUsersFolders)
{
    MakeAppDirUnwritable();
    g_nSkinNumber = 3;
    ASSERT_TRUE(SaveConfig("Config.xml"));
    std::string strDir = m_tmp.File("xdg/vorane-recorder");
    EXPECT_TRUE(fs::is_regular_file(strDir + "/Config.xml"));
    EXPECT_EQ(fs::perms::owner_all, fs::status(strDir).permissions());
    EXPECT_FALSE(fs::exists(m_app + "/Config.xml"));
    g_nSkinNumber = 4;
    EXPECT_EQ(1, LoadConfig("Config.xml"));
    EXPECT_EQ(3, g_nSkinNumber);

    {
        // A relative XDG_CONFIG_HOME is not valid; the home folder's .config is.
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative");
        EXPECT_EQ(m_tmp.File("home/.config/vorane-recorder"), ConfigDirectory());
    }
    // No music folder configured: xdg-user-dir names the home folder itself.
    EXPECT_EQ(m_tmp.File("home/Vorane Recordings"), DefaultOutputFolder());
    Spit(m_tmp.File("xdg/user-dirs.dirs"), "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
    EXPECT_EQ(m_tmp.File("home/Tunes/Vorane Recordings"), DefaultOutputFolder());
    EXPECT_EQ(0, LoadConfig("Missing.xml"));
    EXPECT_TRUE(fs::is_directory(m_tmp.File("home/Tunes/Vorane Recordings")));
}

TEST_F(ConfigFile, AFailedSaveLeavesTheOldFileWholeAndNoTemporaryFiles)
{
    theSettings.Title = std::string(200, 't');
    ASSERT_TRUE(SaveConfig("Config.xml"));
    chmod((m_app + "/Config.xml").c_str(), 0640);
    ASSERT_TRUE(SaveConfig("Config.xml"));
    EXPECT_EQ(fs::perms(0640), fs::status(m_app + "/Config.xml").permissions()) << "kept across saves";
    std::string strOld = Slurp(m_app + "/Config.xml");

    // A file size limit makes the write fail part-way, as a full disk would.
    theSettings.Title = std::string(4000, 'n');
    signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{}, small{};
    getrlimit(RLIMIT_FSIZE, &oldLimit);
    small = oldLimit;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    bool bSaved = SaveConfig("Config.xml");
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    EXPECT_FALSE(bSaved);
    EXPECT_EQ(strOld, Slurp(m_app + "/Config.xml"));

    // The configuration folder cannot be made: a plain file stands where it would go.
    MakeAppDirUnwritable();
    Spit(m_tmp.File("xdg"), "x");
    EXPECT_FALSE(SaveConfig("Config.xml"));

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_app))
        names.push_back(entry.path().filename());
    EXPECT_EQ(std::vector<std::string>{"Config.xml"}, names);
}

// Hostile files: each must return at once. Files we could never have written
// (not XML, too large, not a regular file) count as missing (0); a well-formed
// file is read (1) with long texts cut and entities left unexpanded.
TEST_F(ConfigFile, FilesThatAreNotConfigurationsCountAsMissing)
{
    std::mt19937 rng(1234);
    std::string strJunk(65536, '\0');
    for (char& c : strJunk)
        c = static_cast<char>(rng());
    std::string strHuge = ConfigWith("<Setting><SavedDirectry>" + std::string(50 << 20, 'x') + "</SavedDirectry></Setting>");
    std::string strDeep;
    for (int i = 0; i < 1000000; ++i)
        strDeep += "<a>";
    for (int i = 0; i < 1000000; ++i)
        strDeep += "</a>";
    std::vector<std::string> files;
    files.push_back("");
    files.push_back("hello, not xml");
    files.push_back(std::move(strJunk));
    files.push_back(std::move(strHuge));
    files.push_back(ConfigWith("<Setting><SavedDirectry>" + strDeep + "</SavedDirectry></Setting>"));
    files.push_back(ConfigWith("<Setting><SkinType>1</SkinType></Setting>").substr(0, 60));
    for (const std::string& strData : files)
    {
        theSettings.SavedDirectry = "/before";
        EXPECT_EQ(0, Load(strData)) << strData.substr(0, 40);
        EXPECT_EQ(m_app + "/output", theSettings.SavedDirectry);
        EXPECT_EQ(4, g_nSkinNumber);
    }
    fs::remove(m_app + "/Config.xml");
    ASSERT_EQ(0, mkfifo((m_app + "/Config.xml").c_str(), 0600));
    EXPECT_EQ(0, LoadConfig("Config.xml")) << "a pipe must not stall start-up";
    fs::remove(m_app + "/Config.xml");
    fs::create_directory(m_app + "/Config.xml");
    EXPECT_EQ(0, LoadConfig("Config.xml"));
}

TEST_F(ConfigFile, WellFormedHostileFilesAreReadSafely)
{
    std::string strDeep;
    for (int i = 0; i < 100000; ++i)
        strDeep += "<a>";
    strDeep += "/deep";
    for (int i = 0; i < 100000; ++i)
        strDeep += "</a>";
    strDeep += "/er";
    std::string strLaughs = "<!DOCTYPE Config [<!ENTITY a \"" + std::string(1000, 'a') + "\">"
                            "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">"
                            "<!ENTITY f SYSTEM \"file:///etc/passwd\">]>";
    std::string strE;
    for (int i = 0; i < 50000; ++i)
        strE += "é";
    EXPECT_EQ(1, Load(strLaughs + ConfigWith("<Setting><SavedDirectry>" + strDeep + "</SavedDirectry></Setting>"
                                             "<Trkinfo><AlbumTitle>&c;</AlbumTitle><Artist>&f;</Artist>"
                                             "<Title>" + strE + "</Title></Trkinfo>")));
    EXPECT_EQ("/deep/er", theSettings.SavedDirectry) << "all text below the key, as a DOM gives it";
    EXPECT_EQ("&c;", theSettings.AlbumTitle);
    EXPECT_EQ("&f;", theSettings.Artist);
    EXPECT_EQ(strE.substr(0, 254), theSettings.Title) << "cut before the character that does not fit";

    EXPECT_EQ(1, Load(ConfigWith("<Setting><SavedDirectry>" + std::string(100000, 'd') + "</SavedDirectry></Setting>"
                                 "<Trkinfo><Artist>" + std::string(300, 'r') + "</Artist></Trkinfo>")));
    EXPECT_EQ(std::string(255, 'd'), theSettings.SavedDirectry);
    EXPECT_EQ(std::string(255, 'r'), theSettings.Artist);
}
