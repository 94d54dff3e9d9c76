#pragma once
#include <QString>

namespace norvane::ui {

// True when every UTF-16 code unit of `text` lies in U+4E00 … U+9FA5 (the
// basic block of CJK unified ideographs). The empty text passes; callers test
// for emptiness first.
inline bool IsChineseText(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() < 0x4E00 || c.unicode() > 0x9FA5) return false;
  }
  return true;
}

}  // namespace norvane::ui
