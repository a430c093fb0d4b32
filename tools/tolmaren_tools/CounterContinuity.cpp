#include "tolmaren_tools/CounterContinuity.h"

namespace tolmaren_tools {

void CounterContinuity::next(uint32_t counter) {
    if (started_ && counter != ((last_ + 1) & 0xFFFFFFu)) ++gaps_;
    started_ = true;
    last_ = counter;
}

} // namespace tolmaren_tools
