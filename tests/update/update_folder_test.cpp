#include "update/install/update_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "tests/support/paths.h"
#include "tests/support/registry.h"

namespace {

namespace fs = std::filesystem;

std::string LocalAppData()
{
    auto value = testsupport::ReadValue(
        HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        "Local AppData");
    return value ? value->AsString() : std::string();
}

class UpdateFolderTest : public ::testing::Test
{
protected:
    void SetUp() override { RemoveProductFolder(); }
    void TearDown() override { RemoveProductFolder(); }
    void RemoveProductFolder()
    {
        m_held.Release();
        std::error_code ec;
        fs::permissions(Folder() / "old.dll", fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove_all(fs::path(LocalAppData()) / "Vexil ZSP", ec);
    }
    static fs::path Folder() { return fs::path(LocalAppData()) / "Vexil ZSP" / "Update"; }

    // What earlier runs and other programs may have left: installers, a
    // library, a read-only one, a sub-folder tree.
    static void Plant()
    {
        fs::create_directories(Folder() / "sub" / "deeper");
        for (const char* pszName : {"vxzsp-2.4.2.218.exe", "vxzsp-2.5.0.301.exe", "version.dll",
                                    "old.dll", "sub/x.dll", "sub/deeper/y.dll"})
            std::ofstream(Folder() / pszName, std::ios::binary) << pszName;
        fs::permissions(Folder() / "old.dll", fs::perms::owner_write, fs::perm_options::remove);
    }

    static std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(Folder(), ec))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    CUpdateFolder m_held;
};

TEST_F(UpdateFolderTest, CreatesBothLevelsAndNamesThemInGenericForm)
{
    const std::string base = LocalAppData();
    ASSERT_FALSE(base.empty());
    std::string expected = base;
    for (char& c : expected)
    {
        if (c == '\\')
            c = '/';
    }
    expected += "/Vexil ZSP/Update";

    std::string folder;
    ASSERT_TRUE(PrepareUpdateFolderPath(folder, m_held));
    EXPECT_EQ(folder, expected);
    EXPECT_TRUE(fs::is_directory(fs::path(base) / "Vexil ZSP" / "Update"));

    // Already there: fine, and the same answer.
    std::string again;
    ASSERT_TRUE(PrepareUpdateFolderPath(again, m_held));
    EXPECT_EQ(again, folder);
}

TEST_F(UpdateFolderTest, EachRunStartsWithAnEmptyFolder)
{
    Plant();
    std::string folder;
    ASSERT_TRUE(PrepareUpdateFolderPath(folder, m_held));
    EXPECT_EQ(Names(), std::vector<std::string>());
}

// A file in use stays, and is named; the installer is kept; everything
// else goes. Once the file is let go, it goes too.
TEST_F(UpdateFolderTest, OnlyTheInstallerIsKeptAndAFileInUseIsNamed)
{
    Plant();
    fw::CFileHandle held(CreateFileA((Folder() / "held.dll").string().c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(held);
    std::string folder;
    ASSERT_TRUE(PrepareUpdateFolderPath(folder, m_held));
    EXPECT_EQ(Names(), std::vector<std::string>({"held.dll"}));

    Plant();
    EXPECT_EQ(ClearUpdateFolder(folder, "VXZSP-2.5.0.301.exe"), "held.dll");
    EXPECT_EQ(Names(), std::vector<std::string>({"held.dll", "vxzsp-2.5.0.301.exe"}));
    held.Reset();
    EXPECT_EQ(ClearUpdateFolder(folder, "vxzsp-2.5.0.301.exe"), "");
    EXPECT_EQ(Names(), std::vector<std::string>({"vxzsp-2.5.0.301.exe"}));
}

TEST_F(UpdateFolderTest, ABaseOnAnotherMachineIsRefused)
{
    std::string folder;
    EXPECT_EQ(m_held.Hold("\\\\server\\share\\Local", folder), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(m_held.IsHeld());
    EXPECT_EQ(folder, "");
}

// Links made from the Unix side (Wine makes no junctions, and its symbolic
// links are not made at all), in place of either level and inside the
// folder, leading to a file or an empty folder outside, which stay as they
// are. Wine follows them even when asked to open them as themselves: in
// place of a level the folder is refused; inside, they are left, and one
// to a file is named as a file that stays.
TEST_F(UpdateFolderTest, ALinkInTheFolderPathNeverLeadsOutOfIt)
{
    const struct
    {
        const char* pszPlace;
        DWORD dwHeld;
        const char* pszLeftover;
    } rows[] = {{"Vexil ZSP", ERROR_CANT_RESOLVE_FILENAME, ""},
                {"Vexil ZSP/Update", ERROR_CANT_RESOLVE_FILENAME, ""},
                {"Vexil ZSP/Update/sub", ERROR_SUCCESS, ""},
                {"Vexil ZSP/Update/version.dll", ERROR_SUCCESS, "version.dll"}};
    for (const auto& row : rows)
    {
        RemoveProductFolder();
        testsupport::ScopedTempDir outside("outside");
        fs::create_directories(outside.Path() / "in");
        std::ofstream(outside.Path() / "x.dll") << "outside";
        const fs::path link = fs::path(LocalAppData()) / row.pszPlace;
        fs::create_directories(link.parent_path());
        testsupport::ScopedUnixLink made(outside.Path() / (link.extension() == ".dll" ? "x.dll" : "in"), link);
        ASSERT_TRUE(made.Made()) << row.pszPlace;
        std::string folder;
        EXPECT_EQ(m_held.Hold(LocalAppData(), folder), row.dwHeld) << row.pszPlace;
        EXPECT_EQ(ClearUpdateFolder(folder, ""), row.pszLeftover) << row.pszPlace;
        EXPECT_EQ(testsupport::ReadFileBytes(outside.Path() / "x.dll"), "outside") << row.pszPlace;
        EXPECT_TRUE(fs::is_directory(outside.Path() / "in") && fs::is_empty(outside.Path() / "in")) << row.pszPlace;
        m_held.Release();
    }
}

TEST_F(UpdateFolderTest, InstallerIsNamedAfterTheFourNumberVersion)
{
    EXPECT_EQ(MakeInstallerPath("D:/Profiles/u/Local/Vexil ZSP/Update", VersionNumber("2.5.1")),
              "D:/Profiles/u/Local/Vexil ZSP/Update\\vxzsp-2.5.1.0.exe");
    EXPECT_EQ(MakeInstallerPath("C:\\Update\\", VersionNumber("2.5.0.301")),
              "C:\\Update\\vxzsp-2.5.0.301.exe");
}

TEST_F(UpdateFolderTest, APathThatDoesNotFitIsEmpty)
{
    const VersionNumber version("2.5.0.301");
    const std::string fileName = "vxzsp-2.5.0.301.exe";
    // MAX_PATH - 1 characters in all, with the separator, still fit.
    const std::string fits(259 - fileName.size() - 1, 'a');
    EXPECT_EQ(MakeInstallerPath(fits, version).size(), 259u);
    EXPECT_EQ(MakeInstallerPath(fits + "a", version), "");
}

} // namespace
