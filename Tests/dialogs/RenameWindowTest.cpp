// The rename dialog typed into as a user does, in a folder whose paths nearly fill a row's 255 bytes.
#include "UiTestSupport.h"
#include "DlgRename.h"
#include "TestSupport.h"

#include <wx/clipbrd.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

class RenameDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pFrame = ShowOwnerFrame());
        while (m_dir.size() < 236)
            m_dir += "/" + std::string(std::min<size_t>(60, 236 - m_dir.size() - 1), 'd');
        fs::create_directories(m_dir);
        std::ofstream(File("Audio0.WAV")) << "the take";
    }
    std::string File(const std::string& name) const { return m_dir + "/" + name; }
    void TearDown() override { DestroyAndWait(m_pFrame); }

    // Runs the dialog for Audio0.WAV with another row showing Audio1.wav.
    int Rename(CDlgRename& dialog, const std::function<void()>& user)
    {
        dialog.SetOldPath(File("Audio0.WAV"));
        dialog.SetOtherNames({"Audio1.wav"});
        return RunModal(dialog, [&] {
            ASSERT_TRUE(WaitUntilActiveAndPainted(&dialog, dialog.FindWindow(IDC_RENAME_OLDNAME)));
            ASSERT_TRUE(WaitOnMain([&] { return NewName(dialog)->HasFocus(); }));
            user();
        });
    }
    static wxTextCtrl* NewName(CDlgRename& d) { return static_cast<wxTextCtrl*>(d.FindWindow(IDC_RENAME_NEWNAME)); }
    static bool TypeName(CDlgRename& dialog, const std::string& typed, const std::string& shown)
    {
        PressKeys("ctrl+a BackSpace");
        Xdo("type --delay 20 '" + typed + "'");
        return WaitOnMain([&] { return NewName(dialog)->GetValue().utf8_string() == shown; });
    }
    static std::string RenameAndAnswer(CDlgRename& dialog, const std::string& answer)
    {
        PressKeys("Return");
        std::string text = WaitForMessageBox();
        PressKeys(answer);
        EXPECT_TRUE(WaitOnMain([&] { return dialog.IsActive() && NewName(dialog)->HasFocus(); }));
        return text;
    }
    std::string Read(const std::string& name) const { return ReadFileText(File(name)); }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    wxFrame* m_pFrame = nullptr;
    CTempFolder m_folder{"rename-window-" + std::to_string(getpid())};
    std::string m_dir = m_folder.Path();
};

TEST_F(RenameDialog, RefusalsKeepTheDialogOpenAndTheNameTakesTheOldExtensionInLowerCase)
{
    CDlgRename dialog(m_pFrame);
    const int nResult = Rename(dialog, [&] {
        const std::pair<std::string, std::string> cases[] = {
            {"abcdefghijklmnop", "Too long file path.( <= 255 bytes )"},
            {"Audio1", "New file name is exist."},
            {"", "Please input new file name."},
        };
        for (const auto& [typed, message] : cases)
        {
            EXPECT_TRUE(TypeName(dialog, typed, typed + ".wav"));
            EXPECT_EQ(RenameAndAnswer(dialog, "Return"), message) << typed;
        }
        EXPECT_EQ(Entries(), (std::vector<std::string>{"Audio0.WAV"}));
        OnMain([] { return wxClipboard::Get()->Open() && wxClipboard::Get()->SetData(new wxTextDataObject("x.mp3")) &&
                           (wxClipboard::Get()->Close(), true); });
        PressKeys("ctrl+a ctrl+v");
        EXPECT_TRUE(WaitOnMain([&] { return NewName(dialog)->GetValue() == "x.wav"; }));
        EXPECT_TRUE(TypeName(dialog, "Take", "Take.wav"));
        PressKeys("Return");
    });
    EXPECT_EQ(nResult, wxID_OK);
    EXPECT_EQ(dialog.GetNewPath(), File("Take.wav"));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Take.wav"}));
    EXPECT_EQ(Read("Take.wav"), "the take");
}

TEST_F(RenameDialog, AFailedMoveLosesNothingAndAnExistingFileIsReplacedOnlyAfterTheUserAgrees)
{
    fs::create_directory(File("Dir.wav"));
    std::ofstream(File("Dir.wav/inside")) << "x";
    std::ofstream(File("Song.wav")) << "an older take";
    const std::string question = "The File has been existen, Overwrite it?";
    CDlgRename dialog(m_pFrame);
    const int nResult = Rename(dialog, [&] {
        EXPECT_TRUE(TypeName(dialog, "Dir", "Dir.wav"));
        PressKeys("Return");
        EXPECT_EQ(WaitForMessageBox(), question);
        EXPECT_EQ(RenameAndAnswer(dialog, "Return"), "Cannot rename the file.( Is a directory )");
        EXPECT_EQ(Read("Audio0.WAV"), "the take");

        EXPECT_TRUE(TypeName(dialog, "Song", "Song.wav"));
        EXPECT_EQ(RenameAndAnswer(dialog, "Escape"), question);
        EXPECT_EQ(Entries(), (std::vector<std::string>{"Audio0.WAV", "Dir.wav", "Song.wav"}));
        EXPECT_EQ(Read("Song.wav"), "an older take");
        PressKeys("Return");
        EXPECT_EQ(WaitForMessageBox(), question);
        PressKeys("Return");
    });
    EXPECT_EQ(nResult, wxID_OK);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Dir.wav", "Song.wav"}));
    EXPECT_EQ(Read("Song.wav"), "the take");
}
