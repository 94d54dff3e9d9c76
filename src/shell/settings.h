#pragma once
// The program's two settings files and the saved form input.
//   config.ini (DataFolder): section "Main" (AppSettings) and one section per
//                            naming form holding its last accepted input.
//   oem.ini (ProgramFolder): section "Partner" (partner id) and section
//                            "Hosts" (where the service, statistics, update
//                            host and web site are).
#include <cstddef>
#include <string>

namespace norvane {

struct AppSettings {
  std::string path;   // DataFolder + "/config.ini"
  int CanUpdate = 0;  // read by the daily update check
  int SaveInput = 0;  // forms save their input and restore it at start
  int AwareDPI = 0;   // rescale the windows to the screen's DPI
};

// Host names, each either a bare name ("api.example.com", reached by the
// scheme the caller uses) or a full origin with scheme and port
// ("http://127.0.0.1:8080", reached exactly as written).
struct HostSettings {
  std::string service;
  std::string statistics;
  std::string update;
  std::string site;
};

struct OemSettings {
  int partnerId = 0;
  HostSettings hosts;
  // The zip of window layouts, owned by whoever loaded it; nothing copies it.
  const unsigned char* skinArchive = nullptr;
  std::size_t skinArchiveSize = 0;
};

// The process-wide settings, filled once at start.
AppSettings& appSettings();
OemSettings& oemSettings();

// Whether the service, statistics or update host is the built-in service
// ("local", see platform/built_in_service.h).
bool usesBuiltInService(const HostSettings& hosts);

// Compiled-in hosts used when oem.ini does not name them.
HostSettings defaultHosts();

// Reads section "Main" of DataFolder/config.ini: CanUpdate (1), SaveInput (1), AwareDPI (0).
void LoadAppSettings();
void LoadAppSettings(AppSettings& settings, const std::string& configPath);

// Reads "Partner"/"Id" (default 1) and section "Hosts" of the given oem.ini.
void LoadOemSettings(const std::string& oemPath);
void LoadOemSettings(OemSettings& settings, const std::string& oemPath);
HostSettings readHostSettings(const std::string& oemPath);

// Writes one value of the saved input into the config.ini of appSettings();
// integers as "%d". Return whether the file was written.
bool WriteSavedInt(const std::string& section, const std::string& key, int value);
bool WriteSavedText(const std::string& section, const std::string& key, const std::string& value);
int ReadSavedInt(const std::string& section, const std::string& key, int defaultValue);
std::string ReadSavedText(const std::string& section, const std::string& key);

// The birthday text "%d-%d-%d %02d:%02d:%02d" (seconds always 00) and its parser.
struct BirthDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
std::string formatBirthday(int year, int month, int day, int hour, int minute);
// Reads as many fields as the text holds in that pattern; fields not read stay 0.
// Returns the number of fields read (6 for a complete text).
int parseBirthday(const std::string& text, BirthDateTime& out);

}  // namespace norvane
