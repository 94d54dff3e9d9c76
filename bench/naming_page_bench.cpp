// The reference service's name pages: the first page of a new question (the whole set
// ranked) and a later page of the same question (from the ranked-set cache), over 20
// different births so that no first page is served from the cache, and the engine's
// start (character tables, vocabulary, classical lines and their index).
//
//   norvane-bench-naming-page [--characters DIR] [--vocabulary PATH] [--source BOOK]
//
// Defaults: the tables beside the built programs (bin/refservice, bin/local.dat).
// Prints median and slowest of each measure in milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "naming/naming_engine.h"

using namespace norvane::refservice;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void print(const char* what, std::vector<double> v) {
  std::sort(v.begin(), v.end());
  std::printf("%-34s median %8.1f ms   slowest %8.1f ms   (%zu runs)\n", what, v[v.size() / 2], v.back(), v.size());
}

}  // namespace

int main(int argc, char** argv) {
  EngineFiles files = EngineFiles::besideProgram(NORVANE_BIN_DIR);
  std::string source;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--characters")) files.characterFolder = argv[i + 1];
    else if (!std::strcmp(argv[i], "--vocabulary")) files.vocabulary = argv[i + 1];
    else if (!std::strcmp(argv[i], "--source")) source = argv[i + 1];
    else {
      std::fprintf(stderr, "usage: %s [--characters DIR] [--vocabulary PATH] [--source BOOK]\n", argv[0]);
      return 2;
    }
  }

  std::vector<double> starts;
  for (int i = 0; i < 3; ++i) {
    auto t0 = Clock::now();
    NamingEngine probe(files);
    starts.push_back(msSince(t0));
    if (!probe.ready()) {
      std::fprintf(stderr, "engine not ready: %s\n", probe.loadError().c_str());
      return 1;
    }
  }
  NamingEngine engine(files);

  const char* surnames[] = {"李", "王", "张", "刘", "陈", "司马", "欧阳"};
  std::vector<double> first, later;
  for (int i = 0; i < 20; ++i) {
    NamePageRequest q;
    char birthday[32];
    std::snprintf(birthday, sizeof birthday, "%d-%d-%d %02d:%02d:00", 2019 + i % 6, 1 + (i * 5) % 12, 1 + (i * 7) % 28,
                  (i * 5) % 24, (i * 13) % 60);
    q.birth = {surnames[i % 7], 1 + i % 2, birthday, 100.0 + i};
    q.source = source;
    auto t0 = Clock::now();
    NamingResult r = engine.namePage(q);
    first.push_back(msSince(t0));
    if (!r.ok()) {
      std::fprintf(stderr, "page failed: %s\n", r.message.c_str());
      return 1;
    }
    q.page = 3;
    t0 = Clock::now();
    r = engine.namePage(q);
    later.push_back(msSince(t0));
  }
  print("engine start (tables and index)", starts);
  print("first page of a new question", first);
  print("later page (ranked-set cache)", later);
  return 0;
}
