#include "tolmaren_tools/EepromImage.h"

#include <fstream>

#include "recording/PendingFile.h"
#include "recording/StatusWords.h"
#include "recording/ToolError.h"

namespace tolmaren_tools {

using tolmaren_recording::PendingFile;
using tolmaren_recording::StatusWords;
using tolmaren_recording::ToolError;

std::vector<unsigned char> EepromImage::read(Tolmaren_basestation_api& api) {
    std::vector<unsigned char> image(bytes);
    for (unsigned int address = 0; address < bytes; ++address)
        StatusWords::check("tolmaren_readEeprom",
                           api.tolmaren_readEeprom(static_cast<short>(address), image[address]));
    return image;
}

void EepromImage::save(const std::vector<unsigned char>& image, const std::string& path) {
    PendingFile file(path);
    std::ofstream out(file.temporaryPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) throw ToolError("cannot write " + file.temporaryPath());
    file.commit();
}

} // namespace tolmaren_tools
