// A JSON writer for the playground's results: just what they need, with every
// text written one character per byte so that no byte is lost or changed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ovrik::web {

class JsonText {
 public:
  JsonText& beginObject() { return open('{'); }
  JsonText& endObject() { return close('}'); }
  JsonText& beginArray() { return open('['); }
  JsonText& endArray() { return close(']'); }

  JsonText& key(std::string_view name) {
    separate();
    quoted(name);
    out_.push_back(':');
    afterKey_ = true;
    return *this;
  }

  JsonText& number(long long value) {
    separate();
    out_ += std::to_string(value);
    return *this;
  }
  JsonText& boolean(bool value) {
    separate();
    out_ += value ? "true" : "false";
    return *this;
  }
  JsonText& null() {
    separate();
    out_ += "null";
    return *this;
  }
  // Any bytes: each becomes the character of the same number, so that
  // JSON.parse gives back a string whose char codes are the bytes.
  JsonText& text(std::string_view bytes) {
    separate();
    quoted(bytes);
    return *this;
  }

  std::string take() { return std::move(out_); }

 private:
  JsonText& open(char bracket) {
    separate();
    out_.push_back(bracket);
    first_ = true;
    return *this;
  }
  JsonText& close(char bracket) {
    out_.push_back(bracket);
    first_ = false;
    return *this;
  }
  // A comma before every value but the first of its object or array, and
  // none between a key and its value.
  void separate() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (!first_) out_.push_back(',');
    first_ = false;
  }
  void quoted(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    out_.push_back('"');
    for (const char c : bytes) {
      const auto byte = static_cast<std::uint8_t>(c);
      if (byte == '"' || byte == '\\') {
        out_.push_back('\\');
        out_.push_back(c);
      } else if (byte < 0x20 || byte >= 0x7f) {
        out_ += "\\u00";
        out_.push_back(kHex[byte >> 4]);
        out_.push_back(kHex[byte & 15]);
      } else {
        out_.push_back(c);
      }
    }
    out_.push_back('"');
  }

  std::string out_;
  bool first_ = true;
  bool afterKey_ = false;
};

}  // namespace ovrik::web
