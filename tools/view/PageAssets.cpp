#include "view/PageAssets.h"

namespace tolmaren_view {

const PageAsset* PageAssets::find(std::string_view path) {
    if (path == "/") path = "/index.html";
    for (const PageAsset& asset : all())
        if (asset.path == path) return &asset;
    return nullptr;
}

} // namespace tolmaren_view
