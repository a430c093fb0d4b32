#include "registers/t_deserializer_intf.h"

// 33 consecutive words, one register each.
t_deserializer_intf::t_deserializer_intf(unsigned int base, VciInterface* vci)
    : base_(base), deser_word0(4 * base + 0x00, vci), deser_word1(4 * base + 0x04, vci),
      deser_word2(4 * base + 0x08, vci), deser_word3(4 * base + 0x0C, vci),
      deser_word4(4 * base + 0x10, vci), deser_word5(4 * base + 0x14, vci),
      deser_word6(4 * base + 0x18, vci), deser_word7(4 * base + 0x1C, vci),
      startTrigger_output_enable(4 * base + 0x20, vci), sync_ext_start(4 * base + 0x24, vci),
      neural_start(4 * base + 0x28, vci), deser_word11(4 * base + 0x2C, vci),
      test9_select(4 * base + 0x30, vci), test7_error_mask(4 * base + 0x34, vci),
      test7_error_counter(4 * base + 0x38, vci), test7_total_checked(4 * base + 0x3C, vci),
      test9_result0(4 * base + 0x40, vci), test9_result1(4 * base + 0x44, vci),
      test9_result2(4 * base + 0x48, vci), test9_result3(4 * base + 0x4C, vci),
      test9_result4(4 * base + 0x50, vci), test9_result5(4 * base + 0x54, vci),
      test9_result6(4 * base + 0x58, vci), test9_result7(4 * base + 0x5C, vci),
      test9_result8(4 * base + 0x60, vci), data_zeroing(4 * base + 0x64, vci),
      lock_checking(4 * base + 0x68, vci), test7_enable(4 * base + 0x6C, vci),
      deser_word28(4 * base + 0x70, vci), deser_word29(4 * base + 0x74, vci),
      deser_word30(4 * base + 0x78, vci), deser_word31(4 * base + 0x7C, vci),
      open_setting(4 * base + 0x80, vci) {}
