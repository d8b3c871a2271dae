// Processes, threads, resources, libraries, character sets and locales on Win32.
#include <cctype>
#include <cstring>
#include <string>

#include "platform/win32/Win32Path.h"

using namespace pitkit::win32;

int kill(int pid, int sig) {
  if (sig != 0) return failErrno(EINVAL);  // only the test for a live process is used
  const HANDLE process =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return failErrno(GetLastError() == ERROR_ACCESS_DENIED ? EPERM : ESRCH);
  DWORD code = 0;
  const BOOL ok = GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return ok && code != STILL_ACTIVE ? failErrno(ESRCH) : 0;
}

int gettid() { return static_cast<int>(GetCurrentThreadId()); }

// Thread priorities from nice values: only the threads of this process are ever asked about.
int getpriority(int, id_t) { return 0; }

int setpriority(int, id_t who, int value) {
  const int priority = value <= -10 ? THREAD_PRIORITY_HIGHEST
                       : value < 0  ? THREAD_PRIORITY_ABOVE_NORMAL
                       : value == 0 ? THREAD_PRIORITY_NORMAL
                       : value < 10 ? THREAD_PRIORITY_BELOW_NORMAL
                                    : THREAD_PRIORITY_LOWEST;
  const HANDLE thread =
      who == 0 ? GetCurrentThread() : OpenThread(THREAD_SET_INFORMATION, FALSE, who);
  if (thread == nullptr) return failErrno(ESRCH);
  const BOOL ok = SetThreadPriority(thread, priority);
  if (who != 0) CloseHandle(thread);
  return ok ? 0 : fail();
}

// The runtime's table of descriptors holds 2048 by default.
int getrlimit(int resource, struct rlimit* limit) {
  if (resource != RLIMIT_NOFILE) return failErrno(EINVAL);
  limit->rlim_cur = limit->rlim_max = 2048;
  return 0;
}
int setrlimit(int resource, const struct rlimit* limit) {
  return resource == RLIMIT_NOFILE && limit->rlim_cur <= 2048 ? 0 : failErrno(EINVAL);
}

// Blocks read and written, counted from the process's input and output bytes.
int getrusage(int, struct rusage* usage) {
  IO_COUNTERS io{};
  if (!GetProcessIoCounters(GetCurrentProcess(), &io)) return fail();
  usage->ru_inblock = static_cast<long>(io.ReadTransferCount / 512);
  usage->ru_oublock = static_cast<long>(io.WriteTransferCount / 512);
  return 0;
}

struct tm* localtime_r(const time_t* t, struct tm* out) {
  return localtime_s(out, t) == 0 ? out : nullptr;
}

void* memmem(const void* haystack, size_t haystackLen, const void* needle, size_t needleLen) {
  if (needleLen == 0) return const_cast<void*>(haystack);
  const auto* h = static_cast<const unsigned char*>(haystack);
  const auto* n = static_cast<const unsigned char*>(needle);
  for (size_t i = 0; i + needleLen <= haystackLen; ++i) {
    const void* at = std::memchr(h + i, n[0], haystackLen - needleLen + 1 - i);
    if (at == nullptr) return nullptr;
    i = static_cast<size_t>(static_cast<const unsigned char*>(at) - h);
    if (std::memcmp(h + i, n, needleLen) == 0) return const_cast<unsigned char*>(h + i);
  }
  return nullptr;
}

// ---- Libraries. --------------------------------------------------------------------------------

namespace {
thread_local std::string lastLibraryError;
thread_local bool libraryErrorPending = false;

void noteLibraryError(const std::string& what) {
  char* text = nullptr;
  const DWORD error = GetLastError();
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  lastLibraryError = what + ": " + (text != nullptr ? text : "error " + std::to_string(error));
  if (text != nullptr) LocalFree(text);
  while (!lastLibraryError.empty() &&
         std::isspace(static_cast<unsigned char>(lastLibraryError.back())))
    lastLibraryError.pop_back();
  libraryErrorPending = true;
}
}  // namespace

void* dlopen(const char* file, int) {
  const HMODULE module = LoadLibraryExW(widen(file).c_str(), nullptr, 0);
  if (module == nullptr) noteLibraryError(file);
  return reinterpret_cast<void*>(module);
}

void* dlsym(void* handle, const char* name) {
  const FARPROC proc = GetProcAddress(static_cast<HMODULE>(handle), name);
  if (proc == nullptr) noteLibraryError(name);
  return reinterpret_cast<void*>(proc);
}

int dlclose(void* handle) { return FreeLibrary(static_cast<HMODULE>(handle)) ? 0 : -1; }

char* dlerror() {
  if (!libraryErrorPending) return nullptr;
  libraryErrorPending = false;
  return lastLibraryError.data();
}

// ---- Character sets by code page. --------------------------------------------------------------

struct pitkit_iconv {
  UINT from;
  UINT to;
};

namespace {
UINT codePageOf(const char* name) {
  std::string n;
  for (const char* p = name; *p != '\0'; ++p)
    if (*p != '-' && *p != '_')
      n += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  if (n == "UTF8") return CP_UTF8;
  if (n.rfind("CP", 0) == 0 && n.size() > 2) return static_cast<UINT>(std::stoul(n.substr(2)));
  if (n.rfind("WINDOWS", 0) == 0 && n.size() > 7) return static_cast<UINT>(std::stoul(n.substr(7)));
  if (n == "IBM437") return 437;
  if (n == "ISO88591" || n == "LATIN1") return 28591;
  if (n == "ASCII" || n == "USASCII") return 20127;
  return 0;
}
}  // namespace

iconv_t iconv_open(const char* to, const char* from) {
  const UINT toPage = codePageOf(to), fromPage = codePageOf(from);
  if (toPage == 0 || fromPage == 0 || !IsValidCodePage(toPage) || !IsValidCodePage(fromPage)) {
    errno = EINVAL;
    return reinterpret_cast<iconv_t>(-1);
  }
  return new pitkit_iconv{fromPage, toPage};
}

// Converts the whole input at once (its callers hand over whole names): E2BIG when the output
// does not hold it, EILSEQ for bytes the source code page does not have; nothing is taken then.
size_t iconv(iconv_t cd, char** in, size_t* inLeft, char** out, size_t* outLeft) {
  if (in == nullptr || *in == nullptr || *inLeft == 0) return 0;
  const int inSize = static_cast<int>(*inLeft);
  const DWORD strict = cd->from == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
  const int wideSize = MultiByteToWideChar(cd->from, strict, *in, inSize, nullptr, 0);
  if (wideSize == 0) return static_cast<size_t>(failErrno(EILSEQ));
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  MultiByteToWideChar(cd->from, strict, *in, inSize, wide.data(), wideSize);
  BOOL lost = FALSE;
  BOOL* lostFlag = cd->to == CP_UTF8 ? nullptr : &lost;
  const int outSize =
      WideCharToMultiByte(cd->to, 0, wide.data(), wideSize, nullptr, 0, nullptr, lostFlag);
  if (outSize == 0 || lost) return static_cast<size_t>(failErrno(EILSEQ));
  if (static_cast<size_t>(outSize) > *outLeft) return static_cast<size_t>(failErrno(E2BIG));
  WideCharToMultiByte(cd->to, 0, wide.data(), wideSize, *out, outSize, nullptr, nullptr);
  *in += *inLeft;
  *inLeft = 0;
  *out += outSize;
  *outLeft -= static_cast<size_t>(outSize);
  return 0;
}

int iconv_close(iconv_t cd) {
  delete cd;
  return 0;
}

// ---- Locales. The only one asked for is the C locale in UTF-8, for the archive library's names;
// Windows converts names by code page, not by locale, so the locale is a token. -----------------

struct pitkit_locale {};

locale_t newlocale(int, const char*, locale_t base) {
  static pitkit_locale utf8;
  (void)base;
  return &utf8;
}

locale_t uselocale(locale_t locale) {
  static thread_local locale_t current = LC_GLOBAL_LOCALE;
  const locale_t previous = current;
  if (locale != nullptr) current = locale;
  return previous;
}

void freelocale(locale_t) {}
