#pragma once
// The hidden temporary name under which a folder copy is built beside its destination:
// ".pitkit-partial-copy-<pid>-<10 letters or digits>". The process id lets the sweep of leftover
// copies leave alone those that a running program is still making.
#include <sys/types.h>

#include <string>
#include <string_view>

namespace pitkit {

// A fresh temporary name for a copy made by this process (random: try it, and on a collision ask
// for another).
std::string newPartialCopyName();

// The process id in a temporary name of this form, or 0 when `name` is not one.
pid_t partialCopyOwner(std::string_view name);

}  // namespace pitkit
