// Per-output sentence lists: an output given only some kinds of sentence.
#include <algorithm>

#include "engine/outputs/Outputs.h"

namespace kovra::engine {

namespace {

class FilteredOutput final : public Output {
public:
    FilteredOutput(std::unique_ptr<Output> output, std::vector<std::string> kinds, std::vector<std::string> known)
        : output_(std::move(output)), kinds_(std::move(kinds)), known_(std::move(known)) {}

    void Write(std::string_view update) override {
        kept_.clear();
        Keep(update, kept_);
        if (!kept_.empty()) {
            output_->Write(kept_);
        }
    }
    std::string Passed(std::string_view update) const override {
        std::string kept;
        Keep(update, kept);
        return kept;
    }
    void Listen(Listening listening) override { output_->Listen(std::move(listening)); }
    void Watch(std::vector<pollfd>& waits) override { output_->Watch(waits); }
    void Serve(std::span<const pollfd> ready) override { output_->Serve(ready); }
    void Finish() override { output_->Finish(); }
    std::chrono::steady_clock::time_point WakeAt() const override { return output_->WakeAt(); }
    void Wake() override { output_->Wake(); }

private:
    void Keep(std::string_view update, std::string& kept) const {
        std::size_t start = 0;
        while (start < update.size()) {
            const std::size_t newline = update.find('\n', start);
            const std::size_t end = newline == std::string_view::npos ? update.size() : newline + 1;
            const std::string_view line = update.substr(start, end - start);
            if (Keeps(SentenceKind(line))) {
                kept.append(line);
            }
            start = end;
        }
    }
    bool Keeps(std::string_view kind) const {
        const auto in = [kind](const std::vector<std::string>& list) {
            return std::find(list.begin(), list.end(), kind) != list.end();
        };
        return in(kinds_) || !in(known_);
    }

    std::unique_ptr<Output> output_;
    std::vector<std::string> kinds_;
    std::vector<std::string> known_;
    std::string kept_;
};

}  // namespace

std::string_view SentenceKind(std::string_view line) {
    if (line.size() < 7 || (line[0] != '$' && line[0] != '!') || line[6] != ',') {
        return {};
    }
    return line.substr(3, 3);
}

std::unique_ptr<Output> Filtered(std::unique_ptr<Output> output, std::vector<std::string> kinds,
                                 std::vector<std::string> known) {
    return std::make_unique<FilteredOutput>(std::move(output), std::move(kinds), std::move(known));
}

}  // namespace kovra::engine
