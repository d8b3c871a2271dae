#pragma once
// The message of the error an action raises, for comparing it with the text the user is shown.
// Free of Qt and of the test frameworks, so every test uses it.
#include <exception>
#include <functional>
#include <string>

namespace pitkit::test {

// The what() of the `Error` that `action` raises, or `none` when it raises nothing; an error of
// another kind passes through (the test fails on it).
template <class Error = std::exception>
std::string errorOf(const std::function<void()>& action, const std::string& none = "") {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return none;
}

}  // namespace pitkit::test
