#include "telemetry/aes.h"

#include <cstring>
#include <mutex>

namespace norvane {
namespace {

// Process-wide cipher tables, filled once by buildTables().
struct AesTables {
  std::uint8_t sbox[256];
  std::uint32_t rcon[10];
  // te0[x] = (2*S[x], S[x], S[x], 3*S[x]) as a big-endian word; te1..te3 are
  // te0 rotated right by 8, 16 and 24 bits. One round column is four look-ups.
  std::uint32_t te0[256], te1[256], te2[256], te3[256];
};

AesTables g_tables;
std::once_flag g_tablesOnce;

std::uint8_t xtime(std::uint8_t x) {
  return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0x00));
}

std::uint8_t gfMultiply(std::uint8_t a, std::uint8_t b) {
  std::uint8_t product = 0;
  while (b) {
    if (b & 1) product ^= a;
    a = xtime(a);
    b >>= 1;
  }
  return product;
}

std::uint32_t rotr8(std::uint32_t w) { return (w >> 8) | (w << 24); }

void buildTables() {
  // Powers and logarithms of the generator 3 give the multiplicative inverse.
  std::uint8_t power[256], log[256] = {};
  std::uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = x;
    log[x] = static_cast<std::uint8_t>(i);
    x = static_cast<std::uint8_t>(x ^ xtime(x));  // x * 3
  }
  power[255] = power[0];

  for (int i = 0; i < 256; ++i) {
    std::uint8_t inverse = i == 0 ? 0 : power[(255 - log[i]) % 255];
    // Affine transformation: b ^ rotl(b,1) ^ rotl(b,2) ^ rotl(b,3) ^ rotl(b,4) ^ 0x63.
    std::uint8_t s = inverse;
    std::uint8_t r = inverse;
    for (int k = 0; k < 4; ++k) {
      r = static_cast<std::uint8_t>((r << 1) | (r >> 7));
      s ^= r;
    }
    g_tables.sbox[i] = static_cast<std::uint8_t>(s ^ 0x63);
  }

  std::uint8_t rc = 1;
  for (int i = 0; i < 10; ++i) {
    g_tables.rcon[i] = static_cast<std::uint32_t>(rc) << 24;
    rc = xtime(rc);
  }

  for (int i = 0; i < 256; ++i) {
    std::uint8_t s = g_tables.sbox[i];
    std::uint32_t w = (static_cast<std::uint32_t>(gfMultiply(s, 2)) << 24) |
                      (static_cast<std::uint32_t>(s) << 16) | (static_cast<std::uint32_t>(s) << 8) |
                      static_cast<std::uint32_t>(gfMultiply(s, 3));
    g_tables.te0[i] = w;
    g_tables.te1[i] = rotr8(w);
    g_tables.te2[i] = rotr8(rotr8(w));
    g_tables.te3[i] = rotr8(rotr8(rotr8(w)));
  }
}

const AesTables& tables() {
  std::call_once(g_tablesOnce, buildTables);
  return g_tables;
}

std::uint32_t loadBig(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

void storeBig(std::uint8_t* p, std::uint32_t w) {
  p[0] = static_cast<std::uint8_t>(w >> 24);
  p[1] = static_cast<std::uint8_t>(w >> 16);
  p[2] = static_cast<std::uint8_t>(w >> 8);
  p[3] = static_cast<std::uint8_t>(w);
}

std::uint32_t subWord(const AesTables& t, std::uint32_t w) {
  return (static_cast<std::uint32_t>(t.sbox[w >> 24]) << 24) |
         (static_cast<std::uint32_t>(t.sbox[(w >> 16) & 0xFF]) << 16) |
         (static_cast<std::uint32_t>(t.sbox[(w >> 8) & 0xFF]) << 8) |
         static_cast<std::uint32_t>(t.sbox[w & 0xFF]);
}

// One block: the state is the 16 input bytes column by column.
void encryptBlock(const AesContext& ctx, const std::uint8_t in[16], std::uint8_t out[16]) {
  const AesTables& t = tables();
  const std::uint32_t* rk = ctx.roundKeys;
  std::uint32_t s0 = loadBig(in) ^ rk[0];
  std::uint32_t s1 = loadBig(in + 4) ^ rk[1];
  std::uint32_t s2 = loadBig(in + 8) ^ rk[2];
  std::uint32_t s3 = loadBig(in + 12) ^ rk[3];
  for (int round = 1; round < ctx.roundCount; ++round) {
    rk += 4;
    std::uint32_t t0 = t.te0[s0 >> 24] ^ t.te1[(s1 >> 16) & 0xFF] ^ t.te2[(s2 >> 8) & 0xFF] ^ t.te3[s3 & 0xFF] ^ rk[0];
    std::uint32_t t1 = t.te0[s1 >> 24] ^ t.te1[(s2 >> 16) & 0xFF] ^ t.te2[(s3 >> 8) & 0xFF] ^ t.te3[s0 & 0xFF] ^ rk[1];
    std::uint32_t t2 = t.te0[s2 >> 24] ^ t.te1[(s3 >> 16) & 0xFF] ^ t.te2[(s0 >> 8) & 0xFF] ^ t.te3[s1 & 0xFF] ^ rk[2];
    std::uint32_t t3 = t.te0[s3 >> 24] ^ t.te1[(s0 >> 16) & 0xFF] ^ t.te2[(s1 >> 8) & 0xFF] ^ t.te3[s2 & 0xFF] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  // Last round: SubBytes and ShiftRows without MixColumns.
  auto last = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t k) {
    return ((static_cast<std::uint32_t>(t.sbox[a >> 24]) << 24) |
            (static_cast<std::uint32_t>(t.sbox[(b >> 16) & 0xFF]) << 16) |
            (static_cast<std::uint32_t>(t.sbox[(c >> 8) & 0xFF]) << 8) |
            static_cast<std::uint32_t>(t.sbox[d & 0xFF])) ^ k;
  };
  storeBig(out, last(s0, s1, s2, s3, rk[0]));
  storeBig(out + 4, last(s1, s2, s3, s0, rk[1]));
  storeBig(out + 8, last(s2, s3, s0, s1, rk[2]));
  storeBig(out + 12, last(s3, s0, s1, s2, rk[3]));
}

bool overlaps(const std::uint8_t* a, std::size_t aLength, const std::uint8_t* b, std::size_t bLength) {
  if (aLength == 0 || bLength == 0) return a == b;
  auto ai = reinterpret_cast<std::uintptr_t>(a);
  auto bi = reinterpret_cast<std::uintptr_t>(b);
  return ai < bi + bLength && bi < ai + aLength;
}

bool usable(const AesContext& ctx) {
  return ctx.mode == kAesModeEcb && (ctx.roundCount == 10 || ctx.roundCount == 12 || ctx.roundCount == 14) &&
         ctx.pendingCount >= 0 && ctx.pendingCount < static_cast<int>(kAesBlockSize);
}

}  // namespace

void initContext(AesContext& ctx, int mode, int padding) {
  ctx.mode = mode;
  ctx.padding = padding;
}

int setEncryptKey(AesContext& ctx, const std::uint8_t* key, std::size_t keyLength) {
  ctx.roundCount = 0;
  if (key == nullptr || (keyLength != 16 && keyLength != 24 && keyLength != 32)) return kAesErrorBadKeyLength;
  const AesTables& t = tables();
  const int nk = static_cast<int>(keyLength / 4);
  const int rounds = nk + 6;
  const int words = 4 * (rounds + 1);
  for (int i = 0; i < nk; ++i) ctx.roundKeys[i] = loadBig(key + 4 * i);
  for (int i = nk; i < words; ++i) {
    std::uint32_t temp = ctx.roundKeys[i - 1];
    if (i % nk == 0) {
      temp = subWord(t, (temp << 8) | (temp >> 24)) ^ t.rcon[i / nk - 1];
    } else if (nk > 6 && i % nk == 4) {
      temp = subWord(t, temp);
    }
    ctx.roundKeys[i] = ctx.roundKeys[i - nk] ^ temp;
  }
  ctx.roundCount = rounds;
  return 0;
}

int reset(AesContext& ctx) {
  ctx.pendingCount = 0;
  return 0;
}

int encryptUpdate(AesContext& ctx, const std::uint8_t* input, std::size_t inputLength,
                  std::uint8_t* output, std::size_t& outputLength) {
  outputLength = 0;
  if (!usable(ctx)) return kAesErrorBadArgument;
  if (inputLength > 0 && input == nullptr) return kAesErrorBadArgument;
  if (input != nullptr && input == output) return kAesErrorBadArgument;
  const std::size_t pending = static_cast<std::size_t>(ctx.pendingCount);
  const std::size_t total = pending + inputLength;
  if (total < kAesBlockSize) {
    if (inputLength > 0) std::memcpy(ctx.pending + pending, input, inputLength);
    ctx.pendingCount = static_cast<int>(total);
    return 0;
  }
  const std::size_t produced = total - total % kAesBlockSize;
  if (output == nullptr || overlaps(input, inputLength, output, produced)) {
    return kAesErrorBadArgument;
  }

  std::size_t consumed = kAesBlockSize - pending;
  std::memcpy(ctx.pending + pending, input, consumed);
  encryptBlock(ctx, ctx.pending, output);
  std::size_t written = kAesBlockSize;
  while (inputLength - consumed >= kAesBlockSize) {
    encryptBlock(ctx, input + consumed, output + written);
    consumed += kAesBlockSize;
    written += kAesBlockSize;
  }
  const std::size_t rest = inputLength - consumed;
  if (rest > 0) std::memcpy(ctx.pending, input + consumed, rest);
  ctx.pendingCount = static_cast<int>(rest);
  outputLength = written;
  return 0;
}

int encryptFinal(AesContext& ctx, std::uint8_t* output, std::size_t& outputLength) {
  outputLength = 0;
  if (!usable(ctx) || ctx.padding != kAesPaddingPkcs7 || output == nullptr) return kAesErrorBadArgument;
  const auto pad = static_cast<std::uint8_t>(kAesBlockSize - static_cast<std::size_t>(ctx.pendingCount));
  std::memset(ctx.pending + ctx.pendingCount, pad, pad);
  encryptBlock(ctx, ctx.pending, output);
  ctx.pendingCount = 0;
  outputLength = kAesBlockSize;
  return 0;
}

int aesEncrypt(const void* input, std::size_t length, std::string_view key, std::vector<std::uint8_t>& output) {
  output.clear();
  if (key.empty() || (length > 0 && input == nullptr)) return -1;
  std::vector<std::uint8_t> buffer;
  try {
    buffer.resize(length - length % kAesBlockSize + kAesBlockSize);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  AesContext ctx;
  initContext(ctx, kAesModeEcb, kAesPaddingPkcs7);
  std::size_t updated = 0, finished = 0;
  if (setEncryptKey(ctx, reinterpret_cast<const std::uint8_t*>(key.data()), key.size()) != 0 || reset(ctx) != 0 ||
      encryptUpdate(ctx, static_cast<const std::uint8_t*>(input), length, buffer.data(), updated) != 0 ||
      encryptFinal(ctx, buffer.data() + updated, finished) != 0) {
    return -1;
  }
  buffer.resize(updated + finished);
  output = std::move(buffer);
  return 0;
}

std::string base64Encode(const void* data, std::size_t length) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::string text;
  if (bytes == nullptr) return text;
  text.reserve((length + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    std::uint32_t group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += kAlphabet[(group >> 6) & 63];
    text += kAlphabet[group & 63];
  }
  const std::size_t rest = length - i;
  if (rest == 1) {
    std::uint32_t group = bytes[i] << 16;
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += "==";
  } else if (rest == 2) {
    std::uint32_t group = (bytes[i] << 16) | (bytes[i + 1] << 8);
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += kAlphabet[(group >> 6) & 63];
    text += '=';
  }
  return text;
}

}  // namespace norvane
