#pragma once

#include <stdexcept>

namespace nfe {

// A value of a file that does not convert to the type its field needs (a
// price, an origin code). The text is the conversion's own, naming the value.
class ValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace nfe
