#pragma once
// The five naming forms of the main window: their control names, reading a
// form's birth data, and the saved input each form keeps in its section of
// config.ini (written on every accepted submit, restored at start).
#include <QString>

#include <string>

namespace norvane {
class Clock;
namespace toolkit {
class Window;
}
}  // namespace norvane

namespace norvane::ui {

struct NamingForm {
  const char* section;  // saved-input section of config.ini
  const char* surname;  // surname edit
  const char* name;     // given-name edit, or nullptr
  const char* male;     // gender options, or nullptr (the fortune form)
  const char* female;
  const char* date;  // date and time pickers, or nullptr
  const char* time;
  const char* province;  // birth-place pickers, or nullptr
  const char* city;
  const char* county;
};

extern const NamingForm kNameForm;          // name generation, "Quming"
extern const NamingForm kAnalysisForm;      // name analysis, "XingmingFenxi"
extern const NamingForm kFortuneForm;       // name fortune, "Yunsi"
extern const NamingForm kNicknameForm;      // nickname generation, "Quxiaoming"
extern const NamingForm kNicknameAnalysisForm;  // nickname analysis, "XiaomingFenxi"

// The four forms with birth-place pickers, in the order of the forms.
const NamingForm* const* birthPlaceForms();
// The form whose province (or city, with `isCity`) picker is called `picker`.
const NamingForm* formOfPicker(const QString& picker, bool& isCity);

// The check boxes of the six nickname patterns.
extern const char* const kNicknamePatternBoxes[6];

struct BirthData {
  std::string birthday;  // "%d-%d-%d %02d:%02d:%02d" with second 00
  int gender = 1;        // 1 male, 2 female
  int countyId = 0;      // 0: no county chosen
};

// The source book of the advanced settings, kept with the name-generation
// form's saved input (key "ChuChu" of section "Quming", the book's name):
// the position in kSourceBooks, 0 ("不限") when none or an unknown name was saved.
void saveSourceBook(int position);
int savedSourceBook();

class FormAccess {
 public:
  explicit FormAccess(const toolkit::Window& window) : window_(window) {}

  QString text(const char* edit) const;
  bool isChecked(const char* box) const;
  BirthData birthData(const NamingForm& form) const;

  // Writes the form's section (the keys in the order of the saved-input
  // table); the nickname form adds its six patterns.
  void save(const NamingForm& form) const;
  // The name-generation form's three keys the advanced settings write.
  void saveNameFormBasics() const;
  // Restores the form from its section (the province pickers are filled).
  void restore(const NamingForm& form, const Clock& clock) const;

 private:
  void saveBirthFields(const NamingForm& form) const;
  void setBirthday(const NamingForm& form, const std::string& text, const Clock* fallback) const;
  void selectProvince(const NamingForm& form) const;

  const toolkit::Window& window_;
};

}  // namespace norvane::ui
