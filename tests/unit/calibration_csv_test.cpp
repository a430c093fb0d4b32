// Calibration tables and reports in CSV files: their layouts, what the
// readers take and refuse, and that a refused file changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "common/FastCalibrationApi.h"
#include "common/ScopedWorkDir.h"

namespace {

// `count` cells of `value`, each followed by a comma.
std::string cells(unsigned int count, const std::string& value) {
    std::string text;
    for (unsigned int i = 0; i < count; ++i)
        text += value + ",";
    return text;
}

std::string row(const std::string& label, unsigned int count, const std::string& value) {
    return label + "," + cells(count, value) + "\n";
}

// Pair 2k joins ADCs 4k+1 and 4k+3 (counted from 1), pair 2k+1 4k+2 and 4k+4.
std::string header(bool pairs) {
    std::string text = ",";
    for (int a = 1; a <= 32; ++a)
        if (!pairs)
            text += "ADC " + std::to_string(a) + ",";
        else if ((a - 1) % 4 < 2)
            text += "ADC " + std::to_string(a) + " & " + std::to_string(a + 2) + ",";
    return text + "\n";
}

std::string slopeFile(const std::string& slope, const std::string& coarse, const std::string& fine,
                      unsigned int slopes = 16) {
    return header(true) + row("Slope", slopes, slope) + row("Coarse", 16, coarse) +
           row("Fine", 16, fine);
}

void write(const std::string& file, const std::string& text) {
    std::ofstream(file) << text;
}

} // namespace

TEST(CalibrationCsv, TablesAndReportsHaveTheirLayouts) {
    ScopedWorkDir dir;
    FastCalibrationApi api;
    api.adcPairCommonCalibration_.assign(16, {5, 3, 2, 9}); // slope, fine, coarse, cfix
    api.adcCompCalibration_.assign(32, {10, 22});
    api.gainCorrectionCalibration_ = {512, 768};
    api.tolmaren_writeADCSlopeCalibrationToCsv("slope.csv");
    api.tolmaren_writeADCOffsetCalibrationToCsv("offset.csv");
    api.tolmaren_writeComparatorCalibrationToCsv("comparator.csv");
    api.tolmaren_writeGainCorrectionCalibrationToCsv("gain.csv");
    const std::string comparators = header(false) + row("CompP", 32, "10") + row("CompN", 32, "22");
    EXPECT_EQ(dir.readFile("slope.csv"), slopeFile("5", "2", "3"));
    EXPECT_EQ(dir.readFile("offset.csv"), header(true) + row("Cfix", 16, "9"));
    EXPECT_EQ(dir.readFile("comparator.csv"), comparators);
    EXPECT_EQ(dir.readFile("gain.csv"), ",Electrode 1,Electrode 2,\nGain Correction,1,1.5,\n");

    float slopes[32];
    std::fill(std::begin(slopes), std::end(slopes), 1.25f);
    double shares[32];
    std::fill(std::begin(shares), std::end(shares), 0.49);
    api.writeSlopeCalibrationToCsv(slopes, "slope-report.csv");
    api.writeComparatorCalibrationToCsv(shares, "comparator-report.csv");
    EXPECT_EQ(dir.readFile("slope-report.csv"),
              slopeFile("5", "2", "3") + "\n" + header(false) + row("ADC slope ", 32, "1.25"));
    EXPECT_EQ(dir.readFile("comparator-report.csv"),
              comparators + row("Percentage of ones", 32, "0.49"));

    FastCalibrationApi fresh; // without its 16 pairs a table is not written
    fresh.tolmaren_writeADCSlopeCalibrationToCsv("none.csv");
    EXPECT_FALSE(std::filesystem::exists("none.csv"));
}

TEST(CalibrationCsv, ReadersRefuseBadFilesAndThenChangeNothing) {
    ScopedWorkDir dir;
    std::string crlf;
    for (const char c : slopeFile("1", "2", "3"))
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::pair<std::string, unsigned int> cases[] = {
        {slopeFile("1", "2", "3"), 0},
        {crlf, 0},
        {slopeFile(" 1", "2abc", "3"), 0},
        {"", 2},
        {header(true) + row("Slope", 16, "1") + row("Coarse", 16, "2"), 2},
        {slopeFile("1", "2", "3", 17), 2},
        {slopeFile("1", "2", "3", 15), 2},
        {slopeFile("1", "4", "3"), 3},
        {slopeFile("1", "2", "x"), 3},
        {slopeFile("", "2", "3"), 3},
        {slopeFile("-1", "2", "3"), 3},
    };
    for (const auto& [text, code] : cases) {
        FastCalibrationApi api;
        api.adcPairCommonCalibration_.assign(16, {7, 3, 3, 15});
        write("slope.csv", text);
        EXPECT_EQ(api.tolmaren_readADCSlopeCalibrationFromCsv("slope.csv"), code) << text;
        const adcPairCommon& pair = api.adcPairCommonCalibration_.at(15);
        EXPECT_EQ(std::vector<int>({pair.slope, pair.coarse, pair.fine, pair.cfix}),
                  code == 0 ? std::vector<int>({1, 2, 3, 15}) : std::vector<int>({7, 3, 3, 15}))
            << text;
    }
    FastCalibrationApi api; // never opened: the members are empty
    std::vector<int> impedances;
    EXPECT_EQ(api.tolmaren_getImpedanceMeasurement(impedances), 1u);
    EXPECT_EQ(api.tolmaren_readADCSlopeCalibrationFromCsv("missing.csv"), 1u);
    ASSERT_EQ(mkfifo("fifo.csv", 0600), 0); // a FIFO would wait for a writer
    EXPECT_EQ(api.tolmaren_readADCSlopeCalibrationFromCsv("fifo.csv"), 1u);
    write("slope.csv", slopeFile("1", "2", "3"));
    EXPECT_EQ(api.tolmaren_readADCSlopeCalibrationFromCsv("slope.csv"), 0u);
    EXPECT_EQ(api.adcPairCommonCalibration_.size(), 16u);
    write("offset.csv", header(true) + row("Cfix", 16, "16"));
    EXPECT_EQ(api.tolmaren_readADCOffsetCalibrationFromCsv("offset.csv"), 3u);
    write("comparator.csv", header(false) + row("CompP", 32, "31") + row("CompN", 32, "32"));
    EXPECT_EQ(api.tolmaren_readComparatorCalibrationFromCsv("comparator.csv"), 3u);
    EXPECT_TRUE(api.adcCompCalibration_.empty());
    // A line of 2 GiB (a sparse file) is refused without being read whole.
    write("huge.csv", "");
    std::filesystem::resize_file("huge.csv", (std::uintmax_t(1) << 31) + 10);
    EXPECT_EQ(api.tolmaren_readADCOffsetCalibrationFromCsv("huge.csv"), 2u);
    EXPECT_EQ(api.tolmaren_readTestConfigurationFromCsv("huge.csv"), 2u);

    std::vector<std::string> split;
    api.splitCsvLineIntoCells("Slope,1,2,3", split);
    EXPECT_EQ(split, (std::vector<std::string>{"1", "2", "3"}));
}

TEST(CalibrationCsv, GainFactorsAreStoredIn512thsAndReadBackUnchanged) {
    ScopedWorkDir dir;
    FastCalibrationApi api; // probe type 0: 384 corrections
    const std::pair<std::string, unsigned int> cases[] = {
        {"1,1.5,0.0019,40," + cells(380, "1"), 0},
        {cells(383, "2"), 2},
        {cells(383, "2") + "-1,", 3}, // no negative gain
        {cells(383, "2") + "nan,", 3},
    };
    for (const auto& [values, code] : cases) {
        write("gain.csv", ",header\nGain Correction," + values);
        EXPECT_EQ(api.tolmaren_readGainCalibrationFromCsv("gain.csv"), code);
    }
    const auto& gains = api.gainCorrectionCalibration_;
    EXPECT_EQ(std::vector<unsigned short>(gains.begin(), gains.begin() + 5),
              (std::vector<unsigned short>{512, 768, 0, 16383, 512}));
    // Every count survives writing and reading: 513 is 1.001953125.
    api.gainCorrectionCalibration_.assign(384, 513);
    api.gainCorrectionCalibration_[1] = 16383;
    const std::vector<unsigned short> written = api.gainCorrectionCalibration_;
    api.tolmaren_writeGainCorrectionCalibrationToCsv("round.csv");
    api.gainCorrectionCalibration_.assign(384, 0);
    EXPECT_EQ(api.tolmaren_readGainCalibrationFromCsv("round.csv"), 0u);
    EXPECT_EQ(api.gainCorrectionCalibration_, written);
}
