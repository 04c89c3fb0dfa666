#pragma once

#include <stdexcept>
#include <string>

// The one kind of failure that reaches the user: its message is what the error box shows.
class Exception : public std::runtime_error
{
public:
    explicit Exception(const std::string &Message) : std::runtime_error(Message) {}

    std::string Message() const { return what(); }
};
