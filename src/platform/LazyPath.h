#pragma once
// A path that only an error message or the progress window may need, made the first time it is
// asked for. A walk's paths cost the depth of the folder: made for every entry of a deep tree,
// they would cost the square of its depth. Making one allocates nothing until it is asked for.
#include <cstddef>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

namespace pitkit {

class LazyPath {
 public:
  // A path already made (it must outlive this).
  LazyPath(const std::string& path) : given_(&path) {}
  // A path `make()` makes when first asked for: a small lambda, kept here by value.
  template <class Make>
    requires std::is_invocable_r_v<std::string, const Make&>
  explicit LazyPath(Make make) : call_(&callStored<Make>) {
    static_assert(sizeof(Make) <= sizeof(stored_) && alignof(Make) <= alignof(std::max_align_t) &&
                      std::is_trivially_copyable_v<Make> && std::is_trivially_destructible_v<Make>,
                  "a LazyPath keeps only small lambdas that capture by reference");
    ::new (static_cast<void*>(stored_)) Make(std::move(make));
  }
  LazyPath(const LazyPath&) = delete;
  LazyPath& operator=(const LazyPath&) = delete;

  const std::string& str() const {
    if (given_ != nullptr) return *given_;
    if (call_ != nullptr) value_ = std::exchange(call_, nullptr)(stored_);
    return value_;
  }

 private:
  template <class Make>
  static std::string callStored(const unsigned char* stored) {
    return (*std::launder(reinterpret_cast<const Make*>(stored)))();
  }

  const std::string* given_ = nullptr;
  mutable std::string (*call_)(const unsigned char*) = nullptr;
  alignas(std::max_align_t) unsigned char stored_[4 * sizeof(void*)] = {};
  mutable std::string value_;
};

}  // namespace pitkit
