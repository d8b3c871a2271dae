#pragma once
// The program's command line, read before the window system is touched: the options that print
// and end (--help, --version, --find-games, and the game tools --check, --export-list,
// --compare-list and --pack), whether a display is named at all, and the options the program does
// not know.
#include <functional>
#include <string>
#include <vector>

namespace pitkit {

enum class CommandAction { Window, Help, Version, FindGames, Check, ExportList, CompareList, Pack };

// What the arguments (the program's name left out) ask for: the first of the options above
// decides; without one the window starts.
CommandAction commandAction(const std::vector<std::string>& arguments);

// The arguments after the option that decides (a game tool's operands: NAME, FILE, GAME, ...);
// none for the window.
std::vector<std::string> commandOperands(const std::vector<std::string>& arguments);

// The --help text and the --version line.
std::string usageText();
std::string versionText(const std::string& version);

// Whether a window system is named to open: a -platform argument, or QT_QPA_PLATFORM, DISPLAY or
// WAYLAND_DISPLAY in the environment (`variable` reads one; nullptr or "" when unset). Without
// one the toolkit would give up by aborting the program.
bool displayNamed(const std::vector<std::string>& arguments,
                  const std::function<const char*(const char*)>& variable);

// The first argument of the program's own form, --NAME, that is not one of its options, among
// those the toolkit left ("" when there is none). Single-dash options are the toolkit's and the
// window system's (-display, -geometry): which of them it takes depends on the platform, so the
// others are left alone, as they always were.
std::string unknownOption(const std::vector<std::string>& arguments);

// What the program says on its way out when it has no display: none named, or none opened.
inline constexpr const char* kNoDisplayNamed =
    "pitkit: no display: the window needs an X11 or Wayland session, and neither DISPLAY nor "
    "WAYLAND_DISPLAY is set (--help, --version, --find-games and the game tools need none)\n";
inline constexpr const char* kNoDisplayOpened =
    "pitkit: no display: the window system could not be opened (see the messages above)\n";

}  // namespace pitkit
