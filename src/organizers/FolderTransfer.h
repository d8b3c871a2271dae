#pragma once
// The organizers' folder transfers in one include: move (Install, Uninstall), copy, delete, the
// sweep of leftover copies, the path checks, and the path helpers they rest on.
#include "organizers/FolderCopy.h"
#include "organizers/FolderDelete.h"
#include "organizers/FolderMove.h"
#include "organizers/TransferPath.h"
#include "organizers/TransferProgress.h"
#include "platform/Paths.h"
