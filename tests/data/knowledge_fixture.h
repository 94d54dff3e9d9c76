#pragma once
// Builds a knowledge database with the real builder tool from a source folder.
#include <sys/wait.h>

#include <cstdlib>
#include <string>

namespace norvane::test {

inline const std::string kKnowledgeFixtureSources =
    std::string(NORVANE_SOURCE_DIR) + "/tests/data/fixtures/knowledge";

// Runs norvane-knowledge-build; returns its exit status (0 on success).
inline int runKnowledgeBuilder(const std::string& output, const std::string& sources) {
  const std::string command = "'" + std::string(NORVANE_BIN_DIR) + "/norvane-knowledge-build' '" + output +
                              "' '" + sources + "' >/dev/null 2>&1";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace norvane::test
