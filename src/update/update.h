#pragma once
// The update checker. Once a day, silently, it sends the daily-use report
// (and, once, the installation report), asks the update host for the newest
// version and, when that is newer than the installed one, downloads the new
// installer into the data folder and remembers that it is there. From the
// main menu the user runs the same check by hand; the manual check shows its
// progress and results and offers to start the downloaded installer. The
// checker never replaces the program itself.
//
// Stored values:
//   user store    "UpdateDay" (number: day of the month of the last daily check),
//                 "SendInstallMessage" (any: asks for the installation report),
//                 "partner" (text: the channel code)
//   machine store "Version" (installed version), "InstallerName" (installer path or name)
//   config.ini    [Main] "HasNewInstaller" (written "1" after a complete download),
//                 "CanUpdate" (AppSettings; 0 stops the daily download)
//   DataFolder    "NvrSetupNew.exe", and "NvrSetupNew.exe.upd" while it downloads
// Update host (oem.ini [Hosts] Update, plain HTTP): "/windows/newversion.htm"
// ("version=" + newest version) and "/windows/NvrSetup.exe" (the installer).
#include "platform/clock.h"
#include "shell/settings.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace norvane {

// Message flags and the answer of the two-button box.
constexpr int kMessageYesNo = 0x04;
constexpr int kMessageError = 0x10;
constexpr int kMessageInformation = 0x40;
constexpr int kAnswerYes = 6;

// What the manual check needs from the window layer. The shell implements it
// with the message box, the tray icon and the desktop's file opener. Every
// call except from startManualCheck itself comes from the checker's worker
// thread, so an implementation must hand the work to the UI thread; once the
// main window is gone, showMessage must return at once (with 0) instead of
// waiting for it.
class UpdateUi {
 public:
  virtual ~UpdateUi() = default;
  // Shows the message of the text key modally and returns the button pressed
  // (kAnswerYes for yes). owned: owned by the main window; else no owner.
  virtual int showMessage(const std::string& key, int flags, bool owned) = 0;
  // The language table's entry for key (section "Text").
  virtual std::string text(const std::string& key) = 0;
  // Adds the tray icon with a balloon (shown for about a second).
  virtual void showDownloadBalloon(const std::string& title, const std::string& text) = 0;
  // Removes the tray icon; harmless when none is shown.
  virtual void removeTrayIcon() = 0;
  // Opens the downloaded installer with the desktop's handler.
  virtual void openFile(const std::string& path) = 0;
  // Whether the main window (owner of the messages and the tray icon) still exists.
  virtual bool ownerAlive() = 0;
};

// A hardware fault (for example an invalid memory access) caught on the worker.
struct WorkerFault {
  unsigned code = 0;             // signal or exception code
  std::uintptr_t address = 0;    // faulting address
};

// Runs work on the calling thread so that a hardware fault inside it ends only
// the work: returns true when work ran to its end, false with fault filled in
// when a fault interrupted it.
using FaultGuard = std::function<bool(const std::function<void()>& work, WorkerFault& fault)>;

// Version order of the update check: plain text order, byte by byte as
// unsigned values (no numeric parts: "1.0.10" is older than "1.0.9"); equal
// texts and a remote text that is a proper prefix of the installed one are
// not newer.
bool isNewer(const std::string& remote, const std::string& installed);

// The channel code: the user store's "partner" when present (even empty),
// else the part after the first "_" of the machine store's "InstallerName"
// file name without extension (then stored as "partner"); a non-zero partner
// id that differs from it (read as a decimal number) replaces it and is
// stored. With the default partner id 1 it is always "1".
std::string channelCode(int partnerId);

// The machine store's "Version" (at most 259 characters); empty when missing.
std::string installedVersion();

// The machine store's "uid" written by the "/makemachine" run; empty when missing.
std::string storedMachineCode();

// The raw TCP fallback of the version fetch: a GET over a plain socket to the
// URL's host (port 80 unless the URL names one) with 2000 ms send and receive
// limits, at most 4095 bytes of the answer (read until the server closes),
// and from the body the text from
// the first "{" through the first "}" after it (empty when there is none).
// Throws std::invalid_argument for a URL that names an unusable port.
std::string fetchRawTcp(const std::string& url);

// Time limits of the update host exchanges.
constexpr long kFetchConnectTimeoutMs = 2000;   // each version-file attempt
constexpr long kFetchTotalTimeoutMs = 10000;    // each version-file attempt, as a whole
constexpr long kDownloadConnectTimeoutMs = 10000;
// The download has no total limit (installers are large); a transfer that
// stalls below 1 byte/s for this long is given up.
constexpr long kDownloadStallSeconds = 60;

// How long stopping the checker waits for a running check.
constexpr std::chrono::milliseconds kStopLimit{20000};

class CUpdate {
 public:
  CUpdate();
  virtual ~CUpdate();
  CUpdate(const CUpdate&) = delete;
  CUpdate& operator=(const CUpdate&) = delete;

  // True while a check runs; a finished worker is joined and forgotten.
  bool isCheckRunning();

  // The once-a-day automatic check: nothing happens when "UpdateDay" (low 16
  // bits) equals today's day of the month; otherwise today is stored and the
  // check starts on its worker. Returns whether a check was started (never
  // a second one while one runs).
  bool startDailyCheck();

  // The manual check ("menuUpdate"): "Updating" while a check runs; the
  // offer of an already downloaded installer; else the check on its worker.
  // ui must stay valid until the check has ended (isCheckRunning false).
  void startManualCheck(UpdateUi& ui);

  // "HasNewInstaller" is non-zero and DataFolder/NvrSetupNew.exe exists.
  bool isInstallerPending() const;

  // Asks "HasUpdate" (no owner, yes/no) when the installer exists and opens it on yes.
  void offerInstall(UpdateUi& ui);

  // The version file's text: first through libcurl with the system's proxy
  // settings, then directly, then over a raw socket; the first non-empty
  // result wins. At most 4096 bytes of the body are read per attempt.
  std::string fetchUrlText(const std::string& url);

  // Plain HTTP GET of url into path via path + ".upd": the answer must be 200
  // with a positive Content-Length and every announced byte must arrive; then
  // the ".upd" file replaces path atomically. On failure the ".upd" file stays
  // and path is untouched.
  bool downloadFile(const std::string& url, const std::string& path);

  std::string channelCode() const { return norvane::channelCode(oem_->partnerId); }
  std::string installedVersion() const { return norvane::installedVersion(); }
  // The "uid" read when the checker was made.
  const std::string& machineCode() const { return machineCode_; }

  // DataFolder + "/NvrSetupNew.exe" and config.ini (AppSettings' path, else DataFolder + "/config.ini").
  std::string installerPath() const;
  std::string configPath() const;

  // Wiring. Defaults: the system clock, the process-wide reporter, no run
  // log, no fault guard, the process-wide AppSettings and OemSettings.
  void setClock(const Clock& clock) { clock_ = &clock; }
  void setReportSender(std::function<void(int type)> send) { sendReport_ = std::move(send); }
  void setRunLogWriter(std::function<void(const std::string& line)> write) { writeRunLog_ = std::move(write); }
  void setFaultGuard(FaultGuard guard) { faultGuard_ = std::move(guard); }
  void setSettings(const AppSettings& app, const OemSettings& oem) {
    app_ = &app;
    oem_ = &oem;
  }

  // Asks a running check to give up its transfers and reports and waits for
  // it, at most `limit`. True when no check runs any more; false when the
  // worker is still blocked (it stays counted as running, and the program
  // must end the process without running its exit-time destructors, which
  // the worker may still use).
  bool stop(std::chrono::milliseconds limit = kStopLimit);

 private:
  bool startWorker(bool automatic);
  void workerMain();
  void runDailyCheck();
  void runManualCheck();
  void report(int type);
  void showDownloadBalloon();
  void removeTrayIcon();
  std::string fetchWithCurl(const std::string& url, bool systemProxy);
  std::string updateUrl(const std::string& path) const;

  const Clock* clock_;
  const AppSettings* app_;
  const OemSettings* oem_;
  std::function<void(int)> sendReport_;
  std::function<void(const std::string&)> writeRunLog_;
  FaultGuard faultGuard_;
  std::string machineCode_;

  std::thread worker_;
  std::atomic<bool> finished_{true};
  std::atomic<bool> cancel_{false};
  bool automatic_ = true;
  UpdateUi* ui_ = nullptr;
  bool trayIconSet_ = false;
};

// The process-wide checker.
CUpdate& updateChecker();

}  // namespace norvane
