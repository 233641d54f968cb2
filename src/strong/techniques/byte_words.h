// Words as byte strings for the loop searches: letter k is the byte k (alphabets of at
// most 256 letters), so that factor search, hashing and copying run on plain memory.
#pragma once

#include <string>
#include <string_view>

#include "strong/problem.h"

namespace velkin::strong {

using Bytes = std::string;

// The bytes of `w`; every letter must be below 256.
inline Bytes ToBytes(const Word& w) {
  Bytes b(w.size(), '\0');
  for (std::size_t i = 0; i < w.size(); ++i)
    b[i] = static_cast<char>(static_cast<unsigned char>(w[i]));
  return b;
}

// The word of `b`: the inverse of ToBytes.
inline Word ToWord(std::string_view b) {
  Word w(b.size());
  for (std::size_t i = 0; i < b.size(); ++i) w[i] = static_cast<unsigned char>(b[i]);
  return w;
}

}  // namespace velkin::strong
