// The layers as the README's layout table states them: each folder includes only the folders below
// it, so no two folders need each other; below the windows nothing includes wx; the libraries the
// stand-ins wrap (GTK, X11, libpulse) are included under Source/Platform alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
const fs::path kSource = fs::path(VORANE_SOURCE_DIR) / "Source";

// Each folder (below Source/) and the folders it may include from. Keep in step with the README.
// Platform/text, the UTF-8 rules, is below everything: every folder may include it.
const std::map<std::string, std::set<std::string>> kAllowed = {
    {"Platform/text", {}},
    {"Platform/win32", {}},
    {"Platform/winmm", {"Platform/win32"}},
    {"Platform/pulse", {"Platform/winmm", "Platform/win32"}},
    {"Platform/shell", {"Platform/win32"}},
    {"Platform/sound", {"Platform/win32"}},
    {"Platform/skin", {}},
    {"Platform/window", {}},
    {"Platform/instance", {}},
    {"Platform/lame_enc", {}},
    {"Platform/bass", {}},
    {"Recorder/base", {"Platform/win32"}},
    {"Recorder/encoders", {"Recorder/base", "Platform/winmm", "Platform/win32", "Platform/lame_enc", "Platform/bass"}},
    {"Recorder/capture", {"Recorder/encoders", "Recorder/base", "Platform/winmm", "Platform/win32"}},
    {"Recorder/session",
     {"Recorder/capture", "Recorder/encoders", "Recorder/base", "Platform/winmm", "Platform/win32"}},
    {"Recorder/res/ui", {}},
    {"Recorder/res/dialogs", {}},
    {"Recorder/res/sound", {}},
    {"Recorder/ui",
     {"Recorder/base", "Recorder/res/ui", "Platform/skin", "Platform/shell", "Platform/window", "Platform/win32"}},
    {"Recorder/dialogs",
     {"Recorder/ui", "Recorder/base", "Recorder/res/dialogs", "Recorder/res/sound", "Platform/shell", "Platform/sound",
      "Platform/win32"}},
    {"Recorder/settings",
     {"Recorder/dialogs", "Recorder/ui", "Recorder/capture", "Recorder/base", "Platform/shell", "Platform/window",
      "Platform/winmm", "Platform/win32"}},
    {"Recorder/mainwindow",
     {"Recorder/session", "Recorder/settings", "Recorder/dialogs", "Recorder/ui", "Recorder/capture",
      "Recorder/encoders", "Recorder/base", "Recorder/res/ui", "Platform/shell", "Platform/winmm", "Platform/win32"}},
    {"Recorder/app",
     {"Recorder/mainwindow", "Recorder/ui", "Recorder/base", "Platform/instance", "Platform/pulse", "Platform/window",
      "Platform/win32"}},
    {"Tools/recorder-cli",
     {"Recorder/session", "Recorder/capture", "Recorder/encoders", "Recorder/base", "Platform/pulse", "Platform/winmm",
      "Platform/win32"}},
};

// Folders that hold no window: wx stays out of them.
const std::set<std::string> kBelowTheWindows = {
    "Recorder/base", "Recorder/encoders", "Recorder/capture", "Recorder/session", "Tools/recorder-cli",
    "Platform/text", "Platform/win32", "Platform/winmm", "Platform/pulse", "Platform/shell", "Platform/sound", "Platform/instance",
    "Platform/lame_enc", "Platform/bass"};

struct Include
{
    std::string folder;  // of the including file
    std::string file;    // the including file, below Source/
    std::string name;    // what it includes
    bool bSystem;        // <...> rather than "..."
};

std::string FolderOf(const fs::path& file)
{
    return fs::relative(file.parent_path(), kSource).generic_string();
}

std::vector<Include> AllIncludes()
{
    static const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> includes;
    for (const auto& entry : fs::recursive_directory_iterator(kSource))
    {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);)
        {
            std::smatch m;
            if (std::regex_search(line, m, include))
                includes.push_back({FolderOf(entry.path()), fs::relative(entry.path(), kSource).generic_string(),
                                    m[2].str(), m[1].str() == "<"});
        }
    }
    return includes;
}

// Every header of ours by its file name, with its folder.
std::map<std::string, std::string> OurHeaders()
{
    std::map<std::string, std::string> headers;
    for (const auto& entry : fs::recursive_directory_iterator(kSource))
        if (entry.is_regular_file() && entry.path().extension() == ".h")
            headers[entry.path().filename().string()] = FolderOf(entry.path());
    return headers;
}
}  // namespace

TEST(Layers, EveryFolderIncludesOnlyTheFoldersBelowIt)
{
    const auto headers = OurHeaders();
    std::set<std::string> folders;
    for (const auto& [name, folder] : headers)
        folders.insert(folder);
    for (const std::string& folder : folders)
        EXPECT_TRUE(kAllowed.count(folder)) << folder << " is in no row of the layout table";

    for (const Include& include : AllIncludes())
    {
        if (include.bSystem)
            continue;
        const auto header = headers.find(fs::path(include.name).filename().string());
        if (header == headers.end() || header->second == include.folder)
            continue;
        const auto allowed = kAllowed.find(include.folder);
        ASSERT_NE(allowed, kAllowed.end()) << include.folder << " is in no row of the layout table";
        EXPECT_TRUE(allowed->second.count(header->second) || header->second == "Platform/text")
            << include.file << " includes " << include.name << " of " << header->second;
    }
}

// The table itself runs one way: following "may include" never comes back to where it started.
TEST(Layers, TheLayoutTableHasNoCircle)
{
    std::map<std::string, int> state;  // 1 on the path, 2 done
    std::function<bool(const std::string&)> circle = [&](const std::string& folder) {
        if (state[folder] == 1)
            return true;
        if (state[folder] == 2)
            return false;
        state[folder] = 1;
        const auto it = kAllowed.find(folder);
        if (it != kAllowed.end())
            for (const std::string& below : it->second)
                if (circle(below))
                    return true;
        state[folder] = 2;
        return false;
    };
    for (const auto& [folder, below] : kAllowed)
        EXPECT_FALSE(circle(folder)) << "through " << folder;
}

TEST(Layers, NothingBelowTheWindowsIncludesWx)
{
    for (const Include& include : AllIncludes())
        if (kBelowTheWindows.count(include.folder))
            EXPECT_NE(0u, include.name.rfind("wx/", 0)) << include.file << " includes " << include.name;
}

// The receivers and the capture engine take what they need as their own copy when a recording is
// prepared: the settings record is never read below the recording session.
TEST(Layers, TheEngineNeverReadsTheSettingsRecord)
{
    for (const Include& include : AllIncludes())
        if (include.folder == "Recorder/encoders" || include.folder == "Recorder/capture")
            EXPECT_NE("RecorderSettings.h", include.name) << include.file;
}

// What the stand-ins wrap stays under Source/Platform: the program reaches GTK, X11, libpulse, the
// encoder libraries and FFmpeg only through them.
TEST(Layers, TheWrappedLibrariesAreIncludedUnderPlatformAlone)
{
    const char* const wrapped[] = {"gtk/", "gdk/", "X11/", "pulse/", "lame/", "libav", "vorbis/", "ogg/"};
    for (const Include& include : AllIncludes())
    {
        if (!include.bSystem || include.folder.rfind("Platform/", 0) == 0)
            continue;
        for (const char* pszPrefix : wrapped)
            // The OGG receiver binds the Vorbis libraries itself, in its source file alone.
            if (include.name.rfind(pszPrefix, 0) == 0 && include.file != "Recorder/encoders/ReceiverOGG.cpp")
                ADD_FAILURE() << include.file << " includes " << include.name;
    }
}
