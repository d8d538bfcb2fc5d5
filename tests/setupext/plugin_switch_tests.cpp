// DoRegPlg and DoAntiSpam: the plug-in library loaded from the product
// folder, its TurnOnPlugin called with the two flags, the library freed.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/setupext/setupext_fixture.h"

namespace setupext_test {
namespace {

using Log = std::vector<std::string>;

class PluginSwitchTest : public CSetupExtTest
{
protected:
    void SetUp() override
    {
        CSetupExtTest::SetUp();
        InstallPlugin("test_plugin.dll", "vxzsp.dll");
        InstallPlugin("test_plugin_bare.dll", "bare.dll");
    }

    bool IsPluginLoaded(const std::string& name) const
    {
        return GetModuleHandleA((ProductDir() / name).string().c_str()) != nullptr;
    }
};

TEST_F(PluginSwitchTest, DoRegPlgCallsTurnOnPluginWithOneAndOneThenFreesTheLibrary)
{
    CallWithArgument("DoRegPlg", "vxzsp.dll");
    EXPECT_EQ(PluginLog(), (Log{"attach", "TurnOnPlugin 1 1", "detach"}));
    EXPECT_FALSE(IsPluginLoaded("vxzsp.dll"));
}

TEST_F(PluginSwitchTest, DoAntiSpamCallsTurnOnPluginWithZeroAndOneThenFreesTheLibrary)
{
    CallWithArgument("DoAntiSpam", "vxzsp.dll");
    EXPECT_EQ(PluginLog(), (Log{"attach", "TurnOnPlugin 0 1", "detach"}));
    EXPECT_FALSE(IsPluginLoaded("vxzsp.dll"));
}

TEST_F(PluginSwitchTest, LibraryWithoutTurnOnPluginIsLoadedAndFreedWithNothingCalled)
{
    CallWithArgument("DoRegPlg", "bare.dll");
    CallWithArgument("DoAntiSpam", "bare.dll");
    EXPECT_EQ(PluginLog(), (Log{"attach", "detach", "attach", "detach"}));
    EXPECT_FALSE(IsPluginLoaded("bare.dll"));
}

TEST_F(PluginSwitchTest, NameIsOnePathComponentBelowTheProductFolder)
{
    // Exactly one backslash between folder and name, whether the folder
    // ends in one or not, and whatever environment references it holds.
    std::filesystem::create_directory(ProductDir() / "lib");
    InstallPlugin("test_plugin.dll", "lib\\inner.dll");
    SetProductDir(ProductDir().string() + "\\");
    CallWithArgument("DoRegPlg", "vxzsp.dll");
    SetEnvironment("SETUPEXT_TEST_PRODUCT", ProductDir().string());
    SetProductDir("%SETUPEXT_TEST_PRODUCT%", REG_EXPAND_SZ);
    CallWithArgument("DoAntiSpam", "lib\\inner.dll");
    EXPECT_EQ(PluginLog(), (Log{"attach", "TurnOnPlugin 1 1", "detach", "attach",
                                "TurnOnPlugin 0 1", "detach"}));
}

TEST_F(PluginSwitchTest, PluginsOwnLibrariesComeFromItsFolderOnly)
{
    // The helper also lies beside this program, which is the current
    // folder, as a planted copy would lie beside an installer in a download
    // folder: the loader must not look there, even when the plug-in's own
    // folder lacks it.
    char szOldDir[MAX_PATH] = {};
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, szOldDir), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(testsupport::BinDir().string().c_str()));
    InstallPlugin("test_plugin_dependent.dll", "dependent.dll");
    CallWithArgument("DoRegPlg", "dependent.dll");
    const Log withoutHelper = PluginLog();
    InstallPlugin("test_plugin_helper.dll", "test_plugin_helper.dll");
    CallWithArgument("DoRegPlg", "dependent.dll");
    SetCurrentDirectoryA(szOldDir);
    EXPECT_TRUE(withoutHelper.empty()) << "a library of the current folder was taken";
    EXPECT_EQ(PluginLog(),
              (Log{"attach", "TurnOnPlugin 1 1",
                   "helper 1 " + (ProductDir() / "test_plugin_helper.dll").string(), "detach"}));
}

TEST_F(PluginSwitchTest, ProductFolderThatIsNoFullPathLoadsNothing)
{
    // Taken from the current folder, "product" would name the real one.
    char szOldDir[MAX_PATH] = {};
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, szOldDir), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(ScratchDir().string().c_str()));
    SetProductDir("product");
    CallWithArgument("DoRegPlg", "vxzsp.dll");
    SetCurrentDirectoryA(szOldDir);
    EXPECT_TRUE(PluginLog().empty());
}

TEST_F(PluginSwitchTest, WithoutTheProductKeyNothingIsLoaded)
{
    DeleteProductKey();
    CallWithArgument("DoRegPlg", "vxzsp.dll");
    CallWithArgument("DoAntiSpam", "vxzsp.dll");
    EXPECT_TRUE(PluginLog().empty());
}

} // namespace
} // namespace setupext_test
