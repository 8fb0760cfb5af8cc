#include "json_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace flickbook::cli {

namespace {

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t point = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        point = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        point = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        point = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xc0) != 0x80)
            return 0;
        point = point << 6 | (byte(i) & 0x3f);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || (point >= 0xd800 && point <= 0xdfff) || point > 0x10ffff)
        return 0;
    return length;
}

} // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text[0]);
        const std::size_t length = utf8Length(text);
        char escaped[8];
        if (length == 0) {
            // A byte that is not UTF-8 (a file name from another encoding):
            // written as the lone surrogate U+DC00 + byte, the convention of
            // Python's "surrogateescape", so the name's bytes can be had back
            // exactly (os.fsencode) while the output stays valid JSON text.
            std::snprintf(escaped, sizeof escaped, "\\udc%02x", c);
            out += escaped;
            text.remove_prefix(1);
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (c < 0x20) {
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out.append(text.substr(0, length));
            }
        }
        text.remove_prefix(length);
    }
    return out + "\"";
}

std::string jsonNumber(double value) {
    char text[32];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value)
            break;
    }
    return text;
}

} // namespace flickbook::cli
