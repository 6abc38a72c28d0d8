// The one exception every failure inside the transcoding engine raises.
#pragma once

#include <stdexcept>
#include <string>

class FFmpegException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
