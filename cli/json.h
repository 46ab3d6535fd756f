// merlix-cli's JSON: one object per run on stdout under --json. Every string
// and number is written by Qt's JSON writer (QJsonDocument), which escapes
// quotes, backslashes and control characters; bytes that are not UTF-8 (a
// file name is the system's bytes) become U+FFFD, so the text always parses.
// An object keeps its fields in the order they were added (QJsonObject would
// sort them), so the fields the manual lists come in its order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

// `text` as a quoted JSON string.
std::string JsonString(std::string_view text);

class JsonArray {
public:
    JsonArray& String(std::string_view text);
    JsonArray& Int(long long value);
    JsonArray& Null();
    JsonArray& Json(const std::string& json);  // an array or object already written
    bool Empty() const { return items_.empty(); }
    std::string Text() const;

private:
    std::vector<std::string> items_;
};

class JsonObject {
public:
    // A key given again keeps its place and takes the new value.
    JsonObject& String(std::string_view key, std::string_view text);
    JsonObject& Int(std::string_view key, long long value);
    // Fixed decimals; null when not finite.
    JsonObject& Number(std::string_view key, double value, int decimals);
    JsonObject& Bool(std::string_view key, bool value);
    JsonObject& Null(std::string_view key);
    JsonObject& Json(std::string_view key, const std::string& json);
    // Adds `other`'s fields, in their order.
    JsonObject& Merge(const JsonObject& other);
    // The value of `key` as JSON text (strings quoted), empty when absent.
    std::string Value(std::string_view key) const;
    std::string Text() const;

private:
    JsonObject& Set(std::string_view key, std::string json);

    std::vector<std::pair<std::string, std::string>> fields_;
};

}  // namespace cli
