#pragma once

#include <stdexcept>
#include <string>

namespace rnt {

// The one failure type of the add-on and its platform layers. A step that fails
// throws it with a message naming what failed and on what value; the engine
// decides per step whether to skip it and go on.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& what) : std::runtime_error(what) {}
};

// A failure of the company database itself rather than of one statement: the
// connection to the server lost, the file locked past the wait, read-only,
// full or damaged. A run that meets one cannot trust what it wrote.
class DatabaseUnavailable : public Error {
 public:
  using Error::Error;
};

}  // namespace rnt
