#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "common/RecordingVci.h"
#include "vci/SingleAddress.h"
#include "vci/VciArray.h"
#include "vci/VciDummy.h"

namespace {

using Kind = RecordingVci::Kind;

// Redirects the standard error stream into a string for the scope's life.
class CerrCapture {
public:
    CerrCapture() : saved_(std::cerr.rdbuf(captured_.rdbuf())) {}
    ~CerrCapture() { std::cerr.rdbuf(saved_); }
    std::string text() const { return captured_.str(); }

private:
    std::ostringstream captured_;
    std::streambuf* saved_;
};

TEST(VciDummy, ReadsBackLastWriteAndTracesEachAccess) {
    VciDummy dummy;
    CerrCapture capture;
    EXPECT_EQ(dummy.vciRead(0x2000), 0u);
    dummy.vciWrite(0x1000, 0x1234);
    EXPECT_EQ(dummy.vciRead(0x1000), 0x1234u);
    dummy.vciWrite(0xff0, 0xABCDEF01);
    dummy.vciWrite(0xff0, 7);
    EXPECT_EQ(dummy.vciRead(0xff0), 7u);
    EXPECT_EQ(dummy.vciRead(0), 0u);
    EXPECT_EQ(capture.text(), "vciRead 2000 0\n"
                              "vciWrite 1000 1234\n"
                              "vciRead 1000 1234\n"
                              "vciWrite ff0 abcdef01\n"
                              "vciWrite ff0 7\n"
                              "vciRead ff0 7\n"
                              "vciRead 0 0\n");
}

TEST(VciDummy, ReportsWidthAndLeavesTheStreamDecimal) {
    VciDummy dummy;
    CerrCapture capture;
    EXPECT_EQ(dummy.getVciDataWidth(), 32u);
    dummy.vciWrite(0x10, 0x1f);
    std::cerr << 255 << '\n';
    dummy.vciRead(0x10);
    std::cerr << 31 << '\n';
    EXPECT_EQ(capture.text(), "getVciDataWidth\n"
                              "vciWrite 10 1f\n"
                              "255\n"
                              "vciRead 10 1f\n"
                              "31\n");
}

TEST(VciDummy, DefaultBurstsTraceTheWidthThenEachWord) {
    VciDummy dummy;
    CerrCapture capture;
    dummy.vciBurstWrite(0x100, {1, 2}, VciInterface::Increment);
    const std::vector<unsigned int> words = dummy.vciBurstRead(0x100, 3, VciInterface::Increment);
    EXPECT_EQ(words, (std::vector<unsigned int>{1, 2, 0}));
    EXPECT_EQ(capture.text(), "getVciDataWidth\n"
                              "vciWrite 100 1\n"
                              "vciWrite 104 2\n"
                              "getVciDataWidth\n"
                              "vciRead 100 1\n"
                              "vciRead 104 2\n"
                              "vciRead 108 0\n");
}

TEST(SingleAddress, WritesTheLow32BitsAndReadsZeroExtended) {
    RecordingVci vci;
    const SingleAddress reg(0x1234, &vci);
    reg.write(0x100000005ull);
    ASSERT_EQ(vci.writes().size(), 1u);
    EXPECT_EQ(vci.writes()[0], std::make_pair(0x1234u, 5u));

    reg.write(static_cast<unsigned long long>(-2LL)); // sign-extended by a caller
    EXPECT_EQ(vci.writes()[1].second, 0xFFFFFFFEu);
    EXPECT_EQ(reg.read(), 0xFFFFFFFEull);
    EXPECT_EQ(reg.getVciInterface(), &vci);
}

TEST(SingleAddress, InterfaceFailuresPassThrough) {
    RecordingVci vci;
    const SingleAddress reg(0x40, &vci);
    vci.failNextAccess("reply time-out");
    try {
        reg.read();
        ADD_FAILURE() << "read succeeded";
    } catch (const VciInterface::Exception& e) {
        EXPECT_STREQ(e.what(), "reply time-out");
    }
    vci.failNextAccess("reply time-out");
    EXPECT_THROW(reg.write(1), VciInterface::Exception);
    reg.write(3); // the fault was a single event
    EXPECT_EQ(reg.read(), 3u);
}

TEST(DefaultBursts, WidthIsAskedFirstEvenForNoWords) {
    RecordingVci vci;
    vci.vciBurstWrite(0x1044, {}, VciInterface::NoIncrement);
    const std::vector<unsigned int> none = vci.vciBurstRead(0x1040, 0, VciInterface::Increment);
    EXPECT_TRUE(none.empty());
    ASSERT_EQ(vci.calls().size(), 4u);
    EXPECT_EQ(vci.calls()[0].kind, Kind::BurstWrite);
    EXPECT_EQ(vci.calls()[1].kind, Kind::DataWidth);
    EXPECT_EQ(vci.calls()[2].kind, Kind::BurstRead);
    EXPECT_EQ(vci.calls()[3].kind, Kind::DataWidth);
}

TEST(DefaultBursts, WriteStepsByOneWordOrStaysOnAPort) {
    RecordingVci vci;
    vci.vciBurstWrite(0x1044, {0x79, 0x40, 0x51}, VciInterface::NoIncrement);
    EXPECT_EQ(vci.writes(), (std::vector<std::pair<unsigned int, unsigned int>>{
                                {0x1044, 0x79}, {0x1044, 0x40}, {0x1044, 0x51}}));
    EXPECT_EQ(vci.calls()[1].kind, Kind::DataWidth);

    vci.clearCalls();
    vci.vciBurstWrite(0x001C, {5, 6, 7}, VciInterface::Increment);
    EXPECT_EQ(vci.writes(), (std::vector<std::pair<unsigned int, unsigned int>>{
                                {0x001C, 5}, {0x0020, 6}, {0x0024, 7}}));
}

TEST(DefaultBursts, ReadReturnsWordsInAscendingOrder) {
    RecordingVci vci;
    vci.setValue(0x2000, 11);
    vci.setValue(0x2004, 22);
    vci.setValue(0x2008, 33);
    EXPECT_EQ(vci.vciBurstRead(0x2000, 3, VciInterface::Increment),
              (std::vector<unsigned int>{11, 22, 33}));
    EXPECT_EQ(vci.reads(), (std::vector<std::pair<unsigned int, unsigned int>>{
                               {0x2000, 11}, {0x2004, 22}, {0x2008, 33}}));

    vci.clearCalls();
    vci.queueReads(0x105C, {0xC3, 0x01, 0x02});
    EXPECT_EQ(vci.vciBurstRead(0x105C, 3, VciInterface::NoIncrement),
              (std::vector<unsigned int>{0xC3, 0x01, 0x02}));
    for (const auto& read : vci.reads())
        EXPECT_EQ(read.first, 0x105Cu);
}

TEST(DefaultBursts, StopAtTheFirstFailingWord) {
    RecordingVci vci;
    vci.failAccess(1, "lost");
    EXPECT_THROW(vci.vciBurstWrite(0x100, {1, 2, 3}, VciInterface::Increment),
                 VciInterface::Exception);
    EXPECT_EQ(vci.writes(), (std::vector<std::pair<unsigned int, unsigned int>>{{0x100, 1}}));
}

TEST(VciArray, IndexesByIncrementUpToTheLastElement) {
    RecordingVci vci;
    VciArray<SingleAddress, 3> array{0x300, 8, &vci};
    EXPECT_EQ(array[0].getAddress(), 0x300u);
    EXPECT_EQ(array[2].getAddress(), 0x310u);
    EXPECT_EQ(array[2].getVciInterface(), &vci);
    try {
        array[3];
        ADD_FAILURE() << "index 3 accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "index out of range");
    }
    EXPECT_THROW(array[0xFFFFFFFFu], std::runtime_error);

    VciArray<SingleAddress, 966> scale{0x2000, 4, &vci};
    EXPECT_EQ(scale[965].getAddress(), 0x2F14u);
    EXPECT_THROW(scale[966], std::runtime_error);
}

} // namespace
