#pragma once
// The RC4 stream cipher that protects word lists and progress files. Enciphering and
// deciphering are the same operation. One object is one keystream: make a fresh one per file.
#include <cstddef>
#include <cstdint>
#include <string>

class Rc4Cipher {
public:
    // An empty key counts as the single byte 0 (RC4 needs at least one key byte).
    explicit Rc4Cipher(const std::string& key);

    // The key schedule; the stream indices are left at 0.
    void SetKey(const std::string& key);
    // Advances the keystream one step and returns `byte` combined with it.
    std::uint8_t Crypt(std::uint8_t byte);
    // The same over a buffer, in place.
    void Crypt(char* data, std::size_t size);
    void Crypt(std::string& bytes) { Crypt(bytes.data(), bytes.size()); }

private:
    // The permutation as bytes: a quarter of the cache lines, and a copy of a keyed cipher (each
    // file starts from one) is cheap.
    std::uint8_t state_[256];
    std::uint8_t i_ = 0;
    std::uint8_t j_ = 0;
};
