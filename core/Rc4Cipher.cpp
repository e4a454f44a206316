#include "core/Rc4Cipher.h"

#include <cstring>
#include <utility>

Rc4Cipher::Rc4Cipher(const std::string& key) { SetKey(key); }

void Rc4Cipher::SetKey(const std::string& key) {
    const std::string& bytes = key.empty() ? std::string(1, '\0') : key;
    for (int n = 0; n < 256; ++n) state_[n] = std::uint8_t(n);
    std::uint8_t j = 0;
    for (int n = 0; n < 256; ++n) {
        j = std::uint8_t(j + state_[n] + std::uint8_t(bytes[std::size_t(n) % bytes.size()]));
        std::swap(state_[n], state_[j]);
    }
    i_ = 0;
    j_ = 0;
}

std::uint8_t Rc4Cipher::Crypt(std::uint8_t byte) {
    i_ = std::uint8_t(i_ + 1);
    j_ = std::uint8_t(j_ + state_[i_]);
    std::swap(state_[i_], state_[j_]);
    return std::uint8_t(byte ^ state_[std::uint8_t(state_[i_] + state_[j_])]);
}

void Rc4Cipher::Crypt(char* data, std::size_t size) {
    // Worked through in a local copy: the bytes written could alias the members, which would
    // then be reloaded at every step.
    std::uint8_t state[256];
    std::memcpy(state, state_, sizeof state);
    std::uint8_t i = i_, j = j_;
    for (std::size_t n = 0; n < size; ++n) {
        i = std::uint8_t(i + 1);
        const std::uint8_t a = state[i];
        j = std::uint8_t(j + a);
        const std::uint8_t b = state[j];
        state[i] = b;
        state[j] = a;
        data[n] = char(std::uint8_t(data[n]) ^ state[std::uint8_t(a + b)]);
    }
    std::memcpy(state_, state, sizeof state);
    i_ = i;
    j_ = j;
}
