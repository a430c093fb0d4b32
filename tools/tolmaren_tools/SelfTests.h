#pragma once

#include <string>
#include <vector>

#include "api/Tolmaren_basestation_api.h"

namespace tolmaren_tools {

// The basestation's built-in self tests 4 to 9 run through the facade, each
// with a verdict, the text the library leaves on the basestation's display
// for that outcome (the display cannot be read back) and what it measured.
class SelfTests {
public:
    struct Settings {
        unsigned int toggles = 1;   // heartbeat toggles of test 5, one second each
        double seconds = 1;         // how long tests 6 to 9 run before their results are read
        unsigned int selection = 0; // pattern selection of test 8 (0 to 3)
    };

    struct Outcome {
        std::string name; // "4" ... "7", "8a", "8b", "9a", "9b"
        bool passed;
        std::string display;
        std::string detail;
    };

    // Runs test 4 to 9 (8 and 9 in both variants); throws ToolError for any
    // other number. Test 4 stops the probe; it is put back into recording
    // after it, as the tests after it expect.
    static std::vector<Outcome> run(Tolmaren_basestation_api& api, unsigned int test,
                                    const Settings& settings);
};

} // namespace tolmaren_tools
