#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/RecordingVci.h"
#include "registers/neuroprobe.h"

namespace {

using Kind = RecordingVci::Kind;

struct NamedRegister {
    const char* name;
    std::function<const SingleAddress&(const neuroprobe&)> get;
    unsigned int address;
};

// clang-format off
#define REG(member, address) \
    NamedRegister{#member, [](const neuroprobe& m) -> const SingleAddress& { return m.member; }, \
                  address}
// clang-format on

// Every named register of the basestation map with its byte address.
const std::vector<NamedRegister>& namedRegisters() {
    static const std::vector<NamedRegister> table = {
        REG(tolmaren_cfg.fpga_version.major, 0x0000),
        REG(tolmaren_cfg.fpga_version.minor, 0x0004),
        REG(tolmaren_cfg.datamode, 0x0008),
        REG(tolmaren_cfg.temperature, 0x000C),
        REG(tolmaren_cfg.datapath_reset, 0x0010),
        REG(tolmaren_cfg.cfg_word6, 0x0018),
        REG(tolmaren_cfg.bs_sw_hbeat, 0x1000),
        REG(tolmaren_cfg.supply, 0x1004),
        REG(tolmaren_cfg.bs_version, 0x1008),
        REG(tolmaren_cfg.bs_revision, 0x100C),
        REG(tolmaren_cfg.bypass_datapath, 0x1010),
        REG(tolmaren_reset.reset, 0x1014),
        REG(reorder.reorder_word0, 0x1018),
        REG(reorder.reorder_word1, 0x101C),
        REG(lcd_control.lcd_text0, 0x1020),
        REG(lcd_control.lcd_text1, 0x1024),
        REG(lcd_control.lcd_text2, 0x1028),
        REG(lcd_control.lcd_text3, 0x102C),
        REG(lcd_control.lcd_text4, 0x1030),
        REG(lcd_control.lcd_text5, 0x1034),
        REG(lcd_control.lcd_text6, 0x1038),
        REG(lcd_control.lcd_text7, 0x103C),
        REG(vci2uart.rx_data, 0x1040),
        REG(vci2uart.tx_data, 0x1044),
        REG(vci2uart.rx_count, 0x1048),
        REG(vci2uart.vci2uart_word3, 0x104C),
        REG(vci2uart.uart_settings.uart_setting0, 0x1050),
        REG(vci2uart.uart_settings.parity_enable, 0x1054),
        REG(vci2uart.uart_error_flags.flags, 0x1058),
        REG(vci2uart.rx_accel, 0x105C),
        REG(vci2uart.tx_accel, 0x1060),
        REG(vci2uart.shift_fifo, 0x1064),
        REG(data_generator.enable, 0x1080),
        REG(data_generator.param, 0x1084),
        REG(data_generator.pow2_param, 0x1088),
        REG(leddrv_core.leds, 0x1090),
        REG(dma.dma_word0, 0x1100),
        REG(dma.dma_word1, 0x1104),
        REG(dma.dma_word2, 0x1108),
        REG(dma.dma_word3, 0x110C),
        REG(dma.dram_test_start, 0x1150),
        REG(dma.dma_word5, 0x1154),
        REG(dma.dma_error, 0x1198),
        REG(dma.dram_test_busy, 0x119C),
        REG(dma.dram_test_error, 0x11A0),
        REG(dma.dma_word9, 0x11A4),
        REG(dma.dma_word10, 0x11A8),
        REG(dma.fifo_filling, 0x11AC),
        REG(deserializer_intf.deser_word0, 0x1200),
        REG(deserializer_intf.deser_word1, 0x1204),
        REG(deserializer_intf.deser_word2, 0x1208),
        REG(deserializer_intf.deser_word3, 0x120C),
        REG(deserializer_intf.deser_word4, 0x1210),
        REG(deserializer_intf.deser_word5, 0x1214),
        REG(deserializer_intf.deser_word6, 0x1218),
        REG(deserializer_intf.deser_word7, 0x121C),
        REG(deserializer_intf.startTrigger_output_enable, 0x1220),
        REG(deserializer_intf.sync_ext_start, 0x1224),
        REG(deserializer_intf.neural_start, 0x1228),
        REG(deserializer_intf.deser_word11, 0x122C),
        REG(deserializer_intf.test9_select, 0x1230),
        REG(deserializer_intf.test7_error_mask, 0x1234),
        REG(deserializer_intf.test7_error_counter, 0x1238),
        REG(deserializer_intf.test7_total_checked, 0x123C),
        REG(deserializer_intf.test9_result0, 0x1240),
        REG(deserializer_intf.test9_result1, 0x1244),
        REG(deserializer_intf.test9_result2, 0x1248),
        REG(deserializer_intf.test9_result3, 0x124C),
        REG(deserializer_intf.test9_result4, 0x1250),
        REG(deserializer_intf.test9_result5, 0x1254),
        REG(deserializer_intf.test9_result6, 0x1258),
        REG(deserializer_intf.test9_result7, 0x125C),
        REG(deserializer_intf.test9_result8, 0x1260),
        REG(deserializer_intf.data_zeroing, 0x1264),
        REG(deserializer_intf.lock_checking, 0x1268),
        REG(deserializer_intf.test7_enable, 0x126C),
        REG(deserializer_intf.deser_word28, 0x1270),
        REG(deserializer_intf.deser_word29, 0x1274),
        REG(deserializer_intf.deser_word30, 0x1278),
        REG(deserializer_intf.deser_word31, 0x127C),
        REG(deserializer_intf.open_setting, 0x1280),
    };
    return table;
}

#undef REG

TEST(RegisterMap, EveryNamedRegisterIsWrittenAndReadAtItsAddress) {
    RecordingVci vci;
    const neuroprobe map(0, &vci);
    unsigned int value = 0xC0DE0000;
    for (const NamedRegister& reg : namedRegisters()) {
        SCOPED_TRACE(reg.name);
        vci.clearCalls();
        reg.get(map).write(++value);
        EXPECT_EQ(reg.get(map).read(), value);
        ASSERT_EQ(vci.calls().size(), 2u);
        EXPECT_EQ(vci.calls()[0].kind, Kind::Write);
        EXPECT_EQ(vci.calls()[0].address, reg.address);
        EXPECT_EQ(vci.calls()[0].data, value);
        EXPECT_EQ(vci.calls()[1].kind, Kind::Read);
        EXPECT_EQ(vci.calls()[1].address, reg.address);
        EXPECT_EQ(reg.get(map).getAddress(), reg.address);
        EXPECT_EQ(reg.get(map).getVciInterface(), &vci);
    }
}

TEST(RegisterMap, BlocksFollowANonZeroBase) {
    RecordingVci vci;
    const neuroprobe map(0x100, &vci); // word base: byte addresses move by 0x400
    EXPECT_EQ(map.base_, 0x100u);
    EXPECT_EQ(map.tolmaren_cfg.fpga_version.major.getAddress(), 0x0400u);
    EXPECT_EQ(map.tolmaren_cfg.bypass_datapath.getAddress(), 0x1410u);
    EXPECT_EQ(map.tolmaren_reset.reset.getAddress(), 0x1414u);
    EXPECT_EQ(map.vci2uart.uart_settings.parity_enable.getAddress(), 0x1454u);
    EXPECT_EQ(map.vci2uart.uart_error_flags.flags.getAddress(), 0x1458u);
    EXPECT_EQ(map.deserializer_intf.open_setting.getAddress(), 0x1680u);
    EXPECT_EQ(map.scale.scale[965].getAddress(), 0x3314u);
}

TEST(RegisterMap, BlocksStoreTheirWordBases) {
    RecordingVci vci;
    const neuroprobe map(0, &vci);
    EXPECT_EQ(map.tolmaren_cfg.base_, 0u);
    EXPECT_EQ(map.tolmaren_cfg.fpga_version.base_, 0u);
    EXPECT_EQ(map.tolmaren_reset.base_, 1029u);
    EXPECT_EQ(map.reorder.base_, 1030u);
    EXPECT_EQ(map.lcd_control.base_, 1032u);
    EXPECT_EQ(map.vci2uart.base_, 1040u);
    EXPECT_EQ(map.vci2uart.uart_settings.base_, 1044u);
    EXPECT_EQ(map.vci2uart.uart_error_flags.base_, 1046u);
    EXPECT_EQ(map.data_generator.base_, 1056u);
    EXPECT_EQ(map.leddrv_core.base_, 1060u);
    EXPECT_EQ(map.dma.base_, 1088u);
    EXPECT_EQ(map.deserializer_intf.base_, 1152u);
    EXPECT_EQ(map.scale.base_, 2048u);
}

// Reads the first and last valid element and checks the next index is refused.
template <typename Array>
void expectArrayBounds(const Array& array, unsigned int last, unsigned int first,
                       unsigned int lastAddress, RecordingVci& vci) {
    vci.clearCalls();
    array[0].read();
    array[last].read();
    ASSERT_EQ(vci.reads().size(), 2u);
    EXPECT_EQ(vci.reads()[0].first, first);
    EXPECT_EQ(vci.reads()[1].first, lastAddress);
    try {
        array[last + 1];
        ADD_FAILURE() << "index " << last + 1 << " accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "index out of range");
    }
}

TEST(RegisterMap, ArraysCoverTheirRangesAndRefuseIndicesBeyond) {
    RecordingVci vci;
    const neuroprobe map(0, &vci);
    {
        SCOPED_TRACE("scale");
        expectArrayBounds(map.scale.scale, 965, 0x2000, 0x2F14, vci);
    }
    {
        SCOPED_TRACE("channel_to_electrode");
        expectArrayBounds(map.tolmaren_cfg.channel_to_electrode, 1016, 0x001C, 0x0FFC, vci);
    }
    {
        SCOPED_TRACE("dma_array1");
        expectArrayBounds(map.dma.dma_array1, 15, 0x1110, 0x114C, vci);
    }
    {
        SCOPED_TRACE("dma_array2");
        expectArrayBounds(map.dma.dma_array2, 15, 0x1158, 0x1194, vci);
    }
    vci.clearCalls();
    map.scale.scale[384].write(512);
    ASSERT_EQ(vci.writes().size(), 1u);
    EXPECT_EQ(vci.writes()[0].first, 0x2600u);
}

TEST(RegisterMap, ChannelToElectrodeExposesItsBurstTarget) {
    RecordingVci vci;
    const neuroprobe map(0, &vci);
    const auto& table = map.tolmaren_cfg.channel_to_electrode;
    EXPECT_EQ(table.address_, 0x001Cu);
    EXPECT_EQ(table.increment_, 4u);
    EXPECT_EQ(table.vci_, &vci);
    EXPECT_EQ(map.scale.scale.address_, 0x2000u);
    EXPECT_EQ(map.scale.scale.vci_, &vci);
}

TEST(RegisterMap, NothingLiesAtTheSkippedAddress) {
    RecordingVci vci;
    const neuroprobe map(0, &vci);
    for (const NamedRegister& reg : namedRegisters())
        reg.get(map).read();
    for (unsigned int i = 0; i < 1017; ++i)
        map.tolmaren_cfg.channel_to_electrode[i].read();
    for (unsigned int i = 0; i < 16; ++i) {
        map.dma.dma_array1[i].read();
        map.dma.dma_array2[i].read();
    }
    for (unsigned int i = 0; i < 966; ++i)
        map.scale.scale[i].read();

    std::set<unsigned int> addresses;
    for (const auto& read : vci.reads())
        addresses.insert(read.first);
    // Every register and array element at its own address, none at 0x14.
    EXPECT_EQ(addresses.size(), namedRegisters().size() + 1017 + 16 + 16 + 966);
    EXPECT_EQ(addresses.count(0x0014), 0u);
    EXPECT_EQ(addresses.count(0x0010), 1u);
    EXPECT_EQ(addresses.count(0x0018), 1u);
}

TEST(UartErrorFlags, LiveFieldsReadTheRegisterEachTime) {
    RecordingVci vci;
    const neuroprobe map(0, &vci);
    const field_uart_error_flags& flags = map.vci2uart.uart_error_flags.flags;
    vci.setValue(0x1058, 0x4);
    EXPECT_EQ(flags.error_bit2.read(), 1u);
    EXPECT_EQ(flags.error_bit0.read(), 0u);
    vci.setValue(0x1058, 0x9);
    EXPECT_EQ(flags.error_bit0.read(), 1u);
    EXPECT_EQ(flags.error_bit3.read(), 1u);
    EXPECT_EQ(flags.error_bit1.read(), 0u);
    EXPECT_EQ(vci.reads().size(), 5u);
}

TEST(UartErrorFlags, ReadallTakesOneSnapshotAndFieldsCostNoTraffic) {
    RecordingVci vci;
    const neuroprobe map(0, &vci);
    vci.setValue(0x1058, 0xA);
    field_uart_error_flags snapshot = map.vci2uart.uart_error_flags.flags.readall();
    ASSERT_EQ(vci.calls().size(), 1u);
    EXPECT_EQ(vci.calls()[0].kind, Kind::Read);
    EXPECT_EQ(vci.calls()[0].address, 0x1058u);

    vci.setValue(0x1058, 0x5); // the hardware changes; the snapshot does not
    EXPECT_EQ(snapshot.error_bit0.read(), 0u);
    EXPECT_EQ(snapshot.error_bit1.read(), 1u);
    EXPECT_EQ(snapshot.error_bit2.read(), 0u);
    EXPECT_EQ(snapshot.error_bit3.read(), 1u);
    EXPECT_EQ(snapshot.read(), 0xAu);
    EXPECT_EQ(snapshot.getAddress(), 0x1058u);
    EXPECT_EQ(vci.calls().size(), 1u);
}

TEST(UartErrorFlags, BufferedWritesStayLocalUntilWriteall) {
    RecordingVci vci;
    const neuroprobe map(0, &vci);
    vci.setValue(0x1058, 0x3);
    // Both the buffered write and the write-back work on a const snapshot.
    const field_uart_error_flags snapshot = map.vci2uart.uart_error_flags.flags.readall();
    vci.clearCalls();

    // All 64 bits are kept while buffered; nothing reaches the interface.
    snapshot.write(0x100000008ull);
    EXPECT_EQ(snapshot.read(), 0x100000008ull);
    EXPECT_EQ(snapshot.error_bit3.read(), 1u);
    EXPECT_EQ(snapshot.error_bit0.read(), 0u);
    EXPECT_TRUE(vci.calls().empty());

    snapshot.writeall();
    ASSERT_EQ(vci.calls().size(), 1u);
    EXPECT_EQ(vci.calls()[0].kind, Kind::Write);
    EXPECT_EQ(vci.calls()[0].address, 0x1058u);
    EXPECT_EQ(vci.calls()[0].data, 0x8u);

    try {
        snapshot.writeall();
        ADD_FAILURE() << "second writeall accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "writeall not allowed, first do readall");
    }
    EXPECT_EQ(vci.calls().size(), 1u);

    // Written back, the object is a live register again.
    vci.setValue(0x1058, 0x2);
    EXPECT_EQ(snapshot.error_bit1.read(), 1u);
    EXPECT_EQ(vci.calls().size(), 2u);
}

TEST(UartErrorFlags, WriteallWithoutReadallIsRefused) {
    RecordingVci vci;
    field_uart_error_flags flags(0x1058, &vci);
    try {
        flags.writeall();
        ADD_FAILURE() << "writeall accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "writeall not allowed, first do readall");
    }
    EXPECT_TRUE(vci.calls().empty());
}

TEST(UartErrorFlags, CopiesReadThroughThemselvesNotTheirSource) {
    RecordingVci vci;
    vci.setValue(0x1058, 0xA);
    const field_uart_error_flags live(0x1058, &vci);
    // Initialised from the returned object itself, so the heap copy is the snapshot.
    std::unique_ptr<field_uart_error_flags> original(new field_uart_error_flags(live.readall()));
    vci.setValue(0x1058, 0x5);
    ASSERT_EQ(original->error_bit1.read(), 1u);

    // The copy reaches the same register but starts unbuffered: its bits come
    // from the interface, not from the original's snapshot.
    const field_uart_error_flags copy(*original);
    original.reset(); // bits still bound to the original would now dangle
    vci.clearCalls();
    EXPECT_EQ(copy.error_bit0.read(), 1u);
    EXPECT_EQ(copy.error_bit1.read(), 0u);
    EXPECT_EQ(copy.error_bit2.read(), 1u);
    EXPECT_EQ(copy.error_bit3.read(), 0u);
    ASSERT_EQ(vci.reads().size(), 4u);
    EXPECT_EQ(vci.reads()[0].first, 0x1058u);

    // A snapshot of the copy holds the copy's own value in its bits.
    field_uart_error_flags second = copy.readall();
    vci.setValue(0x1058, 0x0);
    EXPECT_EQ(second.error_bit0.read(), 1u);
    EXPECT_EQ(second.error_bit2.read(), 1u);
}

TEST(UartErrorFlags, InterfaceFailuresPassThrough) {
    RecordingVci vci;
    const neuroprobe map(0, &vci);
    vci.failNextAccess("no reply");
    EXPECT_THROW(map.vci2uart.uart_error_flags.flags.readall(), VciInterface::Exception);
    vci.failNextAccess("no reply");
    EXPECT_THROW(map.vci2uart.uart_error_flags.flags.error_bit0.read(), VciInterface::Exception);
}

} // namespace
