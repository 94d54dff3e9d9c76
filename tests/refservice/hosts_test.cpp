// The statistics host, the update host and the command line of the service.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "refservice/stats_store.h"
#include "refservice_test_support.h"
#include "shell/settings.h"
#include "support/temp_dir.h"

namespace norvane::refservice::test {
namespace {

const char* kReportKeyText = "Kpn@Zr#305#DELTA";

// A client's report payload: AES-128-ECB with PKCS#7, then Base64.
std::string encryptReport(const std::string& plain, const std::string& key = kReportKeyText) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, reinterpret_cast<const unsigned char*>(key.data()), nullptr);
  std::string out(plain.size() + 32, '\0');
  int n1 = 0, n2 = 0;
  EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n1,
                    reinterpret_cast<const unsigned char*>(plain.data()), static_cast<int>(plain.size()));
  EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + n1, &n2);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(static_cast<std::size_t>(n1 + n2));
  std::string b64(4 * ((out.size() + 2) / 3) + 1, '\0');
  int len = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(b64.data()),
                            reinterpret_cast<const unsigned char*>(out.data()), static_cast<int>(out.size()));
  b64.resize(static_cast<std::size_t>(len));
  return b64;
}

// The record as the client's styled writer lays it out.
const char* kRecord =
    "{\n   \"AppId\" : 1,\n   \"ChannelCode\" : \"37\",\n   \"MachineCode\" : \"0a1b2c3d\",\n"
    "   \"Os\" : \"\",\n   \"OsBit\" : 64,\n   \"TypeId\" : 3,\n   \"Version\" : \"1.0.9\"\n}\n";

const char* kFormType = "Content-Type: application/x-www-form-urlencoded";

TEST(RefServiceStatistics, StoresADecryptedReportAndAcknowledgesWithOne) {
  norvane::test::TempDir dir;
  ServerOptions options;
  options.statsDatabase = dir.file("stats.db");
  options.withoutNaming = true;
  {
    RunningServer s(options);
    ASSERT_TRUE(s.started()) << s.error();
    HttpResult r = exchange("POST", s.url("/action.ashx"), encryptReport(kRecord), "", kFormType);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "1");
    EXPECT_EQ(r.contentLength, 1.0);
  }
  // A new server on the same file still has the report.
  RunningServer s(options);
  ASSERT_TRUE(s.started()) << s.error();
  Json::Value reports;
  ASSERT_TRUE(parseJson(exchange("GET", s.url("/stats/reports"), "", "").body, reports));
  ASSERT_EQ(reports.size(), 1u);
  const Json::Value& r = reports[0];
  EXPECT_EQ(r["AppId"].asInt(), 1);
  EXPECT_EQ(r["ChannelCode"].asString(), "37");
  EXPECT_EQ(r["MachineCode"].asString(), "0a1b2c3d");
  EXPECT_EQ(r["Os"].asString(), "");
  EXPECT_EQ(r["OsBit"].asInt(), 64);
  EXPECT_EQ(r["TypeId"].asInt(), 3);
  EXPECT_EQ(r["Version"].asString(), "1.0.9");
  EXPECT_EQ(r["plain"].asString(), kRecord);

  EXPECT_EQ(exchange("DELETE", s.url("/stats/reports"), "", "").body, "1");
  ASSERT_TRUE(parseJson(exchange("GET", s.url("/stats/reports"), "", "").body, reports));
  EXPECT_EQ(reports.size(), 0u);
}

TEST(RefServiceStatistics, MalformedReportsAnswerZeroAndAreNotStored) {
  ServerOptions options;
  options.withoutNaming = true;
  RunningServer s(options);
  ASSERT_TRUE(s.started()) << s.error();
  std::string good = encryptReport(kRecord);
  struct Row {
    const char* name;
    std::string body;
  } rows[] = {
      {"empty body", ""},
      {"not Base64", "this is not base64!"},
      {"Base64 of a length that is no block", "YWJjZGVmZ2hpamtsbW5v"},
      {"Base64 cut off", good.substr(0, good.size() - 4)},
      {"encrypted with another key", encryptReport(kRecord, "0123456789abcdef")},
      {"encrypted text not JSON", encryptReport("AppId=1&TypeId=3")},
      {"JSON without TypeId", encryptReport(R"({"AppId":1,"ChannelCode":"1","MachineCode":"","Os":"","OsBit":64,"Version":"1"})")},
      {"TypeId as text", encryptReport(R"({"AppId":1,"ChannelCode":"1","MachineCode":"","Os":"","OsBit":64,"TypeId":"3","Version":"1"})")},
      {"a JSON array", encryptReport("[1,2,3]")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    HttpResult r = exchange("POST", s.url("/action.ashx"), row.body, "", kFormType);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "0");
    EXPECT_EQ(r.contentLength, 1.0);
  }
  Json::Value reports;
  ASSERT_TRUE(parseJson(exchange("GET", s.url("/stats/reports"), "", "").body, reports));
  EXPECT_EQ(reports.size(), 0u);
}

TEST(RefServiceStatistics, DecryptionRejectsWrongPadding) {
  // The FIPS-197 example block decrypts to 00112233...ff, whose last byte is
  // no PKCS#7 padding.
  std::string key, cipher;
  for (int i = 0; i < 16; ++i) key += static_cast<char>(i);
  const unsigned char block[16] = {0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30,
                                   0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a};
  cipher.assign(reinterpret_cast<const char*>(block), 16);
  EXPECT_FALSE(aesEcbDecrypt(cipher, key).has_value());
  // The same block followed by a block of padding decrypts to the example plaintext.
  std::string padded = base64Decode(encryptReport(std::string(), key)).value();
  auto plain = aesEcbDecrypt(cipher + padded, key);
  ASSERT_TRUE(plain.has_value());
  ASSERT_EQ(plain->size(), 16u);
  EXPECT_EQ(static_cast<unsigned char>((*plain)[0]), 0x00);
  EXPECT_EQ(static_cast<unsigned char>((*plain)[1]), 0x11);
  EXPECT_EQ(static_cast<unsigned char>((*plain)[15]), 0xff);
}

TEST(RefServiceStatistics, Base64DecodingIsStrict) {
  struct Row {
    const char* text;
    const char* decoded;  // nullptr: rejected
  } rows[] = {{"YWJj", "abc"}, {"YWI=", "ab"},    {"YQ==", "a"},  {"", ""},       {" YWJj\r\n", "abc"},
              {"YQ=", nullptr}, {"Y===", nullptr}, {"YQ==YWJj", nullptr}, {"YW=j", nullptr}, {"YW-j", nullptr}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    auto decoded = base64Decode(row.text);
    if (row.decoded == nullptr) {
      EXPECT_FALSE(decoded.has_value());
    } else {
      ASSERT_TRUE(decoded.has_value());
      EXPECT_EQ(*decoded, row.decoded);
    }
  }
}

TEST(RefServiceUpdateHost, ServesVersionTextAndInstallerWithLength) {
  norvane::test::TempDir dir;
  std::string installer;
  for (int i = 0; i < 100000; ++i) installer += static_cast<char>((i * 7919) & 0xFF);
  norvane::test::writeFile(dir.file("setup.bin"), installer);

  ServerOptions options;
  options.withoutNaming = true;
  options.versionText = "1.1.0";
  options.installerFile = dir.file("setup.bin");
  RunningServer s(options);
  ASSERT_TRUE(s.started()) << s.error();

  HttpResult version = exchange("GET", s.url("/windows/newversion.htm"), "", "");
  EXPECT_EQ(version.status, 200);
  EXPECT_EQ(version.body, "version=1.1.0");
  EXPECT_EQ(version.contentLength, 13.0);

  HttpResult file = exchange("GET", s.url("/windows/NvrSetup.exe"), "", "");
  EXPECT_EQ(file.status, 200);
  EXPECT_EQ(file.contentLength, static_cast<double>(installer.size()));
  EXPECT_TRUE(file.body == installer);

  // Tests switch version and installer while the server runs.
  ASSERT_EQ(exchange("POST", s.url("/control/update"), R"({"version":"2.0","installer":""})", "").status, 200);
  EXPECT_EQ(exchange("GET", s.url("/windows/newversion.htm"), "", "").body, "version=2.0");
  EXPECT_EQ(exchange("GET", s.url("/windows/NvrSetup.exe"), "", "").status, 404);

  // A cut-off download: the announced length is whole, the bytes are not.
  ASSERT_EQ(exchange("POST", s.url("/control/update"), "{\"installer\":\"" + dir.file("setup.bin") + "\"}", "").status,
            200);
  ASSERT_EQ(exchange("POST", s.url("/control/fault"), R"({"mode":"cut","path":"/windows/NvrSetup.exe"})", "").status, 200);
  HttpResult cut = exchange("GET", s.url("/windows/NvrSetup.exe"), "", "");
  EXPECT_EQ(cut.contentLength, static_cast<double>(installer.size()));
  EXPECT_LT(cut.body.size(), installer.size());
}

// The command line: first line, oem.ini, serving, and a clean stop on SIGTERM.
TEST(RefServiceCommandLine, PrintsOriginWritesOemAndStopsOnSigterm) {
  norvane::test::TempDir dir;
  norvane::test::writeFile(dir.file("oem.ini"), "[Partner]\nId=37\n\n[Hosts]\nService=api.example.com\n");
  ChildServer child({"--port", "0", "--write-oem", dir.file("oem.ini"), "--version-text", "9.9"});
  std::string first = child.firstLine();
  const std::string prefix = "listening on http://127.0.0.1:";
  ASSERT_EQ(first.rfind(prefix, 0), 0u) << first;
  int port = std::atoi(first.c_str() + prefix.size());
  EXPECT_GT(port, 0);
  std::string origin = child.origin();
  EXPECT_EQ(origin, "http://127.0.0.1:" + std::to_string(port));

  // The oem.ini is complete by the time the first line appears.
  norvane::HostSettings hosts = norvane::readHostSettings(dir.file("oem.ini"));
  EXPECT_EQ(hosts.service, origin);
  EXPECT_EQ(hosts.statistics, origin);
  EXPECT_EQ(hosts.update, origin);
  EXPECT_EQ(hosts.site, origin);
  norvane::OemSettings oem;
  norvane::LoadOemSettings(oem, dir.file("oem.ini"));
  EXPECT_EQ(oem.partnerId, 37) << "other sections are kept";

  EXPECT_EQ(exchange("GET", origin + "/windows/newversion.htm", "", "").body, "version=9.9");

  int status = child.stop();
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RefServiceCommandLine, RefusesBadOptions) {
  std::string program = std::string(NORVANE_BIN_DIR) + "/norvane-refservice";
  for (const char* args : {"--port", "--port abc", "--port 70000", "--frobnicate"}) {
    SCOPED_TRACE(args);
    std::string command = program + " " + args + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
  }
  // Options that read well but cannot be served: a clear message and status 1.
  ServerOptions options;
  options.withoutNaming = true;
  RunningServer busy(options);
  ASSERT_TRUE(busy.started()) << busy.error();
  for (std::string args : {"--port " + std::to_string(busy.server().port()),
                           std::string("--stats-db /nonexistent-folder/stats.db"),
                           std::string("--port 0 --write-oem /nonexistent-folder/oem.ini")}) {
    SCOPED_TRACE(args);
    // A server that wrongly starts would run until stopped: bound the wait.
    std::string command = "timeout 20 " + program + " " + args + " 2>&1 >/dev/null";
    std::string message;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) message += buffer;
    int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(message.find("norvane-refservice: "), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace norvane::refservice::test
