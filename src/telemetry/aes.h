#pragma once
// The block cipher of the usage reports: AES (128-, 192- and 256-bit keys)
// through a small streaming context, electronic-codebook chaining with PKCS#7
// padding, a one-shot encryption routine and the Base64 armour of the
// encrypted report.
//
// The cipher tables (S-box, round constants and the four combined
// SubBytes/MixColumns tables) are computed from the field arithmetic the first
// time a key is expanded, once per process and safe to race from several
// threads.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// Chaining modes and paddings the context understands.
constexpr int kAesModeEcb = 1;
constexpr int kAesPaddingPkcs7 = 2;

// Error codes of the context operations (0 is success).
constexpr int kAesErrorBadArgument = 4097;   // same input/output buffer, unknown mode or padding, unusable context
constexpr int kAesErrorBadKeyLength = 4098;  // key length other than 16, 24 or 32 bytes

constexpr std::size_t kAesBlockSize = 16;

struct AesContext {
  int mode = 0;
  int padding = 0;
  std::uint8_t pending[kAesBlockSize] = {};
  int pendingCount = 0;          // valid bytes in pending, 0..15 between calls
  int roundCount = 0;            // 10, 12 or 14; 0 while no key is set
  std::uint32_t roundKeys[60] = {};
};

void initContext(AesContext& ctx, int mode, int padding);

// 16, 24 or 32 bytes; any other length gives kAesErrorBadKeyLength and leaves
// the context without a key (every later encryption fails).
int setEncryptKey(AesContext& ctx, const std::uint8_t* key, std::size_t keyLength);

// Forgets pending input.
int reset(AesContext& ctx);

// Encrypts every complete block of pending + input into output (which must
// hold pendingCount + inputLength rounded down to a block) and keeps the rest.
// outputLength receives the bytes written. Input and output must not overlap.
int encryptUpdate(AesContext& ctx, const std::uint8_t* input, std::size_t inputLength,
                  std::uint8_t* output, std::size_t& outputLength);

// Pads the pending bytes to one block and encrypts it into output (16 bytes).
int encryptFinal(AesContext& ctx, std::uint8_t* output, std::size_t& outputLength);

// One-shot ECB/PKCS#7 encryption with the given key (16, 24 or 32 bytes).
// Returns 0 and the ciphertext (16 * (length / 16 + 1) bytes) in output, or
// -1 on any failure, with output left empty.
int aesEncrypt(const void* input, std::size_t length, std::string_view key,
               std::vector<std::uint8_t>& output);

// Standard-alphabet Base64 with "=" padding and no line breaks.
std::string base64Encode(const void* data, std::size_t length);

}  // namespace norvane
