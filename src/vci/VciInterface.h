#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// Access to the basestation's 32-bit registers at byte addresses. VciEncoder
// speaks to the hardware; VciDummy is the in-memory space used in playback.
class VciInterface {
public:
    enum IncrementAddress : unsigned int { NoIncrement = 0, Increment = 1 };

    class Exception : public std::runtime_error {
    public:
        explicit Exception(const std::string& message) : std::runtime_error(message) {}
    };

    virtual ~VciInterface() = default;
    virtual void vciWrite(unsigned int address, unsigned int data) = 0;
    virtual unsigned int vciRead(unsigned int address) = 0;
    virtual unsigned int getVciDataWidth() const = 0;
    virtual void vciBurstWrite(unsigned int address, const std::vector<unsigned int>& data,
                               IncrementAddress increment);
    virtual std::vector<unsigned int> vciBurstRead(unsigned int address, unsigned int count,
                                                   IncrementAddress increment);
};
