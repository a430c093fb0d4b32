// The library's one diagnostic sink: standard error until an application
// redirects it, and silent when asked.
#include <gtest/gtest.h>

#include <sstream>

#include "api/Tolmaren_basestation_api.h"
#include "common/ScopedWorkDir.h"
#include "link/Diagnostics.h"

TEST(Diagnostics, GoToStandardErrorUntilRedirectedOrSilenced) {
    ScopedWorkDir dir;
    EXPECT_EQ(&Diagnostics::stream(), &std::cerr);
    std::ostringstream lines;
    Diagnostics::redirect(&lines);
    // The playback link announces itself; the in-memory register space traces
    // the open's register writes.
    ASSERT_EQ(Tolmaren_basestation_api().tolmaren_open(std::string("none.bin")), 0u);
    const std::string seen = lines.str();
    EXPECT_EQ(seen.rfind("TolmarenDataConnectionLink with playback none.bin\n", 0), 0u) << seen;
    EXPECT_NE(seen.find("vciWrite "), std::string::npos) << seen;
    Diagnostics::redirect(nullptr);
    ASSERT_EQ(Tolmaren_basestation_api().tolmaren_open(std::string("none.bin")), 0u);
    Diagnostics::redirect(&std::cerr);
    EXPECT_EQ(lines.str(), seen);
}
