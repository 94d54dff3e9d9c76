// Times the start of the window program as a family starts it: a new process,
// from the moment it is started until its main window is mapped on the X
// display, beside a plain Qt Widgets window with one label started the same
// way in the same run (alternating, the order swapped every round). Also
// reads the idle memory (RssAnon, RssFile of /proc/PID/status) of both once
// each window has been up for a while.
//
//   norvane-bench-start [--runs N] [--program PATH] [--plain PATH] [--idle-ms MS]
//
// Needs an X display (xvfb-run -a -s "-screen 0 1280x1024x24"); offscreen
// runs map nothing and cannot be timed. Every start gets the same settled
// data folder (made by one untimed start first, with saved input, so the
// timed starts restore their forms as a returning user's do); each process is
// ended (SIGTERM, its ordinary close) and waited for before the next starts,
// so no start meets a running instance and hands over to it.
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
  double startMs = -1;
  long rssAnonKb = -1;
  long rssFileKb = -1;
};

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The X connection that watches for new top-level windows being mapped.
class MapWatcher {
 public:
  bool connect() {
    conn_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn_)) return false;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &mask);
    const char name[] = "_NET_WM_PID";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, sizeof name - 1, name), nullptr);
    if (atom == nullptr) return false;
    pidAtom_ = atom->atom;
    std::free(atom);
    xcb_flush(conn_);
    return true;
  }
  ~MapWatcher() {
    if (conn_ != nullptr) xcb_disconnect(conn_);
  }

  // Drops the events of earlier runs.
  void drain() {
    while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) std::free(e);
  }

  // Waits until a window of process `pid` is mapped (not an override-redirect
  // one such as a tooltip); the time of that event, or false after `timeoutMs`
  // or when the process ended first.
  bool waitForWindowOf(pid_t pid, int timeoutMs, Clock::time_point& mapped) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fd{xcb_get_file_descriptor(conn_), POLLIN, 0};
    while (Clock::now() < deadline) {
      while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) {
        const Clock::time_point at = Clock::now();
        bool ours = false;
        if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
          auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
          ours = !map->override_redirect && pidOf(map->window) == pid;
        }
        std::free(e);
        if (ours) {
          mapped = at;
          return true;
        }
      }
      if (xcb_connection_has_error(conn_)) return false;
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) return false;
      ::poll(&fd, 1, 5);
    }
    return false;
  }

 private:
  pid_t pidOf(xcb_window_t window) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        conn_, xcb_get_property(conn_, 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    pid_t pid = -1;
    if (reply != nullptr && xcb_get_property_value_length(reply) >= 4)
      pid = static_cast<pid_t>(*static_cast<uint32_t*>(xcb_get_property_value(reply)));
    std::free(reply);
    return pid;
  }

  xcb_connection_t* conn_ = nullptr;
  xcb_window_t root_ = 0;
  xcb_atom_t pidAtom_ = 0;
};

long statusKb(pid_t pid, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
  }
  return -1;
}

void sleepMs(int ms) { ::usleep(static_cast<useconds_t>(ms) * 1000); }

// Ends the process the ordinary way and waits for it (killed after 20 s).
void endProcess(pid_t pid) {
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 2000; ++i) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return;
    sleepMs(10);
  }
  std::fprintf(stderr, "process %d did not end after SIGTERM; killing it\n", static_cast<int>(pid));
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

class Starter {
 public:
  Starter(MapWatcher& watcher, std::map<std::string, std::string> env, int idleMs)
      : watcher_(watcher), idleMs_(idleMs) {
    for (char** e = environ; *e != nullptr; ++e) {
      std::string entry = *e;
      const std::string key = entry.substr(0, entry.find('='));
      if (env.count(key) == 0 && key != "QT_QPA_PLATFORM" && key != "NORVANE_TRACE") env_.push_back(entry);
    }
    for (const auto& [key, value] : env) env_.push_back(key + "=" + value);
  }

  Sample run(const std::string& program, bool measureMemory) {
    Sample sample;
    std::vector<char*> envp;
    for (std::string& e : env_) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string arg0 = program;
    char* argv[] = {arg0.data(), nullptr};

    // Standard output and error go nowhere: the programs' own lines would
    // only add noise to the figures.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    watcher_.drain();
    pid_t pid = -1;
    const Clock::time_point started = Clock::now();
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      std::fprintf(stderr, "cannot start %s: %s\n", program.c_str(), std::strerror(rc));
      return sample;
    }
    Clock::time_point mapped;
    if (watcher_.waitForWindowOf(pid, 30000, mapped)) {
      sample.startMs = std::chrono::duration<double, std::milli>(mapped - started).count();
      if (measureMemory) {
        sleepMs(idleMs_);
        sample.rssAnonKb = statusKb(pid, "RssAnon");
        sample.rssFileKb = statusKb(pid, "RssFile");
      }
    } else {
      std::fprintf(stderr, "%s showed no window\n", program.c_str());
    }
    endProcess(pid);
    return sample;
  }

 private:
  MapWatcher& watcher_;
  int idleMs_;
  std::vector<std::string> env_;
};

bool writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

void printLine(const char* name, const std::vector<Sample>& samples) {
  std::vector<double> ms, anon, file;
  for (const Sample& s : samples) {
    if (s.startMs >= 0) ms.push_back(s.startMs);
    if (s.rssAnonKb >= 0) anon.push_back(static_cast<double>(s.rssAnonKb) / 1024);
    if (s.rssFileKb >= 0) file.push_back(static_cast<double>(s.rssFileKb) / 1024);
  }
  const auto [lo, hi] = std::minmax_element(ms.begin(), ms.end());
  std::printf("%-8s start to window mapped: median %7.1f ms (min %6.1f, max %6.1f, %zu runs); idle RssAnon %6.1f MB, RssFile %6.1f MB\n",
              name, median(ms), ms.empty() ? 0 : *lo, ms.empty() ? 0 : *hi, ms.size(), median(anon), median(file));
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 10;
  int idleMs = 1500;
  std::string program = std::string(NORVANE_BIN_DIR) + "/norvane";
  std::string plain = std::string(NORVANE_BIN_DIR) + "/norvane-bench-plain-window";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--program") == 0 && i + 1 < argc) program = argv[++i];
    else if (std::strcmp(argv[i], "--plain") == 0 && i + 1 < argc) plain = argv[++i];
    else if (std::strcmp(argv[i], "--idle-ms") == 0 && i + 1 < argc) idleMs = std::max(0, std::atoi(argv[++i]));
    else {
      std::fprintf(stderr, "usage: %s [--runs N] [--program PATH] [--plain PATH] [--idle-ms MS]\n", argv[0]);
      return 2;
    }
  }
  MapWatcher watcher;
  if (std::getenv("DISPLAY") == nullptr || !watcher.connect()) {
    std::fprintf(stderr, "needs an X display: run under xvfb-run -a -s \"-screen 0 1280x1024x24\"\n");
    return 2;
  }

  // A private home with a settled data folder: saved input that restores a
  // birth place on the forms that keep one.
  char folderTemplate[] = "/tmp/norvane-start-bench-XXXXXX";
  const char* folder = ::mkdtemp(folderTemplate);
  if (folder == nullptr) return 1;
  const std::string home = folder;
  const std::string config = home + "/config";
  ::mkdir(config.c_str(), 0700);
  ::mkdir((config + "/Norvane").c_str(), 0700);
  writeFile(config + "/Norvane/config.ini",
            "[Main]\nSaveInput=1\n"
            "[Quming]\nXing=李\nGender=1\nBirthday=2020-2-8 09:05:00\nLengOfName=2\nSheng=0\nShi=0\nXian=2\n"
            "[XingmingFenxi]\nXing=欧阳\nMing=明轩\nGender=1\nBirthday=2020-2-8 09:05:00\nSheng=1\nShi=0\nXian=1\n"
            "[Quxiaoming]\nXing=王\nBirthday=2021-5-3 07:05:00\nGender=2\nSheng=2\nShi=1\nXian=0\nCt1=1\nCt2=1\n");
  std::map<std::string, std::string> env{{"HOME", home},
                                         {"XDG_CONFIG_HOME", config},
                                         {"NORVANE_MACHINE_STORE", home + "/machine.ini"}};
  if (::geteuid() == 0) env["QTWEBENGINE_DISABLE_SANDBOX"] = "1";
  Starter starter(watcher, env, idleMs);

  // Untimed: the first start settles the data folder (cache folders, the
  // favourites database, the day's update check) and warms the system's file cache.
  starter.run(program, false);
  starter.run(plain, false);

  std::vector<Sample> norvane, yardstick;
  for (int i = 0; i < runs; ++i) {
    const bool plainFirst = i % 2 == 0;
    if (plainFirst) yardstick.push_back(starter.run(plain, true));
    norvane.push_back(starter.run(program, true));
    if (!plainFirst) yardstick.push_back(starter.run(plain, true));
    std::fprintf(stderr, "round %d: norvane %.1f ms, plain %.1f ms\n", i + 1, norvane.back().startMs,
                 yardstick.back().startMs);
  }
  printLine("norvane", norvane);
  printLine("plain", yardstick);
  std::vector<double> a, b;
  for (const Sample& s : norvane)
    if (s.startMs >= 0) a.push_back(s.startMs);
  for (const Sample& s : yardstick)
    if (s.startMs >= 0) b.push_back(s.startMs);
  if (!a.empty() && !b.empty()) std::printf("ratio norvane / plain (medians): %.2f\n", median(a) / median(b));
  std::string cleanup = "rm -rf '" + home + "'";
  if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", home.c_str());
  return a.size() == norvane.size() && b.size() == yardstick.size() ? 0 : 1;
}
