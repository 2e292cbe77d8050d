// Errors raised by the window half of the class library.
#pragma once

#include "classlib/runtime/exceptions.h"

// A picture (bitmap or PNG data) that cannot be read. The message says why.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// A form description that cannot be read or does not fit the form's
// classes. The message names the description, the line, the component and
// the property.
class EFormDescriptionError : public Exception {
public:
    using Exception::Exception;
};
