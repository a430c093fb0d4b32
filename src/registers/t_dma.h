#pragma once

#include "vci/SingleAddress.h"
#include "vci/VciArray.h"

// The basestation's DMA engine with its memory test and data FIFO fill.
class t_dma {
public:
    static constexpr unsigned int arrayCount = 16;

    t_dma(unsigned int base, VciInterface* vci);

    unsigned int base_;
    SingleAddress dma_word0;
    SingleAddress dma_word1;
    SingleAddress dma_word2;
    SingleAddress dma_word3;
    VciArray<SingleAddress, arrayCount> dma_array1;
    SingleAddress dram_test_start;
    SingleAddress dma_word5;
    VciArray<SingleAddress, arrayCount> dma_array2;
    SingleAddress dma_error;
    SingleAddress dram_test_busy;
    SingleAddress dram_test_error;
    SingleAddress dma_word9;
    SingleAddress dma_word10;
    SingleAddress fifo_filling;
};
