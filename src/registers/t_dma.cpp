#include "registers/t_dma.h"

t_dma::t_dma(unsigned int base, VciInterface* vci)
    : base_(base), dma_word0(4 * base + 0x00, vci), dma_word1(4 * base + 0x04, vci),
      dma_word2(4 * base + 0x08, vci),
      dma_word3(4 * base + 0x0C, vci), dma_array1{4 * base + 0x10, 4, vci},
      dram_test_start(4 * base + 0x50, vci),
      dma_word5(4 * base + 0x54, vci), dma_array2{4 * base + 0x58, 4, vci},
      dma_error(4 * base + 0x98, vci), dram_test_busy(4 * base + 0x9C, vci),
      dram_test_error(4 * base + 0xA0, vci), dma_word9(4 * base + 0xA4, vci),
      dma_word10(4 * base + 0xA8, vci), fifo_filling(4 * base + 0xAC, vci) {}
