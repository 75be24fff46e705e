#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "driver/terminal.hpp"
#include "machine/machine.hpp"

namespace ovrik {

// Port 0's keyboard as a run fills it: with the text of --input at the start,
// or from a key source as the program asks for keys.
class KeyboardInput {
 public:
  // source may be null: then no key comes but the text.
  KeyboardInput(std::optional<std::string> text, KeySource* source)
      : text_(std::move(text)), source_(source) {}

  // Before each slice of the run: the text at the start, then the keys typed
  // at a terminal meanwhile.
  void supply(Keyboard& keyboard);
  // The machine waits on the empty queue: waits for keys; true when some came.
  bool supplyMore(Keyboard& keyboard);

 private:
  std::optional<std::string> text_;
  KeySource* source_;
  bool ended_ = false;
};

// The bytes of a stream as a key source, read as they are asked for.
std::unique_ptr<KeySource> keysFromStream(std::istream& in);

}  // namespace ovrik
