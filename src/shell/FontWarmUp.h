#pragma once
// Loading the system's font configuration is the largest single cost of drawing the first text,
// and the toolkit only does it when a font is first used. Started at the top of main(), it runs
// on a second core while the application object is being set up, and the toolkit finds it done.
#include <thread>

namespace pitkit {

class FontConfigWarmUp {
 public:
  // Starts loading the configuration where the font library is part of the process (a no-op
  // elsewhere).
  FontConfigWarmUp();
  ~FontConfigWarmUp();
  FontConfigWarmUp(const FontConfigWarmUp&) = delete;
  FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;

  // Waits until the configuration is loaded.
  void wait();

 private:
  std::thread thread_;
};

}  // namespace pitkit
