#pragma once

#include "data/BlockSource.h"
#include "data/TolmarenConnectionLinkIntf.h"

// The facade's data link as the stream decoder's source: whichever link the
// facade holds at the time of each read. A playback link that delivers
// nothing has reached the end of its file; a live one has only paused.
class DataLinkSource : public BlockSource {
public:
    DataLinkSource(TolmarenConnectionLinkIntf* const& link, const bool& playback)
        : link_(link), playback_(playback) {}

    const unsigned char* take(unsigned int n) override {
        const unsigned char* bytes = link_ != nullptr ? link_->rawread(n) : nullptr;
        ended_ = bytes == nullptr && (playback_ || link_ == nullptr);
        return bytes;
    }
    bool ended() const override { return ended_ || link_ == nullptr; }
    bool keepsTaken(unsigned int n) const override {
        return link_ != nullptr && link_->keepsDelivered(n);
    }

private:
    TolmarenConnectionLinkIntf* const& link_;
    const bool& playback_;
    bool ended_ = false;
};
