// The configuration file and the program's folders: what is read, what is
// written and where, and what a damaged or hostile file does.
#include "AppPaths.h"
#include "Config.h"
#include "RecorderSettings.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace
{
using ScopedEnv = CScopedEnv;

void Spit(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

std::string ConfigWith(const std::string& strBody, const std::string& strRootAttrs = "App=\"Vorane Audio Recorder\"")
{
    return "<?xml version=\"1.0\"?><Config " + strRootAttrs + ">" + strBody + "</Config>";
}

// What the save asked to reach the disk, in order, as the file system stood at each request.
struct SyncSeen
{
    bool bFolder;
    dev_t dev;
    ino_t ino;
    std::string content;      // a file's bytes as synced
    ino_t inoOfNameAtSync;    // the file the configuration's name stood for then (0: none)
};
std::vector<SyncSeen> g_syncs;
std::string g_strSyncedName;  // the configuration's path
mode_t g_failingType = 0;     // S_IFREG or S_IFDIR: syncs of that kind fail as on a failing disk

int WatchSync(int fd)
{
    struct stat st{}, named{};
    if (fstat(fd, &st) != 0)
        return -1;
    SyncSeen seen{S_ISDIR(st.st_mode), st.st_dev, st.st_ino, "", 0};
    if (S_ISREG(st.st_mode))
    {
        seen.content.resize(static_cast<size_t>(st.st_size));
        seen.content.resize(static_cast<size_t>(std::max<ssize_t>(0, pread(fd, seen.content.data(), seen.content.size(), 0))));
    }
    if (stat(g_strSyncedName.c_str(), &named) == 0)
        seen.inoOfNameAtSync = named.st_ino;
    g_syncs.push_back(seen);
    if ((st.st_mode & S_IFMT) == g_failingType)
    {
        errno = EIO;
        return -1;
    }
    return fsync(fd);
}

// Runs f as the user nobody when we are root, who could read a file of any mode, or else as
// ourselves; what it returns.
std::string AsUnprivileged(const std::function<std::string()>& f)
{
    if (geteuid() != 0)
        return f();
    return InChild([&] {
        const bool bNobody = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
        return bNobody ? f() : "cannot become nobody";
    });
}

auto Read()
{
    return std::make_tuple(g_nSkinNumber, theSettings.SavedDirectry, theSettings.IsOpenOutput,
                           theSettings.IsViewWaveform, theSettings.AlbumTitle, theSettings.Artist, theSettings.Title);
}

// The recording settings the file keeps after the older elements.
auto Kept(const RecorderSettings& s = theSettings)
{
    return std::make_tuple(s.OutputFormat, s.DeviceName, s.LineName, s.Mp3BitrateIndex, s.Mp3Volume, s.OggMode,
                           s.OggQuality, s.OggMinBitrateIndex, s.OggNominalBitrateIndex, s.OggMaxBitrateIndex,
                           s.WavChannelsIndex, s.WavSampleRateIndex, s.WavBitsIndex, s.WmaMode, s.WmaBitrateIndex,
                           s.WmaQualityIndex, s.SkipSilence, s.SkipSilenceDb, s.SkipSilenceHoldMs, s.BothLayout, s.SplitFiles, s.SplitMinutes);
}

// Every kept setting away from its default (and the OGG limits from each other).
RecorderSettings Chosen()
{
    RecorderSettings s;
    s.OutputFormat = OUTPUT_FORMAT_WAV;
    s.DeviceName = "USB <Headset> & \"Co\"";
    s.LineName = "Line In";
    std::tie(s.Mp3BitrateIndex, s.Mp3Volume) = std::make_tuple(8, 37);
    std::tie(s.OggMode, s.OggQuality, s.OggMinBitrateIndex, s.OggNominalBitrateIndex, s.OggMaxBitrateIndex) =
        std::make_tuple(2, 555, 1, 6, 9);
    std::tie(s.WavChannelsIndex, s.WavSampleRateIndex, s.WavBitsIndex) = std::make_tuple(0, 0, 0);
    std::tie(s.WmaMode, s.WmaBitrateIndex, s.WmaQualityIndex) = std::make_tuple(1, 7, 5);
    std::tie(s.SkipSilence, s.SkipSilenceDb, s.SkipSilenceHoldMs) = std::make_tuple(1, -52, 3500);
    s.BothLayout = BOTH_LAYOUT_SIDE_BY_SIDE;
    std::tie(s.SplitFiles, s.SplitMinutes) = std::make_tuple(1, 1440);
    return s;
}
}  // namespace

class ConfigFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(m_app);
        Spit(m_app + "/" + PORTABLE_MARKER, "");
        SetAppDir(m_app);
        Reset();
    }
    void TearDown() override
    {
        SetConfigSyncFunction(nullptr);
        chmod(m_app.c_str(), 0755);
        SetAppDir(m_originalAppDir);
        Reset();
    }
    static void Reset()
    {
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
            chmod(m_app.c_str(), 0555);
    }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names = FolderEntries(m_app);
        std::erase(names, PORTABLE_MARKER);
        return names;
    }
    std::string m_originalAppDir = GetAppDir();
    CTempFolder m_tmp{"ConfigFile"};
    std::string m_app = m_tmp.File("app");
    ScopedEnv m_home{"HOME", m_tmp.File("home")};
    ScopedEnv m_xdg{"XDG_CONFIG_HOME", m_tmp.File("xdg")};
};

// What we could never have written is told (-1), set aside whole as Config.xml.bad and the default output
// folder set, as for no file (0); another product's file changes nothing; a well-formed file is read (1) with
// long texts cut at a whole character and entities left unexpanded. Hostile files return at once.
TEST_F(ConfigFile, WhatIsReadFromEachKindOfFileHostileOnesIncluded)
{
    auto repeat = [](const std::string& s, int n) {
        std::string r;
        while (n-- > 0)
            r += s;
        return r;
    };
    const std::string strE = repeat("\xC3\xA9", 50000);
    auto nested = [&](int n, const std::string& inner) { return repeat("<a>", n) + inner + repeat("</a>", n); };
    auto folder = [](const std::string& s) { return ConfigWith("<Setting><SavedDirectry>" + s + "</SavedDirectry></Setting>"); };
    const std::string laughs = "<!DOCTYPE Config [<!ENTITY a \"" + std::string(1000, 'a') + "\">"
                               "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">"
                               "<!ENTITY f SYSTEM \"file:///etc/passwd\">]>";
    const std::string A = DEFAULT_TAG_TEXT, out = m_app + "/output";
    const decltype(Read()) unread{4, out, 0, 1, A, "vorane", A};
    const std::tuple<std::optional<std::string>, int, decltype(Read())> cases[] = {
        {ConfigWith("<Setting><SkinType>1</SkinType></Setting>", "Author=\"x\" App=\"Other\""), 0,
         {4, "/before", 0, 1, A, "vorane", A}},  // another product's file
        {"<Other Version=\"9\"><Setting><SkinType>abc</SkinType><IsOpenOutput> 1</IsOpenOutput>"
         "<IsViewWaveform>-7px</IsViewWaveform><SavedDirectry></SavedDirectry></Setting></Other>",
         1, {0, "", 1, -7, A, "vorane", A}},  // any root without App, numbers as atoi
        {ConfigWith("<Setting><SkinType>99999999999999999999</SkinType><IsOpenOutput>-99999999999999</IsOpenOutput></Setting>"),
         1, {INT_MAX, "/before", INT_MIN, 1, A, "vorane", A}},
        {ConfigWith("<Pre><SkinType>1</SkinType></Pre><Setting><Title>no</Title><skintype>3</skintype>"
                    "<SkinType>2</SkinType><SkinType>3</SkinType><SkinTypeX>1</SkinTypeX></Setting>"
                    "<Trkinfo><Artist>B</Artist></Trkinfo><Extra><Title>C</Title><SkinType>1</SkinType></Extra>"),
         1, {3, "/before", 0, 1, A, "B", "C"}},  // keys follow the last section named, the last value wins
        {std::nullopt, 0, unread}, {"", -1, unread}, {"hello, not xml", -1, unread},
        {folder(std::string(50 << 20, 'x')), -1, unread}, {folder(nested(1000000, "")), -1, unread},
        {ConfigWith("<Setting><SkinType>1</SkinType></Setting>").substr(0, 60), -1, unread},
        {laughs + ConfigWith("<Setting><SavedDirectry>" + nested(100000, "/deep") + "/er</SavedDirectry></Setting>"
                             "<Trkinfo><AlbumTitle>&c;</AlbumTitle><Artist>&f;</Artist><Title>" + strE + "</Title></Trkinfo>"),
         1, {4, "/deep/er", 0, 1, "&c;", "&f;", strE.substr(0, 254)}},  // cut before the character that does not fit
        {ConfigWith("<Setting><SavedDirectry>" + std::string(100000, 'd') + "</SavedDirectry></Setting>"
                    "<Trkinfo><Artist>" + std::string(300, 'r') + "</Artist></Trkinfo>"),
         1, {4, std::string(255, 'd'), 0, 1, A, std::string(255, 'r'), A}},
    };
    for (const auto& [file, nResult, expected] : cases)
    {
        SCOPED_TRACE(file ? file->substr(0, 60) : "no file");
        Reset();
        theSettings.SavedDirectry = "/before";
        fs::remove_all(out);
        fs::remove(m_app + "/Config.xml");
        std::string strMessage;
        if (file)
            Spit(m_app + "/Config.xml", *file);
        EXPECT_EQ(nResult, LoadConfig("Config.xml", &strMessage));
        EXPECT_EQ(expected, Read());
        EXPECT_EQ(expected == unread, fs::is_directory(out));
        if (nResult < 0)
        {
            EXPECT_EQ("Invalid config file.\nIt was kept as \"" + m_app + "/Config.xml.bad\", and the default settings are used.",
                      strMessage);
            EXPECT_FALSE(fs::exists(m_app + "/Config.xml"));
            EXPECT_TRUE(*file == ReadFileText(m_app + "/Config.xml.bad")) << "kept whole";
            fs::remove(m_app + "/Config.xml.bad");
        }
        else
            EXPECT_EQ("", strMessage);
    }
    theSettings.SavedDirectry.clear();
    EXPECT_EQ(out, OutputFolder()) << "an empty folder means the default, never the root";
    EXPECT_EQ(-1, LoadConfig(nullptr));
    EXPECT_FALSE(SaveConfig(nullptr));
}

// A file that cannot be parsed is set aside under a name of its own, never over an earlier copy; one that
// cannot be read (no permission, a folder, a pipe) is told once with the reason and left where it is, so
// the save at the end does not put defaults in place of the settings it holds.
TEST_F(ConfigFile, AFileThatCannotBeParsedOrReadIsToldOnceAndNeverReplacedByDefaults)
{
    const std::string strPath = m_app + "/Config.xml";
    const std::string strMisspelt = ConfigWith("<Setting><SkinType>2</SkinType></Setting><Trkinfo><Artist>Me</Artst></Trkinfo>");
    Spit(strPath + ".bad", "earlier");
    Spit(strPath, strMisspelt);
    std::string strMessage;
    EXPECT_EQ(-1, LoadConfig("Config.xml", &strMessage));
    EXPECT_EQ("Invalid config file.\nIt was kept as \"" + strPath + ".bad-2\", and the default settings are used.", strMessage);
    EXPECT_EQ(4, g_nSkinNumber);
    EXPECT_EQ("earlier", ReadFileText(strPath + ".bad"));
    EXPECT_EQ(strMisspelt, ReadFileText(strPath + ".bad-2"));
    g_nSkinNumber = 1;
    EXPECT_TRUE(SaveConfig("Config.xml"));
    EXPECT_EQ(1, LoadConfig("Config.xml"));
    EXPECT_EQ(1, g_nSkinNumber);
    fs::remove(strPath);

    const std::vector<std::string> entries = Entries();
    for (const char* pszKind : {"folder", "pipe"})
    {
        SCOPED_TRACE(pszKind);
        fs::remove(strPath);
        ASSERT_EQ(0, pszKind[0] == 'f' ? mkdir(strPath.c_str(), 0700) : mkfifo(strPath.c_str(), 0600));
        strMessage.clear();
        EXPECT_EQ(-1, LoadConfig("Config.xml", &strMessage)) << "a pipe must not stall start-up";
        EXPECT_EQ("The settings file \"" + strPath + "\" cannot be read (" +
                      (pszKind[0] == 'f' ? "Is a directory" : "it is not a regular file") +
                      ").\nThe default settings are used; the file is left as it is, and the changes made now will "
                      "not be saved in it.",
                  strMessage);
        strMessage.clear();
        EXPECT_TRUE(SaveConfig("Config.xml", &strMessage));
        EXPECT_EQ("", strMessage) << "told once, at the start";
        EXPECT_TRUE(pszKind[0] == 'f' ? fs::is_directory(strPath) : fs::is_fifo(strPath));
        EXPECT_EQ(entries.size() + 1, Entries().size()) << "no temporary file left";
    }
    // A folder in the file's place after a good start: the save fails, saying where and why.
    fs::remove(strPath);
    EXPECT_EQ(0, LoadConfig("Config.xml"));
    ASSERT_EQ(0, mkdir(strPath.c_str(), 0700));
    EXPECT_FALSE(SaveConfig("Config.xml", &strMessage));
    EXPECT_EQ("Your settings could not be saved in \"" + strPath + "\" (Is a directory):\nthe next start will not know "
              "the changes made since they were last saved.",
              strMessage);
    fs::remove(strPath);

    // Mode 000, read by its owner (nobody, since root reads anything): told, and neither replaced nor re-moded.
    const std::string strMine = ConfigWith("<Trkinfo><Artist>Mine</Artist></Trkinfo>");
    Spit(strPath, strMine);
    ASSERT_EQ(0, chmod(strPath.c_str(), 0));
    if (geteuid() == 0)
    {
        ASSERT_EQ(0, chown(m_app.c_str(), 65534, 65534) | chown(strPath.c_str(), 65534, 65534));
    }
    const std::string strSeen = AsUnprivileged([] {
        std::string strLoad, strSave;
        const int nLoaded = LoadConfig("Config.xml", &strLoad);
        theSettings.Artist = "Defaults";
        const bool bSaved = SaveConfig("Config.xml", &strSave);
        return std::to_string(nLoaded) + " " + strLoad + " | " + (bSaved ? "true" : "false") + " " + strSave;
    });
    EXPECT_EQ("-1 The settings file \"" + strPath + "\" cannot be read (Permission denied).\nThe default settings are "
              "used; the file is left as it is, and the changes made now will not be saved in it. | true ",
              strSeen);
    EXPECT_EQ(strMine, ReadFileText(strPath));
    EXPECT_EQ(fs::perms::none, fs::status(strPath).permissions());
}

// Whatever the texts hold, the file is XML 1.0 that a strict parser accepts: characters XML cannot carry are
// dropped (tab and line feed stay), bytes that are not UTF-8 become U+FFFD, as in the tags.
TEST_F(ConfigFile, TextsAreCleanedSoAStrictXmlParserReadsTheSavedFile)
{
    const std::string R = "\xEF\xBF\xBD";
    theSettings.SavedDirectry = std::string("/mu\0si\x01" "c\x1B[0m\x7F\xC2\x85/ok", 18);
    theSettings.AlbumTitle = "Caf\xE9 \xC0\xAF \xED\xA0\x80!";
    theSettings.Artist = "a\tb\nc\xEF\xBF\xBE\xEF\xBF\xBF" "d\xF0\x9F\x8E\xB5";
    theSettings.Title = "\xF4\x90\x80\x80 end\x0B\x0C";
    ASSERT_TRUE(SaveConfig("Config.xml"));
    std::string strErrors;
    EXPECT_EQ(0, RunCommand("xmllint --noout '" + m_app + "/Config.xml' 2>&1", &strErrors)) << strErrors;
    Reset();
    EXPECT_EQ(1, LoadConfig("Config.xml"));
    EXPECT_EQ("/music[0m/ok", theSettings.SavedDirectry);
    EXPECT_EQ("Caf" + R + " " + R + R + " " + R + R + R + "!", theSettings.AlbumTitle);
    EXPECT_EQ("a\tb\ncd\xF0\x9F\x8E\xB5", theSettings.Artist);
    EXPECT_EQ(R + R + R + R + " end", theSettings.Title);
}

// The older elements keep their exact form and order, so a file written now reads as before by their rules;
// the recording settings follow in <Recording>, values rather than positions. Everything reads back unchanged.
TEST_F(ConfigFile, TheWrittenFileHoldsEveryValueInOrderAndReadsBackUnchanged)
{
    theSettings = Chosen();
    g_nSkinNumber = 2;
    theSettings.SavedDirectry = "/music/<Rock & \"Roll\">/ä€";
    theSettings.IsOpenOutput = 1;
    theSettings.AlbumTitle = "  leading and trailing  ";
    theSettings.Artist = "   ";
    theSettings.Title = "";
    const auto written = std::make_tuple(Read(), Kept());
    ASSERT_TRUE(SaveConfig("Config.xml"));

    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<Config Author=\"Vorane Software\" Website=\"https://vorane.example.org\" App=\"Vorane Audio Recorder\" "
              "Version=\"1,5,0,1\">\n"
              "  <Setting>\n"
              "    <SkinType>2</SkinType>\n"
              "    <SavedDirectry>/music/&lt;Rock &amp; \"Roll\"&gt;/ä€</SavedDirectry>\n"
              "    <IsOpenOutput>1</IsOpenOutput>\n"
              "    <IsViewWaveform>1</IsViewWaveform>\n"
              "  </Setting>\n"
              "  <Trkinfo>\n"
              "    <AlbumTitle>  leading and trailing  </AlbumTitle>\n"
              "    <Artist>   </Artist>\n"
              "    <Title></Title>\n"
              "  </Trkinfo>\n"
              "  <Recording>\n"
              "    <Format>WAV</Format>\n"
              "    <Device>USB &lt;Headset&gt; &amp; \"Co\"</Device>\n"
              "    <Line>Line In</Line>\n"
              "    <MP3>\n"
              "      <Bitrate>320</Bitrate>\n"
              "      <Volume>37</Volume>\n"
              "    </MP3>\n"
              "    <OGG>\n"
              "      <Mode>2</Mode>\n"
              "      <Quality>555</Quality>\n"
              "      <MinBitrate>80</MinBitrate>\n"
              "      <NominalBitrate>192</NominalBitrate>\n"
              "      <MaxBitrate>320</MaxBitrate>\n"
              "    </OGG>\n"
              "    <WAV>\n"
              "      <Channels>1</Channels>\n"
              "      <SampleRate>11025</SampleRate>\n"
              "      <Bits>8</Bits>\n"
              "    </WAV>\n"
              "    <WMA>\n"
              "      <Mode>1</Mode>\n"
              "      <Bitrate>192</Bitrate>\n"
              "      <Quality>98</Quality>\n"
              "    </WMA>\n"
              "    <SkipSilence>\n"
              "      <On>1</On>\n"
              "      <ThresholdDb>-52</ThresholdDb>\n"
              "      <HoldMilliseconds>3500</HoldMilliseconds>\n"
              "    </SkipSilence>\n"
              "    <Split>\n"
              "      <On>1</On>\n"
              "      <Minutes>1440</Minutes>\n"
              "    </Split>\n"
              "    <BothLayout>side</BothLayout>\n"
              "  </Recording>\n"
              "</Config>\n",
              ReadFileText(m_app + "/Config.xml"));
    Reset();
    EXPECT_EQ(1, LoadConfig("Config.xml"));
    EXPECT_EQ(written, std::make_tuple(Read(), Kept()));
}

// Each recording setting read from a value it cannot hold (another spelling, out of range, not in its table,
// no number, a number too large, a name no device could carry) gets its own default; the rest of the file is
// read. A file without <Recording>, as written before it existed, changes none of them.
TEST_F(ConfigFile, AValueARecordingSettingCannotHoldGivesThatSettingsDefault)
{
    const RecorderSettings d;
    using Field = std::function<void(RecorderSettings&)>;
    const std::pair<std::string, Field> cases[] = {
        {"<Format>wav</Format>", [&](RecorderSettings& s) { s.OutputFormat = d.OutputFormat; }},
        {"<Format>WAV WMA</Format>", [&](RecorderSettings& s) { s.OutputFormat = d.OutputFormat; }},
        {"<Device>" + std::string(256, 'u') + "</Device>", [&](RecorderSettings& s) { s.DeviceName = d.DeviceName; }},
        {"<Line>" + std::string(100000, 'l') + "</Line>", [&](RecorderSettings& s) { s.LineName = d.LineName; }},
        {"<MP3><Bitrate>193</Bitrate></MP3>", [&](RecorderSettings& s) { s.Mp3BitrateIndex = d.Mp3BitrateIndex; }},
        {"<MP3><Volume>101</Volume></MP3>", [&](RecorderSettings& s) { s.Mp3Volume = d.Mp3Volume; }},
        {"<OGG><Mode>4</Mode></OGG>", [&](RecorderSettings& s) { s.OggMode = d.OggMode; }},
        {"<OGG><Quality>-1</Quality></OGG>", [&](RecorderSettings& s) { s.OggQuality = d.OggQuality; }},
        {"<OGG><MinBitrate>abc</MinBitrate></OGG>", [&](RecorderSettings& s) { s.OggMinBitrateIndex = d.OggMinBitrateIndex; }},
        {"<OGG><NominalBitrate>160kbps</NominalBitrate></OGG>",
         [&](RecorderSettings& s) { s.OggNominalBitrateIndex = d.OggNominalBitrateIndex; }},
        {"<OGG><MaxBitrate>99999999999999999999</MaxBitrate></OGG>",
         [&](RecorderSettings& s) { s.OggMaxBitrateIndex = d.OggMaxBitrateIndex; }},
        {"<OGG><MinBitrate>320</MinBitrate><MaxBitrate>64</MaxBitrate></OGG>",  // a range the encoder refuses
         [&](RecorderSettings& s) { std::tie(s.OggMinBitrateIndex, s.OggMaxBitrateIndex) = std::make_tuple(0, 8); }},
        {"<WAV><Channels>0</Channels></WAV>", [&](RecorderSettings& s) { s.WavChannelsIndex = d.WavChannelsIndex; }},
        {"<WAV><SampleRate>48000</SampleRate></WAV>", [&](RecorderSettings& s) { s.WavSampleRateIndex = d.WavSampleRateIndex; }},
        {"<WAV><Bits>8 bits</Bits></WAV>", [&](RecorderSettings& s) { s.WavBitsIndex = d.WavBitsIndex; }},
        {"<WMA><Mode></Mode></WMA>", [&](RecorderSettings& s) { s.WmaMode = d.WmaMode; }},
        {"<WMA><Bitrate>2147483648</Bitrate></WMA>", [&](RecorderSettings& s) { s.WmaBitrateIndex = d.WmaBitrateIndex; }},
        {"<WMA><Quality>5.5</Quality></WMA>", [&](RecorderSettings& s) { s.WmaQualityIndex = d.WmaQualityIndex; }},
        {"<SkipSilence><On>2</On><ThresholdDb>-9</ThresholdDb><HoldMilliseconds>499</HoldMilliseconds></SkipSilence>",
         [&](RecorderSettings& s) {
             std::tie(s.SkipSilence, s.SkipSilenceDb, s.SkipSilenceHoldMs) =
                 std::make_tuple(d.SkipSilence, d.SkipSilenceDb, d.SkipSilenceHoldMs);
         }},
        {"<SkipSilence><ThresholdDb>-81</ThresholdDb><HoldMilliseconds>60001</HoldMilliseconds></SkipSilence>",
         [&](RecorderSettings& s) { std::tie(s.SkipSilenceDb, s.SkipSilenceHoldMs) = std::make_tuple(d.SkipSilenceDb, d.SkipSilenceHoldMs); }},
        {"<BothLayout>Side</BothLayout>", [&](RecorderSettings& s) { s.BothLayout = d.BothLayout; }},
        {"<BothLayout>1</BothLayout>", [&](RecorderSettings& s) { s.BothLayout = d.BothLayout; }},
        {"<Split><On>2</On></Split>", [&](RecorderSettings& s) { s.SplitFiles = d.SplitFiles; }},
        {"<Split><Minutes>0</Minutes></Split>", [&](RecorderSettings& s) { s.SplitMinutes = d.SplitMinutes; }},
        {"<Split><Minutes>1441</Minutes></Split>", [&](RecorderSettings& s) { s.SplitMinutes = d.SplitMinutes; }},
        // Values it can hold, white space around a number included, are taken.
        {"<WAV><SampleRate> 22050\n</SampleRate></WAV><Line></Line>",
         [&](RecorderSettings& s) { std::tie(s.WavSampleRateIndex, s.LineName) = std::make_tuple(1, ""); }},
    };
    for (const auto& [strRecording, setDefault] : cases)
    {
        SCOPED_TRACE(strRecording.substr(0, 60));
        theSettings = Chosen();
        RecorderSettings expected = Chosen();
        setDefault(expected);
        Spit(m_app + "/Config.xml", ConfigWith("<Trkinfo><Artist>B</Artist></Trkinfo><Recording>" + strRecording +
                                               "</Recording><Extra><Title>C</Title></Extra>"));
        EXPECT_EQ(1, LoadConfig("Config.xml"));
        EXPECT_EQ(Kept(expected), Kept());
        EXPECT_EQ(std::make_tuple(std::string("B"), std::string("C")), std::make_tuple(theSettings.Artist, theSettings.Title));
    }
    theSettings = Chosen();
    Spit(m_app + "/Config.xml", ConfigWith("<Setting><SkinType>1</SkinType></Setting><Trkinfo><Title>T</Title></Trkinfo>"));
    EXPECT_EQ(1, LoadConfig("Config.xml"));
    EXPECT_EQ(Kept(Chosen()), Kept());
    EXPECT_EQ(std::make_tuple(1, std::string("T")), std::make_tuple(g_nSkinNumber, theSettings.Title));
}

TEST_F(ConfigFile, AnInstalledOrUnwritableAppDirectoryMovesTheFileAndTheOutputToTheUsersFolders)
{
    EXPECT_EQ(m_app, ConfigDirectory());
    EXPECT_EQ(m_app + "/output", DefaultOutputFolder());
    // Installed: writable (as for root in /usr/lib) but not marked portable.
    fs::remove(m_app + "/" + PORTABLE_MARKER);
    EXPECT_EQ(m_tmp.File("xdg/vorane-recorder"), ConfigDirectory());
    EXPECT_EQ(m_tmp.File("home/Vorane Recordings"), DefaultOutputFolder());
    Spit(m_app + "/" + PORTABLE_MARKER, "");

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
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative");  // not valid; the home folder's .config is
        EXPECT_EQ(m_tmp.File("home/.config/vorane-recorder"), ConfigDirectory());
    }
    // No music folder configured: xdg-user-dir names the home folder itself.
    EXPECT_EQ(m_tmp.File("home/Vorane Recordings"), DefaultOutputFolder());
    Spit(m_tmp.File("xdg/user-dirs.dirs"), "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
    EXPECT_EQ(0, LoadConfig("Missing.xml"));
    EXPECT_TRUE(fs::is_directory(m_tmp.File("home/Tunes/Vorane Recordings")));
}

TEST_F(ConfigFile, AFailedSaveLeavesTheOldFileWholeAndNoTemporaryFiles)
{
    ASSERT_TRUE(SaveConfig("Config.xml"));
    chmod((m_app + "/Config.xml").c_str(), 0640);
    ASSERT_TRUE(SaveConfig("Config.xml"));
    EXPECT_EQ(fs::perms(0640), fs::status(m_app + "/Config.xml").permissions()) << "kept across saves";
    std::string strOld = ReadFileText(m_app + "/Config.xml");

    // A file size limit makes the write fail part-way, as a full disk would.
    theSettings.Title = std::string(4000, 'n');
    signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string strMessage;
    bool bSaved = SaveConfig("Config.xml", &strMessage);
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    EXPECT_FALSE(bSaved);
    EXPECT_THAT(strMessage, HasSubstr("\"" + m_app + "/Config.xml\" (File too large)"));
    EXPECT_EQ(strOld, ReadFileText(m_app + "/Config.xml"));

    // The configuration folder cannot be made: a plain file stands where it would go.
    MakeAppDirUnwritable();
    Spit(m_tmp.File("xdg"), "x");
    EXPECT_FALSE(SaveConfig("Config.xml"));
    EXPECT_EQ(std::vector<std::string>{"Config.xml"}, Entries());
}

// A crash or power cut right after the save must find either configuration whole: the new file's bytes
// reach the disk before it takes the name, and the folder (the rename) before the save says it succeeded.
// A file that cannot be synced is no save; a folder that cannot be (some file systems refuse) still is.
TEST_F(ConfigFile, TheNewFileReachesTheDiskBeforeItsRenameAndTheFolderBeforeTheSaveSucceeds)
{
    const std::string strPath = m_app + "/Config.xml";
    ASSERT_TRUE(SaveConfig("Config.xml"));
    struct stat old{};
    ASSERT_EQ(0, stat(strPath.c_str(), &old));

    theSettings.Artist = "The Synced";
    g_syncs.clear();
    g_strSyncedName = strPath;
    g_failingType = 0;
    SetConfigSyncFunction(WatchSync);
    ASSERT_TRUE(SaveConfig("Config.xml"));
    struct stat now{}, folder{};
    ASSERT_EQ(0, stat(strPath.c_str(), &now));
    ASSERT_EQ(0, stat(m_app.c_str(), &folder));

    ASSERT_EQ(2u, g_syncs.size()) << "the file and then the folder, each once";
    const SyncSeen& file = g_syncs[0];
    EXPECT_FALSE(file.bFolder);
    EXPECT_EQ(std::make_pair(now.st_dev, now.st_ino), std::make_pair(file.dev, file.ino)) << "the file now in place";
    const std::string strSynced = ReadFileText(strPath);
    EXPECT_EQ(strSynced, file.content) << "synced whole";
    EXPECT_NE(std::string::npos, file.content.find("The Synced"));
    EXPECT_EQ(old.st_ino, file.inoOfNameAtSync) << "the name still stood for the old file";
    const SyncSeen& dir = g_syncs[1];
    EXPECT_TRUE(dir.bFolder);
    EXPECT_EQ(std::make_pair(folder.st_dev, folder.st_ino), std::make_pair(dir.dev, dir.ino));
    EXPECT_EQ(now.st_ino, dir.inoOfNameAtSync) << "after the rename";

    theSettings.Artist = "Never Synced";
    g_failingType = S_IFREG;
    EXPECT_FALSE(SaveConfig("Config.xml"));
    EXPECT_EQ(strSynced, ReadFileText(strPath));
    EXPECT_EQ(std::vector<std::string>{"Config.xml"}, Entries()) << "no temporary file left";
    g_failingType = S_IFDIR;
    EXPECT_TRUE(SaveConfig("Config.xml"));
    EXPECT_NE(std::string::npos, ReadFileText(strPath).find("Never Synced"));
}
