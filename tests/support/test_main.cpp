// Entry of every test program: each test process gets a private, empty home
// (HOME, XDG_CONFIG_HOME and the machine value store point into it), so no test
// reads or writes the real user's data folder and tests cannot see each
// other's files. Child processes started by a test inherit the same home.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::string home;
  if (std::getenv("NORVANE_TEST_KEEP_HOME") == nullptr) {
    std::string pattern = (std::filesystem::temp_directory_path() / "norvane-home-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data())) {
      home = made;
      setenv("HOME", home.c_str(), 1);
      setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
      setenv("NORVANE_MACHINE_STORE", (home + "/machine.ini").c_str(), 1);
      setenv("NORVANE_TEST_KEEP_HOME", "1", 1);  // children share this home
    }
  }
  int result = RUN_ALL_TESTS();
  if (!home.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
  }
  return result;
}
