#pragma once
// The two failures that operations raise and the window's error boundary
// reports. Qt-free, so the pure code can raise them too.

#include <stdexcept>
#include <string>

// A display text that does not convert while the displays are read back; the
// message names the text.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A zero divisor, 0/0, an overflow or an invalid operation in a calculation.
class ArithmeticError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
