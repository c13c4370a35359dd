// portmux-sim serve with several clients at once: what each sees of the one keyboard, what a client that
// misbehaves or leaves does to the others, and the daemon's own start and stop.
#include "tests/portmux/ServerFixture.h"

#include "portmux/server/SimServer.h"
#include "portmux/src/SimWire.h"
#include "tests/support/ScopedEnv.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace portmux::test {
namespace {

using namespace std::chrono_literals;

// A raw connection to the daemon, for the bytes no client of ours would send.
class RawSocket {
public:
    explicit RawSocket(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~RawSocket() { ::close(fd_); }
    bool connected() const { return connected_; }
    bool send(const std::vector<uint8_t>& bytes) {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Everything the daemon sends until it closes the connection (nullopt: still open after the limit).
    std::optional<std::vector<uint8_t>> readUntilClosed(std::chrono::milliseconds limit = 10s) {
        std::vector<uint8_t> got;
        const auto until = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return std::nullopt;
            }
            uint8_t buf[4096];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) {
                return got;
            }
            got.insert(got.end(), buf, buf + n);
        }
    }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
    bool connected_ = false;
};

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST_F(PortmuxServer, EveryClientReceivesEveryReplyAndEveryKeyboardEvent) {
    LibClient a(socket, 1);
    LibClient b(socket, 2);
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(a.count(), 1);
    EXPECT_EQ(b.count(), 1);
    EXPECT_EQ(status().clients, 2u);

    const auto reply = a.exchange(request(sim::kReadConfig, 44));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ((*reply)[3], sim::kReadConfig);
    EXPECT_EQ((*reply)[8 + 11], sim::kFactoryMacroUnits);
    ASSERT_TRUE(b.waitReplies(1)) << "a reply to another client's report reaches every client";
    EXPECT_EQ(b.replies()[0].bytes, std::vector<uint8_t>(reply->begin(), reply->end()));

    for (const char* v : {"lighting", "layer"}) {
        EXPECT_EQ(verb({v}).exitCode, 0) << v;
    }
    EXPECT_EQ(verb({"cons", "0x1811"}).exitCode, 0);
    ASSERT_TRUE(a.waitCodes(3));
    ASSERT_TRUE(b.waitCodes(3));
    const std::vector<uint16_t> codes = {0x0401, 0x02FF, 0x1811};
    EXPECT_EQ(a.codes(), codes);
    EXPECT_EQ(b.codes(), codes);

    const Finished unplug = verb({"unplug"});
    EXPECT_EQ(unplug.exitCode, 0) << unplug.err;
    ASSERT_TRUE(a.waitCounts(1));
    ASSERT_TRUE(b.waitCounts(1));
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(a.write(request(sim::kReadConfig, 44)), 0) << "a keyboard that is gone takes no report";
    const Finished cons = verb({"cons", "0x0401"});
    EXPECT_EQ(cons.exitCode, 1);
    EXPECT_NE(cons.err.find("unplugged"), std::string::npos) << cons.err;

    EXPECT_EQ(verb({"plug"}).exitCode, 0);
    ASSERT_TRUE(a.waitCounts(2));
    ASSERT_TRUE(b.waitCounts(2));
    EXPECT_EQ(a.counts(), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(b.counts(), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(b.count(), 1);
    EXPECT_EQ(status().violations, 0u);
}

TEST_F(PortmuxServer, AClientThatLeavesTakesItsOpenFrameWithIt) {
    const auto factory = control().flash(sim::Area::Settings);
    ASSERT_TRUE(factory.has_value());
    {
        LibClient a(socket, 1);
        ASSERT_TRUE(a.ok());
        ASSERT_TRUE(a.exchange(request(sim::kBeginWrite)).has_value());
        ASSERT_TRUE(a.exchange(request(sim::kWriteSettings, 1, 15, {3})).has_value());
        EXPECT_TRUE(status().frameOpen);
    }
    EXPECT_TRUE(eventually([&] { return !status().frameOpen; })) << "the frame of a client that left";
    EXPECT_EQ(control().flash(sim::Area::Settings), factory);
    EXPECT_NE(serverLog().find("left with its write frame open"), std::string::npos) << serverLog();

    // Another client's frame is its own: a third that comes and goes leaves it alone.
    LibClient b(socket, 2);
    ASSERT_TRUE(b.ok());
    ASSERT_TRUE(b.exchange(request(sim::kBeginWrite)).has_value());
    { LibClient c(socket, 3); }
    EXPECT_TRUE(eventually([&] { return status().clients == 1; }));
    EXPECT_TRUE(status().frameOpen);
    ASSERT_TRUE(b.exchange(request(sim::kWriteSettings, 1, 15, {3})).has_value());
    ASSERT_TRUE(b.exchange(request(sim::kEndWrite)).has_value());
    const auto settings = control().flash(sim::Area::Settings);
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ((*settings)[15], 3);
}

TEST_F(PortmuxServer, AClientSendingGarbageIsDroppedWhileOthersGoOn) {
    LibClient good(socket, 1);
    ASSERT_TRUE(good.ok());
    const auto hello = wire::encode(wire::Hello{wire::kVersion, wire::Role::Keyboard});
    const auto controlHello = wire::encode(wire::Hello{wire::kVersion, wire::Role::Control});
    const auto write = wire::encode(wire::Write{1, request(sim::kReadConfig, 44)});
    auto truncatedWrite = write;
    truncatedWrite[0] = static_cast<uint8_t>(truncatedWrite[0] - 1); // the length says one byte less
    truncatedWrite.pop_back();
    auto badMagic = hello;
    badMagic[5] = 'Q';
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"a length far above the limit", {0xFF, 0xFF, 0xFF, 0x7F, 0x01}},
        {"a length of 0", {0, 0, 0, 0}},
        {"a report before the greeting", write},
        {"a greeting that is not ours", badMagic},
        {"an unknown message type", hello + std::vector<uint8_t>{1, 0, 0, 0, 0x55}},
        {"a report one byte short", hello + truncatedWrite},
        {"a second greeting", hello + hello},
        {"a report from a control client", controlHello + write},
        {"plain text", {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P', '/', '1', '.', '1', '\r', '\n'}},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        RawSocket raw(socket);
        ASSERT_TRUE(raw.connected());
        ASSERT_TRUE(raw.send(bytes));
        EXPECT_TRUE(raw.readUntilClosed().has_value()) << "the daemon keeps a client that sent garbage";
        const auto reply = good.exchange(request(sim::kReadConfig, 44));
        ASSERT_TRUE(reply.has_value()) << "the other client is served on";
        EXPECT_EQ((*reply)[3], sim::kReadConfig);
    }
    EXPECT_EQ(occurrences(serverLog(), "dropped: bad message"), cases.size()) << serverLog();
    EXPECT_EQ(good.count(), 1);
    EXPECT_EQ(status().violations, 0u) << "garbage never reaches the keyboard";
}

TEST_F(PortmuxServer, AClientOfAnotherVersionIsToldWhyAndClosed) {
    RawSocket raw(socket);
    ASSERT_TRUE(raw.connected());
    ASSERT_TRUE(raw.send(wire::encode(wire::Hello{wire::kVersion + 1, wire::Role::Keyboard})));
    const auto got = raw.readUntilClosed();
    ASSERT_TRUE(got.has_value());
    wire::FrameReader reader(wire::kMaxServerBody);
    reader.feed(*got);
    const auto body = reader.next();
    ASSERT_TRUE(body.has_value());
    const auto message = wire::decodeServer(*body);
    ASSERT_TRUE(message.has_value());
    const auto* refused = std::get_if<wire::Refused>(&*message);
    ASSERT_NE(refused, nullptr);
    EXPECT_NE(refused->reason.find("version"), std::string::npos) << refused->reason;
}

TEST_F(PortmuxServer, TheFlashSurvivesARestartOfTheDaemon) {
    {
        LibClient a(socket, 1);
        ASSERT_TRUE(a.ok());
        for (const Report& r : {request(sim::kBeginWrite), request(sim::kWriteSettings, 1, 15, {3}),
                                request(sim::kWriteColours, 3, 512, {1, 2, 3}), request(sim::kEndWrite)}) {
            ASSERT_TRUE(a.exchange(r).has_value());
        }
    }
    const auto settings = control().flash(sim::Area::Settings);
    const auto colours = control().flash(sim::Area::Colours);
    ASSERT_TRUE(settings && colours);
    forgetControl();

    EXPECT_EQ(stopServer(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(socket)) << "the daemon removes its socket";
    const std::string log = serverLog();
    EXPECT_EQ(log.substr(log.rfind("portmux-sim: ")), "portmux-sim: stopped\n");

    startServer();
    EXPECT_EQ(control().flash(sim::Area::Settings), settings);
    EXPECT_EQ(control().flash(sim::Area::Colours), colours);
    EXPECT_EQ((*settings)[15], 3);
    EXPECT_EQ((*colours)[512], 1);
}

TEST_F(PortmuxServer, ASecondDaemonIsRefusedAndAStaleSocketRemoved) {
    const Finished second =
        runToEnd({program("portmux-sim"), "serve", "--socket", socket, "--state", ""}, {}, dir);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("another"), std::string::npos) << second.err;
    EXPECT_EQ(std::count(second.err.begin(), second.err.end(), '\n'), 1) << second.err;
    EXPECT_TRUE(sim::ControlClient::connect(socket, nullptr) != nullptr) << "the first one still answers";

    // A socket nobody listens at any more (a daemon that was killed) is taken over.
    EXPECT_EQ(stopServer(SIGKILL), -1);
    ASSERT_TRUE(fs::exists(socket));
    startServer();
    EXPECT_NE(serverLog().find("removed the stale socket"), std::string::npos) << serverLog();

    // Something else at the path is left alone.
    const std::string file = (dir / "run" / "not-a-socket").string();
    { std::ofstream(file) << "data"; }
    const Finished refused =
        runToEnd({program("portmux-sim"), "serve", "--socket", file, "--state", ""}, {}, dir);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("not a socket"), std::string::npos) << refused.err;
    EXPECT_EQ(fileText(file), "data");
}

// A daemon inside the test process, for what needs its options.
class PortmuxServerInProcess : public ::testing::Test {
protected:
    void SetUp() override {
        Recorder::get().setHook(nullptr);
        Recorder::get().clear();
        std::string dirTemplate = (fs::temp_directory_path() / "pmux-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(dirTemplate.data()), nullptr);
        dir = dirTemplate;
        socket = (dir / "run" / "sim.sock").string();
    }
    void TearDown() override {
        if (server) {
            server->stop();
            thread.join();
        }
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void start(sim::ServerOptions options) {
        options.socketPath = socket;
        options.log = [this](const std::string& line) {
            std::lock_guard lock(logLock);
            log += line + "\n";
        };
        server = std::make_unique<sim::SimServer>(options);
        std::string why;
        ASSERT_TRUE(server->open(&why)) << why;
        thread = std::thread([this] { server->run(); });
    }
    std::string logText() {
        std::lock_guard lock(logLock);
        return log;
    }

    fs::path dir;
    std::string socket;
    std::unique_ptr<sim::SimServer> server;
    std::thread thread;
    std::mutex logLock;
    std::string log;
};

TEST_F(PortmuxServerInProcess, AClientThatStopsReadingIsDroppedNotWaitedFor) {
    sim::ServerOptions options;
    options.maxQueuedBytes = 4096;
    start(options);
    RawSocket sleeper(socket); // greets as a keyboard client, then never reads
    ASSERT_TRUE(sleeper.connected());
    const int small = 4096;
    ::setsockopt(sleeper.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ASSERT_TRUE(sleeper.send(wire::encode(wire::Hello{wire::kVersion, wire::Role::Keyboard})));

    LibClient writer(socket, 1);
    ASSERT_TRUE(writer.ok());
    // Every reply to the writer is also queued for the sleeper, until its queue overflows.
    int answered = 0;
    for (int i = 0; i < 20000 && logText().find("does not take") == std::string::npos; ++i) {
        ASSERT_TRUE(writer.exchange(request(sim::kReadConfig, 44)).has_value()) << "exchange " << i;
        ++answered;
    }
    EXPECT_NE(logText().find("dropped: it does not take what the keyboard sends"), std::string::npos)
        << "after " << answered << " replies";
    EXPECT_TRUE(writer.exchange(request(sim::kReadConfig, 44)).has_value()) << "the writer goes on";
    EXPECT_TRUE(sleeper.readUntilClosed().has_value());
}

TEST_F(PortmuxServerInProcess, EndingTheDaemonLooksLikeAnUnplugAndItsReturnLikeAPlug) {
    start({});
    LibClient a(socket, 1);
    ASSERT_TRUE(a.ok());
    server->stop();
    thread.join();
    server.reset();
    ASSERT_TRUE(a.waitCounts(1));
    EXPECT_EQ(a.counts(), (std::vector<uint32_t>{0}));
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(a.write(request(sim::kReadConfig, 44)), 0);

    start({});
    ASSERT_TRUE(a.waitCounts(2)) << "the client connects again by itself";
    EXPECT_EQ(a.counts(), (std::vector<uint32_t>{0, 1}));
    EXPECT_TRUE(a.exchange(request(sim::kReadConfig, 44)).has_value());
}

TEST(PortmuxServerSocket, WhereTheDaemonIsLookedFor) {
    using tarvik::testsupport::ScopedEnv;
    {
        ScopedEnv socket("PORTMUX_SIM_SOCKET", "/somewhere/else.sock");
        ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
        EXPECT_EQ(sim::socketPathFromEnvironment(), "/somewhere/else.sock");
    }
    {
        ScopedEnv socket("PORTMUX_SIM_SOCKET", "");
        EXPECT_EQ(sim::socketPathFromEnvironment(), "") << "empty: no daemon, the keyboard stays in-process";
    }
    {
        std::string runtimeTemplate = (fs::temp_directory_path() / "pmux-run-XXXXXX").string();
        ASSERT_NE(::mkdtemp(runtimeTemplate.data()), nullptr);
        ScopedEnv socket("PORTMUX_SIM_SOCKET", nullptr);
        ScopedEnv runtime("XDG_RUNTIME_DIR", runtimeTemplate);
        EXPECT_EQ(sim::socketPathFromEnvironment(), runtimeTemplate + "/portmux/sim.sock");
        fs::remove_all(runtimeTemplate);
    }
    {
        // Without a runtime folder: the user's own folder in /tmp (or, when another user took that name,
        // one in the cache folder; either way private).
        ScopedEnv socket("PORTMUX_SIM_SOCKET", nullptr);
        ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
        const fs::path folder = fs::path(sim::socketPathFromEnvironment()).parent_path();
        struct stat st {};
        ASSERT_EQ(::lstat(folder.c_str(), &st), 0) << folder;
        EXPECT_EQ(st.st_uid, ::getuid());
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    std::string why;
    {
        // A socket folder others may enter is not the daemon's, whoever made it.
        std::string open = (fs::temp_directory_path() / "pmux-open-XXXXXX").string();
        ASSERT_NE(::mkdtemp(open.data()), nullptr);
        ::chmod(open.c_str(), 0755);
        EXPECT_FALSE(sim::prepareSocketFolder(open + "/sim.sock", &why));
        EXPECT_NE(why.find("0700"), std::string::npos) << why;
        fs::remove_all(open);
    }
    EXPECT_EQ(sim::RemoteSimBackend::connect("/nonexistent/portmux/sim.sock", {}, &why), nullptr);
    EXPECT_EQ(why.rfind("no server", 0), 0u) << why;
    EXPECT_EQ(sim::RemoteSimBackend::connect(std::string(200, 'x'), {}, &why), nullptr);
}

} // namespace
} // namespace portmux::test
