#include "tolmaren_tools/SelfTests.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "recording/ToolError.h"

namespace tolmaren_tools {

using tolmaren_recording::ToolError;

namespace {

using Api = Tolmaren_basestation_api;
using Outcome = SelfTests::Outcome;

void runFor(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::string code(unsigned int status) {
    return "code " + std::to_string(status);
}

Outcome test4(Api& api) {
    static const char* const texts[] = {"Test 4 Success  ", "", "Test 4 LED err  ",
                                        "Test 4 DRAM err ", "Test 4 LPBK err "};
    const unsigned int status = api.tolmaren_test4();
    api.tolmaren_mode(3);
    return {"4", status == 0, texts[status], status == 0 ? "" : code(status)};
}

Outcome test5(Api& api, unsigned int toggles) {
    unsigned char id0 = 0, id1 = 0;
    const unsigned int status = api.tolmaren_test5(id0, id1, toggles);
    char ids[48];
    std::snprintf(ids, sizeof ids, "headstage registers 0x00 0x%02X, 0x01 0x%02X", id0, id1);
    return {"5", status == 0, status == 0 ? "Test 5 Success  " : "Test 5 UART err ",
            status == 0 ? ids : code(status)};
}

Outcome test6(Api& api, double seconds) {
    static const char* const texts[] = {"Test 6 Success  ", "",
                                        "Test 6 UART err ", "Test 6 SER err  ",
                                        "Test 6 DESER err", "Test 6 PRBS ERR "};
    const unsigned int started = api.tolmaren_startTest6();
    if (started != 0) return {"6", false, texts[started], "start " + code(started)};
    runFor(seconds);
    unsigned char errors = 0;
    const unsigned int status = api.tolmaren_stopTest6(errors);
    return {"6", status == 0, texts[status],
            status == 5 ? std::to_string(errors) + " PRBS errors"
            : status    ? code(status)
                        : ""};
}

Outcome test7(Api& api, double seconds) {
    const unsigned int started = api.tolmaren_startTest7();
    if (started != 0) return {"7", false, "Test 7 UART err ", "start " + code(started)};
    runFor(seconds);
    const uint32_t errors = api.tolmaren_test7GetErrorCounter();
    const unsigned int mask = api.tolmaren_test7GetErrorMask();
    const uint32_t checked = api.tolmaren_test7GetTotalChecked();
    const unsigned int stopped = api.tolmaren_stopTest7();
    // A run that checked nothing has not shown the link to work.
    const bool passed = errors == 0 && mask == 0 && checked > 0 && stopped == 0;
    char detail[96];
    std::snprintf(detail, sizeof detail, "%u errors, mask 0x%02X, %u words checked%s", errors, mask,
                  checked, stopped ? ", stop failed" : "");
    return {"7", passed, errors || mask ? "Test 7 Error    " : "Test 7 Success  ", detail};
}

Outcome test8(Api& api, bool variantA, unsigned int selection, double seconds) {
    const std::string name = variantA ? "8a" : "8b";
    const unsigned int started =
        api.tolmaren_startTest8(variantA, static_cast<unsigned char>(selection));
    if (started != 0) return {name, false, "", "start " + code(started)};
    runFor(seconds);
    bool flag2 = false, flag1 = false, flag0 = false;
    const unsigned int read = api.tolmaren_test8GetErrorCounter(variantA, flag2, flag1, flag0);
    const unsigned int stopped = api.tolmaren_stopTest8();
    if (read != 0) return {name, false, "Test 8 UART err ", "reading the flags: " + code(read)};
    const bool failed = flag1 || flag0 || (variantA && flag2);
    // A flag the probe's output did not clear is a check it did not pass.
    const std::string flags = "error flags 2, 1, 0: " + std::to_string(flag2) + ", " +
                              std::to_string(flag1) + ", " + std::to_string(flag0) +
                              (variantA ? " (1: a check not passed)"
                                        : " (1: a check not passed; flag 2, the test pattern, "
                                          "counts in 8a only)") +
                              (stopped ? ", stop " + code(stopped) : "");
    return {name, !failed && stopped == 0,
            failed ? (variantA ? "Test 8a Error   " : "Test 8b Error   ") : "Test 8 Success  ",
            flags};
}

Outcome test9(Api& api, bool variantA, double seconds) {
    const std::string name = variantA ? "9a" : "9b";
    const unsigned int started = api.tolmaren_startTest9(variantA);
    // Code 2 also stands for clearing the BIST bits, which shows nothing.
    if (started != 0) return {name, false, "", "start " + code(started)};
    runFor(seconds);
    uint32_t r[9] = {};
    api.tolmaren_test9GetResults(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8]);
    api.tolmaren_stopTest9();
    const bool errors = (r[0] | r[2] | r[4] | r[5] | r[6] | r[7]) != 0;
    const bool arrived = (r[1] | r[3] | r[8]) != 0;
    std::string results = "results";
    for (uint32_t value : r)
        results += " " + std::to_string(value);
    return {name, !errors && arrived,
            errors    ? "Test 9 Error    "
            : arrived ? "Test 9 Success  "
                      : "Test 9 No data  ",
            results};
}

} // namespace

std::vector<Outcome> SelfTests::run(Api& api, unsigned int test, const Settings& settings) {
    switch (test) {
    case 4:
        return {test4(api)};
    case 5:
        return {test5(api, settings.toggles)};
    case 6:
        return {test6(api, settings.seconds)};
    case 7:
        return {test7(api, settings.seconds)};
    case 8:
        return {test8(api, true, settings.selection, settings.seconds),
                test8(api, false, settings.selection, settings.seconds)};
    case 9:
        return {test9(api, true, settings.seconds), test9(api, false, settings.seconds)};
    default:
        throw ToolError("there is no self test " + std::to_string(test) + " (4 to 9)");
    }
}

} // namespace tolmaren_tools
