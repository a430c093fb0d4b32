#pragma once

#include "vci/SingleAddress.h"

// The basestation display: two 16-character lines, four characters a register,
// the groups of each line in reverse order (lcd_text0 holds line 1's last four).
class t_lcd_control {
public:
    t_lcd_control(unsigned int base, VciInterface* vci);

    unsigned int base_;
    SingleAddress lcd_text0;
    SingleAddress lcd_text1;
    SingleAddress lcd_text2;
    SingleAddress lcd_text3;
    SingleAddress lcd_text4;
    SingleAddress lcd_text5;
    SingleAddress lcd_text6;
    SingleAddress lcd_text7;
};
