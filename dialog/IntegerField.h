#pragma once
// Reading an integer field of a dialog on confirm, with the framework's two messages.
#include <string>
#include <string_view>

struct IntegerField {
    int nControlId;
    int nMin;
    int nMax;
};

struct IntegerFieldResult {
    int nValue = 0;
    std::string Error;  // empty: the field holds a valid value
};

// Blanks around an optional sign and digits make an integer; anything else, an empty
// field included, is "Please enter an integer."; a value outside the bounds (however
// large) is "Please enter an integer between MIN and MAX.".
IntegerFieldResult ReadIntegerField(std::string_view text, int nMin, int nMax);
