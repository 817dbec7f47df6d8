// A drawing surface supplied by the host, with the few operations the sky
// plot uses; and an SVG surface that turns them into a standalone picture.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/Export.h"

namespace kovra {

// A colour as 0x00BBGGRR: red is 255, green (0, 128, 0) is 32768.
using TColor = std::uint32_t;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGreen = 0x008000;

struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
};

class KOVRA_API TCanvas {
public:
    virtual ~TCanvas() = default;
    // Fill of ellipses and background of text.
    virtual void SetBrushColor(TColor color) = 0;
    // Outlines and lines.
    virtual void SetPenColor(TColor color) = 0;
    virtual void SetPenWidth(std::int32_t width) = 0;
    // The ellipse inscribed in the box (x1, y1)-(x2, y2), outlined and filled.
    virtual void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = 0;
    // Makes `point` the current point without drawing.
    virtual void SetPenPos(TPoint point) = 0;
    // A line from the current point to (x, y), which becomes the current point.
    virtual void LineTo(std::int32_t x, std::int32_t y) = 0;
    // Text with its top-left corner at (x, y).
    virtual void TextOut(std::int32_t x, std::int32_t y, std::string_view text) = 0;
};

// Records the drawing as SVG elements; Document() gives the whole picture.
class KOVRA_API TSvgCanvas final : public TCanvas {
public:
    TSvgCanvas(std::int32_t width, std::int32_t height) : width_(width), height_(height) {}

    void SetBrushColor(TColor color) override { brush_ = color; }
    void SetPenColor(TColor color) override { pen_ = color; }
    void SetPenWidth(std::int32_t width) override { penWidth_ = width; }
    void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
    void SetPenPos(TPoint point) override { position_ = point; }
    void LineTo(std::int32_t x, std::int32_t y) override;
    void TextOut(std::int32_t x, std::int32_t y, std::string_view text) override;

    // A standalone SVG document of everything drawn so far.
    std::string Document() const;
    // The elements drawn so far, to place in a larger picture.
    const std::string& Elements() const { return body_; }

private:
    std::int32_t width_;
    std::int32_t height_;
    TColor brush_ = 0xFFFFFF;
    TColor pen_ = 0;
    std::int32_t penWidth_ = 1;
    TPoint position_;
    std::string body_;
};

}  // namespace kovra
