#include "core/Rc4Cipher.h"

#include <utility>

Rc4Cipher::Rc4Cipher(const std::string& key) { SetKey(key); }

void Rc4Cipher::SetKey(const std::string& key) {
    const std::string& bytes = key.empty() ? std::string(1, '\0') : key;
    for (int n = 0; n < 256; ++n) key_[n] = std::uint8_t(bytes[std::size_t(n) % bytes.size()]);
    for (int n = 0; n < 256; ++n) state_[n] = n;
    std::int32_t j = 0;
    for (int n = 0; n < 256; ++n) {
        j = (j + state_[n] + key_[n]) & 0xFF;
        std::swap(state_[n], state_[j]);
    }
    i_ = 0;
    j_ = 0;
}

std::uint8_t Rc4Cipher::Crypt(std::uint8_t byte) {
    i_ = (i_ + 1) & 0xFF;
    j_ = (j_ + state_[i_]) & 0xFF;
    std::swap(state_[i_], state_[j_]);
    return std::uint8_t(byte ^ state_[(state_[i_] + state_[j_]) & 0xFF]);
}

void Rc4Cipher::Crypt(char* data, std::size_t size) {
    // The permutation as bytes while a buffer is worked through: a quarter of the cache lines.
    std::uint8_t state[256];
    for (int n = 0; n < 256; ++n) state[n] = std::uint8_t(state_[n]);
    std::uint8_t i = std::uint8_t(i_), j = std::uint8_t(j_);
    for (std::size_t n = 0; n < size; ++n) {
        i = std::uint8_t(i + 1);
        const std::uint8_t a = state[i];
        j = std::uint8_t(j + a);
        const std::uint8_t b = state[j];
        state[i] = b;
        state[j] = a;
        data[n] = char(std::uint8_t(data[n]) ^ state[std::uint8_t(a + b)]);
    }
    for (int n = 0; n < 256; ++n) state_[n] = state[n];
    i_ = i;
    j_ = j;
}
