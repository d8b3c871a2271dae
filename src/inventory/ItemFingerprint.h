#pragma once
// The fingerprint of a level or car: the hexadecimal SHA-256 of its folder's regular files, taken
// in the order of their relative paths compared as ASCII capitals. Each file contributes its
// relative path ('/' separated, in ASCII capitals), a NUL byte, its size as 8 bytes little-endian,
// and its bytes. Letter case and the order of the disk leave it as it is; links, special files and
// what lies on another file system are left out. (The README gives the same definition.)
#include <string>
#include <vector>

namespace pitkit {

struct TransferProgress;

// Whether the relative path `a` comes before `b` in a fingerprint: compared as ASCII capitals,
// paths equal so (names only the letter case of which differs) by their bytes.
bool fingerprintOrder(const std::string& a, const std::string& b);

// The regular files below `folder` by their relative paths, in fingerprint order. Raises EOSError
// naming the folder that cannot be read.
std::vector<std::string> fingerprintFiles(const std::string& folder);

// The fingerprint of the item in `folder`. Raises EOSError naming the file or folder that cannot
// be read (never a silent skip), also one that changed while it was read.
std::string itemFingerprint(const std::string& folder);

// The fingerprints of `folders`, in their order, worked out on up to `threads` workers (0: one per
// processor, 8 at the most). The first folder's error in that order is raised once all workers have ended. With
// `progress`, its entries count the folders done of its totalEntries and its current item names a
// folder in hand; a cancel asked for there raises ETransferCancelled.
std::vector<std::string> itemFingerprints(const std::vector<std::string>& folders, TransferProgress* progress = nullptr,
                                          unsigned threads = 0);

}  // namespace pitkit
