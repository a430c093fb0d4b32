#pragma once

#include <string>
#include <vector>

#include "cli/StretchBins.h"

// A PNG picture of a stretch of recording: every channel over time as a
// colour map of the AP band, and below it the traces of the few channels
// with the largest excursions.
class RecordingPicture {
public:
    struct Labels {
        std::string title;
        double startSeconds = 0;
        double seconds = 0;
    };

    // Throws ToolError when the file cannot be written.
    static void draw(const StretchBins& bins, const Labels& labels, unsigned int traces,
                     const std::string& pngPath);
};
