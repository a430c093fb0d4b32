// The simulator's servers under clients that fail them: a serving that
// throws, accepts failing for want of descriptors, a client that stalls.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <future>
#include <sys/resource.h>

#include "link/TCPDescriptor.h"
#include "link/TCPSocket.h"
#include "sim/BasestationSimulator.h"

using Descriptor = std::unique_ptr<morvek::TCPDescriptor>;

// Whether done() holds within five seconds.
static bool eventually(const std::function<bool()>& done) {
    for (int ms = 0; ms < 5000 && !done(); ++ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

TEST(SimulatorServers, AClientWhoseServingThrowsIsDroppedAndAcceptsOutOfDescriptorsWait) {
    std::atomic<int> served{0};
    tolmaren_sim::ServerThread server([&](int) {
        if (++served == 1) throw std::bad_alloc();
    });
    server.start("127.0.0.1", 0);
    const Descriptor first(morvek::TCPSocket().connect("127.0.0.1", server.port()));
    ASSERT_TRUE(eventually([&] { return server.failedClients() == 1; }));

    // The second client connects once no descriptor is left to accept it.
    const int second = ::socket(AF_INET, SOCK_STREAM, 0), lowestFree = ::dup(2);
    ::close(lowestFree);
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit none{static_cast<rlim_t>(lowestFree), limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
    sockaddr_in address{AF_INET, htons(server.port()), {htonl(INADDR_LOOPBACK)}, {}};
    ASSERT_EQ(::connect(second, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const bool failing = eventually([&] { return server.failedAccepts() > 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const uint64_t failed = server.failedAccepts();
    ::setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_TRUE(failing && failed <= 2 + 500 / tolmaren_sim::ServerThread::acceptRetryMs)
        << failed << " failed accepts in 500 ms";
    EXPECT_TRUE(eventually([&] { return served == 2; })) << "served once descriptors are free";
    ::close(second);
}

// Half a ping from the first client, a whole one from the next.
TEST(SimulatorServers, AStalledClientHoldsThePortUntilItClosesAndStopIsPrompt) {
    tolmaren_sim::SimulatorOptions options;
    options.configPort = options.data.port = 0;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    const auto connect = [&] {
        return Descriptor(morvek::TCPSocket().connect("127.0.0.1", sim.configPort()));
    };
    Descriptor stalled = connect();
    const Descriptor next = connect();
    const std::string ping("\x7E\x03\0\0\0\x12\x34\x56\x78\0\0\0\0\x7E\x7E\x7E", 16);
    ASSERT_TRUE(stalled->writen(ping.data(), 2) && next->writen(ping.data(), 16));
    char reply[16];
    next->setReadTimeoutMilli(300);
    EXPECT_FALSE(next->readn(reply, 16)) << "no reply while the first client holds the port";
    stalled = connect(); // the first one closes, another waits in the backlog
    next->setReadTimeoutMilli(5000);
    ASSERT_TRUE(next->readn(reply, 16));
    EXPECT_EQ(std::string(reply, 16), ping) << "the reply echoes the ping word for word";
    auto stopped = std::async(std::launch::async, [&] { sim.stop(); });
    EXPECT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}
