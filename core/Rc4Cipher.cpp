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
    std::int32_t i = i_, j = j_;
    for (std::size_t n = 0; n < size; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + state_[i]) & 0xFF;
        std::int32_t a = state_[i], b = state_[j];
        state_[i] = b;
        state_[j] = a;
        data[n] = char(std::uint8_t(data[n]) ^ std::uint8_t(state_[(a + b) & 0xFF]));
    }
    i_ = i;
    j_ = j;
}
