#include "shell/CommandLine.h"

namespace pitkit {

namespace {

CommandAction optionAction(const std::string& argument) {
  if (argument == "--help" || argument == "-h") return CommandAction::Help;
  if (argument == "--version") return CommandAction::Version;
  if (argument == "--find-games") return CommandAction::FindGames;
  if (argument == "--check") return CommandAction::Check;
  if (argument == "--export-list") return CommandAction::ExportList;
  if (argument == "--compare-list") return CommandAction::CompareList;
  if (argument == "--pack") return CommandAction::Pack;
  return CommandAction::Window;
}

}  // namespace

CommandAction commandAction(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments)
    if (const CommandAction action = optionAction(argument); action != CommandAction::Window) return action;
  return CommandAction::Window;
}

std::vector<std::string> commandOperands(const std::vector<std::string>& arguments) {
  for (std::size_t i = 0; i < arguments.size(); ++i)
    if (optionAction(arguments[i]) != CommandAction::Window) return {arguments.begin() + i + 1, arguments.end()};
  return {};
}

std::string usageText() {
  return "Usage: pitkit [FILE...]\n"
         "       pitkit --find-games | --help | --version\n"
         "       pitkit --check [GAME]\n"
         "       pitkit --export-list [GAME]\n"
         "       pitkit --compare-list LIST [GAME]\n"
         "       pitkit --pack level|car NAME OUT.zip [GAME]\n"
         "\n"
         "Torvane Pit Kit renames, installs, uninstalls and deletes the custom levels and cars of\n"
         "Torvane. It opens the game in the folder it is started in, or the one its Pitkit.ini\n"
         "there names.\n"
         "\n"
         "  FILE...        install from these archives (.zip, .7z, .rar); when the program is\n"
         "                 already running, its window takes them and this start ends\n"
         "  --find-games   print the game folders found in the Wine, Proton, Lutris and Bottles\n"
         "                 prefixes and the Steam libraries, one a line; the status is 1 when\n"
         "                 there is none\n"
         "  --check        print each problem of the game's levels and cars, one a line:\n"
         "                 <level|car> <installed|uninstalled> <name>: <problem>; the status\n"
         "                 is 0 with none, 1 with some, 2 when the check could not run\n"
         "  --export-list  print the installed levels and cars with their fingerprints, a list\n"
         "                 to compare with; the status is 2 when it could not be made\n"
         "  --compare-list print how the installed items differ from LIST (missing, different,\n"
         "                 extra); the status is 0 when they agree, 1 when not, 2 when the\n"
         "                 comparison could not run\n"
         "  --pack         write the level or car NAME to the zip OUT.zip, laid out as the game\n"
         "                 folder, so that unpacking it into a game installs it\n"
         "  GAME           the game folder; by default the one the window would open: the\n"
         "                 start folder, or the one its Pitkit.ini names\n"
         "  -h, --help     print this help and end\n"
         "  --version      print the version and end\n"
         "\n"
         "The window also takes the options of its toolkit, Qt (such as -platform NAME).\n";
}

std::string versionText(const std::string& version) { return "Torvane Pit Kit " + version + "\n"; }

bool displayNamed(const std::vector<std::string>& arguments,
                  const std::function<const char*(const char*)>& variable) {
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
    if (arguments[i] == "-platform" || arguments[i] == "--platform") return true;
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = variable(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

std::string unknownOption(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments)
    if (argument.starts_with("--") && argument != "--" &&
        commandAction({argument}) == CommandAction::Window)
      return argument;
  return {};
}

}  // namespace pitkit
