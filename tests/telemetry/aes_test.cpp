#include "telemetry/aes.h"

#include "telemetry/report_decrypt.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace norvane {
namespace {

std::vector<std::uint8_t> fromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string toHex(const std::uint8_t* data, std::size_t length) {
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < length; ++i) {
    hex += digits[data[i] >> 4];
    hex += digits[data[i] & 15];
  }
  return hex;
}

// Plain ECB through the context, no padding: every complete block comes out of update.
std::string ecbHex(const std::string& keyHex, const std::string& plainHex) {
  auto key = fromHex(keyHex);
  auto plain = fromHex(plainHex);
  AesContext ctx;
  initContext(ctx, kAesModeEcb, kAesPaddingPkcs7);
  EXPECT_EQ(setEncryptKey(ctx, key.data(), key.size()), 0);
  reset(ctx);
  std::vector<std::uint8_t> out(plain.size());
  std::size_t written = 0;
  EXPECT_EQ(encryptUpdate(ctx, plain.data(), plain.size(), out.data(), written), 0);
  EXPECT_EQ(written, plain.size());
  EXPECT_EQ(ctx.pendingCount, 0);
  return toHex(out.data(), written);
}

struct KnownAnswer {
  const char* name;
  const char* key;
  const char* plain;
  const char* cipher;
};

TEST(AesTest, KnownAnswersForAllKeySizes) {
  const std::string nistPlain =
      "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
      "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
  const KnownAnswer cases[] = {
      {"FIPS-197 C.1", "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
       "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"FIPS-197 C.2", "000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
       "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"FIPS-197 C.3", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
      {"SP 800-38A F.1.1", "2b7e151628aed2a6abf7158809cf4f3c", nistPlain.c_str(),
       "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
       "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4"},
      {"SP 800-38A F.1.3", "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b", nistPlain.c_str(),
       "bd334f1d6e45f25ff712a214571fa5cc974104846d0ad3ad7734ecb3ecee4eef"
       "ef7afd2270e2e60adce0ba2face6444e9a4b41ba738d6c72fb16691603c18e0e"},
      {"SP 800-38A F.1.5", "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", nistPlain.c_str(),
       "f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870"
       "b6ed21b99ca6f4f9f153e7b1beafed1d23304b7a39f9f3ff067d8d8f9e24ecc7"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ecbHex(c.key, c.plain), c.cipher) << c.name;
  }
}

TEST(AesTest, PaddingLengthsDecryptBackWithAnIndependentCipher) {
  const std::string key = "Kpn@Zr#305#DELTA";
  for (std::size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 100u}) {
    std::string plain;
    for (std::size_t i = 0; i < length; ++i) plain += static_cast<char>('A' + i % 26);
    std::vector<std::uint8_t> cipher;
    ASSERT_EQ(aesEncrypt(plain.data(), plain.size(), key, cipher), 0) << length;
    EXPECT_EQ(cipher.size(), 16 * (length / 16 + 1)) << length;
    auto back = test::decryptEcb(cipher, key);
    ASSERT_TRUE(back.has_value()) << "padding rejected for length " << length;
    EXPECT_EQ(*back, plain);
  }
  // The padding block of empty input is sixteen bytes of value 16.
  std::vector<std::uint8_t> cipher;
  ASSERT_EQ(aesEncrypt("", 0, key, cipher), 0);
  auto raw = test::decryptEcb(cipher, key, /*padding=*/false);
  ASSERT_TRUE(raw.has_value());
  EXPECT_EQ(*raw, std::string(16, '\x10'));
  EXPECT_EQ(base64Encode(cipher.data(), cipher.size()).size(), 24u);
}

TEST(AesTest, EqualBlocksGiveEqualCiphertextAndStreamingMatchesOneShot) {
  const std::string key = "0123456789abcdef";
  const std::string plain = std::string(16, 'x') + std::string(16, 'x') + "tail of the text";
  std::vector<std::uint8_t> oneShot;
  ASSERT_EQ(aesEncrypt(plain.data(), plain.size(), key, oneShot), 0);
  ASSERT_EQ(oneShot.size(), 64u);
  EXPECT_TRUE(std::equal(oneShot.begin(), oneShot.begin() + 16, oneShot.begin() + 16));

  // Fed in odd pieces, the context produces the same bytes.
  AesContext ctx;
  initContext(ctx, kAesModeEcb, kAesPaddingPkcs7);
  ASSERT_EQ(setEncryptKey(ctx, reinterpret_cast<const std::uint8_t*>(key.data()), key.size()), 0);
  std::vector<std::uint8_t> streamed(80);
  std::size_t total = 0;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(plain.data());
  for (std::size_t offset = 0, piece = 1; offset < plain.size(); offset += piece, piece += 6) {
    std::size_t n = std::min(piece, plain.size() - offset);
    std::size_t written = 0;
    ASSERT_EQ(encryptUpdate(ctx, bytes + offset, n, streamed.data() + total, written), 0);
    total += written;
  }
  std::size_t last = 0;
  ASSERT_EQ(encryptFinal(ctx, streamed.data() + total, last), 0);
  streamed.resize(total + last);
  EXPECT_EQ(streamed, oneShot);
}

TEST(AesTest, ContextRejectsBadArguments) {
  const std::uint8_t key[32] = {};
  AesContext ctx;
  initContext(ctx, kAesModeEcb, kAesPaddingPkcs7);
  for (std::size_t badLength : {0u, 8u, 15u, 17u, 20u, 33u}) {
    EXPECT_EQ(setEncryptKey(ctx, key, badLength), kAesErrorBadKeyLength) << badLength;
  }
  std::uint8_t in[32] = {}, out[48] = {};
  std::size_t written = 99;
  // After a rejected key the context cannot encrypt.
  EXPECT_EQ(encryptUpdate(ctx, in, 32, out, written), kAesErrorBadArgument);
  EXPECT_EQ(written, 0u);

  ASSERT_EQ(setEncryptKey(ctx, key, 16), 0);
  EXPECT_EQ(encryptUpdate(ctx, in, 32, in, written), kAesErrorBadArgument);       // same buffer
  EXPECT_EQ(encryptUpdate(ctx, in, 32, in + 8, written), kAesErrorBadArgument);   // overlapping buffers

  AesContext otherMode;
  initContext(otherMode, 2, kAesPaddingPkcs7);
  ASSERT_EQ(setEncryptKey(otherMode, key, 16), 0);
  EXPECT_EQ(encryptUpdate(otherMode, in, 32, out, written), kAesErrorBadArgument);
  EXPECT_EQ(encryptFinal(otherMode, out, written), kAesErrorBadArgument);

  AesContext otherPadding;
  initContext(otherPadding, kAesModeEcb, 1);
  ASSERT_EQ(setEncryptKey(otherPadding, key, 16), 0);
  EXPECT_EQ(encryptFinal(otherPadding, out, written), kAesErrorBadArgument);

  std::vector<std::uint8_t> cipher{1, 2, 3};
  EXPECT_EQ(aesEncrypt("abc", 3, "", cipher), -1);
  EXPECT_TRUE(cipher.empty());
  EXPECT_EQ(aesEncrypt("abc", 3, "short key", cipher), -1);
  EXPECT_TRUE(cipher.empty());
}

TEST(AesTest, TablesBuiltOnceUnderConcurrentFirstUse) {
  // The first key expansions of the process race here; every thread must see
  // complete tables and get the known answer.
  std::vector<std::string> results(8);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&results, i] {
      results[i] = ecbHex("000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff");
    });
  }
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_EQ(r, "69c4e0d86a7b0430d8cdb78070b4c55a");
}

TEST(Base64Test, EncodesRfc4648Examples) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},         {"a", "YQ=="},       {"ab", "YWI="},         {"abc", "YWJj"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {std::string("\xff\xfe\x00", 3), "//4A"},
  };
  for (const auto& [plain, encoded] : cases) {
    EXPECT_EQ(base64Encode(plain.data(), plain.size()), encoded) << plain;
  }
}

}  // namespace
}  // namespace norvane
