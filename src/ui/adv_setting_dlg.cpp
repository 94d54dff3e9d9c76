#include "ui/adv_setting_dlg.h"

#include <QComboBox>
#include <QLineEdit>

#include "shell/settings.h"

namespace norvane {

const char* const CQumingAdvSettingDlg::kLists[10] = {"comboCYZ", "comboNNYZ", "comboSXZH", "comboZXX", "comboXMX",
                                                      "comboWXZH", "comboYLZH", "comboSDZH", "comboSMZH", "comboYMZH"};

namespace {
// The block's ten choices in the order of kLists.
int* choice(AdvancedNamingSettings& s, int i) {
  int* fields[10] = {&s.cyz, &s.xb, &s.sx, &s.zxz, &s.xmx, &s.wx, &s.ny, &s.yd, &s.sm, &s.ym};
  return fields[i];
}
}  // namespace

CQumingAdvSettingDlg::CQumingAdvSettingDlg()
    : toolkit::Window(QStringLiteral("NorvaneDialogClass"), QStringLiteral("dlg_quming_adv.xml")) {
  enableShadow(true);
}

void CQumingAdvSettingDlg::SetSettings(const AdvancedNamingSettings& settings) {
  settings_ = settings;
  flag_ = true;
}

void CQumingAdvSettingDlg::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    initDialog();
  } else if (type == QLatin1String("textchanged")) {
    if (sender == QLatin1String("NameWord1") || sender == QLatin1String("NameWord2")) updateFixedEdits();
  } else if (type == QLatin1String("click")) {
    if (sender == QLatin1String("btnYes")) {
      confirm();
    } else if (sender == QLatin1String("btnClose")) {
      flag_ = false;
      requestClose();
    }
  }
}

void CQumingAdvSettingDlg::initDialog() {
  auto* first = control<QLineEdit>(QStringLiteral("NameWord1"));
  auto* second = control<QLineEdit>(QStringLiteral("NameWord2"));
  if (flag_) {
    flag_ = false;
    if (settings_.FixedFirst != 0) {
      if (first) first->setText(QString(QChar(settings_.FixedFirst)));
    } else if (settings_.FixedSecond != 0) {
      if (second) second->setText(QString(QChar(settings_.FixedSecond)));
    }
    for (int i = 0; i < 10; ++i) {
      auto* list = control<QComboBox>(QString::fromLatin1(kLists[i]));
      const int position = *choice(settings_, i);
      if (list != nullptr && position >= 0 && position < list->count()) list->setCurrentIndex(position);
    }
    if (auto* books = control<QComboBox>(QString::fromLatin1(kSourceList));
        books != nullptr && settings_.cc >= 0 && settings_.cc < books->count())
      books->setCurrentIndex(settings_.cc);
  }
  updateFixedEdits();
  // The last name-generation input asked for one-character names: there is
  // no place for a fixed character.
  if (ReadSavedInt("Quming", "LengOfName", 0) == 1) {
    // Empty both before disabling: each change of text reopens the other edit.
    for (QLineEdit* edit : {first, second})
      if (edit != nullptr) edit->clear();
    for (QLineEdit* edit : {first, second})
      if (edit != nullptr) edit->setEnabled(false);
  }
}

void CQumingAdvSettingDlg::updateFixedEdits() {
  auto* first = control<QLineEdit>(QStringLiteral("NameWord1"));
  auto* second = control<QLineEdit>(QStringLiteral("NameWord2"));
  if (first == nullptr || second == nullptr) return;
  // At most one fixed character: each edit is open only while the other is empty.
  second->setEnabled(first->text().isEmpty());
  first->setEnabled(second->text().isEmpty());
}

void CQumingAdvSettingDlg::confirm() {
  auto unit = [this](const char* name) -> char16_t {
    auto* edit = control<QLineEdit>(QString::fromLatin1(name));
    if (edit == nullptr || edit->text().isEmpty()) return 0;
    return edit->text().at(0).unicode();
  };
  settings_.FixedFirst = unit("NameWord1");
  settings_.FixedSecond = unit("NameWord2");
  for (int i = 0; i < 10; ++i) {
    auto* list = control<QComboBox>(QString::fromLatin1(kLists[i]));
    if (list != nullptr && list->currentIndex() != -1) *choice(settings_, i) = list->currentIndex();
  }
  auto* books = control<QComboBox>(QString::fromLatin1(kSourceList));
  if (books != nullptr && books->currentIndex() >= 0 && books->currentIndex() < kSourceBookCount)
    settings_.cc = books->currentIndex();
  flag_ = true;
  requestClose();
}

}  // namespace norvane
