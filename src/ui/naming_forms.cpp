#include "ui/naming_forms.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTimeEdit>

#include "platform/clock.h"
#include "service/name_source.h"
#include "shell/settings.h"
#include "toolkit/window.h"

namespace norvane::ui {

const NamingForm kNameForm{"Quming", "editXing", nullptr, "sexMan", "sexWoman", "ShengRiDate", "ShengRiTime",
                           "comboSheng", "comboShi", "comboXian"};
const NamingForm kAnalysisForm{"XingmingFenxi", "editXing2", "editMing2", "sexMan2", "sexWoman2", "ShengRiDate2",
                               "ShengRiTime2", "comboSheng2", "comboShi2", "comboXian2"};
const NamingForm kFortuneForm{"Yunsi", "editXing3", "editMing3", nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr};
const NamingForm kNicknameForm{"Quxiaoming", "editXing4", nullptr, "sexMan4", "sexWoman4", "ShengRiDate4",
                               "ShengRiTime4", "comboSheng4", "comboShi4", "comboXian4"};
const NamingForm kNicknameAnalysisForm{"XiaomingFenxi", "editXing5", "editMing5", "sexMan5", "sexWoman5",
                                       "ShengRiDate5", "ShengRiTime5", "comboSheng5", "comboShi5", "comboXian5"};

const char* const kNicknamePatternBoxes[6] = {"optCt1", "optCt2", "optCt3", "optCt4", "optCt5", "optCt6"};

namespace {
const NamingForm* const kBirthPlaceForms[] = {&kNameForm, &kAnalysisForm, &kNicknameForm, &kNicknameAnalysisForm, nullptr};

QString name(const char* control) { return QString::fromLatin1(control); }

std::string utf8(const QString& text) { return text.toStdString(); }
}  // namespace

const NamingForm* const* birthPlaceForms() { return kBirthPlaceForms; }

void saveSourceBook(int position) {
  if (position < 0 || position >= kSourceBookCount) position = 0;
  WriteSavedText(kNameForm.section, "ChuChu", kSourceBooks[position]);
}

int savedSourceBook() {
  const int position = sourceBookPosition(ReadSavedText(kNameForm.section, "ChuChu"));
  return position < 0 ? 0 : position;
}

const NamingForm* formOfPicker(const QString& picker, bool& isCity) {
  for (const NamingForm* const* f = kBirthPlaceForms; *f != nullptr; ++f) {
    if (picker == QLatin1String((*f)->province)) {
      isCity = false;
      return *f;
    }
    if (picker == QLatin1String((*f)->city)) {
      isCity = true;
      return *f;
    }
  }
  return nullptr;
}

QString FormAccess::text(const char* edit) const {
  auto* line = window_.control<QLineEdit>(name(edit));
  return line ? line->text() : QString();
}

bool FormAccess::isChecked(const char* box) const {
  auto* button = window_.control<QAbstractButton>(name(box));
  return button != nullptr && button->isChecked();
}

BirthData FormAccess::birthData(const NamingForm& form) const {
  BirthData data;
  QDate date = QDate::currentDate();
  QTime time(0, 0);
  if (auto* picker = window_.control<QDateEdit>(name(form.date))) date = picker->date();
  if (auto* picker = window_.control<QTimeEdit>(name(form.time))) time = picker->time();
  data.birthday = formatBirthday(date.year(), date.month(), date.day(), time.hour(), time.minute());
  data.gender = isChecked(form.male) ? 1 : 2;
  if (auto* county = window_.control<QComboBox>(name(form.county))) {
    int position = county->currentIndex();
    if (position >= 0 && position < county->count()) data.countyId = county->itemData(position).toInt();
  }
  return data;
}

void FormAccess::saveBirthFields(const NamingForm& form) const {
  BirthData data = birthData(form);
  WriteSavedInt(form.section, "Gender", data.gender);
  WriteSavedText(form.section, "Birthday", data.birthday);
}

void FormAccess::save(const NamingForm& form) const {
  const std::string section = form.section;
  auto position = [this](const char* picker) {
    auto* combo = window_.control<QComboBox>(name(picker));
    return combo ? combo->currentIndex() : -1;
  };
  WriteSavedText(section, "Xing", utf8(text(form.surname)));
  if (form.male == nullptr) {  // the fortune form: surname and name only
    WriteSavedText(section, "Ming", utf8(text(form.name)));
    return;
  }
  BirthData data = birthData(form);
  if (&form == &kNicknameForm) {
    WriteSavedText(section, "Birthday", data.birthday);
    WriteSavedInt(section, "Gender", data.gender);
  } else {
    if (form.name != nullptr) WriteSavedText(section, "Ming", utf8(text(form.name)));
    WriteSavedInt(section, "Gender", data.gender);
    WriteSavedText(section, "Birthday", data.birthday);
    if (&form == &kNameForm) WriteSavedInt(section, "LengOfName", isChecked("ZhiShu1") ? 1 : 2);
  }
  WriteSavedInt(section, "Sheng", position(form.province));
  WriteSavedInt(section, "Shi", position(form.city));
  WriteSavedInt(section, "Xian", position(form.county));
  if (&form == &kNicknameForm) {
    for (int i = 0; i < 6; ++i)
      WriteSavedInt(section, "Ct" + std::to_string(i + 1), isChecked(kNicknamePatternBoxes[i]) ? 1 : 0);
  }
}

void FormAccess::saveNameFormBasics() const {
  WriteSavedText(kNameForm.section, "Xing", utf8(text(kNameForm.surname)));
  saveBirthFields(kNameForm);
}

void FormAccess::setBirthday(const NamingForm& form, const std::string& text, const Clock* fallback) const {
  BirthDateTime when;
  if (!text.empty() || fallback == nullptr) {
    parseBirthday(text, when);
  } else {
    LocalDateTime now = fallback->localNow();
    when = {now.year, now.month, now.day, now.hour, now.minute, now.second};
  }
  // Fields a broken text did not give stay 0; a date that does not exist
  // leaves the picker as it was.
  QDate date(when.year, when.month, when.day);
  if (auto* picker = window_.control<QDateEdit>(name(form.date)); picker && date.isValid()) picker->setDate(date);
  QTime time(when.hour, when.minute);
  if (auto* picker = window_.control<QTimeEdit>(name(form.time)); picker && time.isValid()) picker->setTime(time);
}

void FormAccess::selectProvince(const NamingForm& form) const {
  int saved = ReadSavedInt(form.section, "Sheng", -1);
  auto* combo = window_.control<QComboBox>(name(form.province));
  if (combo != nullptr && saved >= 0 && saved < combo->count()) combo->setCurrentIndex(saved);
}

void FormAccess::restore(const NamingForm& form, const Clock& clock) const {
  const std::string section = form.section;
  auto setText = [this](const char* edit, const std::string& value) {
    if (auto* line = window_.control<QLineEdit>(name(edit))) line->setText(QString::fromStdString(value));
  };
  auto check = [this](const char* box, bool on) {
    if (auto* button = window_.control<QAbstractButton>(name(box))) button->setChecked(on);
  };

  if (&form == &kFortuneForm) {
    setText(form.surname, ReadSavedText(section, "Xing"));
    setText(form.name, ReadSavedText(section, "Ming"));
    return;
  }
  const std::string surname = ReadSavedText(section, "Xing");
  if (&form == &kNameForm) {
    // An empty surname means the form was never submitted: leave the skin's defaults.
    if (surname.empty()) return;
    setText(form.surname, surname);
    setBirthday(form, ReadSavedText(section, "Birthday"), nullptr);
    const bool male = ReadSavedInt(section, "Gender", 1) == 1;
    check(male ? form.male : form.female, true);
    const bool single = ReadSavedInt(section, "LengOfName", 1) == 1;
    check(single ? "ZhiShu1" : "ZhiShu2", true);
    selectProvince(form);
    return;
  }
  setText(form.surname, surname);
  if (form.name != nullptr) setText(form.name, ReadSavedText(section, "Ming"));
  setBirthday(form, ReadSavedText(section, "Birthday"), &clock);
  const bool male = ReadSavedInt(section, "Gender", 1) == 1;
  check(male ? form.male : form.female, true);
  if (&form == &kNicknameForm) {
    const int defaults[6] = {1, 1, 0, 0, 0, 0};
    for (int i = 0; i < 6; ++i)
      check(kNicknamePatternBoxes[i], ReadSavedInt(section, "Ct" + std::to_string(i + 1), defaults[i]) != 0);
  }
  selectProvince(form);
}

}  // namespace norvane::ui
