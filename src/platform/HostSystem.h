#pragma once
// Small services of the operating system the windows use, each with its Linux and its Windows side:
// a thread's priority, a file's size, the font library's early start, the user a local socket's
// other end runs as.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace pitkit {

// Puts the calling thread below the process's other threads: on Linux its nice value `steps`
// above the process's (at most 19), on Windows the priority below normal. A refusal is ignored.
void lowerThisThreadPriority(int steps);

// The size of the file `path` names (links followed); nullopt when it cannot be looked at.
std::optional<std::uint64_t> fileSizeOf(const std::string& path);

// Loads the system's font configuration when run, where the font library is already part of the
// process (Linux's fontconfig, looked up and never loaded); empty where there is none (Windows has
// no such library). The function holds the library until it is destroyed, run or not.
std::function<void()> fontConfigLoader();

// Makes a write past the file-size limit fail with an error the program reports, instead of the
// signal that would end it (Linux's SIGXFSZ; Windows has no such signal).
void ignoreFileSizeSignal();

// Whether the window system is always there, so that no display needs naming (Windows); on Linux
// a display is named by the environment or the command line.
bool displayIsImplicit();

// Names this user among the users of the machine, for names only the user's own processes use: the
// effective user id on Linux, the user's security identifier (S-1-5-21-...) on Windows.
std::string localUserId();

// Whether the process at the other end of a local socket (a Unix socket's descriptor on Linux, a
// named pipe's handle on Windows) runs as this user.
bool localPeerIsThisUser(std::intptr_t descriptor);

}  // namespace pitkit
