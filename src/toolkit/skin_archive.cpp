#include "toolkit/skin_archive.h"

#include <QFile>
#include <zip.h>

#include <memory>

namespace norvane::toolkit {
namespace {

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

// Opens a read-only view of zip bytes held in memory (libzip does not copy them).
ZipHandle openFromMemory(const QByteArray& bytes) {
  if (bytes.isEmpty()) return nullptr;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0, &error);
  if (source == nullptr) {
    zip_error_fini(&error);
    return nullptr;
  }
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (archive == nullptr) {
    zip_source_free(source);
  }
  zip_error_fini(&error);
  return ZipHandle(archive);
}

}  // namespace

SkinArchive& SkinArchive::instance() {
  static SkinArchive archive;
  return archive;
}

bool SkinArchive::loadDefault() {
  QByteArray replacement = qgetenv("NORVANE_SKIN_ARCHIVE");
  if (!replacement.isEmpty()) return loadFile(QString::fromLocal8Bit(replacement));
  return loadEmbedded();
}

bool SkinArchive::loadEmbedded() { return loadFile(QStringLiteral(":/norvane/skin.zip")); }

bool SkinArchive::loadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    clear();
    return false;
  }
  return loadBytes(file.readAll());
}

bool SkinArchive::loadBytes(const QByteArray& zipBytes) {
  bytes_ = zipBytes;
  ZipHandle archive = openFromMemory(bytes_);
  valid_ = archive != nullptr && zip_get_num_entries(archive.get(), 0) > 0;
  if (!valid_) bytes_.clear();
  return isLoaded();
}

void SkinArchive::clear() {
  bytes_.clear();
  valid_ = false;
}

QByteArray SkinArchive::file(const QString& name, bool* ok) const {
  if (ok) *ok = false;
  ZipHandle archive = openFromMemory(bytes_);
  if (!archive) return {};
  QByteArray utf8 = name.toUtf8();
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat(archive.get(), utf8.constData(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return {};
  // Layouts and images are small; refuse absurd sizes rather than allocate them.
  if (stat.size > 64u * 1024 * 1024) return {};
  zip_file_t* entry = zip_fopen(archive.get(), utf8.constData(), 0);
  if (entry == nullptr) return {};
  QByteArray data(static_cast<qsizetype>(stat.size), Qt::Uninitialized);
  zip_int64_t read = stat.size == 0 ? 0 : zip_fread(entry, data.data(), stat.size);
  zip_fclose(entry);
  if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size) return {};
  if (ok) *ok = true;
  return data;
}

bool SkinArchive::contains(const QString& name) const {
  ZipHandle archive = openFromMemory(bytes_);
  if (!archive) return false;
  return zip_name_locate(archive.get(), name.toUtf8().constData(), 0) >= 0;
}

QStringList SkinArchive::fileNames() const {
  QStringList names;
  ZipHandle archive = openFromMemory(bytes_);
  if (!archive) return names;
  zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* n = zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), 0);
    if (n) names << QString::fromUtf8(n);
  }
  return names;
}

}  // namespace norvane::toolkit
