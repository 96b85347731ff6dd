// What Wine cannot show: the status of an install path that cannot be read (a name too
// long for the file system). The commands themselves are tested on the real window.
#include <gtest/gtest.h>

#include <string>

#include "foundation/settings_fixture.h"
#include "ui/commands_internal.h"
#include "ui/messages.h"
#include "ui/shown_text.h"
#include "ui/window_state.h"

TEST(InstallPath, AStatusThatCannotBeReadIsAnsweredOnTheMessageLineAndNothingIsStored)
{
    tavtest::LogCapture log;
    const tavtest::TempFolder data("data");
    gf_overrideDataFolder(data.path());
    settingstest::resetSettings();
    gf_resetWindowState();
    const std::string path = "/tmp/" + std::string(300, 'p') + "/P3D";
    lf_onInstallPathEntered(path);
    const std::string shown = uitest::shown(&WindowState::messageText);
    EXPECT_EQ(shown, "The install path cannot be checked: " + path + " (File name too long)");
    EXPECT_TRUE(log.contains(shown));
    EXPECT_EQ(SIM_INSTALL_PATH.value(), "");
    EXPECT_FALSE(gf_stopPending());
}
