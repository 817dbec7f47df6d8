// Per-output sentence lists: an output given only some kinds of sentence.
#include <algorithm>
#include <array>

#include "engine/outputs/Outputs.h"

namespace kovra::engine {

namespace {

std::array<char, 8> UbxKind(std::uint8_t messageClass, std::uint8_t id) {
    constexpr char kHex[] = "0123456789ABCDEF";
    return {'U', 'B', 'X', '-', kHex[messageClass >> 4], kHex[messageClass & 15], kHex[id >> 4], kHex[id & 15]};
}

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
        for (std::size_t start = 0; start < update.size();) {
            const std::size_t end = PieceEnd(update, start);
            const std::string_view piece = update.substr(start, end - start);
            std::array<char, 8> ubx{};
            if (Keeps(PieceKind(piece, ubx))) {
                kept.append(piece);
            }
            start = end;
        }
    }
    // A sentence's kind, or a UBX frame's as UbxKindOf names it (written
    // into `ubx`, so that no piece costs an allocation).
    static std::string_view PieceKind(std::string_view piece, std::array<char, 8>& ubx) {
        if (piece.size() < 8 || piece[0] != '\xB5' || piece[1] != '\x62') {
            return SentenceKind(piece);
        }
        ubx = UbxKind(static_cast<std::uint8_t>(piece[2]), static_cast<std::uint8_t>(piece[3]));
        return {ubx.data(), ubx.size()};
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

std::size_t PieceEnd(std::string_view update, std::size_t start) {
    const std::string_view rest = update.substr(start);
    if (rest.size() >= 6 && rest[0] == '\xB5' && rest[1] == '\x62') {
        // A UBX frame, whose bytes may hold a newline: its length says where it ends.
        const std::size_t length =
            static_cast<std::uint8_t>(rest[4]) | static_cast<std::size_t>(static_cast<std::uint8_t>(rest[5])) << 8;
        return start + std::min(rest.size(), 8 + length);
    }
    const std::size_t newline = rest.find('\n');
    return newline == std::string_view::npos ? update.size() : start + newline + 1;
}

std::string UbxKindOf(std::uint8_t messageClass, std::uint8_t id) {
    const std::array<char, 8> kind = UbxKind(messageClass, id);
    return {kind.begin(), kind.end()};
}

std::unique_ptr<Output> Filtered(std::unique_ptr<Output> output, std::vector<std::string> kinds,
                                 std::vector<std::string> known) {
    return std::make_unique<FilteredOutput>(std::move(output), std::move(kinds), std::move(known));
}

}  // namespace kovra::engine
