#include "cli/commands.h"

#include "cli/account_commands.h"
#include "cli/area_commands.h"
#include "cli/output.h"
#include "platform/built_in_service.h"
#include "platform/folders.h"
#include "service/analysis_query.h"
#include "service/endpoints.h"
#include "service/name_query.h"
#include "service/response_cache.h"
#include "shell/settings.h"

namespace norvane::cli {
namespace {

const OptionNames kBirthOptions = {"surname", "gender", "birthday", "county", "longitude", "city-id"};

OptionNames withBirth(OptionNames more) {
  OptionNames all = kBirthOptions;
  all.insert(all.end(), more.begin(), more.end());
  return all;
}

int usageError(std::ostream& err, const std::string& command, const std::string& message) {
  err << "norvane-cli " << command << ": " << message << "\n"
      << "Try \"norvane-cli " << command << " --help\".\n";
  return kExitUsage;
}

int serviceFailure(std::ostream& err, ServiceStatus status, const char* textKey) {
  err << "norvane-cli: status " << status << " (" << textKey << ")\n";
  return kExitFailure;
}

int runPage(PageQuery& query, std::ostream& out, std::ostream& err) {
  ServiceStatus status = query.run(true);
  if (status != kStatusOk) return serviceFailure(err, status, statusTextKey(status));
  out << printable(pageJson(query));
  return kExitOk;
}

bool readAccount(const Options& options, PageQuery& query) {
  if (!options.has("account") && !options.has("token")) {
    applyStoredLogin(query);
    return true;
  }
  query.Account = options.get("account");
  query.Token = options.get("token");
  return true;
}

int names(const Options& options, std::ostream& out, std::ostream& err) {
  NameQuery query;
  query.NameLength = 2;
  std::string error;
  bool ok = readBirthOptions(options, query, error) &&
            readUnsigned(options, "length", 1, 2, query.NameLength, error) &&
            readUnsigned(options, "page", 1, 1000000, query.Page, error) &&
            readAdvancedSettings(options, query.AdvancedSettings, error) &&
            readFixedCharacter(options, "fixed", query.AdvancedSettings.FixedFirst, error) &&
            readFixedCharacter(options, "fixed-second", query.AdvancedSettings.FixedSecond,
                               error) &&
            readSourceBook(options, query.AdvancedSettings.cc, error) &&
            readAccount(options, query);
  if (!ok) return usageError(err, "names", error);
  return runPage(query, out, err);
}

int nicknames(const Options& options, std::ostream& out, std::ostream& err) {
  NicknameQuery query;
  std::string error;
  bool ok = readBirthOptions(options, query, error) &&
            readPatterns(options, query.NicknameStyles, error) &&
            readUnsigned(options, "page", 1, 1000000, query.Page, error) &&
            readAccount(options, query);
  if (!ok) return usageError(err, "nicknames", error);
  return runPage(query, out, err);
}

int analyse(const char* command, Endpoint endpoint, const Options& options, std::ostream& out,
            std::ostream& err) {
  AnalysisQuery query(endpoint);
  BirthInfo birth;
  std::string error;
  bool ok = readBirthOptions(options, birth, error) &&
            requireChinese(options, "name", query.Ming, error);
  if (!ok) return usageError(err, command, error);
  query.Xing = birth.Xing;
  query.Birthday = birth.Birthday;
  query.Gender = birth.Gender;
  query.Longitude = birth.Longitude;
  ServiceStatus status = query.run();
  if (status != kStatusOk) return serviceFailure(err, status, statusTextKey(status));
  out << printable(query.Data);
  return kExitOk;
}

int analyseName(const Options& options, std::ostream& out, std::ostream& err) {
  return analyse("analyse", Endpoint::NameAnalysis, options, out, err);
}

int analyseNickname(const Options& options, std::ostream& out, std::ostream& err) {
  return analyse("analyse-nickname", Endpoint::NicknameAnalysis, options, out, err);
}

int fortune(const Options& options, std::ostream& out, std::ostream& err) {
  std::string xing, ming, error;
  if (!requireChinese(options, "surname", xing, error) ||
      !requireChinese(options, "name", ming, error))
    return usageError(err, "fortune", error);
  LuckQuery query;
  ServiceStatus status = query.run(xing, ming);
  // The fortune report shows one message for every failure.
  if (status != kStatusOk) return serviceFailure(err, status, "FenxiFail");
  out << printable(fortuneJson(query));
  return kExitOk;
}

int clearCache(const Options&, std::ostream& out, std::ostream& err) {
  std::string root = ResponseCache::root();
  if (root.empty()) {
    err << "norvane-cli: no data folder (HOME and XDG_CONFIG_HOME are both unset), "
           "so there is no cache to clear\n";
    return kExitFailure;
  }
  ResponseCache::clear();
  Json::Value result(Json::objectValue);
  result["cleared"] = root;
  out << printable(result);
  return kExitOk;
}

// Without the window program's libraries there is no web engine to lay the
// report out.
int reportNotAvailable(const Options&, std::ostream&, std::ostream& err) {
  err << "norvane-cli report: not available in this build (it was built without the window "
         "program, whose web engine writes the report)\n";
  return kExitFailure;
}

bool wantsHelp(const std::vector<std::string>& args) {
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

}  // namespace

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {"names",
       "names --surname 李 --gender 1|2 --birthday \"2020-2-8 09:05\"\n"
       "        --county ID | --longitude DEGREES [--city-id ID] [--length 1|2] [--page N]\n"
       "        [--settings cyz,xb,sx,zxz,xmx,wx,ny,yd,sm,ym] [--fixed 字] [--fixed-second 字]\n"
       "        [--source 不限|诗经|楚辞|唐诗|宋词|论语] [--account NAME --token TOKEN]",
       withBirth({"length", "page", "settings", "fixed", "fixed-second", "source", "account", "token"}),
       &names,
       "--settings lists the ten advanced choices as item positions.\n"
       "--source narrows the names to lines of one book (唐诗 = Tang poems, 宋词 = Song ci;\n"
       "\"不限\", the default, does not narrow them). A name that comes from a line of a\n"
       "classic carries \"ChuChu\": {\"Text\", \"Title\", \"Author\", \"Book\"}; other names\n"
       "have no \"ChuChu\".\n"},
      {"nicknames",
       "nicknames --surname 李 --gender 1|2 --birthday \"2020-2-8 09:05\"\n"
       "        --county ID | --longitude DEGREES [--city-id ID] --patterns 110000 [--page N]\n"
       "        [--account NAME --token TOKEN]",
       withBirth({"patterns", "page", "account", "token"}), &nicknames},
      {"analyse",
       "analyse --surname 欧阳 --name 明 --gender 1|2 --birthday \"2020-2-8 09:05\"\n"
       "        --county ID | --longitude DEGREES [--city-id ID]",
       withBirth({"name"}), &analyseName},
      {"analyse-nickname",
       "analyse-nickname --surname 李 --name 宝宝 --gender 1|2 --birthday \"2020-2-8 09:05\"\n"
       "        --county ID | --longitude DEGREES [--city-id ID]",
       withBirth({"name"}), &analyseNickname},
      {"fortune", "fortune --surname 李 --name 白", {"surname", "name"}, &fortune},
      {"clear-cache", "clear-cache", {}, &clearCache},
      {"areas", "areas [--parent ID]", {"parent"}, &listAreas},
      {"place", "place --county ID", {"county"}, &showPlace},
      {"login", "login --mobile 13800138000   (then type the code sent by SMS)", {"mobile"},
       &loginCommand},
      {"logout", "logout", {}, &logoutCommand},
      {"report", kReportSynopsis, reportOptions(), &reportNotAvailable, nullptr, reportFlags()},
  };
  return table;
}

const char* const kReportSynopsis =
    "report --surname 欧阳 --name 明 --gender 1|2 --birthday \"2020-2-8 09:05\"\n"
    "        --county ID | --longitude DEGREES [--city-id ID] --pdf FILE\n"
    "        [--nickname]   the nickname report instead of the name report\n"
    "        [--fortune]    the fortune of the name (needs only --surname and --name)";

const OptionNames& reportOptions() {
  static const OptionNames names = withBirth({"name", "pdf"});
  return names;
}

const OptionNames& reportFlags() {
  static const OptionNames flags = {"nickname", "fortune"};
  return flags;
}

std::string usageText() {
  std::string text =
      "Usage: norvane-cli COMMAND [OPTIONS]\n"
      "Asks the naming service (host from oem.ini beside this program; \"local\" is the\n"
      "built-in service, started for this run) and prints the result as JSON.\n"
      "Answers are kept in the same cache as the window program.\n\n"
      "Commands:\n";
  for (const Command& c : commands()) text += "  " + std::string(c.synopsis) + "\n";
  text +=
      "\nThe birth place is a county id (--county; \"areas\" and \"place\" find it) whose\n"
      "longitude comes from local.dat beside this program, or an explicit --longitude.\n"
      "--settings lists the ten advanced choices as item positions; --source narrows\n"
      "names to one book (see \"norvane-cli names --help\").\n"
      "Exit status: 0 success, 1 the service or the cache failed (status and message\n"
      "key on standard error) or the result could not be written in full, 2 bad or\n"
      "missing options.\n";
  return text;
}

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::vector<Command>& extra) {
  if (args.empty()) {
    err << usageText();
    return kExitUsage;
  }
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    out << usageText();
    return kExitOk;
  }
  const Command* command = nullptr;
  for (const Command& c : commands())
    if (name == c.name) command = &c;
  for (const Command& c : extra)
    if (name == c.name) command = &c;
  if (command == nullptr) {
    err << "norvane-cli: unknown command \"" << name << "\"\n\n" << usageText();
    return kExitUsage;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (wantsHelp(rest)) {
    out << "Usage: norvane-cli " << command->synopsis << "\n";
    if (command->notes != nullptr) out << "\n" << command->notes;
    return kExitOk;
  }
  Options options;
  std::string error;
  if (!parseOptions(rest, command->options, options, error, command->flags))
    return usageError(err, command->name, error);

  ServiceEndpoints::initialize();
  // The built-in service starts only when a request needs it (an answer from
  // the cache does not) and ends with this program.
  if (isLocalHost(readHostSettings(JoinPath(ProgramFolder, "oem.ini")).service))
    BuiltInService::instance().configureBesideProgram(ProgramFolder);
  int code = command->handler(options, out, err);
  BuiltInService::instance().stop();
  return code;
}

}  // namespace norvane::cli
