#pragma once
// A test server, a private data folder and the endpoint table pointed at both.
#include "platform/folders.h"
#include "service/endpoints.h"
#include "service/test_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <json/value.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

namespace norvane::test {

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ServiceEndpoints::initialize(dir.path(), dir.file("Norvane"), server.origin());
    server.setTime("1700000000\n");
  }

  TempDir dir;
  TestServer server;
};

// MD5 as lower-case hex through libcrypto's one-shot digest, kept apart from
// the client's own digest routine.
inline std::string referenceMd5(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
  std::string hex;
  char byte[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(byte, sizeof byte, "%02x", digest[i]);
    hex += byte;
  }
  return hex;
}

inline const std::string kKey = "tP3kWz8QmLr5NvXc2HsYd7BfGj9eRaUo";

// Every string and member name below `value`, depth first.
inline void collectTexts(const Json::Value& value, std::vector<std::string>& texts) {
  if (value.isString()) texts.push_back(value.asString());
  if (value.isArray())
    for (const Json::Value& item : value) collectTexts(item, texts);
  if (value.isObject())
    for (const std::string& name : value.getMemberNames()) {
      texts.push_back(name);
      collectTexts(value[name], texts);
    }
}

}  // namespace norvane::test
