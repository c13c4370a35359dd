// tarvikctl watch [--json] [--interval SECONDS]: one line per keyboard event until interrupted.
#include "cli/CliCommand.h"
#include "cli/Interruption.h"
#include "cli/Watch.h"

#include <charconv>
#include <mutex>

namespace tarvik::cli {

namespace {

// Lines on standard output, one event at a time and flushed at once, since a script reads them from a pipe.
class LineSink final : public watch::EventSink {
public:
    LineSink(std::ostream& out, bool json) : out_(out), json_(json) {}
    void emit(const watch::Event& event) override {
        std::lock_guard lock(mutex_);
        out_ << watch::formatEvent(event, json_) << '\n';
        out_.flush();
    }

private:
    std::mutex mutex_;
    std::ostream& out_;
    bool json_;
};

int runWatchCommand(CliContext& ctx, std::span<const std::string_view> args) {
    watch::Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--interval" && i + 1 < args.size()) {
            const std::string_view v = args[++i];
            unsigned seconds = 0;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
            if (ec != std::errc{} || end != v.data() + v.size() || seconds == 0 || seconds > 3600) {
                ctx.err << "tarvikctl: watch: --interval takes 1-3600 seconds, not '" << v << "'\n";
                return 2;
            }
            options.interval = std::chrono::seconds(seconds);
        } else {
            ctx.err << "tarvikctl: watch: unexpected argument '" << args[i]
                    << "' (see tarvikctl watch --help)\n";
            return 2;
        }
    }
    watch::StopSignal stop;
    // SIGINT, SIGTERM and SIGHUP end the watch as its normal way out (exit 0).
    interruption::OnInterrupt signals([&stop] { stop.raise(); }, true);
    LineSink sink(ctx.out, ctx.json);
    return watch::runWatch(ctx, options, sink, stop);
}

} // namespace

extern const CliCommand kWatchCommand{
    "watch", "watch [--json] [--interval SECONDS]", "Print the keyboard's events as they happen",
    "Prints one line per keyboard event until interrupted (Ctrl+C), then exits with 0:\n"
    "  attached N          a keyboard arrived; N keyboards are attached now\n"
    "  detached 0          the keyboard left\n"
    "  layer L             the G-key layer was switched on the keyboard (L = 0 or 1)\n"
    "  lighting changed    the lighting was changed on the keyboard\n"
    "  profile P           the keyboard runs on-board profile P (read after an arrival or a lighting\n"
    "                      change, and every SECONDS with --interval)\n"
    "The current state comes first. With --json each line is an object: {\"event\": \"attached\",\n"
    "\"keyboards\": 1}, {\"event\": \"detached\", \"keyboards\": 0}, {\"event\": \"layer\", \"layer\": 1},\n"
    "{\"event\": \"lighting\"}, {\"event\": \"profile\", \"profile\": 2}. Lines are flushed at once. It "
    "runs\n"
    "beside the program: every process sees the keyboard's events.",
    runWatchCommand};

} // namespace tarvik::cli
