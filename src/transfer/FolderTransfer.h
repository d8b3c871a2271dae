#pragma once
// The organizers' folder transfers in one include: move (Install, Uninstall), copy, delete, the
// sweep of leftover copies, the path checks, and the path helpers they rest on.
#include "transfer/FolderCopy.h"
#include "transfer/FolderDelete.h"
#include "transfer/FolderMove.h"
#include "transfer/TransferPath.h"
#include "transfer/TransferProgress.h"
#include "platform/Paths.h"
