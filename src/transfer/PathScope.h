#pragma once
// The path of the entry a tree walk is at, for its error messages.
#include <cstddef>
#include <string>

#include "platform/Paths.h"

namespace pitkit {

// Appends one name to a walk's path for as long as the walk is inside that entry, and takes it off
// again on the way out.
class PathScope {
 public:
  PathScope(std::string& path, const char* name) : path_(path), length_(path.size()) {
    path_.push_back(PathDelim);
    path_.append(name);
  }
  ~PathScope() { path_.resize(length_); }
  PathScope(const PathScope&) = delete;
  PathScope& operator=(const PathScope&) = delete;

 private:
  std::string& path_;
  std::size_t length_;
};

}  // namespace pitkit
