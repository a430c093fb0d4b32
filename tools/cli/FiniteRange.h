#pragma once

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdlib>

// CLI::Range for a number of seconds: "nan" compares false with both bounds
// and would pass CLI::Range alone. Text that is no number is left to the
// option's conversion to refuse.
class FiniteRange : public CLI::Validator {
public:
    FiniteRange(double lowest, double highest) : CLI::Validator("NUMBER") {
        const CLI::Range range(lowest, highest);
        description(range.get_description());
        func_ = [range](std::string& text) {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            if (end != text.c_str() && std::isnan(value)) return text + " is not a number";
            return range(text);
        };
    }
};
