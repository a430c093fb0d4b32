#include <algorithm>
#include <chrono>
#include <utility>

#include "api/LoopbackSequence.h"
#include "api/Tolmaren_basestation_api.h"

namespace {

const char* const bistTitle = "Tolmaren  BIST  ";

constexpr unsigned char headstageId0 = 0x00;
constexpr unsigned char headstageId1 = 0x01;
constexpr unsigned char digitalControl1 = 0x10;
constexpr unsigned char test8Flags = 0x31;
constexpr unsigned char heartbeatBit = 0x01;
constexpr unsigned char bistReceiveBit = 0x08;
constexpr unsigned char test8SelectionBits = 0x60;
constexpr unsigned int test8SelectionShift = 5;
constexpr unsigned int heartbeatHalfPeriodMs = 250;
constexpr unsigned int test8StopSettleMs = 100;

constexpr unsigned char serdesModeRegister = 0x04;
constexpr unsigned char serdesNormal = 0x87;
constexpr unsigned char serdesPrbs = 0xA7;
constexpr unsigned char prbsErrorCount = 0x13;

constexpr unsigned char configurationMode = 0;
constexpr unsigned char recordingMode = 3;

constexpr unsigned int ledPatterns[] = {1, 2, 4, 8};
// The loopback moves at most this many words per packet and per read, which
// bounds the memory held at once to a few times 32 MiB.
constexpr uint32_t loopbackPacketWords = 0x800000;
// A write that fails has seen the basestation take nothing for a whole
// time-out; after this many in a row its loopback is taken to be stuck.
constexpr unsigned int loopbackWriteAttempts = 10;

// The test's status on the display's second line; the display's state is
// not part of the result.
void show(Tolmaren_basestation_api& api, const char* line2) {
    api.tolmaren_writeLCD(bistTitle, line2);
}

// Both link devices must be in normal operation: 0, or 2 (the serial link
// failed), 3 (serializer) or 4 (deserializer), shown as test 6's failure.
unsigned int checkSerdesModes(Tolmaren_basestation_api& api) {
    unsigned char mode = 0;
    if (api.tolmaren_serializerReadRegister(serdesModeRegister, mode) != 0) {
        show(api, "Test 6 UART err ");
        return 2;
    }
    if (mode != serdesNormal) {
        show(api, "Test 6 SER err  ");
        return 3;
    }
    if (api.tolmaren_deserializerReadRegister(serdesModeRegister, mode) != 0) {
        show(api, "Test 6 UART err ");
        return 2;
    }
    if (mode != serdesNormal) {
        show(api, "Test 6 DESER err");
        return 4;
    }
    return 0;
}

} // namespace

unsigned int Tolmaren_basestation_api::tolmaren_test4() {
    if (!tolmaren_isConnected()) return 1;
    show(*this, "Test 4          ");
    tolmaren_mode(configurationMode);
    tolmaren_resetDatapath();

    t_dma& dma = datamodel_->dma;
    dma.dram_test_start.write(dma.dram_test_start.read() == 0 ? 1u : 0u);

    for (unsigned int pattern : ledPatterns) {
        datamodel_->leddrv_core.leds.write(pattern);
        tolmaren_milliSleep(test4Settings_.ledHoldMs);
        if (datamodel_->leddrv_core.leds.read() != pattern) {
            show(*this, "Test 4 LED err  ");
            return 2;
        }
    }

    show(*this, "Test 4 #        ");
    // A memory test that never ends would otherwise hold the caller for ever.
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(test4Settings_.memoryTestLimitMs);
    while (dma.dram_test_busy.read() != 0) {
        if (std::chrono::steady_clock::now() >= limit) {
            show(*this, "Test 4 DRAM err ");
            return 3;
        }
        tolmaren_milliSleep(test4Settings_.memoryPollMs);
    }
    show(*this, "Test 4 ##       ");
    if (dma.dram_test_error.read() != 0) {
        show(*this, "Test 4 DRAM err ");
        return 3;
    }

    show(*this, "Test 4 ###      ");
    for (unsigned int pass = 0; pass < test4Settings_.loopbackPasses; ++pass) {
        if (!loopback(uint32_t{1} << (3 * pass))) {
            show(*this, "Test 4 LPBK err ");
            return 4;
        }
    }
    show(*this, "Test 4 Success  ");
    return 0;
}

bool Tolmaren_basestation_api::loopback(uint32_t words) {
    // Each packet is released only once the next one exists, so that the
    // allocator hands its memory straight to the one after instead of giving
    // it back to the system and faulting it in afresh, which would cost a
    // third of the loopback's time.
    ConnectionLinkPacket previous;
    for (uint32_t first = 0; first < words; first += loopbackPacketWords) {
        ConnectionLinkPacket packet =
            LoopbackSequence::packet(first, std::min(words - first, loopbackPacketWords));
        bool sent = false;
        for (unsigned int attempt = 0; attempt < loopbackWriteAttempts && !sent; ++attempt)
            sent = dataLink_->write(packet);
        if (!sent) return false;
        previous = std::move(packet);
    }
    const uint32_t piece = std::min(words, loopbackPacketWords);
    for (uint32_t first = 0; first < words; first += piece) {
        ConnectionLinkPacket packet = dataLink_->read(4 * piece);
        if (!LoopbackSequence::holds(packet, first, piece)) return false;
        previous = std::move(packet);
    }
    return true;
}

unsigned int Tolmaren_basestation_api::tolmaren_test5(unsigned char& reg0, unsigned char& reg1,
                                                      unsigned int count) {
    if (!tolmaren_isConnected()) return 1;
    show(*this, "Test 5          ");
    unsigned char control = 0;
    if (tolmaren_headstageReadRegister(headstageId0, reg0) != 0 ||
        tolmaren_headstageReadRegister(headstageId1, reg1) != 0 ||
        tolmaren_headstageReadRegister(digitalControl1, control) != 0) {
        show(*this, "Test 5 UART err ");
        return 2;
    }
    const auto toggled = static_cast<unsigned char>(control ^ heartbeatBit);
    for (unsigned int i = 0; i < 2 * count; ++i) {
        if (tolmaren_headstageWriteRegister(digitalControl1, toggled) != 0) {
            show(*this, "Test 5 UART err ");
            return 2;
        }
        tolmaren_milliSleep(heartbeatHalfPeriodMs);
        if (tolmaren_headstageWriteRegister(digitalControl1, control) != 0) {
            show(*this, "Test 5 UART err ");
            return 2;
        }
        tolmaren_milliSleep(heartbeatHalfPeriodMs);
    }
    show(*this, "Test 5 Success  ");
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_startTest6() {
    if (!tolmaren_isConnected()) return 1;
    show(*this, "Test 6          ");
    if (const unsigned int status = checkSerdesModes(*this)) return status;
    // The checker starts before the generator, so that it sees the whole sequence.
    if (tolmaren_deserializerWriteRegister(serdesModeRegister, serdesPrbs) != 0 ||
        tolmaren_serializerWriteRegister(serdesModeRegister, serdesPrbs) != 0) {
        show(*this, "Test 6 UART err ");
        return 2;
    }
    show(*this, "Test 6 Started  ");
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_stopTest6(unsigned char& errors) {
    // The serializer's write is not checked: the read-back below finds a
    // serializer that stayed in its test mode.
    tolmaren_serializerWriteRegister(serdesModeRegister, serdesNormal);
    if (tolmaren_deserializerWriteRegister(serdesModeRegister, serdesNormal) != 0) {
        show(*this, "Test 6 UART err ");
        return 2;
    }
    if (const unsigned int status = checkSerdesModes(*this)) return status;
    if (tolmaren_deserializerReadRegister(prbsErrorCount, errors) != 0) {
        show(*this, "Test 6 UART err ");
        return 2;
    }
    if (errors != 0) {
        show(*this, "Test 6 PRBS ERR ");
        return 5;
    }
    show(*this, "Test 6 Success  ");
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_startTest7() {
    if (!tolmaren_isConnected()) return 1;
    show(*this, "Test 7          ");
    datamodel_->deserializer_intf.test7_enable.write(1);
    if (tolmaren_bistTx(true) != 0) {
        show(*this, "Test 7 UART err ");
        return 2;
    }
    show(*this, "Test 7 Started  ");
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_stopTest7() {
    if (!tolmaren_isConnected()) return 1;
    if (tolmaren_bistTx(false) != 0) {
        show(*this, "Test 7 UART err ");
        return 2;
    }
    show(*this, "Test 7 Stopped  ");
    return 0;
}

uint32_t Tolmaren_basestation_api::tolmaren_test7GetErrorCounter() {
    if (!tolmaren_isConnected()) return 0;
    const uint32_t errors = datamodel_->deserializer_intf.test7_error_counter.read();
    show(*this, errors == 0 ? "Test 7 Success  " : "Test 7 Error    ");
    return errors;
}

uint32_t Tolmaren_basestation_api::tolmaren_test7GetTotalChecked() {
    if (!tolmaren_isConnected()) return 0;
    return datamodel_->deserializer_intf.test7_total_checked.read();
}

unsigned int Tolmaren_basestation_api::tolmaren_test7GetErrorMask() {
    if (!tolmaren_isConnected()) return 0;
    const unsigned int mask = datamodel_->deserializer_intf.test7_error_mask.read() & 0xFF;
    show(*this, mask == 0 ? "Test 7 Success  " : "Test 7 Error    ");
    return mask;
}

unsigned int Tolmaren_basestation_api::tolmaren_startTest8(bool variantA, unsigned char selection) {
    if (!tolmaren_isConnected()) return 1;
    if (selection > 3) return 3;
    if (tolmaren_nrst(false) != 0) return 4;
    if (tolmaren_headstageWriteRegister(test8Flags, 0xFF) != 0) return 2;
    if (tolmaren_te(variantA ? 1 : 0) != 0) return 4;
    unsigned char control = 0;
    if (tolmaren_headstageReadRegister(digitalControl1, control) != 0) return 2;
    control = static_cast<unsigned char>((control & ~test8SelectionBits) |
                                         (selection << test8SelectionShift) | bistReceiveBit);
    if (tolmaren_headstageWriteRegister(digitalControl1, control) != 0) return 2;
    datamodel_->deserializer_intf.neural_start.write(1);
    if (tolmaren_mode(recordingMode) != 0 || tolmaren_nrst(true) != 0) return 4;
    show(*this, variantA ? "Test 8a Started " : "Test 8b Started ");
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_stopTest8() {
    if (!tolmaren_isConnected()) return 1;
    datamodel_->deserializer_intf.neural_start.write(0);
    tolmaren_milliSleep(test8StopSettleMs);
    if (tolmaren_te(0) != 0) {
        show(*this, "Test 8 DGCRL ERR");
        return 4;
    }
    if (tolmaren_bistRx(false) != 0) {
        show(*this, "Test 8 UART err ");
        return 2;
    }
    show(*this, "Test 8 Stopped  ");
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_test8GetErrorCounter(bool variantA, bool& flag2,
                                                                     bool& flag1, bool& flag0) {
    if (!tolmaren_isConnected()) return 1;
    unsigned char flags = 0;
    if (tolmaren_headstageReadRegister(test8Flags, flags) != 0) {
        show(*this, "Test 8 UART err ");
        return 2;
    }
    flag2 = (flags & 0x04) != 0;
    flag1 = (flags & 0x02) != 0;
    flag0 = (flags & 0x01) != 0;
    // Flag 2 belongs to the check that only variant a runs.
    if (variantA && (flag2 || flag1 || flag0))
        show(*this, "Test 8a Error   ");
    else if (!variantA && (flag1 || flag0))
        show(*this, "Test 8b Error   ");
    else
        show(*this, "Test 8 Success  ");
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_startTest9(bool variantA) {
    if (tolmaren_bistTx(false) != 0 || tolmaren_bistRx(false) != 0) return 2;
    if (!tolmaren_isConnected()) return 1;
    tolmaren_resetDatapath();
    if (tolmaren_te(variantA ? 1 : 0) != 0) {
        show(*this, "Test 9 DGCRL ERR");
        return 2;
    }
    datamodel_->deserializer_intf.neural_start.write(1);
    datamodel_->deserializer_intf.test9_select.write(variantA ? 1u : 0u);
    show(*this, variantA ? "Test 9a Started " : "Test 9b Started ");
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_stopTest9() {
    if (!tolmaren_isConnected()) return 1;
    datamodel_->deserializer_intf.test9_select.write(0);
    datamodel_->deserializer_intf.neural_start.write(0);
    show(*this, "Test 9 Stopped  ");
    return 0;
}

void Tolmaren_basestation_api::tolmaren_test9GetResults(uint32_t& r0, uint32_t& r1, uint32_t& r2,
                                                        uint32_t& r3, uint32_t& r4, uint32_t& r5,
                                                        uint32_t& r6, uint32_t& r7, uint32_t& r8) {
    // Without an open probe there is nothing to read; the outputs stay.
    if (datamodel_ == nullptr) return;
    t_deserializer_intf& deser = datamodel_->deserializer_intf;
    r0 = deser.test9_result0.read();
    r1 = deser.test9_result1.read();
    r2 = deser.test9_result2.read();
    r3 = deser.test9_result3.read();
    r4 = deser.test9_result4.read();
    r5 = deser.test9_result5.read();
    r6 = deser.test9_result6.read();
    r7 = deser.test9_result7.read();
    r8 = deser.test9_result8.read();
    const bool errors = (r0 | r2 | r4 | r5 | r6 | r7) != 0;
    const bool arrived = (r1 | r3 | r8) != 0;
    show(*this, errors ? "Test 9 Error    " : arrived ? "Test 9 Success  " : "Test 9 No data  ");
}
