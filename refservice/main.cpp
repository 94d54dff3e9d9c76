// norvane-refservice: the reference naming service, statistics host and
// update host for development, demos and tests, on 127.0.0.1.
#include <pthread.h>
#include <signal.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/folders.h"
#include "refservice/ref_server.h"

namespace {

const char* kUsage =
    "usage: norvane-refservice [--port N] [--data DIR] [--stats-db PATH]\n"
    "                          [--version-text TEXT] [--installer FILE]\n"
    "                          [--token-secret TEXT] [--write-oem PATH]\n"
    "                          [--characters DIR] [--vocabulary PATH] [--until-stdin-closes]\n"
    "  --port N             port on 127.0.0.1 (0, the default: any free port)\n"
    "  --data DIR           folder with local.dat and refservice/ (default: beside the program)\n"
    "  --stats-db PATH      SQLite file for usage reports (default: kept in memory)\n"
    "  --version-text TEXT  newest version announced by /windows/newversion.htm (default 1.0.0)\n"
    "  --installer FILE     file served as /windows/NvrSetup.exe (default: none, answered 404)\n"
    "  --token-secret TEXT  secret the login tokens are derived from\n"
    "  --write-oem PATH     write the oem.ini section \"Hosts\" pointing at this server\n"
    "  --characters DIR     naming character tables (default: DATA/refservice)\n"
    "  --vocabulary PATH    knowledge for naming: local.dat, or a folder of jxjs.json and sxpp.json\n"
    "                       (default: DATA/local.dat)\n"
    "  --until-stdin-closes also stop when standard input closes (a program that runs\n"
    "                       this server for itself holds the other end)\n";

// Writes (or rewrites) section [Hosts] of an oem.ini, keeping every other
// section and key of an existing file.
bool writeOem(const std::string& path, const std::string& origin, std::string& error) {
  std::string kept;
  {
    std::ifstream in(path);
    std::string line;
    bool inHosts = false;
    while (std::getline(in, line)) {
      std::string trimmed = line;
      while (!trimmed.empty() && (trimmed.back() == '\r' || trimmed.back() == ' ')) trimmed.pop_back();
      if (!trimmed.empty() && trimmed.front() == '[') {
        std::string name = trimmed;
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        inHosts = name == "[hosts]";
      }
      if (!inHosts) kept += line + "\n";
    }
  }
  if (!kept.empty() && kept.substr(kept.size() >= 2 ? kept.size() - 2 : 0) != "\n\n") kept += "\n";
  std::ofstream out(path, std::ios::trunc);
  if (!out) {
    error = "cannot write " + path;
    return false;
  }
  out << kept << "[Hosts]\n"
      << "Service=" << origin << "\n"
      << "Statistics=" << origin << "\n"
      << "Update=" << origin << "\n"
      << "Site=" << origin << "\n";
  out.close();
  if (!out) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool readInt(const char* text, int& out) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 65535) return false;
  out = static_cast<int>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using norvane::refservice::ReferenceServer;
  using norvane::refservice::ServerOptions;

  ServerOptions options;
  options.dataFolder = norvane::locateProgramFolder();
  int port = 0;
  std::string oemPath;
  bool untilStdinCloses = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "norvane-refservice: %s needs a value\n%s", name, kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--port") {
      if (!readInt(value("--port"), port)) {
        std::fprintf(stderr, "norvane-refservice: --port needs a number from 0 to 65535\n");
        return 2;
      }
    } else if (arg == "--data") {
      options.dataFolder = value("--data");
    } else if (arg == "--stats-db") {
      options.statsDatabase = value("--stats-db");
    } else if (arg == "--version-text") {
      options.versionText = value("--version-text");
    } else if (arg == "--installer") {
      options.installerFile = value("--installer");
    } else if (arg == "--token-secret") {
      options.tokenSecret = value("--token-secret");
    } else if (arg == "--characters") {
      options.characterFolder = value("--characters");
    } else if (arg == "--vocabulary") {
      options.vocabularyFile = value("--vocabulary");
    } else if (arg == "--write-oem") {
      oemPath = value("--write-oem");
    } else if (arg == "--until-stdin-closes") {
      untilStdinCloses = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fprintf(stderr, "norvane-refservice: unknown option %s\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }

  // Block the stop signals before the server's threads exist, so that only
  // the wait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  if (untilStdinCloses) {
    // The end of standard input (the owner ended, however it ended) stops the
    // server like SIGTERM. The thread inherits the blocked stop signals.
    std::thread([] {
      char buffer[256];
      for (;;) {
        ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        break;
      }
      ::kill(::getpid(), SIGTERM);
    }).detach();
  }

  ReferenceServer server(options);
  std::string error;
  if (!server.start(port, error)) {
    std::fprintf(stderr, "norvane-refservice: %s\n", error.c_str());
    return 1;
  }
  std::string origin = "http://127.0.0.1:" + std::to_string(server.port());
  if (!oemPath.empty()) {
    if (writeOem(oemPath, origin, error)) {
      std::fprintf(stderr, "norvane-refservice: wrote section Hosts of %s\n", oemPath.c_str());
    } else {
      // A client started after us would talk to some other host: stop here.
      std::fprintf(stderr, "norvane-refservice: %s\n", error.c_str());
      server.stop();
      return 1;
    }
  }
  // The first line tells a waiting script that the server (and its oem.ini)
  // is ready.
  std::printf("listening on %s\n", origin.c_str());
  std::fflush(stdout);
  if (!server.namingReady()) {
    std::fprintf(stderr, "norvane-refservice: naming requests are unavailable: %s\n", server.engineError().c_str());
  }

  int received = 0;
  sigwait(&stopSignals, &received);
  server.stop();
  return 0;
}
