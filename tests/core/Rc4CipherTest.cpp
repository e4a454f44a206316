#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/Rc4Cipher.h"

namespace {

std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[3];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

struct Vector {
    const char* key;
    const char* plain;
    const char* cipherHex;
};

// The published RC4 test vectors.
const Vector kVectors[] = {
    {"Key", "Plaintext", "BBF316E8D940AF0AD3"},
    {"Wiki", "pedia", "1021BF0420"},
    {"Secret", "Attack at dawn", "45A01F645FC35B383552544B9BF5"},
};

}  // namespace

TEST(Rc4Cipher, PublishedVectorsByteByByteAndInBlocks) {
    for (const Vector& v : kVectors) {
        Rc4Cipher byByte(v.key);
        std::string out;
        for (char c : std::string(v.plain)) out.push_back(char(byByte.Crypt(std::uint8_t(c))));
        EXPECT_EQ(Hex(out), v.cipherHex) << v.key;

        std::string block = v.plain;
        Rc4Cipher(v.key).Crypt(block);
        EXPECT_EQ(Hex(block), v.cipherHex) << v.key;

        Rc4Cipher(v.key).Crypt(block);  // the same operation deciphers
        EXPECT_EQ(block, v.plain) << v.key;
    }
}

TEST(Rc4Cipher, OneKeystreamAcrossCallsOfEitherForm) {
    std::string plain(1000, '\0');
    for (std::size_t n = 0; n < plain.size(); ++n) plain[n] = char(n * 7);
    std::string whole = plain;
    Rc4Cipher("QFWORD").Crypt(whole);

    // Mixed single bytes and blocks of odd sizes continue the same stream.
    Rc4Cipher mixed("QFWORD");
    std::string pieces = plain;
    std::size_t pos = 0, step = 1;
    while (pos < pieces.size()) {
        std::size_t n = std::min(step, pieces.size() - pos);
        if (n == 1) pieces[pos] = char(mixed.Crypt(std::uint8_t(pieces[pos])));
        else mixed.Crypt(pieces.data() + pos, n);
        pos += n;
        step = step * 3 % 257 + 1;
    }
    EXPECT_EQ(pieces, whole);
}

TEST(Rc4Cipher, SetKeyRestartsTheStream) {
    Rc4Cipher cipher("Key");
    for (int n = 0; n < 50; ++n) cipher.Crypt(0);
    cipher.SetKey("Key");
    std::string text = "Plaintext";
    cipher.Crypt(text);
    EXPECT_EQ(Hex(text), "BBF316E8D940AF0AD3");
}

TEST(Rc4Cipher, EmptyKeyIsUsableAndDeterministic) {
    std::string a = "abc", b = "abc";
    Rc4Cipher("").Crypt(a);
    Rc4Cipher(std::string(1, '\0')).Crypt(b);
    EXPECT_EQ(a, b);
}
