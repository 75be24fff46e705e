// Where a run's keys come from, and when they enter the keyboard's queue.
#include "driver/keyboard_input.hpp"

#include <istream>
#include <string_view>

namespace ovrik {
namespace {

// Keys the program has read are dropped before more come, so that a long run
// on endless input keeps only what it has not read yet.
void give(Keyboard& keyboard, std::string_view keys) {
  keyboard.queue.erase(0, keyboard.head);
  keyboard.head = 0;
  keyboard.give(keys);
}

class StreamKeys final : public KeySource {
 public:
  explicit StreamKeys(std::istream& in) : in_(in) {}

  // One byte, waited for, then whatever the stream holds ready.
  std::string waitForKeys() override {
    char first = 0;
    if (!in_.get(first)) return {};
    std::string keys(1, first);
    char buffer[4096];
    keys.append(buffer, static_cast<std::size_t>(in_.readsome(buffer, sizeof buffer)));
    return keys;
  }
  std::string typedKeys() override { return {}; }

 private:
  std::istream& in_;
};

}  // namespace

void KeyboardInput::supply(Keyboard& keyboard) {
  if (text_) {
    keyboard.give(*text_);
    text_.reset();
  } else if (source_ != nullptr && !ended_) {
    const std::string keys = source_->typedKeys();
    if (!keys.empty()) give(keyboard, keys);
  }
}

bool KeyboardInput::supplyMore(Keyboard& keyboard) {
  if (source_ == nullptr || ended_) return false;
  const std::string keys = source_->waitForKeys();
  ended_ = keys.empty();
  give(keyboard, keys);
  return keyboard.ready();
}

std::unique_ptr<KeySource> keysFromStream(std::istream& in) {
  return std::make_unique<StreamKeys>(in);
}

}  // namespace ovrik
