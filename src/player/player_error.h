#pragma once
// The failure of the style player: a style it cannot play, a chord it cannot read, a request it
// cannot carry out. The message is written for the user and names what was wrong.

#include <stdexcept>
#include <string>

namespace zephrane::player {

class PlayerError : public std::runtime_error {
  public:
    explicit PlayerError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zephrane::player
