#pragma once
// Trees deeper than any stack and what a walk of one costs: a chain of nested folders built and
// removed through descriptors (its paths exceed PATH_MAX), the peak memory, open descriptors and
// threads of this process, and a thread with a small stack to run the walk on. Free of Qt and of
// the test frameworks.
#include <cstddef>
#include <functional>
#include <string>

namespace pitkit::test {

// `depth` nested folders "d" below `top` (made with its missing parents), and at the bottom, when
// `bottomFile` is not empty, a file of that name holding "bottom". False when a step failed.
bool makeDeepChain(const std::string& top, int depth, const std::string& bottomFile = "");
// Removes a chain made by makeDeepChain (or its copy) with its bottom file; returns the depth it
// found.
int removeDeepChain(const std::string& top, const std::string& bottomFile = "");

// The peak resident memory of this process in KiB (VmHWM), -1 when it cannot be read.
long peakMemoryKiB();
// Sets the peak back to the memory in use now, so that a later peak measures what came since.
void resetPeakMemory();

// The descriptors this process holds open, and its threads.
std::size_t openDescriptorCount();
std::size_t threadCount();

// Runs `work` on a thread with a stack of `stackBytes`, as a worker of the window may have, and
// waits for it; an exception of `work` is raised again here.
void onSmallStack(const std::function<void()>& work, std::size_t stackBytes = 256 * 1024);

}  // namespace pitkit::test
