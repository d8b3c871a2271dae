#pragma once
// The hidden temporary name under which a folder copy is built beside its destination:
// ".pitkit-partial-copy-<pid>-<10 letters or digits>", and the lock that marks such a folder as
// still being built. The sweep of leftover copies takes only folders nobody holds locked.
#include "platform/Posix.h"

#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace pitkit {

// A fresh temporary name for a copy made by this process (random: try it, and on a collision ask
// for another).
std::string newPartialCopyName();

// The process id in a temporary name of this form, or 0 when `name` is not one.
pid_t partialCopyOwner(std::string_view name);

// Opens the folder `name` of `parentFd` into `folder` and locks it (flock, exclusive, without
// waiting) for as long as `folder` stays open. Returns 0 when locked; EWOULDBLOCK when another
// open of it (any process, any machine sharing the folder) holds the lock; ENOLCK when the file
// system takes no locks (`folder` is open, unlocked); otherwise the error that kept it from being
// opened, ENOENT when `name` no longer names the folder that was locked (`folder` is then empty).
int lockPartialCopy(int parentFd, const std::string& name, UniqueFd& folder);

}  // namespace pitkit
