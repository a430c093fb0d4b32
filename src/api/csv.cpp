#include <fstream>
#include <sstream>

#include "api/CsvLineReader.h"
#include "api/RegularFile.h"
#include "api/Tolmaren_basestation_api.h"

namespace {

constexpr std::size_t baseChainLength = 7414;
constexpr std::size_t testChainLength = 18;
constexpr std::size_t shankChainLengthType2 = 962;
constexpr std::size_t shankChainLengthType3 = 968;

} // namespace

void Tolmaren_basestation_api::writeChainToCsv(std::string file, std::vector<bool>& chain) {
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return;
    for (const bool bit : chain)
        out << (bit ? "1" : "0") << ",\n";
}

unsigned int Tolmaren_basestation_api::readChainFromCsv(std::string file,
                                                        std::vector<bool>& chain) {
    // A FIFO or device cannot be opened as a chain file; one too large for
    // any chain has the wrong length, found without reading it.
    RegularFile input(file);
    std::string text;
    if (!input.readAll(CsvLineReader::maxChainFileBytes, text))
        return input.status() == RegularFile::Status::TooLarge ? 2 : 1;
    std::istringstream in(std::move(text));
    chain.clear();
    CsvLineReader lines(in);
    std::string line;
    for (;;) {
        const CsvLineReader::Result result = lines.next(line);
        if (result == CsvLineReader::Result::End) return 0;
        // No chain file has such a line; reading on would hold it whole.
        if (result == CsvLineReader::Result::TooLong) return 2;
        // Only a cell of exactly "1" is a set bit; "0", " 1", "true" and an
        // empty cell all read as clear.
        chain.push_back(line.compare(0, line.find(','), "1") == 0);
    }
}

void Tolmaren_basestation_api::tolmaren_writeBaseConfigurationToCsv(std::string file) {
    std::vector<bool> chain;
    baseConfiguration.getChain(chain);
    writeChainToCsv(file, chain);
}

void Tolmaren_basestation_api::tolmaren_writeShankConfigurationToCsv(std::string file) {
    std::vector<bool> chain;
    shankConfiguration.getChain(chain);
    writeChainToCsv(file, chain);
}

void Tolmaren_basestation_api::tolmaren_writeTestConfigurationToCsv(std::string file) {
    std::vector<bool> chain;
    testConfiguration.getChain(chain);
    writeChainToCsv(file, chain);
}

unsigned int Tolmaren_basestation_api::tolmaren_readBaseConfigurationFromCsv(std::string file) {
    std::vector<bool> chain;
    if (const unsigned int status = readChainFromCsv(file, chain)) return status;
    if (chain.size() != baseChainLength) return 2;
    baseConfiguration.getBaseConfigFromChain(chain);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_readShankConfigurationFromCsv(std::string file) {
    std::vector<bool> chain;
    if (const unsigned int status = readChainFromCsv(file, chain)) return status;
    // Probe types 0 and 1 have no shank chain, so no length is wrong for them.
    const int type = asicId_.probeType;
    if ((type == 2 && chain.size() != shankChainLengthType2) ||
        (type == 3 && chain.size() != shankChainLengthType3))
        return 2;
    shankConfiguration.getShankConfigFromChain(chain);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_readTestConfigurationFromCsv(std::string file) {
    std::vector<bool> chain;
    if (const unsigned int status = readChainFromCsv(file, chain)) return status;
    if (chain.size() != testChainLength) return 2;
    testConfiguration.getTestConfigFromChain(chain);
    return 0;
}
