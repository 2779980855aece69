// The one result type of the library's engines and drivers at their
// boundaries: ok, or a code with the text that tells the user what failed.
// A function that gives a Status must have it looked at ([[nodiscard]]); the
// caller decides what a failure means, and only a program's main ends the
// process.
#pragma once

#include <string>
#include <utility>

namespace qv {

class [[nodiscard]] Status {
 public:
  Status() = default;  // ok
  static Status failure(int code, std::string text) { return Status(code, std::move(text)); }

  bool ok() const { return code_ == 0; }
  // 0 when ok; otherwise the failing layer's own code (a storage Err, an
  // engine code of the DBF driver, an engine's result).
  int code() const { return code_; }
  const std::string& text() const { return text_; }

 private:
  Status(int code, std::string text) : code_(code == 0 ? -1 : code), text_(std::move(text)) {}
  int code_ = 0;
  std::string text_;
};

}  // namespace qv
