// What consumers send back, cut into frames: whole sentences and UBX
// frames however the bytes are split, everything else dropped and counted.
#include <gtest/gtest.h>

#include "engine/input/Framer.h"
#include "engine/receiver/UbxFrame.h"

namespace kovra::engine::input {
namespace {

std::string Ubx(std::string_view classIdPayload) {
    const std::size_t payload = classIdPayload.size() - 2;
    std::string head = std::string(classIdPayload.substr(0, 2)) + static_cast<char>(payload & 0xFF) +
                       static_cast<char>(payload >> 8) + std::string(classIdPayload.substr(2));
    const std::uint16_t sum = UbxChecksum(head);
    return "\xB5\x62" + head + static_cast<char>(sum & 0xFF) + static_cast<char>(sum >> 8);
}

std::vector<std::string> Bodies(const std::vector<Frame>& frames) {
    std::vector<std::string> bodies;
    for (const Frame& f : frames) {
        bodies.push_back((f.kind == Frame::Kind::Ubx ? "UBX " : "") + f.body);
    }
    return bodies;
}

// The checksum of a known UBX frame: MON-VER's poll is B5 62 0A 04 00 00 0E 34.
TEST(InputFramer, UbxChecksumsAreFletchersSums) {
    EXPECT_EQ(Ubx(std::string("\x0A\x04", 2)), std::string("\xB5\x62\x0A\x04\x00\x00\x0E\x34", 8));
}

TEST(InputFramer, WholeFramesComeOutHoweverTheBytesAreSplit) {
    const std::string stream = "$PMTK220,200*2C\r\n" + Ubx(std::string("\x06\x08\xC8\x00\x01\x00\x01\x00", 8)) +
                               "$PUBX,40,GLL,0,0,0,0,0,0*5C\r\n" + "$PMTK605*00\n";
    for (const std::size_t piece : {stream.size(), std::size_t{1}, std::size_t{3}, std::size_t{7}}) {
        Framer framer;
        std::vector<Frame> frames;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            framer.Feed(std::string_view(stream).substr(at, piece), frames);
        }
        ASSERT_EQ(frames.size(), 3U) << piece;
        EXPECT_EQ(Bodies(frames)[0], "PMTK220,200");
        EXPECT_EQ(Bodies(frames)[1], std::string("UBX \x06\x08\xC8\x00\x01\x00\x01\x00", 12));
        EXPECT_EQ(Bodies(frames)[2], "PUBX,40,GLL,0,0,0,0,0,0");
        const InputCounts& n = framer.Counts();
        EXPECT_EQ(n.bytes, stream.size());
        EXPECT_EQ(n.sentences, 2U);
        EXPECT_EQ(n.frames, 1U);
        EXPECT_EQ(n.badChecksums, 1U);  // the last, ended by LF alone
        EXPECT_EQ(n.Rejected(), 1U);
    }
}

TEST(InputFramer, WhatIsNoFrameIsDroppedAndCountedByWhy) {
    const std::string overlong = "$PMTK314" + std::string(80, ',') + "*00\r\n";
    const struct {
        std::string bytes;
        InputCounts counts;  // bytes left out: compared apart
        std::size_t frames;
    } cases[] = {
        {"$PMTK220,200*2D\r\n", {.badChecksums = 1}, 0},          // a wrong checksum
        {"$PMTK220,200\r\n", {.badChecksums = 1}, 0},             // none
        {"$PMTK220,200*2C\r\n", {.sentences = 1}, 1},
        {"$PMTK220,2$PMTK220,200*2C\r\n", {.sentences = 1, .badChecksums = 1}, 1},  // cut off by the next
        {overlong + "$PMTK220,200*2C\r\n", {.sentences = 1, .overlong = 1}, 1},     // skipped to its end
        {"hello\r\n", {.garbage = 5}, 0},
        {"\xB5\x62\x06\x08\xFF\xFF" "$PMTK220,200*2C\r\n", {.sentences = 1, .overlong = 1}, 1},  // 65535 bytes: no frame
        {Ubx(std::string("\x06\x08\x01", 3)).substr(0, 8) + "\xB5", {.badChecksums = 1}, 0},
        {std::string("\xB5\xB5\x62\x0A\x04\x00\x00\x0E\x34", 9), {.frames = 1, .garbage = 1}, 1},  // a lone sync byte first
        {"$PMTK\x01" "220,200*2C\r\n", {.badChecksums = 1, .garbage = 11}, 0},     // a control byte cuts it
    };
    for (const auto& c : cases) {
        Framer framer;
        std::vector<Frame> frames;
        framer.Feed(c.bytes, frames);
        const InputCounts& n = framer.Counts();
        EXPECT_EQ(frames.size(), c.frames) << c.bytes;
        EXPECT_EQ(n.sentences, c.counts.sentences) << c.bytes;
        EXPECT_EQ(n.frames, c.counts.frames) << c.bytes;
        EXPECT_EQ(n.badChecksums, c.counts.badChecksums) << c.bytes;
        EXPECT_EQ(n.overlong, c.counts.overlong) << c.bytes;
        EXPECT_EQ(n.garbage, c.counts.garbage) << c.bytes;
    }
}

}  // namespace
}  // namespace kovra::engine::input
