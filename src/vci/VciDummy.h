#pragma once

#include <map>

#include "link/DiagnosticsSink.h"
#include "vci/VciInterface.h"

// In-memory register space standing in for the basestation in playback: every
// register reads back the last value written to it, or 0. Each access leaves a
// trace line with the process-wide diagnostics sink, or the one given.
class VciDummy : public VciInterface {
public:
    VciDummy();
    explicit VciDummy(DiagnosticsSink& diagnostics) : diagnostics_(diagnostics) {}

    void vciWrite(unsigned int address, unsigned int data) override;
    unsigned int vciRead(unsigned int address) override;
    unsigned int getVciDataWidth() const override;

private:
    std::map<unsigned int, unsigned int> registers_;
    DiagnosticsSink& diagnostics_;
};
