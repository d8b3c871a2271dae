#pragma once
// Runs another program of the build and waits for it, without a shell between (so no quoting
// differs between systems), its standard output thrown away.
#include <string>
#include <vector>

namespace pitkit::test {

// The program `builtPath` names, as this test can start it: on Linux the path itself; on Windows
// the program of that file name beside the running test (the build's paths are the build
// machine's, and every program of the build lies in one folder).
std::string programOfBuild(const std::string& builtPath);

// Runs `program` with `arguments` and waits: its exit code, or -1 when it could not be started.
int runProgram(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace pitkit::test
