#include "shell/settings.h"

#include "platform/built_in_service.h"
#include "platform/folders.h"
#include "platform/profile_file.h"

#include <cstdio>

namespace norvane {

AppSettings& appSettings() {
  static AppSettings settings;
  return settings;
}

OemSettings& oemSettings() {
  static OemSettings settings;
  return settings;
}

HostSettings defaultHosts() {
  return {"api.norvane.com", "tj.norvane.com", "update.norvane.com", "www.norvane.com"};
}

void LoadAppSettings(AppSettings& settings, const std::string& configPath) {
  settings.path = configPath;
  settings.CanUpdate = readProfileInt(configPath, "Main", "CanUpdate", 1);
  settings.SaveInput = readProfileInt(configPath, "Main", "SaveInput", 1);
  settings.AwareDPI = readProfileInt(configPath, "Main", "AwareDPI", 0);
}

void LoadAppSettings() { LoadAppSettings(appSettings(), JoinPath(DataFolder, "config.ini")); }

bool usesBuiltInService(const HostSettings& hosts) {
  return isLocalHost(hosts.service) || isLocalHost(hosts.statistics) || isLocalHost(hosts.update);
}

HostSettings readHostSettings(const std::string& oemPath) {
  HostSettings defaults = defaultHosts();
  auto read = [&](const char* key, const std::string& fallback) {
    std::string value = readProfileString(oemPath, "Hosts", key, fallback);
    while (!value.empty() && value.back() == '/') value.pop_back();
    return value.empty() ? fallback : value;
  };
  return {read("Service", defaults.service), read("Statistics", defaults.statistics),
          read("Update", defaults.update), read("Site", defaults.site)};
}

void LoadOemSettings(OemSettings& settings, const std::string& oemPath) {
  settings.partnerId = readProfileInt(oemPath, "Partner", "Id", 1);
  settings.hosts = readHostSettings(oemPath);
}

void LoadOemSettings(const std::string& oemPath) { LoadOemSettings(oemSettings(), oemPath); }

bool WriteSavedInt(const std::string& section, const std::string& key, int value) {
  return writeProfileString(appSettings().path, section, key, std::to_string(value));
}

bool WriteSavedText(const std::string& section, const std::string& key, const std::string& value) {
  return writeProfileString(appSettings().path, section, key, value);
}

int ReadSavedInt(const std::string& section, const std::string& key, int defaultValue) {
  return readProfileInt(appSettings().path, section, key, defaultValue);
}

std::string ReadSavedText(const std::string& section, const std::string& key) {
  return readProfileString(appSettings().path, section, key, "");
}

std::string formatBirthday(int year, int month, int day, int hour, int minute) {
  char text[64];
  std::snprintf(text, sizeof text, "%d-%d-%d %02d:%02d:%02d", year, month, day, hour, minute, 0);
  return text;
}

int parseBirthday(const std::string& text, BirthDateTime& out) {
  out = BirthDateTime{};
  int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &out.year, &out.month, &out.day,
                      &out.hour, &out.minute, &out.second);
  return n < 0 ? 0 : n;
}

}  // namespace norvane
