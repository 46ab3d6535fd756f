// The JSON writer; see json.h.
#include "cli/json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QString>

#include <cmath>

namespace cli {

namespace {

// `value` as compact JSON text, written by Qt: the one element of an array,
// without the brackets.
std::string Written(const QJsonValue& value) {
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2).toStdString();
}

std::string Quoted(std::string_view text) {
    return Written(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

// An array or object written already (by this writer), checked by Qt's
// reader; null when it is not JSON.
std::string Checked(const std::string& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    if (error.error != QJsonParseError::NoError) return "null";
    // Kept as given: Qt's object would put the fields in key order.
    return json;
}

}  // namespace

std::string JsonString(std::string_view text) { return Quoted(text); }

JsonArray& JsonArray::String(std::string_view text) {
    items_.push_back(Quoted(text));
    return *this;
}

JsonArray& JsonArray::Int(long long value) {
    items_.push_back(Written(QJsonValue(static_cast<qint64>(value))));
    return *this;
}

JsonArray& JsonArray::Null() {
    items_.push_back(Written(QJsonValue::Null));
    return *this;
}

JsonArray& JsonArray::Json(const std::string& json) {
    items_.push_back(Checked(json));
    return *this;
}

std::string JsonArray::Text() const {
    std::string out = "[";
    for (std::size_t i = 0; i < items_.size(); ++i) out += (i ? "," : "") + items_[i];
    return out + "]";
}

JsonObject& JsonObject::String(std::string_view key, std::string_view text) { return Set(key, Quoted(text)); }

JsonObject& JsonObject::Int(std::string_view key, long long value) {
    return Set(key, Written(QJsonValue(static_cast<qint64>(value))));
}

JsonObject& JsonObject::Number(std::string_view key, double value, int decimals) {
    if (!std::isfinite(value)) return Null(key);
    const double scale = std::pow(10.0, decimals);
    return Set(key, Written(QJsonValue(std::round(value * scale) / scale)));
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) {
    return Set(key, Written(QJsonValue(value)));
}

JsonObject& JsonObject::Null(std::string_view key) { return Set(key, Written(QJsonValue::Null)); }

JsonObject& JsonObject::Json(std::string_view key, const std::string& json) {
    return Set(key, Checked(json));
}

JsonObject& JsonObject::Set(std::string_view key, std::string json) {
    for (auto& field : fields_) {
        if (field.first == key) {
            field.second = std::move(json);
            return *this;
        }
    }
    fields_.emplace_back(std::string(key), std::move(json));
    return *this;
}

JsonObject& JsonObject::Merge(const JsonObject& other) {
    for (const auto& [key, json] : other.fields_) Set(key, json);
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
        out += (i ? "," : "") + Quoted(fields_[i].first) + ":" + fields_[i].second;
    return out + "}";
}

}  // namespace cli
