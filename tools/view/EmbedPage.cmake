# Writes OUTPUT, a C++ source that defines PageAssets::all() with the bytes
# of FILES (the view's page), so that the tool serves them without reading
# anything at run time.
set(entries "")
set(arrays "")
set(index 0)
foreach(file ${FILES})
  get_filename_component(name ${file} NAME)
  get_filename_component(extension ${file} EXT)
  if(extension STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(extension STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  elseif(extension STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  else()
    message(FATAL_ERROR "no content type for ${name}")
  endif()
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char asset${index}[] = {${bytes}};\n")
  string(APPEND entries "        {\"/${name}\", \"${type}\", {reinterpret_cast<const char*>(asset${index}), ${size}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Generated from tools/view/page by EmbedPage.cmake.
#include \"view/PageAssets.h\"

namespace tolmaren_view {

namespace {

${arrays}
} // namespace

const std::vector<PageAsset>& PageAssets::all() {
    static const std::vector<PageAsset> assets = {
${entries}    };
    return assets;
}

} // namespace tolmaren_view
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
