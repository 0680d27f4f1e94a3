#include "Config.h"

#include "AppPaths.h"
#include "RecorderSettings.h"
#include "Utf8.h"

#include <pugixml.hpp>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace
{

const char* const APP_TITLE = "Vorane Audio Recorder";
const char* const AUTHOR = "Vorane Software";
const char* const WEBSITE = "https://vorane.example.org";
const char* const VERSION = "1,5,0,1";

// The file we write is a few kilobytes at most; anything far larger is not ours
// and is refused unread rather than parsed.
const size_t MAX_FILE_SIZE = 1024 * 1024;
// The text fields had room for 255 characters; longer texts are cut to that.

enum class Section
{
    None,
    Setting,
    Trkinfo,
};

// atoi without its undefined overflow: leading white space, an optional sign,
// then digits up to the first non-digit; no digits give 0; out of range saturates.
int ToInt(const std::string& strText)
{
    size_t i = 0;
    while (i < strText.size() && (strText[i] == ' ' || (strText[i] >= '\t' && strText[i] <= '\r')))
        ++i;
    bool bNegative = false;
    if (i < strText.size() && (strText[i] == '+' || strText[i] == '-'))
        bNegative = strText[i++] == '-';
    long long nValue = 0;
    for (; i < strText.size() && strText[i] >= '0' && strText[i] <= '9'; ++i)
    {
        nValue = nValue * 10 + (strText[i] - '0');
        if (nValue > static_cast<long long>(INT_MAX) + 1)
            nValue = static_cast<long long>(INT_MAX) + 1;
    }
    if (bNegative)
        return static_cast<int>(-nValue);
    return nValue > INT_MAX ? INT_MAX : static_cast<int>(nValue);
}

// The text content of a node: all text below it in document order, as a DOM's
// text property gives it. Walks without recursion, so deep nesting is harmless.
std::string TextContent(pugi::xml_node node)
{
    std::string strText;
    pugi::xml_node cur = node.first_child();
    while (cur)
    {
        if (cur.type() == pugi::node_pcdata || cur.type() == pugi::node_cdata)
            strText += cur.value();
        if (cur.first_child())
        {
            cur = cur.first_child();
            continue;
        }
        while (cur && cur != node && !cur.next_sibling())
            cur = cur.parent();
        if (!cur || cur == node)
            break;
        cur = cur.next_sibling();
    }
    return strText;
}

void ApplyKey(Section section, const char* pszName, const std::string& strText)
{
    if (section == Section::Setting)
    {
        if (strcmp(pszName, "SkinType") == 0)
            g_nSkinNumber = ToInt(strText);
        else if (strcmp(pszName, "SavedDirectry") == 0)
            theSettings.SavedDirectry = CutUtf8(strText, MAX_TEXT_BYTES);
        else if (strcmp(pszName, "IsOpenOutput") == 0)
            theSettings.IsOpenOutput = ToInt(strText);
        else if (strcmp(pszName, "IsViewWaveform") == 0)
            theSettings.IsViewWaveform = ToInt(strText);
    }
    else if (section == Section::Trkinfo)
    {
        if (strcmp(pszName, "AlbumTitle") == 0)
            theSettings.AlbumTitle = CutUtf8(strText, MAX_TEXT_BYTES);
        else if (strcmp(pszName, "Artist") == 0)
            theSettings.Artist = CutUtf8(strText, MAX_TEXT_BYTES);
        else if (strcmp(pszName, "Title") == 0)
            theSettings.Title = CutUtf8(strText, MAX_TEXT_BYTES);
    }
}

// The recording settings kept after the elements above, in one <Recording> element: the
// format, the device and line by name, one child per format and one for skipping silence. Numbers are the values
// themselves (192 kbit/s, 44100 Hz), not positions in a table, so a table that grows keeps
// the user's choice.
const char* const FORMAT_NAMES[] = {"MP3", "OGG", "WAV", "WMA"};  // by OutputFormat

struct RecordingKey
{
    const char* pszFormat;  // the child of <Recording> it lives in
    const char* pszName;
    int RecorderSettings::*pField;
    const int* pTable;  // the field is a position in this table; null: the value itself
    int nTableSize;
    int nMin, nMax;  // the value's range when there is no table
};

template <int N>
constexpr RecordingKey TableKey(const char* pszFormat, const char* pszName, int RecorderSettings::*pField, const int (&table)[N])
{
    return {pszFormat, pszName, pField, table, N, 0, 0};
}

constexpr RecordingKey RangeKey(const char* pszFormat, const char* pszName, int RecorderSettings::*pField, int nMin, int nMax)
{
    return {pszFormat, pszName, pField, nullptr, 0, nMin, nMax};
}

// In the order written; the ranges are what the settings pages offer.
const RecordingKey RECORDING_KEYS[] = {
    TableKey("MP3", "Bitrate", &RecorderSettings::Mp3BitrateIndex, Mp3BitrateTable),
    RangeKey("MP3", "Volume", &RecorderSettings::Mp3Volume, 0, 100),
    RangeKey("OGG", "Mode", &RecorderSettings::OggMode, 0, 3),
    RangeKey("OGG", "Quality", &RecorderSettings::OggQuality, 0, 1000),
    TableKey("OGG", "MinBitrate", &RecorderSettings::OggMinBitrateIndex, OggBitrateTable),
    TableKey("OGG", "NominalBitrate", &RecorderSettings::OggNominalBitrateIndex, OggBitrateTable),
    TableKey("OGG", "MaxBitrate", &RecorderSettings::OggMaxBitrateIndex, OggBitrateTable),
    TableKey("WAV", "Channels", &RecorderSettings::WavChannelsIndex, WavChannelTable),
    TableKey("WAV", "SampleRate", &RecorderSettings::WavSampleRateIndex, WavSampleRateTable),
    TableKey("WAV", "Bits", &RecorderSettings::WavBitsIndex, WavBitsTable),
    RangeKey("WMA", "Mode", &RecorderSettings::WmaMode, 0, 1),
    TableKey("WMA", "Bitrate", &RecorderSettings::WmaBitrateIndex, WmaBitrateTable),
    TableKey("WMA", "Quality", &RecorderSettings::WmaQualityIndex, WmaQualityTable),
    RangeKey("SkipSilence", "On", &RecorderSettings::SkipSilence, 0, 1),
    RangeKey("SkipSilence", "ThresholdDb", &RecorderSettings::SkipSilenceDb, SKIP_SILENCE_MIN_DB, SKIP_SILENCE_MAX_DB),
    RangeKey("SkipSilence", "HoldMilliseconds", &RecorderSettings::SkipSilenceHoldMs, SKIP_SILENCE_MIN_HOLD_MS,
             SKIP_SILENCE_MAX_HOLD_MS),
    RangeKey("Split", "On", &RecorderSettings::SplitFiles, 0, 1),
    RangeKey("Split", "Minutes", &RecorderSettings::SplitMinutes, 1, 1440),
};

// A whole number and nothing else (white space around it aside); unlike the older keys'
// atoi reading, "12abc" or "" is no number at all.
bool ToStrictInt(const std::string& strText, int& nValue)
{
    size_t nBegin = strText.find_first_not_of(" \t\r\n");
    size_t nEnd = strText.find_last_not_of(" \t\r\n");
    if (nBegin == std::string::npos)
        return false;
    std::string strNumber = strText.substr(nBegin, nEnd - nBegin + 1);
    size_t i = strNumber[0] == '-' ? 1 : 0;
    if (i == strNumber.size() || strNumber.size() - i > 9 ||
        strNumber.find_first_not_of("0123456789", i) != std::string::npos)
        return false;
    nValue = ToInt(strNumber);
    return true;
}

// The field's setting from the text, or its default when the text is no value it may hold.
void ApplyRecordingKey(const RecordingKey& key, const std::string& strText)
{
    static const RecorderSettings defaults;
    int& nField = theSettings.*key.pField;
    nField = defaults.*key.pField;
    int nValue = 0;
    if (!ToStrictInt(strText, nValue))
        return;
    if (!key.pTable)
    {
        if (nValue >= key.nMin && nValue <= key.nMax)
            nField = nValue;
        return;
    }
    for (int i = 0; i < key.nTableSize; ++i)
        if (key.pTable[i] == nValue)
            nField = i;
}

// A device or line name as kept; one no device could carry (too long) means none.
std::string KeptName(const std::string& strText)
{
    return strText.size() > MAX_TEXT_BYTES ? std::string() : strText;
}

// "mixed" or "side"; anything else gives the default.
void ReadBothLayout(const std::string& strText)
{
    const int nLayout = BothLayoutFromName(strText);
    theSettings.BothLayout = nLayout >= 0 ? nLayout : RecorderSettings().BothLayout;
}

void ReadRecording(pugi::xml_node recording)
{
    static const RecorderSettings defaults;
    for (pugi::xml_node child = recording.first_child(); child; child = child.next_sibling())
    {
        const char* pszName = child.name();
        if (strcmp(pszName, "Format") == 0)
        {
            const std::string strFormat = TextContent(child);
            theSettings.OutputFormat = defaults.OutputFormat;
            for (int i = 0; i < TableSize(FORMAT_NAMES); ++i)
                if (strFormat == FORMAT_NAMES[i])
                    theSettings.OutputFormat = i;
        }
        else if (strcmp(pszName, "Device") == 0)
            theSettings.DeviceName = KeptName(TextContent(child));
        else if (strcmp(pszName, "Line") == 0)
            theSettings.LineName = KeptName(TextContent(child));
        else if (strcmp(pszName, "BothLayout") == 0)
            ReadBothLayout(TextContent(child));
        else
        {
            for (pugi::xml_node key = child.first_child(); key; key = key.next_sibling())
                for (const RecordingKey& known : RECORDING_KEYS)
                    if (strcmp(pszName, known.pszFormat) == 0 && strcmp(key.name(), known.pszName) == 0)
                        ApplyRecordingKey(known, TextContent(key));
        }
    }
    // Variable bitrate wants a minimum no higher than its maximum; the pages never store such a pair.
    if (theSettings.OggMinBitrateIndex > theSettings.OggMaxBitrateIndex)
    {
        theSettings.OggMinBitrateIndex = defaults.OggMinBitrateIndex;
        theSettings.OggMaxBitrateIndex = defaults.OggMaxBitrateIndex;
    }
}

std::string ConfigPath(const char* pszFileName)
{
    return ConfigDirectory() + "/" + pszFileName;
}

enum class FileRead
{
    Read,
    Missing,
    TooLarge,
    Unreadable,
};

// The whole file when it is a regular file of a plausible size; otherwise why not, with the
// reason for the user in strReason. O_NONBLOCK keeps a FIFO planted under our name from
// stalling start-up.
FileRead ReadSmallFile(const std::string& strPath, std::string& strData, std::string& strReason)
{
    int fd = open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        strReason = strerror(errno);
        return errno == ENOENT ? FileRead::Missing : FileRead::Unreadable;
    }
    FileRead result = FileRead::Read;
    struct stat st;
    if (fstat(fd, &st) != 0)
        strReason = strerror(errno), result = FileRead::Unreadable;
    else if (S_ISDIR(st.st_mode))
        strReason = strerror(EISDIR), result = FileRead::Unreadable;
    else if (!S_ISREG(st.st_mode))
        strReason = "it is not a regular file", result = FileRead::Unreadable;
    else if (static_cast<size_t>(st.st_size) > MAX_FILE_SIZE)
        result = FileRead::TooLarge;
    else
    {
        // One byte more than the size shows whether the file changed under us.
        strData.resize(static_cast<size_t>(st.st_size) + 1);
        size_t nRead = 0;
        while (nRead < strData.size())
        {
            ssize_t n = read(fd, &strData[nRead], strData.size() - nRead);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
            {
                strReason = strerror(errno), result = FileRead::Unreadable;
                break;
            }
            if (n == 0)
                break;
            nRead += static_cast<size_t>(n);
        }
        if (result == FileRead::Read && nRead > static_cast<size_t>(st.st_size))
            strReason = "it changed while it was read", result = FileRead::Unreadable;
        strData.resize(nRead);
    }
    close(fd);
    return result;
}

// A file we could not read is left alone by the save: the settings in it are the user's,
// and defaults must never replace them unseen.
std::string g_strLeaveAlone;

// Moves a file that is no configuration of ours to the first free name beside it
// (Config.xml.bad, Config.xml.bad-2, ...), never over an earlier one the user may still
// want. The new name, or "" with the reason in strReason.
std::string SetAside(const std::string& strPath, std::string& strReason)
{
    for (int n = 1; n <= 100; ++n)
    {
        const std::string strBad = strPath + ".bad" + (n == 1 ? "" : "-" + std::to_string(n));
        if (renameat2(AT_FDCWD, strPath.c_str(), AT_FDCWD, strBad.c_str(), RENAME_NOREPLACE) == 0)
            return strBad;
        // File systems without RENAME_NOREPLACE: a hard link refuses an existing name as well.
        if ((errno == EINVAL || errno == ENOSYS) && link(strPath.c_str(), strBad.c_str()) == 0)
        {
            if (unlink(strPath.c_str()) == 0)
                return strBad;
            strReason = strerror(errno);
            unlink(strBad.c_str());
            return "";
        }
        if (errno != EEXIST)
        {
            strReason = strerror(errno);
            return "";
        }
    }
    strReason = "too many earlier copies";
    return "";
}

// XML 1.0 cannot hold most control characters, not even as references (pugixml would
// write "&#01;"), nor U+FFFE and U+FFFF; a parser refuses the whole file for one of them.
// Tab and line breaks stay.
std::string XmlText(const std::string& strText)
{
    return RepairUtf8(strText, [](uint32_t cp) -> const char* {
        const bool bControl = (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') || (cp >= 0x7F && cp <= 0x9F);
        return bControl || cp == 0xFFFE || cp == 0xFFFF ? "" : nullptr;
    });
}

class StringWriter : public pugi::xml_writer
{
public:
    void write(const void* pData, size_t nSize) override
    {
        m_strData.append(static_cast<const char*>(pData), nSize);
    }
    std::string m_strData;
};

bool WriteAll(int fd, const std::string& strData)
{
    size_t nDone = 0;
    while (nDone < strData.size())
    {
        ssize_t n = write(fd, strData.data() + nDone, strData.size() - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        nDone += static_cast<size_t>(n);
    }
    return true;
}

ConfigSyncFunction g_sync = ::fsync;

// Writes strData to strPath through a temporary file in the same folder and one
// rename, so a crash or a full disk never leaves a half-written configuration.
// False with the reason in strReason.
bool ReplaceFile(const std::string& strDir, const std::string& strPath, const std::string& strData, std::string& strReason)
{
    std::string strTemp = strPath + ".XXXXXX";
    int fd = mkstemp(strTemp.data());
    if (fd < 0)
    {
        strReason = strerror(errno);
        return false;
    }
    // The new file takes the old one's owner and permissions; a new one stays private (0600).
    bool bOk = true;
    struct stat st;
    if (stat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    {
        if (st.st_uid != geteuid() || st.st_gid != getegid())
            (void)!fchown(fd, st.st_uid, st.st_gid);  // only root may give a file away; the mode matters more
        bOk = fchmod(fd, st.st_mode & 07777) == 0;
    }
    bOk = bOk && WriteAll(fd, strData) && g_sync(fd) == 0;
    int nError = bOk ? 0 : errno;
    if (close(fd) != 0 && bOk)
        bOk = false, nError = errno;
    if (bOk && rename(strTemp.c_str(), strPath.c_str()) != 0)
        bOk = false, nError = errno;
    if (!bOk)
    {
        strReason = strerror(nError);
        unlink(strTemp.c_str());
        return false;
    }
    // Make the rename itself durable. The new file is already in place, so a
    // folder that cannot be synced (some file systems refuse) is no failure.
    int dirFd = open(strDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0)
    {
        g_sync(dirFd);
        close(dirFd);
    }
    return true;
}

void SetDefaultOutputFolder()
{
    theSettings.SavedDirectry = DefaultOutputFolder();
    MakeFolders(theSettings.SavedDirectry);
}

}  // namespace

int LoadConfig(const char* pszFileName, std::string* pMessage)
{
    std::string strIgnored;
    std::string& strMessage = pMessage ? *pMessage : strIgnored;
    g_strLeaveAlone.clear();
    if (!pszFileName)
    {
        strMessage = "Invalid config file.";
        return -1;
    }
    const std::string strPath = ConfigPath(pszFileName);
    try
    {
        std::string strData, strReason;
        pugi::xml_document doc;
        const FileRead read = ReadSmallFile(strPath, strData, strReason);
        if (read == FileRead::Missing)
        {
            SetDefaultOutputFolder();
            return 0;
        }
        if (read == FileRead::Unreadable)
        {
            g_strLeaveAlone = strPath;
            SetDefaultOutputFolder();
            strMessage = "The settings file \"" + strPath + "\" cannot be read (" + strReason +
                         ").\nThe default settings are used; the file is left as it is, and the changes made now will not "
                         "be saved in it.";
            return -1;
        }
        // pugixml neither expands entities declared in a DOCTYPE nor recurses
        // while parsing or freeing, so any file within the size limit is safe to parse.
        if (read == FileRead::TooLarge ||
            !doc.load_buffer_inplace(strData.data(), strData.size(),
                                   pugi::parse_default | pugi::parse_ws_pcdata_single))
        {
            SetDefaultOutputFolder();
            const std::string strBad = SetAside(strPath, strReason);
            if (strBad.empty())
            {
                g_strLeaveAlone = strPath;
                strMessage = "Invalid config file.\nIt could not be set aside (" + strReason + "), so \"" + strPath +
                             "\" is left as it is and the settings of this session will not be saved.";
            }
            else
                strMessage = "Invalid config file.\nIt was kept as \"" + strBad + "\", and the default settings are used.";
            return -1;
        }
        pugi::xml_node root = doc.document_element();  // parsing fails without one
        for (pugi::xml_attribute attr = root.first_attribute(); attr; attr = attr.next_attribute())
        {
            if (strcmp(attr.name(), "App") == 0 && strcmp(attr.value(), APP_TITLE) != 0)
                return 0;
        }

        Section section = Section::None;
        for (pugi::xml_node group = root.first_child(); group; group = group.next_sibling())
        {
            if (strcmp(group.name(), "Setting") == 0)
                section = Section::Setting;
            else if (strcmp(group.name(), "Trkinfo") == 0)
                section = Section::Trkinfo;
            for (pugi::xml_node key = group.first_child(); key; key = key.next_sibling())
                ApplyKey(section, key.name(), TextContent(key));
            if (strcmp(group.name(), "Recording") == 0)
                ReadRecording(group);
        }
        return 1;
    }
    catch (const std::exception&)
    {
        // Out of memory part-way: what was read stays, and the file is not written over with it.
        g_strLeaveAlone = strPath;
        strMessage = "Invalid config file.";
        return -1;
    }
}

ConfigSyncFunction SetConfigSyncFunction(ConfigSyncFunction sync)
{
    return std::exchange(g_sync, sync ? sync : ::fsync);
}

bool SaveConfig(const char* pszFileName, std::string* pMessage)
{
    if (!pszFileName)
        return false;
    std::string strDir = ConfigDirectory();
    const std::string strPath = strDir + "/" + pszFileName;
    if (strPath == g_strLeaveAlone)
        return true;
    std::string strReason = "out of memory";
    try
    {
        pugi::xml_document doc;
        pugi::xml_node decl = doc.append_child(pugi::node_declaration);
        decl.append_attribute("version") = "1.0";
        decl.append_attribute("encoding") = "UTF-8";

        pugi::xml_node root = doc.append_child("Config");
        root.append_attribute("Author") = AUTHOR;
        root.append_attribute("Website") = WEBSITE;
        root.append_attribute("App") = APP_TITLE;
        root.append_attribute("Version") = VERSION;

        pugi::xml_node setting = root.append_child("Setting");
        setting.append_child("SkinType").text() = g_nSkinNumber;
        setting.append_child("SavedDirectry").text() = XmlText(theSettings.SavedDirectry).c_str();
        setting.append_child("IsOpenOutput").text() = theSettings.IsOpenOutput;
        setting.append_child("IsViewWaveform").text() = theSettings.IsViewWaveform;

        pugi::xml_node trkinfo = root.append_child("Trkinfo");
        trkinfo.append_child("AlbumTitle").text() = XmlText(theSettings.AlbumTitle).c_str();
        trkinfo.append_child("Artist").text() = XmlText(theSettings.Artist).c_str();
        trkinfo.append_child("Title").text() = XmlText(theSettings.Title).c_str();

        pugi::xml_node recording = root.append_child("Recording");
        const int nFormat = theSettings.OutputFormat;
        recording.append_child("Format").text() =
            nFormat >= 0 && nFormat < TableSize(FORMAT_NAMES) ? FORMAT_NAMES[nFormat] : "";
        recording.append_child("Device").text() = XmlText(theSettings.DeviceName).c_str();
        recording.append_child("Line").text() = XmlText(theSettings.LineName).c_str();
        pugi::xml_node format;
        for (const RecordingKey& key : RECORDING_KEYS)
        {
            if (strcmp(format.name(), key.pszFormat) != 0)
                format = recording.append_child(key.pszFormat);
            const int nField = theSettings.*key.pField;
            if (!key.pTable)
                format.append_child(key.pszName).text() = nField;
            else if (nField >= 0 && nField < key.nTableSize)
                format.append_child(key.pszName).text() = key.pTable[nField];
            else
                format.append_child(key.pszName);  // read back as the default
        }
        recording.append_child("BothLayout").text() = BothLayoutName(theSettings.BothLayout);

        StringWriter writer;
        doc.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);

        if (!MakeFolders(strDir, 0700))
        {
            struct stat st;
            strReason = "the folder cannot be made: ";
            strReason += strerror(stat(strDir.c_str(), &st) == 0 ? ENOTDIR : errno);
        }
        else if (ReplaceFile(strDir, strPath, writer.m_strData, strReason))
            return true;
    }
    catch (const std::exception&)
    {
    }
    if (pMessage)
        *pMessage = "Your settings could not be saved in \"" + strPath + "\" (" + strReason +
                    "):\nthe next start will not know the changes made since they were last saved.";
    return false;
}
