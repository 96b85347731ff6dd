#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "foundation/folders.h"
#include "support/test_support.h"

TEST(Folders, WithoutAnyHomeTheAppDataPathIsEmptyAndTheLogSaysSo)
{
    std::optional<std::string> saved[2];
    const char* names[2] = {"XDG_CONFIG_HOME", "HOME"};
    for (int i = 0; i < 2; ++i) {
        if (const char* value = std::getenv(names[i]))
            saved[i] = value;
        unsetenv(names[i]);
    }
    tavtest::LogCapture log;
    EXPECT_TRUE(gf_appDataPath().empty());
    EXPECT_TRUE(log.contains("==> Could not find the AppData path\n"));
    for (int i = 0; i < 2; ++i)
        if (saved[i])
            setenv(names[i], saved[i]->c_str(), 1);
}
