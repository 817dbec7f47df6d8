#include "satellites/Canvas.h"

#include <cstdio>

namespace kovra {

namespace {

std::string Colour(TColor color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", static_cast<unsigned>(color & 0xFF),
                  static_cast<unsigned>((color >> 8) & 0xFF), static_cast<unsigned>((color >> 16) & 0xFF));
    return text;
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string Half(std::int64_t twice) {
    return std::to_string(twice / 2) + ((twice % 2 != 0) ? ".5" : "");
}

}  // namespace

void TSvgCanvas::Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    body_ += "  <ellipse cx=\"" + Half(std::int64_t{x1} + x2) + "\" cy=\"" + Half(std::int64_t{y1} + y2) +
             "\" rx=\"" + Half(std::int64_t{x2} - x1) + "\" ry=\"" + Half(std::int64_t{y2} - y1) + "\" fill=\"" +
             Colour(brush_) + "\" stroke=\"" + Colour(pen_) + "\" stroke-width=\"" + std::to_string(penWidth_) +
             "\"/>\n";
}

void TSvgCanvas::LineTo(std::int32_t x, std::int32_t y) {
    body_ += "  <line x1=\"" + std::to_string(position_.X) + "\" y1=\"" + std::to_string(position_.Y) + "\" x2=\"" +
             std::to_string(x) + "\" y2=\"" + std::to_string(y) + "\" stroke=\"" + Colour(pen_) +
             "\" stroke-width=\"" + std::to_string(penWidth_) + "\"/>\n";
    position_ = {x, y};
}

void TSvgCanvas::TextOut(std::int32_t x, std::int32_t y, std::string_view text) {
    body_ += "  <text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) +
             "\" dominant-baseline=\"hanging\" font-family=\"sans-serif\" font-size=\"12\">" + Escaped(text) +
             "</text>\n";
}

std::string TSvgCanvas::Document() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           std::to_string(width_) + "\" height=\"" + std::to_string(height_) + "\" viewBox=\"0 0 " +
           std::to_string(width_) + " " + std::to_string(height_) + "\">\n" + body_ + "</svg>\n";
}

}  // namespace kovra
