#include "engine/input/Listener.h"

#include <algorithm>

namespace kovra::engine::input {

Listener::Listener(Receiver& receiver, CommandSet commands, Firmware firmware, std::function<void(double)> rateAsked,
                   std::function<void(const HelmOrder&)> steer)
    : receiver_(receiver),
      commands_(commands),
      firmware_(std::move(firmware)),
      rateAsked_(std::move(rateAsked)),
      steer_(std::move(steer)) {}

namespace {

void Add(InputCounts& total, const InputCounts& n) {
    total.bytes += n.bytes;
    total.sentences += n.sentences;
    total.frames += n.frames;
    total.badChecksums += n.badChecksums;
    total.overlong += n.overlong;
    total.garbage += n.garbage;
}

}  // namespace

void Listener::Forget(std::size_t consumer) {
    const auto found = std::find_if(framers_.begin(), framers_.end(), [&](const auto& f) { return f.first == consumer; });
    if (found != framers_.end()) {
        Add(gone_, found->second.Counts());
        framers_.erase(found);
    }
}

Listener::Reply Listener::Receive(std::size_t consumer, std::string_view bytes) {
    auto found = std::find_if(framers_.begin(), framers_.end(), [&](const auto& f) { return f.first == consumer; });
    Framer& framer = found != framers_.end() ? found->second : framers_.emplace_back(consumer, Framer{}).second;
    std::vector<Frame> frames;
    framer.Feed(bytes, frames);
    Reply reply;
    for (const Frame& frame : frames) {
        if (steer_) {
            if (const std::optional<HelmOrder> order = HelmOrderOf(frame, receiver_.Configuration().magneticVariation)) {
                ++steering_;
                steer_(*order);
                continue;
            }
        }
        Answer answer = AnswerTo(commands_, frame, firmware_, receiver_.Configuration());
        if (!answer.handled) {
            ++ignored_;
            continue;
        }
        ++commandsAnswered_;
        reply.bytes += answer.reply;
        if (answer.change.baud) {
            reply.baud = answer.change.baud;
        }
        if (answer.change.rate && rateAsked_) {
            rateAsked_(*answer.change.rate);
        }
        if (!answer.change.Empty()) {
            receiver_.Configure(answer.change);
        }
    }
    return reply;
}

Listener::Counts Listener::Total() const {
    Counts total{gone_, commandsAnswered_, ignored_, steering_};
    for (const auto& [consumer, framer] : framers_) {
        Add(total.input, framer.Counts());
    }
    return total;
}

std::string Listener::Summary() const {
    const Counts t = Total();
    const auto count = [](std::uint64_t n, const std::string& what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    return "input: " + count(t.input.bytes, "byte") + ", " + count(t.commands, "command") + ", " +
           (t.steering > 0 ? count(t.steering, "autopilot sentence") + ", " : "") +
           std::to_string(t.ignored) + " ignored, " + std::to_string(t.input.Rejected()) + " rejected (" +
           std::to_string(t.input.badChecksums) + " bad checksum, " + std::to_string(t.input.overlong) +
           " overlong, " + std::to_string(t.input.garbage) + " garbage bytes)";
}

}  // namespace kovra::engine::input
