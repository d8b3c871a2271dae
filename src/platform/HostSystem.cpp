#include "platform/HostSystem.h"

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>

#include "platform/win32/WideNames.h"
#else
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <memory>
#include <vector>

namespace pitkit {

#ifdef _WIN32

void lowerThisThreadPriority(int) { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

std::optional<std::uint64_t> fileSizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(win32::widePath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::function<void()> fontConfigLoader() { return {}; }

void ignoreFileSizeSignal() {}

bool displayIsImplicit() { return true; }

namespace {

// The user a process runs as, copied out of its token; empty when its token cannot be read.
std::vector<unsigned char> userOfProcess(HANDLE process) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  const bool read = size != 0 && ::GetTokenInformation(token, TokenUser, user.data(), size, &size);
  ::CloseHandle(token);
  if (!read) return {};
  const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
  std::vector<unsigned char> copy(::GetLengthSid(sid));
  if (!::CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid)) return {};
  return copy;
}

}  // namespace

std::string localUserId() {
  const std::vector<unsigned char> user = userOfProcess(::GetCurrentProcess());
  wchar_t* text = nullptr;
  if (user.empty() || !::ConvertSidToStringSidW(const_cast<unsigned char*>(user.data()), &text)) return "unknown";
  const std::string id = win32::utf8Text(text);
  ::LocalFree(text);
  return id;
}

bool localPeerIsThisUser(std::intptr_t descriptor) {
  const HANDLE pipe = reinterpret_cast<HANDLE>(descriptor);
  if (descriptor == -1 || pipe == nullptr) return false;
  // The other end is whichever of the two processes is not this one (both, when it talks to itself).
  ULONG server = 0, client = 0;
  const DWORD self = ::GetCurrentProcessId();
  if (!::GetNamedPipeServerProcessId(pipe, &server) || !::GetNamedPipeClientProcessId(pipe, &client)) return false;
  const DWORD peer = server != self ? server : client;
  const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, peer);
  if (process == nullptr) return false;
  const std::vector<unsigned char> theirs = userOfProcess(process);
  ::CloseHandle(process);
  const std::vector<unsigned char> ours = userOfProcess(::GetCurrentProcess());
  return !theirs.empty() && theirs == ours;
}

#else

void lowerThisThreadPriority(int steps) {
  errno = 0;
  const int processNice = ::getpriority(PRIO_PROCESS, 0);
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), std::min((errno == 0 ? processNice : 0) + steps, 19));
}

std::optional<std::uint64_t> fileSizeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::function<void()> fontConfigLoader() {
  // The toolkit links the font library already; it is looked up, never loaded, so nothing new
  // enters the process. Its initialisation may run concurrently with the toolkit's own.
  void* handle = ::dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr) return {};
  const std::shared_ptr<void> library(handle, [](void* h) { ::dlclose(h); });
  using InitFunction = int (*)();
  auto init = reinterpret_cast<InitFunction>(::dlsym(handle, "FcInit"));
  if (init == nullptr) return {};
  return [library, init] { init(); };
}

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

bool displayIsImplicit() { return false; }

std::string localUserId() { return std::to_string(::geteuid()); }

bool localPeerIsThisUser(std::intptr_t descriptor) {
  struct ucred peer {};
  socklen_t size = sizeof peer;
  return descriptor >= 0 &&
         ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
         peer.uid == ::geteuid();
}

#endif

}  // namespace pitkit
