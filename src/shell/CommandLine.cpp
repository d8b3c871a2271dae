#include "shell/CommandLine.h"

namespace pitkit {

CommandAction commandAction(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") return CommandAction::Help;
    if (argument == "--version") return CommandAction::Version;
    if (argument == "--find-games") return CommandAction::FindGames;
  }
  return CommandAction::Window;
}

std::string usageText() {
  return "Usage: pitkit [FILE...]\n"
         "       pitkit --find-games | --help | --version\n"
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
