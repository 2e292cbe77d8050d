// Errors raised by the window half of the class library.
#pragma once

#include <stdexcept>
#include <string>

// A picture (bitmap or PNG data) that cannot be read. The message says why.
class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A form description that cannot be read or does not fit the form's
// classes. The message names the form, the component and the property.
class EFormDescriptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
