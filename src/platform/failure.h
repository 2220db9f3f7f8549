#pragma once

#include <stdexcept>
#include <string>

namespace rw {

// A failed statement: the description is what the error report shows. The automation layer, the
// checked integer helpers and our own file routines all throw this (or something derived from it).
class Failure : public std::runtime_error {
  public:
    explicit Failure(const std::string& description) : std::runtime_error(description) {}
    std::string description() const { return what(); }
};

}  // namespace rw
