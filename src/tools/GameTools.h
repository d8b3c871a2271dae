#pragma once
// The game tools of the command line (--check, --export-list, --compare-list, --pack): each takes
// the operands after its option, writes its results to `out` and why it could not run to `err`,
// and returns the program's exit status. They need no display.
#include <cstdio>
#include <string>
#include <vector>

namespace pitkit {

struct PictureDecoders;

// pitkit --check [GAME]: 0 without problems, 1 with some, 2 when the check could not run. The
// pictures are tried with `decoders` (the window's, checkPictureDecoders in shell/CheckWindow.h).
int runCheckTool(const std::vector<std::string>& operands, std::FILE* out, std::FILE* err,
                 const PictureDecoders& decoders);
// pitkit --export-list [GAME]
int runExportListTool(const std::vector<std::string>& operands, std::FILE* out, std::FILE* err);
// pitkit --compare-list FILE [GAME]: 0 when the two agree, 1 when not.
int runCompareListTool(const std::vector<std::string>& operands, std::FILE* out, std::FILE* err);
// pitkit --pack <level|car> NAME OUT.zip [GAME]
int runPackTool(const std::vector<std::string>& operands, std::FILE* out, std::FILE* err);

// The game folder a tool works on, absolute: `operands[index]` when given, else the one a start in the
// working folder opens (the folder itself, or the one its preset file names). Raises an Exception
// (EInOutError) when the working folder is gone or its preset file cannot be read.
std::string toolGameFolder(const std::vector<std::string>& operands, std::size_t index);

}  // namespace pitkit
