// tolmaren selftest: the basestation's built-in self tests 4 to 9, each with
// its verdict and the text it leaves on the basestation's display.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ProbeSession.h"
#include "recording/ToolError.h"
#include "tolmaren_tools/SelfTests.h"

using tolmaren_tools::SelfTests;

namespace {

struct SelftestOptions {
    std::vector<unsigned int> tests{4, 5, 6, 7, 8, 9};
    SelfTests::Settings settings;
};

void selftest(const Invocation& invocation, const SelftestOptions& options) {
    ProbeSession session(invocation);
    unsigned int failed = 0, total = 0;
    for (unsigned int test : options.tests) {
        for (const SelfTests::Outcome& outcome :
             SelfTests::run(session.api(), test, options.settings)) {
            ++total;
            failed += outcome.passed ? 0 : 1;
            std::printf("test %-3s %-6s \"%s\"  %s\n", outcome.name.c_str(),
                        outcome.passed ? "passed" : "FAILED", outcome.display.c_str(),
                        outcome.detail.c_str());
            std::fflush(stdout);
        }
    }
    if (failed != 0)
        throw tolmaren_recording::ToolError(std::to_string(failed) + " of " +
                                            std::to_string(total) + " self tests failed");
}

} // namespace

void addSelftestCommand(CLI::App& app, Invocation& invocation) {
    auto options = std::make_shared<SelftestOptions>();
    CLI::App* command = app.add_subcommand(
        "selftest", "Run the built-in self tests (default 4 to 9): 4 basestation LEDs, memory and "
                    "data loopback; 5 serial link; 6 PRBS; 7, 8a/8b, 9a/9b datapath checks");
    command->add_option("tests", options->tests, "Tests to run, in order")
        ->check(CLI::Range(4u, 9u));
    command->add_option("--toggles", options->settings.toggles,
                        "Heartbeat toggles of test 5, one second each (default 1)");
    command
        ->add_option("--seconds", options->settings.seconds,
                     "How long tests 6 to 9 run before their results are read (default 1)")
        ->check(CLI::Range(0.0, 3600.0));
    command
        ->add_option("--selection", options->settings.selection,
                     "Pattern selection of test 8 (0 to 3)")
        ->check(CLI::Range(0u, 3u));
    addBasestationOptions(*command, invocation);
    command->callback([&invocation, options] { selftest(invocation, *options); });
}
