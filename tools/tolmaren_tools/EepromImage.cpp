#include "tolmaren_tools/EepromImage.h"

#include "recording/PendingFile.h"
#include "recording/StatusWords.h"

namespace tolmaren_tools {

using tolmaren_recording::PendingFile;
using tolmaren_recording::StatusWords;

std::vector<unsigned char> EepromImage::read(Tolmaren_basestation_api& api) {
    std::vector<unsigned char> image(bytes);
    for (unsigned int address = 0; address < bytes; ++address)
        StatusWords::check("tolmaren_readEeprom",
                           api.tolmaren_readEeprom(static_cast<short>(address), image[address]));
    return image;
}

void EepromImage::save(const std::vector<unsigned char>& image, const std::string& path) {
    PendingFile file(path);
    file.file().append(image.data(), image.size());
    file.commit();
}

} // namespace tolmaren_tools
