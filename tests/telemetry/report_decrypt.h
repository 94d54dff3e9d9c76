#pragma once
// Independent decryption of a posted report (libcrypto's AES-128-ECB with
// PKCS#7), so tests check the sender against a second implementation.
#include <openssl/evp.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norvane::test {

inline std::optional<std::vector<unsigned char>> base64Decode(const std::string& text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<unsigned char> out(text.size() / 4 * 3 + 1);
  int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<int>(text.size()));
  if (n < 0) return std::nullopt;
  std::size_t padding = 0;
  if (!text.empty() && text.back() == '=') ++padding;
  if (text.size() > 1 && text[text.size() - 2] == '=') ++padding;
  out.resize(static_cast<std::size_t>(n) - padding);
  return out;
}

inline std::optional<std::string> decryptEcb(const std::vector<unsigned char>& cipher, const std::string& key,
                                             bool padding = true) {
  const EVP_CIPHER* algorithm = key.size() == 16   ? EVP_aes_128_ecb()
                                : key.size() == 24 ? EVP_aes_192_ecb()
                                                   : EVP_aes_256_ecb();
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  if (!ctx || EVP_DecryptInit_ex(ctx.get(), algorithm, nullptr,
                                 reinterpret_cast<const unsigned char*>(key.data()), nullptr) != 1) {
    return std::nullopt;
  }
  EVP_CIPHER_CTX_set_padding(ctx.get(), padding ? 1 : 0);
  std::string plain(cipher.size() + 16, '\0');
  int n1 = 0, n2 = 0;
  if (EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()), &n1, cipher.data(),
                        static_cast<int>(cipher.size())) != 1 ||
      EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()) + n1, &n2) != 1) {
    return std::nullopt;
  }
  plain.resize(static_cast<std::size_t>(n1 + n2));
  return plain;
}

// The report text inside a posted body; nullopt when the body is not a valid report.
inline std::optional<std::string> decryptReport(const std::string& body) {
  auto cipher = base64Decode(body);
  if (!cipher) return std::nullopt;
  return decryptEcb(*cipher, "Kpn@Zr#305#DELTA");
}

}  // namespace norvane::test
