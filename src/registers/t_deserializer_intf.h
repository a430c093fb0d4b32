#pragma once

#include "vci/SingleAddress.h"

// The basestation's deserializer of the headstage link: neural start and
// trigger control, data zeroing, lock checking and the self-test results.
class t_deserializer_intf {
public:
    t_deserializer_intf(unsigned int base, VciInterface* vci);

    unsigned int base_;
    SingleAddress deser_word0;
    SingleAddress deser_word1;
    SingleAddress deser_word2;
    SingleAddress deser_word3;
    SingleAddress deser_word4;
    SingleAddress deser_word5;
    SingleAddress deser_word6;
    SingleAddress deser_word7;
    SingleAddress startTrigger_output_enable;
    SingleAddress sync_ext_start;
    SingleAddress neural_start;
    SingleAddress deser_word11;
    SingleAddress test9_select;
    SingleAddress test7_error_mask;
    SingleAddress test7_error_counter;
    SingleAddress test7_total_checked;
    SingleAddress test9_result0;
    SingleAddress test9_result1;
    SingleAddress test9_result2;
    SingleAddress test9_result3;
    SingleAddress test9_result4;
    SingleAddress test9_result5;
    SingleAddress test9_result6;
    SingleAddress test9_result7;
    SingleAddress test9_result8;
    SingleAddress data_zeroing;
    SingleAddress lock_checking;
    SingleAddress test7_enable;
    SingleAddress deser_word28;
    SingleAddress deser_word29;
    SingleAddress deser_word30;
    SingleAddress deser_word31;
    SingleAddress open_setting;
};
