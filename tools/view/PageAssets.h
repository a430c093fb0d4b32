#pragma once

#include <string_view>
#include <vector>

namespace tolmaren_view {

// One file of the page, compiled into the binary (see EmbedPage.cmake).
struct PageAsset {
    std::string_view path; // "/index.html"
    std::string_view contentType;
    std::string_view bytes;
};

// The page's files: the tool fetches nothing at run time, and the page
// nothing from the network.
class PageAssets {
public:
    static const std::vector<PageAsset>& all();
    // The file served at `path` ("/" is "/index.html"), or null.
    static const PageAsset* find(std::string_view path);
};

} // namespace tolmaren_view
