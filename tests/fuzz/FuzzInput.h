// Splits a fuzzer's input into the pieces a target needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : data_(data), size_(size) {}

  std::uint8_t Byte() { return size_ ? (--size_, *data_++) : 0; }

  std::uint32_t U32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | Byte();
    return value;
  }

  // Up to `maxLength` bytes, the length itself read from the input.
  std::string Bytes(std::size_t maxLength) {
    std::size_t length = Byte();
    if (maxLength > 255) length = length << 8 | Byte();
    if (length > maxLength) length %= maxLength + 1;
    if (length > size_) length = size_;
    std::string bytes(reinterpret_cast<const char*>(data_), length);
    data_ += length;
    size_ -= length;
    return bytes;
  }

  std::string Rest() { return Bytes(size_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};
