#pragma once
// The exception of the suite: one English message text, thrown by value and
// caught by reference. A handler that wants to record where the error passed
// catches it, calls AddFunction and throws the same object on.

#include <string>
#include <utility>

class LwError
{
public:
    LwError() = default;
    LwError(std::string message) : message_(std::move(message)) {}
    LwError(const char* message) : message_(message ? message : "") {}

    // The message becomes "<old message>/<context>" (an empty context still
    // adds the separator).
    void AddFunction(const std::string& context);

    const std::string& Message() const { return message_; }
    const char* what() const { return message_.c_str(); }

private:
    std::string message_;
};
