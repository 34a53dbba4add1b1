// SPDX-License-Identifier: MIT
// The errors of reading a MIF/MID pair: a .mif that breaks its format, and a .mid value that
// its field does not take.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "shape/errors.hpp"

namespace varnelo {

// A MIF source that ends inside an object or declares counts it cannot hold.
class EMifFormatError : public Exception {
  public:
    using Exception::Exception;
};

// A .mid value that its field does not take. The message names the field and the value;
// MidLine is the .mid line the value stands on, the failure's place (0 when the row came from
// elsewhere).
class EMidValueError : public EConvertError {
  public:
    EMidValueError(const std::string& message, std::int64_t midLine)
        : EConvertError(message), midLine_(midLine) {}
    std::int64_t MidLine() const noexcept { return midLine_; }

  private:
    std::int64_t midLine_;
};

}  // namespace varnelo
