#include "platform/ProgramStart.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <csignal>
#endif

namespace pitkit {

#ifdef _WIN32

namespace {
std::string utf8Of(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}
}  // namespace

std::vector<std::string> programArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(utf8Of(wide[i]));
  LocalFree(wide);
  return arguments;
}

bool desktopAlwaysThere() { return true; }

void keepWritesPastSizeLimitFromEndingProgram() {}

#else

std::vector<std::string> programArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool desktopAlwaysThere() { return false; }

void keepWritesPastSizeLimitFromEndingProgram() { std::signal(SIGXFSZ, SIG_IGN); }

#endif

}  // namespace pitkit
