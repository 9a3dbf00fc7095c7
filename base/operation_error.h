#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// The one error type that operations throw; the front ends catch it around every handler
// and show its message in the default error report.
class OperationError : public std::runtime_error {
 public:
  explicit OperationError(std::u16string message)
      : std::runtime_error("operation failed"), message_(std::move(message)) {}
  const std::u16string& Message() const { return message_; }

 private:
  std::u16string message_;
};

// The text of the default error report: the message with a full stop added when the code of
// its last character is greater than that of ".".
std::u16string ErrorReportText(std::u16string_view message);

// The message for a file that could not be created, naming it and the system's reason.
std::u16string CreateFileErrorMessage(std::u16string_view path, std::u16string_view reason);
