#include "refservice/ref_server.h"

#include <httplib.h>
#include <json/reader.h>
#include <json/writer.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "refservice/fault_plan.h"
#include "refservice/login_page.h"
#include "refservice/naming/naming_engine.h"
#include "refservice/naming/sources.h"
#include "refservice/request_check.h"
#include "refservice/stats_store.h"

namespace norvane::refservice {

namespace {

const char* kJsonType = "application/json;charset=UTF-8";
const char* kUser = "root";
const char* kPassword = "kelp";

std::string writeJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value);
}

bool parseJson(const std::string& text, Json::Value& out) {
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  try {
    return reader->parse(text.data(), text.data() + text.size(), &out, &errors);
  } catch (const std::exception&) {
    return false;  // e.g. nested deeper than the reader's stack limit
  }
}

Json::Value errorAnswer(int code, const std::string& message) {
  Json::Value answer(Json::objectValue);
  answer["code"] = code;
  answer["msg"] = message;
  return answer;
}

bool isLoopback(const httplib::Request& req) {
  return req.remote_addr == "127.0.0.1" || req.remote_addr == "::1" || req.remote_addr == "::ffff:127.0.0.1";
}

bool isDigits(const std::string& text, std::size_t length) {
  if (text.size() != length) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// What a handler wants to send, before any scripted fault is applied.
struct Reply {
  int status = 200;
  std::string contentType = kJsonType;
  std::string body;
  Json::Value json;  // set for JSON answers of the naming service
  bool isJson = false;

  static Reply fromJson(const Json::Value& value) {
    Reply r;
    r.json = value;
    r.isJson = true;
    r.body = writeJson(value);
    return r;
  }
  static Reply text(int status, std::string body, const char* type) {
    Reply r;
    r.status = status;
    r.body = std::move(body);
    r.contentType = type;
    return r;
  }
};

}  // namespace

struct ReferenceServer::Impl {
  ServerOptions options;
  httplib::Server http;
  std::thread thread;
  int port = 0;
  bool running = false;

  ServerClock clock;
  FaultPlan faults;
  StatsStore stats;
  std::unique_ptr<NamingEngine> engine;
  std::string engineError;

  std::mutex updateMutex;
  std::string versionText;
  std::string installerFile;

  std::mutex smsMutex;
  std::deque<Json::Value> smsSent;

  explicit Impl(ServerOptions o)
      : options(std::move(o)), clock(options.timeWindow, options.now) {
    versionText = options.versionText;
    installerFile = options.installerFile;
  }

  // ---- sending ------------------------------------------------------------

  void send(const httplib::Request& req, httplib::Response& res, Reply reply) {
    std::optional<Fault> fault = faults.take(req.path);
    if (fault) applyFault(*fault, reply);
    if (fault && fault->mode == FaultMode::Cut) {
      sendCut(res, reply);
      return;
    }
    res.status = reply.status;
    res.set_content(reply.body, reply.contentType.c_str());
  }

  void applyFault(const Fault& fault, Reply& reply) {
    switch (fault.mode) {
      case FaultMode::None:
      case FaultMode::Cut:
        break;
      case FaultMode::Empty:
        reply = Reply::text(200, "", "text/plain");
        break;
      case FaultMode::Html500:
        reply = Reply::text(500,
                            "<!DOCTYPE html><html><head><title>500 Internal Server Error</title></head>"
                            "<body><h1>Internal Server Error</h1></body></html>",
                            "text/html;charset=UTF-8");
        break;
      case FaultMode::NotJson:
        reply = Reply::text(200, "service temporarily unavailable", "text/plain");
        break;
      case FaultMode::NoCode: {
        Json::Value value = reply.isJson && reply.json.isObject() ? reply.json : Json::Value(Json::objectValue);
        value.removeMember("code");
        if (!value.isMember("data")) value["data"] = Json::Value(Json::arrayValue);
        reply = Reply::fromJson(value);
        break;
      }
      case FaultMode::Code:
        reply = Reply::fromJson(errorAnswer(fault.code, "scripted answer"));
        break;
      case FaultMode::Slow:
        faults.sleep(fault.delay);
        break;
    }
  }

  // Announces the whole body but sends only its first half, then drops the
  // connection.
  void sendCut(httplib::Response& res, const Reply& reply) {
    auto body = std::make_shared<std::string>(reply.body);
    if (body->size() < 2) *body = "{\"code\":0,\"data\":[]}";
    res.status = reply.status;
    res.set_content_provider(body->size(), reply.contentType.c_str(),
                             [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                               std::size_t half = body->size() / 2;
                               if (offset < half) sink.write(body->data() + offset, half - offset);
                               return false;  // abort: the client sees a short body
                             });
  }

  // ---- credentials and envelope -----------------------------------------

  bool authorised(const httplib::Request& req) {
    std::string header = req.get_header_value("Authorization");
    const std::string prefix = "Basic ";
    if (header.compare(0, prefix.size(), prefix) != 0) return false;
    auto decoded = base64Decode(header.substr(prefix.size()));
    return decoded && *decoded == std::string(kUser) + ":" + kPassword;
  }

  void refuseCredentials(httplib::Response& res) {
    res.status = 401;
    res.set_header("WWW-Authenticate", "Basic realm=\"norvane\"");
    res.set_content("<html><body><h1>401 Unauthorized</h1></body></html>", "text/html;charset=UTF-8");
  }

  // Parses the body of a signed POST; false (with the reader failed) when it
  // is not a JSON object.
  static bool readBody(const httplib::Request& req, Json::Value& body, CheckError& error) {
    if (!parseJson(req.body, body) || !body.isObject()) {
      error.code = kCodeMissingMember;
      error.message = "请求内容不是 JSON 对象";
      return false;
    }
    return true;
  }

  // Checks sign and time once every member has been read.
  CheckError checkEnvelope(MemberReader& r, const std::string& sign, long long t, const std::string& format,
                           const std::vector<SignValue>& values) {
    if (!r.ok()) return r.error();
    std::vector<SignValue> all;
    all.push_back(SignValue::str(kSignKey));
    all.insert(all.end(), values.begin(), values.end());
    std::string expected = computeSign(format, all);
    if (expected.empty() || sign != expected) return CheckError{kCodeBadSign, "签名错误"};
    if (!clock.isRecent(t)) return CheckError{kCodeStaleTime, "请求时间无效或已过期"};
    return {};
  }

  static void checkBirth(MemberReader& r, const std::string& surname, long long sex, const std::string& birthday,
                         double longitude, long long m) {
    if (!r.ok()) return;
    Birthday parsed;
    if (!isChineseText(surname, 1, 2)) r.reject("姓氏应为一到两个汉字");
    else if (sex != 1 && sex != 2) r.reject("性别应为 1 或 2");
    else if (!parseBirthdayText(birthday, parsed)) r.reject("出生时间格式错误");
    else if (!std::isfinite(longitude) || longitude < -180 || longitude > 180) r.reject("经度超出范围");
    else if (m != 1) r.reject("参数 m 应为 1");
  }

  static void checkPaging(MemberReader& r, long long page, long long number) {
    if (!r.ok()) return;
    if (page < 1) r.reject("页码应从 1 开始");
    else if (number < 1 || number > 100) r.reject("每页数量应为 1 到 100");
  }

  Reply engineAnswer(const NamingResult& result, bool merge) {
    if (!result.ok()) return Reply::fromJson(errorAnswer(result.code, result.message));
    Json::Value answer(Json::objectValue);
    answer["code"] = 0;
    if (merge && result.data.isObject()) {
      for (const auto& name : result.data.getMemberNames()) answer[name] = result.data[name];
    } else {
      answer["data"] = result.data;
    }
    return Reply::fromJson(answer);
  }

  Reply engineMissing() {
    return Reply::fromJson(errorAnswer(kCodeEngineUnavailable, "起名引擎不可用：" + engineError));
  }

  // ---- naming service ----------------------------------------------------

  Reply nameBuild(const Json::Value& body) {
    MemberReader r(body);
    std::string account = r.text("account");
    std::string b = r.text("b");
    double jd = r.number("jd");
    long long m = r.integer("m");
    long long ming = r.integer("ming");
    long long number = r.integer("number");
    long long page = r.integer("page");
    const Json::Value& set = r.object("set");
    long long sex = r.integer("sex");
    std::string sign = r.text("sign");
    long long t = r.integer("t");
    std::string token = r.text("token");
    std::string xing = r.text("xing");

    static const char* kSetNames[kSettingCount] = {"cyz", "xb", "sx", "zxz", "xmx", "wx", "ny", "yd", "sm", "ym"};
    static const int kSetMax[kSettingCount] = {3, 3, 3, 3, 3, 3, 3, 3, 2, 3};
    MemberReader setReader(set);
    std::array<int, kSettingCount> settings{};
    for (int i = 0; i < kSettingCount && r.ok(); ++i) {
      settings[i] = static_cast<int>(setReader.integer(kSetNames[i]));
      if (!setReader.ok()) r.fail(setReader.error().code, setReader.error().message);
    }
    // "cc", the book of the classical source, is the one optional member of "set".
    std::string source;
    if (r.ok() && setReader.has("cc")) {
      source = setReader.text("cc");
      if (!setReader.ok()) r.fail(setReader.error().code, setReader.error().message);
    }
    std::string fixed[2];
    const char* fixedNames[2] = {"z1", "z2"};
    for (int i = 0; i < 2 && r.ok(); ++i) {
      if (!body.isMember(fixedNames[i])) continue;
      const Json::Value& v = body[fixedNames[i]];
      if (!v.isArray() || v.size() != 1 || !v[0].isString()) {
        r.reject(std::string("参数 ") + fixedNames[i] + " 应为一个文本的数组");
      } else {
        fixed[i] = v[0].asString();
      }
    }

    CheckError e = checkEnvelope(r, sign, t, "%s%s%d%d%s%d%d%d%d%s%s",
                                 {SignValue::str(xing), SignValue::num(ming), SignValue::num(sex),
                                  SignValue::str(birthdayDigits(b)), SignValue::num(number), SignValue::num(page),
                                  SignValue::num(m), SignValue::num(t), SignValue::str(account),
                                  SignValue::str(token)});
    if (e.failed()) return Reply::fromJson(errorAnswer(e.code, e.message));

    checkBirth(r, xing, sex, b, jd, m);
    checkPaging(r, page, number);
    if (r.ok() && ming != 1 && ming != 2) r.reject("名字长度应为 1 或 2");
    for (int i = 0; i < kSettingCount && r.ok(); ++i) {
      if (settings[i] < 0 || settings[i] > kSetMax[i]) r.reject(std::string("高级设置 ") + kSetNames[i] + " 超出范围");
    }
    if (r.ok() && set.isMember("cc") && !bookOfSetting(source)) r.reject("出处应为 不限、诗经、楚辞、唐诗、宋词 或 论语");
    for (int i = 0; i < 2 && r.ok(); ++i) {
      if (body.isMember(fixedNames[i]) && !isChineseText(fixed[i], 1, 1)) {
        r.reject(std::string("参数 ") + fixedNames[i] + " 应为一个汉字");
      }
    }
    if (!r.ok()) return Reply::fromJson(errorAnswer(r.error().code, r.error().message));
    if (!engine) return engineMissing();

    NamePageRequest request;
    request.birth = BirthQuestion{xing, static_cast<int>(sex), b, jd};
    request.nameLength = static_cast<int>(ming);
    request.page = static_cast<int>(page);
    request.pageSize = static_cast<int>(number);
    request.settings = settings;
    request.fixedFirst = fixed[0];
    request.fixedSecond = fixed[0].empty() ? fixed[1] : std::string();
    request.source = source;
    return engineAnswer(engine->namePage(request), true);
  }

  Reply nicknameBuild(const Json::Value& body) {
    MemberReader r(body);
    std::string account = r.text("account");
    std::string b = r.text("b");
    double jd = r.number("jd");
    long long m = r.integer("m");
    long long number = r.integer("number");
    long long page = r.integer("page");
    const Json::Value& set = r.object("set");
    long long sex = r.integer("sex");
    std::string sign = r.text("sign");
    long long t = r.integer("t");
    std::string token = r.text("token");
    std::string xing = r.text("xing");

    std::array<bool, 6> patterns{};
    MemberReader setReader(set);
    for (int i = 0; i < 6 && r.ok(); ++i) {
      std::string name = "ct" + std::to_string(i + 1);
      patterns[i] = setReader.boolean(name.c_str());
      if (!setReader.ok()) r.fail(setReader.error().code, setReader.error().message);
    }

    CheckError e = checkEnvelope(r, sign, t, "%s%s%d%s%d%d%d%d%s%s",
                                 {SignValue::str(xing), SignValue::num(sex), SignValue::str(birthdayDigits(b)),
                                  SignValue::num(number), SignValue::num(page), SignValue::num(m),
                                  SignValue::num(t), SignValue::str(account), SignValue::str(token)});
    if (e.failed()) return Reply::fromJson(errorAnswer(e.code, e.message));

    checkBirth(r, xing, sex, b, jd, m);
    checkPaging(r, page, number);
    bool anyPattern = false;
    for (bool p : patterns) anyPattern = anyPattern || p;
    if (r.ok() && !anyPattern) r.reject("至少选择一种小名格式");
    if (!r.ok()) return Reply::fromJson(errorAnswer(r.error().code, r.error().message));
    if (!engine) return engineMissing();

    NicknamePageRequest request;
    request.birth = BirthQuestion{xing, static_cast<int>(sex), b, jd};
    request.patterns = patterns;
    request.page = static_cast<int>(page);
    request.pageSize = static_cast<int>(number);
    return engineAnswer(engine->nicknamePage(request), true);
  }

  Reply analysis(const Json::Value& body, bool nickname) {
    MemberReader r(body);
    std::string b = r.text("b");
    double jd = r.number("jd");
    long long m = r.integer("m");
    std::string ming = r.text("ming");
    long long sex = r.integer("sex");
    std::string sign = r.text("sign");
    long long t = r.integer("t");
    std::string xing = r.text("xing");

    CheckError e = checkEnvelope(r, sign, t, "%s%s%s%d%s%d%d",
                                 {SignValue::str(xing), SignValue::str(ming), SignValue::num(sex),
                                  SignValue::str(birthdayDigits(b)), SignValue::num(m), SignValue::num(t)});
    if (e.failed()) return Reply::fromJson(errorAnswer(e.code, e.message));

    checkBirth(r, xing, sex, b, jd, m);
    if (r.ok()) {
      if (nickname && !isChineseText(ming, 2, 3)) r.reject("小名应为两到三个汉字");
      if (!nickname && !isChineseText(ming, 1, 2)) r.reject("名字应为一到两个汉字");
    }
    if (!r.ok()) return Reply::fromJson(errorAnswer(r.error().code, r.error().message));
    if (!engine) return engineMissing();

    BirthQuestion birth{xing, static_cast<int>(sex), b, jd};
    return engineAnswer(nickname ? engine->analyseNickname(birth, ming) : engine->analyse(birth, ming), false);
  }

  Reply luck(const Json::Value& body) {
    MemberReader r(body);
    std::string ming = r.text("ming");
    std::string sign = r.text("sign");
    long long t = r.integer("t");
    std::string xing = r.text("xing");

    CheckError e = checkEnvelope(r, sign, t, "%s%s%s%d",
                                 {SignValue::str(xing), SignValue::str(ming), SignValue::num(t)});
    if (e.failed()) return Reply::fromJson(errorAnswer(e.code, e.message));
    if (!isChineseText(xing, 1, 2)) r.reject("姓氏应为一到两个汉字");
    else if (!isChineseText(ming, 1, 2)) r.reject("名字应为一到两个汉字");
    if (!r.ok()) return Reply::fromJson(errorAnswer(r.error().code, r.error().message));
    if (!engine) return engineMissing();
    return engineAnswer(engine->fortune(xing, ming), false);
  }

  Reply userLogin(const Json::Value& body) {
    MemberReader r(body);
    std::string account = r.text("account");
    long long agentid = r.integer("agentid");
    long long appid = r.integer("appid");
    std::string sign = r.text("sign");
    long long sourceid = r.integer("sourceid");
    long long t = r.integer("t");
    long long typeid_ = r.integer("typeid");

    CheckError e = checkEnvelope(r, sign, t, "%s%s%d%d%d%d%d",
                                 {SignValue::str(account), SignValue::num(appid), SignValue::num(agentid),
                                  SignValue::num(typeid_), SignValue::num(sourceid), SignValue::num(t)});
    if (e.failed()) return Reply::fromJson(errorAnswer(e.code, e.message));
    if (typeid_ < 1 || typeid_ > 3) r.reject("登录类型应为 1、2 或 3");
    else if (account.empty() || account.size() > 256) r.reject("帐号不能为空");
    else if (typeid_ == 1 && !isDigits(account, 11)) r.reject("手机号码应为 11 位数字");
    if (!r.ok()) return Reply::fromJson(errorAnswer(r.error().code, r.error().message));

    Json::Value answer(Json::objectValue);
    answer["code"] = 0;
    answer["data"]["token"] = tokenFor(account);
    return Reply::fromJson(answer);
  }

  Reply smsLogin(const Json::Value& body) {
    MemberReader r(body);
    std::string code = r.text("code");
    std::string mobile = r.text("mobile");
    std::string sign = r.text("sign");
    long long t = r.integer("t");

    CheckError e = checkEnvelope(r, sign, t, "%s%s%s%d",
                                 {SignValue::str(mobile), SignValue::str(code), SignValue::num(t)});
    if (e.failed()) return Reply::fromJson(errorAnswer(e.code, e.message));
    if (!isDigits(mobile, 11)) r.reject("手机号码应为 11 位数字");
    else if (!isVerificationCode(code)) r.reject("验证码应为 6 位");
    if (!r.ok()) return Reply::fromJson(errorAnswer(r.error().code, r.error().message));

    {
      std::lock_guard<std::mutex> lock(smsMutex);
      Json::Value sent(Json::objectValue);
      sent["mobile"] = mobile;
      sent["code"] = code;
      smsSent.push_back(sent);
      if (smsSent.size() > 100) smsSent.pop_front();
    }
    // There is no phone behind the local service: the person trying the
    // login reads the code from the service's terminal instead.
    std::fprintf(stderr, "SMS to %s: %s\n", mobile.c_str(), code.c_str());
    std::fflush(stderr);
    Json::Value answer(Json::objectValue);
    answer["code"] = 0;
    answer["msg"] = "验证码已发送";
    return Reply::fromJson(answer);
  }

  // Six characters: digits, or a minus sign and five digits (the client's
  // generator prints a 32-bit product as a signed number, which may come out
  // negative).
  static bool isVerificationCode(const std::string& code) {
    if (code.size() != 6) return false;
    for (std::size_t i = 0; i < code.size(); ++i) {
      bool digit = code[i] >= '0' && code[i] <= '9';
      if (!digit && !(i == 0 && code[i] == '-')) return false;
    }
    return true;
  }

  std::string tokenFor(const std::string& account) const {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), options.tokenSecret.data(), static_cast<int>(options.tokenSecret.size()),
         reinterpret_cast<const unsigned char*>(account.data()), account.size(), digest, &length);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length && out.size() < 40; ++i) {
      out += hex[digest[i] >> 4];
      out += hex[digest[i] & 15];
    }
    return out;
  }

  // ---- statistics and update hosts ----------------------------------------

  Reply statsReport(const httplib::Request& req) {
    std::string why;
    auto report = decodeReport(req.body, why);
    if (!report || !stats.add(*report)) return Reply::text(200, "0", "text/plain");
    return Reply::text(200, "1", "text/plain");
  }

  Reply versionFile() {
    std::lock_guard<std::mutex> lock(updateMutex);
    return Reply::text(200, "version=" + versionText, "text/html");
  }

  Reply installer() {
    std::string path;
    {
      std::lock_guard<std::mutex> lock(updateMutex);
      path = installerFile;
    }
    if (path.empty()) return Reply::text(404, "no installer is configured", "text/plain");
    std::ifstream in(path, std::ios::binary);
    if (!in) return Reply::text(404, "installer file cannot be read", "text/plain");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return Reply::text(200, bytes.str(), "application/octet-stream");
  }

  // ---- control --------------------------------------------------------------

  Reply controlFault(const httplib::Request& req) {
    Json::Value body;
    if (!parseJson(req.body, body) || !body.isObject()) return Reply::text(400, "body must be a JSON object", "text/plain");
    const Json::Value& modeName = body["mode"];
    auto mode = modeName.isString() ? faultModeFromName(modeName.asString()) : std::nullopt;
    if (!mode) return Reply::text(400, "unknown mode", "text/plain");
    for (const char* name : {"code", "delay_ms", "count"}) {
      if (body.isMember(name) && !body[name].isInt()) {
        return Reply::text(400, std::string(name) + " must be an integer", "text/plain");
      }
    }
    if (body.isMember("path") && !body["path"].isString()) return Reply::text(400, "path must be a text", "text/plain");
    Fault fault;
    fault.mode = *mode;
    fault.code = body.get("code", 500).asInt();
    fault.delay = std::chrono::milliseconds(body.get("delay_ms", 3000).asInt());
    faults.arm(fault, body.get("count", 1).asInt(), body.get("path", "").asString());
    Json::Value answer(Json::objectValue);
    answer["mode"] = faultModeName(fault.mode);
    answer["remaining"] = faults.remaining();
    return Reply::fromJson(answer);
  }

  Reply controlUpdate(const httplib::Request& req) {
    Json::Value body;
    if (!parseJson(req.body, body) || !body.isObject()) return Reply::text(400, "body must be a JSON object", "text/plain");
    for (const char* name : {"version", "installer"}) {
      if (body.isMember(name) && !body[name].isString()) {
        return Reply::text(400, std::string(name) + " must be a text", "text/plain");
      }
    }
    std::lock_guard<std::mutex> lock(updateMutex);
    if (body.isMember("version")) versionText = body["version"].asString();
    if (body.isMember("installer")) installerFile = body["installer"].asString();
    Json::Value answer(Json::objectValue);
    answer["version"] = versionText;
    answer["installer"] = installerFile;
    return Reply::fromJson(answer);
  }

  // ---- routes -----------------------------------------------------------------

  void signedPost(const char* path, std::function<Reply(const Json::Value&)> handle) {
    http.Post(path, [this, handle](const httplib::Request& req, httplib::Response& res) {
      if (!authorised(req)) return refuseCredentials(res);
      Json::Value body;
      CheckError error;
      if (!readBody(req, body, error)) return send(req, res, Reply::fromJson(errorAnswer(error.code, error.message)));
      Reply reply;
      try {
        reply = handle(body);
      } catch (const std::exception& e) {
        // Whatever went wrong inside, the client gets a service answer it can show.
        reply = Reply::fromJson(errorAnswer(kCodeEngineUnavailable, std::string("服务内部错误：") + e.what()));
      }
      send(req, res, reply);
    });
    http.Get(path, [](const httplib::Request&, httplib::Response& res) {
      res.status = 405;
      res.set_header("Allow", "POST");
      res.set_content("method not allowed", "text/plain");
    });
  }

  void loopbackOnly(const httplib::Request& req, httplib::Response& res, const std::function<Reply()>& handle) {
    if (!isLoopback(req)) {
      res.status = 403;
      res.set_content("loopback only", "text/plain");
      return;
    }
    Reply reply = handle();
    res.status = reply.status;
    res.set_content(reply.body, reply.contentType.c_str());
  }

  void routes() {
    http.Get("/system/timenow", [this](const httplib::Request& req, httplib::Response& res) {
      if (!authorised(req)) return refuseCredentials(res);
      send(req, res, Reply::text(200, std::to_string(clock.handOut()), "text/plain"));
    });
    signedPost("/v1/build", [this](const Json::Value& b) { return nameBuild(b); });
    signedPost("/v1/child/build", [this](const Json::Value& b) { return nicknameBuild(b); });
    signedPost("/v1/show", [this](const Json::Value& b) { return analysis(b, false); });
    signedPost("/v1/child/show", [this](const Json::Value& b) { return analysis(b, true); });
    signedPost("/v1/luck", [this](const Json::Value& b) { return luck(b); });
    signedPost("/v1/user/login", [this](const Json::Value& b) { return userLogin(b); });
    signedPost("/sms/login/", [this](const Json::Value& b) { return smsLogin(b); });

    auto loginPage = [this](LoginProvider provider) {
      return [this, provider](const httplib::Request& req, httplib::Response& res) {
        int agent = 1;
        if (req.has_param("agent")) {
          try {
            agent = std::stoi(req.get_param_value("agent"));
          } catch (...) {
            agent = 1;
          }
        }
        send(req, res, Reply::text(200, loginPageHtml(provider, agent), "text/html;charset=UTF-8"));
      };
    };
    http.Get(R"(/user/login/weixin/pc/?)", loginPage(LoginProvider::WeChat));
    http.Get(R"(/user/login/qq/pc/?)", loginPage(LoginProvider::QQ));

    http.Post("/action.ashx", [this](const httplib::Request& req, httplib::Response& res) {
      send(req, res, statsReport(req));
    });
    http.Get("/windows/newversion.htm", [this](const httplib::Request& req, httplib::Response& res) {
      send(req, res, versionFile());
    });
    http.Get("/windows/NvrSetup.exe", [this](const httplib::Request& req, httplib::Response& res) {
      send(req, res, installer());
    });

    http.Post("/control/fault", [this](const httplib::Request& req, httplib::Response& res) {
      loopbackOnly(req, res, [&] { return controlFault(req); });
    });
    http.Post("/control/update", [this](const httplib::Request& req, httplib::Response& res) {
      loopbackOnly(req, res, [&] { return controlUpdate(req); });
    });
    http.Get("/control/sms", [this](const httplib::Request& req, httplib::Response& res) {
      loopbackOnly(req, res, [&] {
        std::lock_guard<std::mutex> lock(smsMutex);
        Json::Value list(Json::arrayValue);
        for (const auto& sent : smsSent) list.append(sent);
        return Reply::fromJson(list);
      });
    });
    http.Get("/stats/reports", [this](const httplib::Request& req, httplib::Response& res) {
      loopbackOnly(req, res, [&] { return Reply::fromJson(stats.all()); });
    });
    http.Delete("/stats/reports", [this](const httplib::Request& req, httplib::Response& res) {
      loopbackOnly(req, res, [&] {
        return stats.clear() ? Reply::text(200, "1", "text/plain") : Reply::text(500, "0", "text/plain");
      });
    });
  }
};

ReferenceServer::ReferenceServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

ReferenceServer::~ReferenceServer() { stop(); }

bool ReferenceServer::start(int port, std::string& error) {
  Impl& d = *impl_;
  if (d.running) {
    error = "already running";
    return false;
  }
  if (!d.stats.open(d.options.statsDatabase, error)) {
    error = "statistics database " + d.options.statsDatabase + ": " + error;
    return false;
  }
  if (!d.options.withoutNaming) {
    EngineFiles files = EngineFiles::besideProgram(d.options.dataFolder);
    if (!d.options.characterFolder.empty()) files.characterFolder = d.options.characterFolder;
    if (!d.options.vocabularyFile.empty()) files.vocabulary = d.options.vocabularyFile;
    d.engine = std::make_unique<NamingEngine>(files);
    if (!d.engine->ready()) {
      d.engineError = d.engine->loadError();
      d.engine.reset();
    }
  } else {
    d.engineError = "naming disabled";
  }
  d.routes();
  // Requests of this service are small; refuse anything huge outright.
  d.http.set_payload_max_length(1 << 20);
  // Reuse an address left in TIME_WAIT, but never share a port another
  // server is listening on (the library's default would, and the two would
  // then split the connections between them).
  d.http.set_socket_options([](int sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  if (port == 0) {
    d.port = d.http.bind_to_any_port("127.0.0.1");
  } else {
    d.port = d.http.bind_to_port("127.0.0.1", port) ? port : -1;
  }
  if (d.port <= 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port);
    return false;
  }
  d.running = true;
  d.thread = std::thread([&d] { d.http.listen_after_bind(); });
  // Requests queue on the bound socket already; wait for the accept loop so
  // that a stop() right after start() does not miss it.
  while (!d.http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

int ReferenceServer::port() const { return impl_->port; }

void ReferenceServer::stop() {
  Impl& d = *impl_;
  if (!d.running) return;
  d.faults.wakeAll();
  d.http.stop();
  if (d.thread.joinable()) d.thread.join();
  d.running = false;
}

bool ReferenceServer::namingReady() const { return impl_->engine != nullptr; }

std::string ReferenceServer::engineError() const { return impl_->engineError; }

std::string ReferenceServer::tokenFor(const std::string& account) const { return impl_->tokenFor(account); }

}  // namespace norvane::refservice
