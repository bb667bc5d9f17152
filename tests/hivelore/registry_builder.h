// Builds precompiled registry files in code for the Hivelore tests and benchmark.
//
// The fields that the reader does not use hold what real files hold there: the header word the
// file's length, a key record's unused word the path's units plus one, a value record's the
// name's units plus one.
#ifndef TARNWICK_TESTS_HIVELORE_REGISTRY_BUILDER_H_
#define TARNWICK_TESTS_HIVELORE_REGISTRY_BUILDER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testreg {

using Bytes = std::vector<uint8_t>;

// UTF-16LE units of an 8-bit text (each byte one unit), without terminator.
inline Bytes Wide(const std::string& text) {
  Bytes b;
  for (unsigned char c : text) b.insert(b.end(), {c, 0});
  return b;
}
inline Bytes Units(std::initializer_list<uint16_t> units) {
  Bytes b;
  for (uint16_t u : units)
    b.insert(b.end(), {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)});
  return b;
}
inline void U16(Bytes& b, uint16_t v) {
  b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
}
inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

class RegistryBuilder {
 public:
  RegistryBuilder() { bytes_ = {0xB2, 0x74, 0x83, 0x1D, 8, 0, 0, 0}; }

  // A record with a body as given; `body_length` overrides the stored length.
  RegistryBuilder& Record(uint16_t type, const Bytes& body,
                          std::optional<uint16_t> body_length = std::nullopt) {
    U16(bytes_, body_length.value_or(static_cast<uint16_t>(body.size())));
    U16(bytes_, type);
    Append(bytes_, body);
    return Grown();
  }
  RegistryBuilder& Key(uint16_t root, const Bytes& path_units) {
    Bytes body;
    U16(body, root);
    U16(body, static_cast<uint16_t>(path_units.size() / 2 + 1));
    Append(body, path_units);
    U16(body, 0);
    return Record(1, body);
  }
  RegistryBuilder& Key(uint16_t root, const std::string& path) { return Key(root, Wide(path)); }
  // A key record in the older layout: root, path length in units with the terminator, a zero
  // word, the path and its terminator.
  RegistryBuilder& OldKey(uint16_t root, const Bytes& path_units) {
    Bytes body;
    U16(body, root);
    U16(body, static_cast<uint16_t>(path_units.size() / 2 + 1));
    U16(body, 0);
    Append(body, path_units);
    U16(body, 0);
    return Record(1, body);
  }
  RegistryBuilder& OldKey(uint16_t root, const std::string& path) {
    return OldKey(root, Wide(path));
  }
  // A value record; `data` follows the name's terminator as it is.
  RegistryBuilder& Value(uint16_t type, const std::string& name, const Bytes& data,
                         std::optional<uint16_t> data_length = std::nullopt,
                         std::optional<uint16_t> body_length = std::nullopt) {
    return Value(type, Wide(name), data, data_length, body_length);
  }
  RegistryBuilder& Value(uint16_t type, const Bytes& name_units, const Bytes& data,
                         std::optional<uint16_t> data_length = std::nullopt,
                         std::optional<uint16_t> body_length = std::nullopt) {
    Bytes body;
    U16(body, type);
    U16(body, static_cast<uint16_t>(name_units.size() / 2 + 1));
    U16(body, data_length.value_or(static_cast<uint16_t>(data.size())));
    Append(body, name_units);
    U16(body, 0);
    Append(body, data);
    return Record(2, body, body_length);
  }
  RegistryBuilder& Raw(const Bytes& b) {
    Append(bytes_, b);
    return Grown();
  }
  [[nodiscard]] const Bytes& bytes() const { return bytes_; }

 private:
  // The header word follows the file's length.
  RegistryBuilder& Grown() {
    const auto n = static_cast<uint32_t>(bytes_.size());
    for (int i = 0; i < 4; ++i) bytes_[4 + i] = static_cast<uint8_t>(n >> (8 * i));
    return *this;
  }

  Bytes bytes_;
};

// Data of a string value: the text's units and the terminator.
inline Bytes StringData(const std::string& text) {
  Bytes b = Wide(text);
  U16(b, 0);
  return b;
}

}  // namespace testreg

#endif  // TARNWICK_TESTS_HIVELORE_REGISTRY_BUILDER_H_
