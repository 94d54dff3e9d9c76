#pragma once
// Small skin archives made by the tests themselves.
#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <zip.h>

#include <map>
#include <string>

#include "support/temp_dir.h"

namespace norvane::test {

// A zip holding the given files (name -> content).
inline QByteArray makeZip(const std::map<std::string, std::string>& files) {
  TempDir dir;
  std::string path = dir.file("skin.zip");
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) return {};
  for (const auto& [name, content] : files) {
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
  }
  zip_close(archive);
  std::string bytes = readFile(path);
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A layout document: a root widget of the given size holding `body` (widget
// elements) in a vertical layout, with extra root properties.
inline std::string layoutDocument(const std::string& body, int width = 300, int height = 200,
                                  const std::string& rootProperties = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ui version=\"4.0\"><class>Test</class>"
         "<widget class=\"QFrame\" name=\"root\">"
         "<property name=\"geometry\"><rect><x>0</x><y>0</y><width>" + std::to_string(width) +
         "</width><height>" + std::to_string(height) + "</height></rect></property>" + rootProperties +
         "<layout class=\"QVBoxLayout\" name=\"rootLayout\">" + body + "</layout></widget></ui>";
}

inline std::string item(const std::string& cls, const std::string& name, const std::string& props = "") {
  return "<item><widget class=\"" + cls + "\" name=\"" + name + "\">" + props + "</widget></item>";
}

}  // namespace norvane::test
