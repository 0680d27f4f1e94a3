#include "Config.h"

#include "AppPaths.h"
#include "RecorderSettings.h"
#include "Utf8.h"

#include <pugixml.hpp>

#include <cerrno>
#include <climits>
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

std::string ConfigPath(const char* pszFileName)
{
    return ConfigDirectory() + "/" + pszFileName;
}

// The whole file when it is a regular file of a plausible size; false otherwise.
// O_NONBLOCK keeps a FIFO planted under our name from stalling start-up.
bool ReadSmallFile(const std::string& strPath, std::string& strData)
{
    int fd = open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool bOk = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) <= MAX_FILE_SIZE;
    if (bOk)
    {
        // One byte more than the size shows whether the file changed under us.
        strData.resize(static_cast<size_t>(st.st_size) + 1);
        size_t nRead = 0;
        while (nRead < strData.size())
        {
            ssize_t n = read(fd, &strData[nRead], strData.size() - nRead);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
            {
                bOk = n == 0;
                break;
            }
            nRead += static_cast<size_t>(n);
        }
        bOk = bOk && nRead <= static_cast<size_t>(st.st_size);
        strData.resize(nRead);
    }
    close(fd);
    return bOk;
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
bool ReplaceFile(const std::string& strDir, const std::string& strPath, const std::string& strData)
{
    std::string strTemp = strPath + ".XXXXXX";
    int fd = mkstemp(strTemp.data());
    if (fd < 0)
        return false;
    // Keep permissions a user gave the old file; a new one stays private (0600).
    struct stat st;
    if (stat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        fchmod(fd, st.st_mode & 07777);
    bool bOk = WriteAll(fd, strData) && g_sync(fd) == 0;
    bOk = close(fd) == 0 && bOk;
    bOk = bOk && rename(strTemp.c_str(), strPath.c_str()) == 0;
    if (!bOk)
    {
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

int LoadConfig(const char* pszFileName)
{
    if (!pszFileName)
        return -1;
    try
    {
        std::string strData;
        pugi::xml_document doc;
        // pugixml neither expands entities declared in a DOCTYPE nor recurses
        // while parsing or freeing, so any file within the size limit is safe to parse.
        if (!ReadSmallFile(ConfigPath(pszFileName), strData) ||
            !doc.load_buffer_inplace(strData.data(), strData.size(),
                                   pugi::parse_default | pugi::parse_ws_pcdata_single))
        {
            SetDefaultOutputFolder();
            return 0;
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
        }
        return 1;
    }
    catch (const std::exception&)
    {
        return -1;
    }
}

ConfigSyncFunction SetConfigSyncFunction(ConfigSyncFunction sync)
{
    return std::exchange(g_sync, sync ? sync : ::fsync);
}

bool SaveConfig(const char* pszFileName)
{
    if (!pszFileName)
        return false;
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
        setting.append_child("SavedDirectry").text() = theSettings.SavedDirectry.c_str();
        setting.append_child("IsOpenOutput").text() = theSettings.IsOpenOutput;
        setting.append_child("IsViewWaveform").text() = theSettings.IsViewWaveform;

        pugi::xml_node trkinfo = root.append_child("Trkinfo");
        trkinfo.append_child("AlbumTitle").text() = theSettings.AlbumTitle.c_str();
        trkinfo.append_child("Artist").text() = theSettings.Artist.c_str();
        trkinfo.append_child("Title").text() = theSettings.Title.c_str();

        StringWriter writer;
        doc.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);

        std::string strDir = ConfigDirectory();
        if (!MakeFolders(strDir, 0700))
            return false;
        return ReplaceFile(strDir, strDir + "/" + pszFileName, writer.m_strData);
    }
    catch (const std::exception&)
    {
        return false;
    }
}
