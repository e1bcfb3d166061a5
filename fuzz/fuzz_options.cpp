// panelsim's command line: any arguments give options or a reason, never a
// crash, and accepted options read back the same once written out again.
#include <string>
#include <variant>
#include <vector>

#include "FuzzSupport.h"
#include "Options.h"

namespace {

using namespace panelsim;

// The options as a command line that asks for exactly them.
std::vector<std::string> argsOf(const Options& o) {
    std::vector<std::string> args;
    const auto add = [&args](const std::string& flag, const std::string& value) {
        if (!value.empty()) {
            args.insert(args.end(), {flag, value});
        }
    };
    add("--socket", o.socketPath);
    add("--state", o.statePath);
    add("--log", o.logPath);
    if (o.faults.noReply)
        args.push_back("--no-reply");
    if (o.faults.nak)
        args.push_back("--nak");
    if (o.help)
        args.push_back("--help");
    if (o.faults.failWriteAt)
        add("--fail-write-at", std::to_string(*o.faults.failWriteAt));
    if (o.faults.unplugAfter)
        add("--unplug-after", std::to_string(*o.faults.unplugAfter));
    if (const auto& r = o.faults.clockReply) {
        std::string v;
        for (std::size_t i = 0; i < r->size(); ++i) {
            if (i == 5) {
                v += std::to_string((*r)[5] * 256 + (*r)[6]) + ",";
                ++i;
                continue;
            }
            v += std::to_string((*r)[i]) + (i + 1 < r->size() ? "," : "");
        }
        add("--clock-reply", v);
    }
    return args;
}

bool same(const Options& a, const Options& b) {
    return a.socketPath == b.socketPath && a.statePath == b.statePath && a.logPath == b.logPath &&
           a.help == b.help && a.faults.noReply == b.faults.noReply &&
           a.faults.nak == b.faults.nak && a.faults.failWriteAt == b.faults.failWriteAt &&
           a.faults.clockReply == b.faults.clockReply &&
           a.faults.unplugAfter == b.faults.unplugAfter;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arguments are the input's NUL-separated parts.
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    const auto parsed = parseOptions(args);
    if (const auto* reason = std::get_if<std::string>(&parsed)) {
        FUZZ_CHECK(!reason->empty());
        return 0;
    }
    const auto& options = std::get<Options>(parsed);
    const auto again = parseOptions(argsOf(options));
    FUZZ_CHECK(std::holds_alternative<Options>(again) && same(std::get<Options>(again), options));
    return 0;
}
