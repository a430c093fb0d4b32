#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "api/CsvLineReader.h"
#include "api/CsvNumber.h"
#include "api/RegularFile.h"
#include "api/Tolmaren_basestation_api.h"

// The four calibration tables in CSV files. A table is a header line of
// column labels and one row per field: its label, then one cell per pair,
// ADC or electrode, each followed by a comma.

namespace {

constexpr unsigned int pairCount = 16;
constexpr unsigned int adcCount = 32;
constexpr double unitGain = 512;
constexpr unsigned short largestGainCorrection = 16383; // 14 bits in the EEPROM

using Cells = std::vector<std::string>;
// Takes the cells of row `row` (0 for the first after the header) into a
// copy of the member: 0 to go on, or the reader's code.
using RowReader = std::function<unsigned int(unsigned int row, const Cells& cells)>;

// Skips the header line whatever it holds and hands the next `rows` rows to
// `take`; later lines are ignored.
unsigned int readTableRows(const std::string& file, unsigned int rows, const RowReader& take) {
    // No more than the line reader can take of the header and the rows: a
    // line of maxLineLength characters and its line feed each. A FIFO or
    // device cannot be opened.
    RegularFile input(file);
    std::string text;
    if (!input.readStart((rows + 1) * (CsvLineReader::maxLineLength + 1), text)) return 1;
    std::istringstream in(std::move(text));
    CsvLineReader lines(in);
    std::string line;
    Cells cells;
    for (unsigned int row = 0; row <= rows; ++row) {
        if (lines.next(line) != CsvLineReader::Result::Line) return 2;
        if (row == 0) continue;
        CsvLineReader::split(line, cells);
        if (const unsigned int status = take(row - 1, cells)) return status;
    }
    return 0;
}

// A row of exactly `count` integer cells within 0 to `largest`, handed to
// `store` one at a time.
unsigned int readIntegerRow(const Cells& cells, unsigned int count, long long largest,
                            const std::function<void(unsigned int, uint8_t)>& store) {
    if (cells.size() != count) return 2;
    for (unsigned int i = 0; i < count; ++i) {
        long long value = 0;
        if (!CsvNumber::integer(cells[i], value) || value < 0 || value > largest) return 3;
        store(i, static_cast<uint8_t>(value));
    }
    return 0;
}

std::string pairLabel(unsigned int pair) {
    // Pair 2k joins ADCs 4k+1 and 4k+3 (counted from 1), pair 2k+1 joins
    // 4k+2 and 4k+4.
    const unsigned int first = 4 * (pair / 2) + pair % 2 + 1;
    return "ADC " + std::to_string(first) + " & " + std::to_string(first + 2);
}

void writePairHeader(std::ofstream& out) {
    out << ",";
    for (unsigned int p = 0; p < pairCount; ++p)
        out << pairLabel(p) << ",";
    out << std::endl;
}

template <typename Field>
void writePairRow(std::ofstream& out, const char* label, const std::vector<adcPairCommon>& pairs,
                  Field field) {
    out << label << ",";
    for (const adcPairCommon& pair : pairs)
        out << static_cast<unsigned int>(field(pair)) << ",";
    out << std::endl;
}

} // namespace

void Tolmaren_basestation_api::splitCsvLineIntoCells(std::string line,
                                                     std::vector<std::string>& cells) {
    CsvLineReader::split(line, cells);
}

void Tolmaren_basestation_api::addSlopeCalibrationValuesToFilestream(std::ofstream& out) {
    writePairHeader(out);
    const auto& pairs = adcPairCommonCalibration_;
    writePairRow(out, "Slope", pairs, [](const adcPairCommon& p) { return p.slope; });
    writePairRow(out, "Coarse", pairs, [](const adcPairCommon& p) { return p.coarse; });
    writePairRow(out, "Fine", pairs, [](const adcPairCommon& p) { return p.fine; });
}

void Tolmaren_basestation_api::addOffsetCalibrationValuesToFilestream(std::ofstream& out) {
    writePairHeader(out);
    writePairRow(out, "Cfix", adcPairCommonCalibration_,
                 [](const adcPairCommon& p) { return p.cfix; });
}

void Tolmaren_basestation_api::addComparatorCalibrationValuesToFilestream(std::ofstream& out) {
    out << ",";
    for (unsigned int a = 1; a <= adcCount; ++a)
        out << "ADC " << a << ",";
    out << std::endl << "CompP,";
    for (const adcComp& comp : adcCompCalibration_)
        out << static_cast<unsigned int>(comp.compP) << ",";
    out << std::endl << "CompN,";
    for (const adcComp& comp : adcCompCalibration_)
        out << static_cast<unsigned int>(comp.compN) << ",";
    out << std::endl;
}

void Tolmaren_basestation_api::addGainCalibrationValuesToFilestream(std::ofstream& out) {
    out << ",";
    for (std::size_t j = 1; j <= gainCorrectionCalibration_.size(); ++j)
        out << "Electrode " << j << ",";
    // Every correction over 512 is exact in at most eleven significant
    // digits; the stream's usual six would lose a count on reading back
    // (513 would be written 1.00195 and read as 512).
    const std::streamsize precision = out.precision(std::numeric_limits<double>::max_digits10);
    out << std::endl << "Gain Correction,";
    for (const unsigned short value : gainCorrectionCalibration_)
        out << value / unitGain << ",";
    out << std::endl;
    out.precision(precision);
}

void Tolmaren_basestation_api::tolmaren_writeADCSlopeCalibrationToCsv(std::string file) {
    if (adcPairCommonCalibration_.size() != pairCount) return;
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (out.is_open()) addSlopeCalibrationValuesToFilestream(out);
}

void Tolmaren_basestation_api::tolmaren_writeADCOffsetCalibrationToCsv(std::string file) {
    if (adcPairCommonCalibration_.size() != pairCount) return;
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (out.is_open()) addOffsetCalibrationValuesToFilestream(out);
}

void Tolmaren_basestation_api::tolmaren_writeComparatorCalibrationToCsv(std::string file) {
    if (adcCompCalibration_.size() != adcCount) return;
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (out.is_open()) addComparatorCalibrationValuesToFilestream(out);
}

void Tolmaren_basestation_api::tolmaren_writeGainCorrectionCalibrationToCsv(std::string file) {
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (out.is_open()) addGainCalibrationValuesToFilestream(out);
}

unsigned int Tolmaren_basestation_api::tolmaren_readADCSlopeCalibrationFromCsv(std::string file) {
    std::vector<adcPairCommon> pairs = adcPairCommonCalibration_;
    pairs.resize(pairCount);
    const unsigned int status = readTableRows(file, 3, [&](unsigned int row, const Cells& cells) {
        // Rows in order: slope (0 to 7), coarse, fine (0 to 3).
        return readIntegerRow(cells, pairCount, row == 0 ? 7 : 3, [&](unsigned int p, uint8_t v) {
            (row == 0 ? pairs[p].slope : row == 1 ? pairs[p].coarse : pairs[p].fine) = v;
        });
    });
    if (status == 0) adcPairCommonCalibration_ = std::move(pairs);
    return status;
}

unsigned int Tolmaren_basestation_api::tolmaren_readADCOffsetCalibrationFromCsv(std::string file) {
    std::vector<adcPairCommon> pairs = adcPairCommonCalibration_;
    pairs.resize(pairCount);
    const unsigned int status = readTableRows(file, 1, [&](unsigned int, const Cells& cells) {
        return readIntegerRow(cells, pairCount, 15,
                              [&](unsigned int p, uint8_t v) { pairs[p].cfix = v; });
    });
    if (status == 0) adcPairCommonCalibration_ = std::move(pairs);
    return status;
}

unsigned int Tolmaren_basestation_api::tolmaren_readComparatorCalibrationFromCsv(std::string file) {
    std::vector<adcComp> comps = adcCompCalibration_;
    comps.resize(adcCount);
    const unsigned int status = readTableRows(file, 2, [&](unsigned int row, const Cells& cells) {
        return readIntegerRow(cells, adcCount, 31, [&](unsigned int a, uint8_t v) {
            (row == 0 ? comps[a].compP : comps[a].compN) = v;
        });
    });
    if (status == 0) adcCompCalibration_ = std::move(comps);
    return status;
}

unsigned int Tolmaren_basestation_api::tolmaren_readGainCalibrationFromCsv(std::string file) {
    const std::size_t entries = gainCorrectionEntries();
    std::vector<unsigned short> gains = gainCorrectionCalibration_;
    gains.resize(entries);
    const unsigned int status = readTableRows(file, 1, [&](unsigned int, const Cells& cells) {
        if (cells.size() < entries) return 2u;
        for (std::size_t j = 0; j < entries; ++j) {
            double factor = 0;
            // A negative factor has no meaning as a gain.
            if (!CsvNumber::real(cells[j], factor) || factor < 0) return 3u;
            const double value = factor * unitGain;
            gains[j] = value > largestGainCorrection ? largestGainCorrection
                                                     : static_cast<unsigned short>(value);
        }
        return 0u;
    });
    if (status == 0) gainCorrectionCalibration_ = std::move(gains);
    return status;
}
