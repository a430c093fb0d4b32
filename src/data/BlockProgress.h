#pragma once

// How far the decode of one unit (an electrode block or an ADC record) got:
// the fields it stored before its first failing check. Fields past those
// keep whatever they held.
struct BlockProgress {
    bool passed = false;
    unsigned int counters = 0;  // counter words stored, in order (13 for a block, 1 for a record)
    unsigned int lfpCodes = 0;  // LFP codes stored, in stream order (of 32)
    unsigned int dataCodes = 0; // AP codes (of 384) or ADC codes (of 32) stored
};
