// The library's diagnostic lines: each facade's go to its own sink, which
// hands them on to the process-wide one (standard error until redirected)
// unless the facade has a stream of its own; lines stay whole while several
// threads write.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "api/Tolmaren_basestation_api.h"
#include "common/ScopedWorkDir.h"
#include "link/Diagnostics.h"

TEST(Diagnostics, FacadesHandTheirLinesOnOrKeepThemToTheirOwnStream) {
    ScopedWorkDir dir;
    std::ostringstream processWide, own;
    EXPECT_EQ(Diagnostics::redirect(&processWide), &std::cerr);
    {
        Tolmaren_basestation_api handsOn, keeps;
        keeps.tolmaren_redirectDiagnostics(&own);
        // The playback link announces itself; the in-memory register space
        // traces the open's register accesses.
        ASSERT_EQ(handsOn.tolmaren_open(std::string("a.bin")), 0u);
        ASSERT_EQ(keeps.tolmaren_open(std::string("b.bin")), 0u);
    }
    for (const auto& [lines, file, other] : {std::tuple(processWide.str(), "a.bin", "b.bin"),
                                             std::tuple(own.str(), "b.bin", "a.bin")}) {
        EXPECT_EQ(
            lines.rfind(std::string("TolmarenDataConnectionLink with playback ") + file + "\n", 0),
            0u)
            << lines;
        EXPECT_NE(lines.find("vciWrite "), std::string::npos) << lines;
        EXPECT_EQ(lines.find(other), std::string::npos) << lines;
    }
    const std::string seen = processWide.str();
    Diagnostics::redirect(nullptr);
    ASSERT_EQ(Tolmaren_basestation_api().tolmaren_open(std::string("c.bin")), 0u);
    Diagnostics::redirect(&std::cerr);
    EXPECT_EQ(processWide.str(), seen);
}

namespace {

// Pauses after every piece of text it takes, so that the other thread gets
// to write: a line written in several pieces would be cut by its text.
class PausingBuffer : public std::stringbuf {
protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        const std::streamsize taken = std::stringbuf::xsputn(text, count);
        std::this_thread::sleep_for(std::chrono::microseconds(1));
        return taken;
    }
    int_type overflow(int_type c) override {
        const int_type taken = std::stringbuf::overflow(c);
        std::this_thread::sleep_for(std::chrono::microseconds(1));
        return taken;
    }
};

} // namespace

// Two facades in two threads, one handing its lines on to the process-wide
// sink and one writing to the same stream directly: every line arrives whole.
TEST(Diagnostics, LinesOfFacadesInSeveralThreadsNeverInterleave) {
    ScopedWorkDir dir;
    constexpr int opens = 5, reads = 200;
    PausingBuffer buffer;
    std::ostream shared(&buffer);
    std::ostream* const before = Diagnostics::redirect(&shared);
    std::atomic<int> ready{0};
    auto drive = [&](bool ownStream, const std::string& file) {
        Tolmaren_basestation_api api;
        if (ownStream) api.tolmaren_redirectDiagnostics(&shared);
        // Both threads write at the same time.
        ++ready;
        while (ready < 2)
            std::this_thread::yield();
        for (int o = 0; o < opens; ++o) {
            ASSERT_EQ(api.tolmaren_open(file), 0u);
            unsigned char version = 0;
            float celsius = 0;
            for (int r = 0; r < reads; ++r)
                ASSERT_EQ(ownStream ? api.tolmaren_getBSVersion(version)
                                    : api.tolmaren_readTemperature(celsius),
                          0u);
            api.tolmaren_close();
        }
    };
    std::thread first(drive, false, "first.bin"), second(drive, true, "second.bin");
    first.join();
    second.join();
    Diagnostics::redirect(before);

    const std::regex whole("TolmarenDataConnectionLink with playback (first|second)\\.bin|"
                           "vciWrite [0-9a-f]+ [0-9a-f]+|vciRead ([0-9a-f]+) [0-9a-f]+");
    std::map<std::string, int> count;
    std::istringstream lines(buffer.str());
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, whole)) << line;
        ++count[match[1].matched ? match[1].str() : match[2].str()];
    }
    EXPECT_EQ(count["first"], opens);
    EXPECT_EQ(count["second"], opens);
    // The temperature and the basestation version, each read by one thread.
    EXPECT_EQ(count["c"], opens * reads);
    EXPECT_EQ(count["1008"], opens * reads);
}
