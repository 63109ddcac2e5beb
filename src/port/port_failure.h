#pragma once

#include <stdexcept>
#include <string>

// A failure of a serial-port member: a number and the system's own description
// text, which travels unchanged to the box that shows it.
class PortFailure : public std::runtime_error {
  public:
    PortFailure(int number, const std::string& description);

    int Number() const { return number_; }
    const std::string& Description() const { return description_; }

  private:
    int number_;
    std::string description_;
};
