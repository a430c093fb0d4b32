#include "registers/t_lcd_control.h"

t_lcd_control::t_lcd_control(unsigned int base, VciInterface* vci)
    : base_(base), lcd_text0(4 * base + 0x00, vci), lcd_text1(4 * base + 0x04, vci),
      lcd_text2(4 * base + 0x08, vci), lcd_text3(4 * base + 0x0C, vci),
      lcd_text4(4 * base + 0x10, vci), lcd_text5(4 * base + 0x14, vci),
      lcd_text6(4 * base + 0x18, vci), lcd_text7(4 * base + 0x1C, vci) {}
