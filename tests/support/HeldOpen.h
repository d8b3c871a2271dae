#pragma once
// A file held open by another program that shares it with no one, as an editor or a virus
// scanner may hold it on Windows: opening it again, renaming or deleting it fails with a sharing
// violation there. On Linux an open file stops nothing, and no such hold can be made.
#include <string>

namespace pitkit::test {

class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path);
  ~HeldOpen();
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  // Whether the file is held (false on Linux, or when it could not be opened).
  bool held() const { return handle_ != nullptr; }
  void release();

 private:
  void* handle_ = nullptr;
};

}  // namespace pitkit::test
