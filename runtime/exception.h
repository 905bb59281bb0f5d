// The general exception class of the system: every unit's exception derives from it and carries
// only its message text. Handlers at the top of a user-level step catch this base class.
#pragma once

#include <exception>
#include <string>

namespace vornix {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

}  // namespace vornix
