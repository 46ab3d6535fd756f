// The JSON writer; see json.h.
#include "cli/json.h"

#include <cmath>
#include <cstdio>

namespace cli {

namespace {

// Length of the well-formed UTF-8 sequence at `at`, 0 when there is none
// (a stray byte, an overlong form, a surrogate, past U+10FFFF, cut short).
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    return length;
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = Utf8Length(text, i);
            out += length ? text.substr(i, length) : "\xEF\xBF\xBD";  // U+FFFD
            i += length ? length : 1;
            continue;
        }
        ++i;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

JsonArray& JsonArray::String(std::string_view text) { return Json(JsonString(text)); }

JsonArray& JsonArray::Int(long long value) { return Json(std::to_string(value)); }

JsonArray& JsonArray::Null() { return Json("null"); }

JsonArray& JsonArray::Json(const std::string& json) {
    items_.push_back(json);
    return *this;
}

std::string JsonArray::Text() const {
    std::string out = "[";
    for (std::size_t i = 0; i < items_.size(); ++i) out += (i ? "," : "") + items_[i];
    return out + "]";
}

JsonObject& JsonObject::String(std::string_view key, std::string_view text) {
    return Json(key, JsonString(text));
}

JsonObject& JsonObject::Int(std::string_view key, long long value) {
    return Json(key, std::to_string(value));
}

JsonObject& JsonObject::Number(std::string_view key, double value, int decimals) {
    if (!std::isfinite(value)) return Null(key);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return Json(key, text);
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) { return Json(key, value ? "true" : "false"); }

JsonObject& JsonObject::Null(std::string_view key) { return Json(key, "null"); }

JsonObject& JsonObject::Json(std::string_view key, const std::string& json) {
    for (auto& field : fields_) {
        if (field.first == key) {
            field.second = json;
            return *this;
        }
    }
    fields_.emplace_back(std::string(key), json);
    return *this;
}

JsonObject& JsonObject::Merge(const JsonObject& other) {
    for (const auto& [key, json] : other.fields_) Json(key, json);
    return *this;
}

std::string JsonObject::Value(std::string_view key) const {
    for (const auto& [name, json] : fields_)
        if (name == key) return json;
    return {};
}

std::string JsonObject::Text() const {
    std::string out = "{";
    for (std::size_t i = 0; i < fields_.size(); ++i)
        out += (i ? "," : "") + JsonString(fields_[i].first) + ":" + fields_[i].second;
    return out + "}";
}

}  // namespace cli
