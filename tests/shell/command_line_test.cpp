// The command line read before the window system: which option decides, whether a display is
// named, and which options are unknown.
#include <gtest/gtest.h>

#include <map>

#include "shell/CommandLine.h"

namespace pitkit {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, OptionsDecideBeforeTheWindow) {
  const struct {
    Args args;
    CommandAction action;
    std::string unknown;  // among arguments the toolkit left
  } rows[] = {
      {{}, CommandAction::Window, ""},
      {{"/d/a.zip", "b.7z"}, CommandAction::Window, ""},
      {{"a.zip", "--version", "--help"}, CommandAction::Version, ""},
      {{"-h"}, CommandAction::Help, ""},
      {{"--find-games", "--help"}, CommandAction::FindGames, ""},
      {{"a.zip", "--find-game"}, CommandAction::Window, "--find-game"},
      {{"-platform", "offscreen"}, CommandAction::Window, "-platform"},
      {{"-"}, CommandAction::Window, "-"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(commandAction(row.args), row.action) << ::testing::PrintToString(row.args);
    EXPECT_EQ(unknownOption(row.args), row.unknown) << ::testing::PrintToString(row.args);
  }
  EXPECT_NE(usageText().find("--find-games"), std::string::npos);
  EXPECT_EQ(versionText("0.1"), "Torvane Pit Kit 0.1\n");
}

TEST(CommandLine, ADisplayIsNamedByTheEnvironmentOrThePlatformOption) {
  using Environment = std::map<std::string, std::string>;
  const struct {
    Environment environment;
    Args args;
    bool named;
  } rows[] = {
      {{}, {}, false},
      {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}, {"HOME", "/h"}}, {"a.zip"}, false},
      {{{"DISPLAY", ":0"}}, {}, true},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, {}, true},
      {{{"QT_QPA_PLATFORM", "offscreen"}}, {}, true},
      {{}, {"-platform", "vnc"}, true},
      {{}, {"--platform", "offscreen"}, true},
      {{}, {"a.zip", "-platform"}, false},  // without its value the toolkit ignores it
  };
  for (const auto& row : rows) {
    const auto variable = [&](const char* name) {
      const auto found = row.environment.find(name);
      return found == row.environment.end() ? nullptr : found->second.c_str();
    };
    EXPECT_EQ(displayNamed(row.args, variable), row.named) << ::testing::PrintToString(row.args);
  }
}

}  // namespace
}  // namespace pitkit
