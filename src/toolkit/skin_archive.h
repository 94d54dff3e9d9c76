#pragma once
// The skin archive: a zip of window layout files (Qt Designer documents under
// names such as "skin.xml", "dlg_message.xml") and their images. The program
// carries it inside the executable as the resource ":/norvane/skin.zip"; a
// replacement archive (themes, tests) is taken from the file named by the
// environment variable NORVANE_SKIN_ARCHIVE or given to loadFile().
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace norvane::toolkit {

class SkinArchive {
 public:
  // The process-wide archive every window loads its layout from.
  static SkinArchive& instance();

  // Loads the archive the program should use: the file named by
  // NORVANE_SKIN_ARCHIVE when that variable is set (a missing file then counts
  // as a missing archive), otherwise the embedded resource. Returns isLoaded().
  bool loadDefault();
  bool loadEmbedded();
  bool loadFile(const QString& path);
  // Takes the bytes of a zip; an empty or unreadable zip leaves the archive unloaded.
  bool loadBytes(const QByteArray& zipBytes);
  void clear();

  // True when a non-empty, readable zip is loaded.
  bool isLoaded() const { return !bytes_.isEmpty() && valid_; }
  // The raw zip bytes (they stay alive as long as the archive holds them).
  const QByteArray& bytes() const { return bytes_; }

  // The contents of the file stored under `name` (e.g. "skin.xml",
  // "images/logo.png"); empty with ok=false when absent.
  QByteArray file(const QString& name, bool* ok = nullptr) const;
  bool contains(const QString& name) const;
  QStringList fileNames() const;

 private:
  QByteArray bytes_;
  bool valid_ = false;
};

}  // namespace norvane::toolkit
