#pragma once

#include <string>

// A number in a cell of a calibration file: decimal notation after any
// leading blanks and an optional sign, read up to the first character that
// cannot belong to it ("12abc" is 12; an integer cell "3.5" is 3). A cell
// without a number where one must start (empty, "abc", "inf", "nan", a
// hexadecimal "0x1p3") is refused rather than read as 0, and so is a number
// beyond the type's range.
class CsvNumber {
public:
    static bool integer(const std::string& cell, long long& value);
    static bool real(const std::string& cell, double& value);
};
