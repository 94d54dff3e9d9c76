#include "ui/main_frame.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStackedWidget>

#include "platform/clock.h"
#include "platform/debug_trace.h"
#include "platform/folders.h"
#include "reports/report_launcher.h"
#include "service/response_cache.h"
#include "shell/message_box.h"
#include "shell/settings.h"
#include "ui/about_dlg.h"
#include "ui/adv_setting_dlg.h"
#include "ui/chinese_text.h"
#include "ui/naming_forms.h"
#include "ui/popup_menu.h"
#include "ui/update_ui.h"
#include "ui/web_links.h"
#include "update/update.h"

namespace norvane {
namespace {

// The tab buttons in the order of the pages of "tabMain".
const char* const kTabButtons[] = {"tabQuMing", "tabFengXi", "tabBaGua", "tabXiaoMing", "tabFenxiXiaoMing", "tabFavorites"};

// Window messages of the main window.
constexpr unsigned kNameSearchResult = 1030;
constexpr unsigned kNameOptionMark = 1031;
constexpr unsigned kNicknameSearchResult = 1035;
constexpr unsigned kNicknameOptionMark = 1036;
constexpr unsigned kNameShownOptionMark = 1040;
constexpr unsigned kMenuCommand = 1145;

ServiceStatus statusOf(quintptr wParam) { return static_cast<ServiceStatus>(static_cast<std::uint32_t>(wParam)); }

std::string localText(const QString& text) { return text.toStdString(); }

}  // namespace

CMainFrame::CMainFrame()
    : toolkit::Window(QString::fromLatin1(kClassName), QStringLiteral("skin.xml")),
      clock_(&systemClock()),
      resultRows_(QStringLiteral("listitem_mingzi.xml")),
      favoriteRows_(QStringLiteral("listitem_favorite.xml")),
      favoritesView_(*this, favorites_, FavoritesStore::defaultPath(), favoriteRows_),
      nameList_(*this, nameQuery_, ui::kNameListControls, resultRows_, favoritesView_),
      nicknameList_(*this, nicknameQuery_, ui::kNicknameListControls, resultRows_, favoritesView_),
      userView_(*this, {&nameQuery_, &nicknameQuery_}) {
  // The object ends with its window (its destruction ends the message loop).
  setDeleteOnClose(true);
  enableShadow(true);
  favorites_.load(favoritesView_.databasePath());
  auto rowButton = [this](QAbstractButton* button) { sendNotify(QStringLiteral("click"), button->objectName(), button); };
  favoritesView_.onRowButton = rowButton;
  nameList_.onRowButton = rowButton;
  nicknameList_.onRowButton = rowButton;
}

CMainFrame::~CMainFrame() {
  ui::WindowUpdateUi::instance().setOwner(nullptr);
  // Every change was written when it was made; this catches a write that failed then.
  favoritesView_.persist();
  // Searches still running finish first: only the window ends a worker.
  nameList_.waitForSearch();
  nicknameList_.waitForSearch();
  delete menu_.data();
  userView_.stop();
  QCoreApplication::exit(0);  // ends the message loop
}

void CMainFrame::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    initWindow();
  } else if (type == QLatin1String("click")) {
    onClick(sender);
  } else if (type == QLatin1String("itemselect")) {
    pickerSelected(sender);
  }
}

bool CMainFrame::onMessage(unsigned number, quintptr wParam) {
  switch (number) {
    case kNameSearchResult:
      nameList_.searchFinished(statusOf(wParam));
      if (statusOf(wParam) == kStatusOk) reportWarmUp_.pageShown();
      return true;
    case kNicknameSearchResult:
      nicknameList_.searchFinished(statusOf(wParam));
      if (statusOf(wParam) == kStatusOk) reportWarmUp_.pageShown();
      return true;
    case kNameOptionMark:
      nameList_.checkOption(static_cast<int>(wParam));
      return true;
    case kNicknameOptionMark:
      nicknameList_.checkOption(static_cast<int>(wParam));
      return true;
    case kNameShownOptionMark:
      nameList_.checkShownOption();
      return true;
    case kMenuCommand:
      if (!menuCommands_.empty()) {
        QString item = menuCommands_.front();
        menuCommands_.pop_front();
        menuCommand(item);
      }
      return true;
    default:
      return userView_.handleMessage(number, wParam);
  }
}

bool CMainFrame::onCloseRequest() {
  // The fade-out runs as part of every close; nothing else keeps the window.
  return true;
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
  // Enter and Escape have no default action in the main window.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  toolkit::Window::keyPressEvent(event);
}

void CMainFrame::initWindow() {
  TraceStartStep("main window layout built");
  // Opened once the layout is built, not before: the start derives the
  // database's key on another thread meanwhile (app/run_plugins.h).
  knowledge_.open(JoinPath(ProgramFolder, "local.dat"), true);
  TraceStartStep("knowledge database open");
  selectPage(0);
  fillProvincePickers();
  TraceStartStep("province pickers filled");
  if (appSettings().SaveInput != 0) {
    ui::FormAccess forms(*this);
    for (const ui::NamingForm* form :
         {&ui::kNameForm, &ui::kAnalysisForm, &ui::kFortuneForm, &ui::kNicknameForm, &ui::kNicknameAnalysisForm})
      forms.restore(*form, *clock_);
    nameQuery_.AdvancedSettings.cc = ui::savedSourceBook();
  }
  TraceStartStep("saved input restored");
  favoritesView_.fill();
  // AwareDPI needs nothing here: Qt 6 always lays windows out for the
  // screen's scale factor, whatever the setting says.
  ui::WindowUpdateUi::instance().setOwner(this);
  userView_.initialize();
}

void CMainFrame::selectPage(int index) {
  if (auto* pages = control<QStackedWidget>(QStringLiteral("tabMain"))) {
    if (index >= 0 && index < pages->count()) pages->setCurrentIndex(index);
  }
  if (auto* tab = control<QAbstractButton>(QString::fromLatin1(kTabButtons[index]))) tab->setChecked(true);
}

// ---------------------------------------------------------------------------
// Birth-place pickers

void CMainFrame::fillPicker(QComboBox* picker, int parentId) {
  std::vector<AreaEntry> areas;
  if (parentId >= 0) knowledge_.childAreas(parentId, areas);
  // Filled without notifications, left without a selection: the caller's
  // selection then always notifies the next level.
  QSignalBlocker quiet(picker);
  picker->clear();
  for (const AreaEntry& area : areas) picker->addItem(QString::fromStdString(area.name), area.id);
  picker->setCurrentIndex(-1);
}

void CMainFrame::fillProvincePickers() {
  for (const ui::NamingForm* const* form = ui::birthPlaceForms(); *form != nullptr; ++form) {
    auto* province = control<QComboBox>(QString::fromLatin1((*form)->province));
    if (province == nullptr) continue;
    fillPicker(province, 0);
    province->setPlaceholderText(QStringLiteral("省份"));
    if (auto* city = control<QComboBox>(QString::fromLatin1((*form)->city))) city->setPlaceholderText(QStringLiteral("城市"));
    if (auto* county = control<QComboBox>(QString::fromLatin1((*form)->county)))
      county->setPlaceholderText(QStringLiteral("区县"));
    province->show();
  }
}

void CMainFrame::pickerSelected(const QString& pickerName) {
  bool isCity = false;
  const ui::NamingForm* form = ui::formOfPicker(pickerName, isCity);
  if (form == nullptr) return;
  auto* picker = control<QComboBox>(pickerName);
  auto* child = control<QComboBox>(QString::fromLatin1(isCity ? form->county : form->city));
  if (picker == nullptr || child == nullptr) return;
  const int position = picker->currentIndex();
  if (position < 0) return;
  const int id = picker->itemData(position).toInt();
  if (id < 1) return;

  child->hide();
  if (!isCity) {
    // A new province: the county list of the previous city no longer applies.
    if (auto* county = control<QComboBox>(QString::fromLatin1(form->county))) fillPicker(county, -1);
  }
  fillPicker(child, id);
  // The saved choice comes back when the same parent is chosen again.
  const int savedParent = ReadSavedInt(form->section, isCity ? "Shi" : "Sheng", -1);
  int choice = savedParent == position ? ReadSavedInt(form->section, isCity ? "Xian" : "Shi", 0) : 0;
  if (choice < 0 || choice >= child->count()) choice = 0;
  child->show();
  if (child->count() > 0) child->setCurrentIndex(choice);  // notifies the next level
}

// ---------------------------------------------------------------------------
// Clicks

void CMainFrame::onClick(const QString& sender) {
  if (userView_.handleClick(sender)) return;
  for (int i = 0; i < 6; ++i) {
    if (sender == QLatin1String(kTabButtons[i])) {
      selectPage(i);
      return;
    }
  }
  if (sender == QLatin1String("btnClose") || sender == QLatin1String("btnMin")) {
    toolkit::Window::notify(QStringLiteral("click"), sender);
  } else if (sender == QLatin1String("btnMenu")) {
    openMenu(QStringLiteral("main_menu.xml"));
  } else if (sender == QLatin1String("userNickname")) {
    openMenu(QStringLiteral("user_menu.xml"));
  } else if (sender == QLatin1String("btnQuMing")) {
    submitNameSearch();
  } else if (sender == QLatin1String("btnXingMingFenxi")) {
    submitNameAnalysis();
  } else if (sender == QLatin1String("btnXingMingYunsi")) {
    submitFortune();
  } else if (sender == QLatin1String("btnQuxiaoming")) {
    submitNicknameSearch();
  } else if (sender == QLatin1String("btnXiaoMingFenxi")) {
    submitNicknameAnalysis();
  } else if (sender == QLatin1String("btnGRQMAdvSet")) {
    openAdvancedSettings();
  } else if (sender == QLatin1String("btnKefu")) {
    ui::openWebPage(ui::siteUrl(QStringLiteral("/service/")));
  } else if (sender == QLatin1String("btnCompareFavorites")) {
    reports::openComparison(this, favoritesView_.chosenRecords());
  } else if (nameList_.handleClick(sender) || nicknameList_.handleClick(sender)) {
    return;
  } else {
    rowAction(sender, notifySender());
  }
}

bool CMainFrame::rowAction(const QString& sender, QWidget* button) {
  if (button == nullptr) return false;
  if (sender == QLatin1String("ShouCang")) {
    if (auto* heart = qobject_cast<QAbstractButton*>(button)) toggleFavorite(heart);
    return true;
  }
  if (sender == QLatin1String("RemoveFavorite")) {
    if (const NameRecord* stored = favoritesView_.recordOfRow(button)) {
      const NameRecord record = *stored;
      nameList_.setFavoriteMark(record, false);
      nicknameList_.setFavoriteMark(record, false);
      favoritesView_.removeRowOf(button);
    }
    return true;
  }
  if (sender == QLatin1String("FengXi") || sender == QLatin1String("XiaomingFengXi")) {
    ui::ResultList& list = sender == QLatin1String("FengXi") ? nameList_ : nicknameList_;
    const NameRecord* shown = list.recordOfRow(button);
    if (shown == nullptr) return true;
    const NameRecord record = *shown;  // the report may page the list under it
    if (list.nicknames())
      reports::openNicknameReport(this, record, &list);
    else
      reports::openNameReport(this, record, &list);
    list.fill();
    return true;
  }
  if (sender == QLatin1String("FengXiFromFav")) {
    const NameRecord* stored = favoritesView_.recordOfRow(button);
    if (stored == nullptr) return true;
    const NameRecord record = *stored;
    if (record.IsXiaoming)
      reports::openNicknameReport(this, record);
    else
      reports::openNameReport(this, record);
    return true;
  }
  return false;
}

void CMainFrame::toggleFavorite(QAbstractButton* heart) {
  ui::ResultList* list = &nameList_;
  const NameRecord* shown = nameList_.recordOfRow(heart);
  if (shown == nullptr) {
    list = &nicknameList_;
    shown = nicknameList_.recordOfRow(heart);
  }
  if (shown == nullptr) {
    heart->setChecked(!heart->isChecked());  // not a row of a list shown: undo the toggle
    return;
  }
  const NameRecord record = *shown;
  // The store decides: a heart always ends showing whether the name is kept.
  if (favoritesView_.contains(record)) {
    favoritesView_.removeEqual(record);
    list->setFavoriteMark(record, false);
  } else {
    favoritesView_.add(record);
    list->setFavoriteMark(record, true);
  }
}

// ---------------------------------------------------------------------------
// Submits

void CMainFrame::refuse(const char* key, const char* focusEdit) {
  ShowMessage(key, this, MB_INFORMATION_ICON);
  if (focusEdit != nullptr) {
    if (auto* edit = control<QLineEdit>(QString::fromLatin1(focusEdit))) edit->setFocus(Qt::OtherFocusReason);
  }
}

bool CMainFrame::checkSurname(const QString& surname, const char* focusEdit) {
  if (surname.isEmpty()) {
    refuse("NoSurname", focusEdit);
    return false;
  }
  if (!ui::IsChineseText(surname)) {
    refuse("NeedChineseCharacters");
    return false;
  }
  return true;
}

float CMainFrame::countyLongitude(int countyId) {
  AreaLocation location;
  if (!knowledge_.areaLocation(countyId, location)) return 0;
  bool ok = false;
  const double longitude = QString::fromStdString(location.longitude).toDouble(&ok);
  return ok ? static_cast<float>(longitude) : 0;
}

void CMainFrame::fillBirthInfo(PageQuery& query, const ui::NamingForm& form) {
  ui::FormAccess forms(*this);
  const ui::BirthData birth = forms.birthData(form);
  query.Xing = localText(forms.text(form.surname));
  query.Birthday = birth.birthday;
  query.Gender = birth.gender;
  query.Longitude = countyLongitude(birth.countyId);
  query.CityId = birth.countyId;
  query.m = 1;
  query.Page = 1;
  query.PageSize = 10;
  // Account and token keep what the user view last put there.
}

NameRecord CMainFrame::analysisRecord(const QString& surname, const QString& name, const ui::BirthData& birth) {
  NameRecord record;
  record.Xing = localText(surname);
  record.Ming = localText(name);
  record.Birthday = birth.birthday;
  record.Gender = birth.gender;
  record.CityId = birth.countyId;
  record.Longitude = countyLongitude(birth.countyId);
  return record;
}

void CMainFrame::submitNameSearch() {
  if (nameList_.searching()) return;
  ui::FormAccess forms(*this);
  if (!checkSurname(forms.text("editXing"), nullptr)) return;
  if (forms.birthData(ui::kNameForm).countyId == 0) return refuse("NoBirthAddress");
  const unsigned nameLength = forms.isChecked("ZhiShu1") ? 1 : 2;
  if (appSettings().SaveInput != 0) forms.save(ui::kNameForm);
  fillBirthInfo(nameQuery_, ui::kNameForm);
  nameQuery_.NameLength = nameLength;
  nameList_.startSearch();
}

void CMainFrame::submitNicknameSearch() {
  if (nicknameList_.searching()) return;
  ui::FormAccess forms(*this);
  if (!checkSurname(forms.text("editXing4"), nullptr)) return;
  if (forms.birthData(ui::kNicknameForm).countyId == 0) return refuse("NoBirthAddress");
  bool styles[6];
  bool any = false;
  for (int i = 0; i < 6; ++i) any |= styles[i] = forms.isChecked(ui::kNicknamePatternBoxes[i]);
  if (!any) return refuse("XiaomingFormatErr");
  if (appSettings().SaveInput != 0) forms.save(ui::kNicknameForm);
  fillBirthInfo(nicknameQuery_, ui::kNicknameForm);
  for (int i = 0; i < 6; ++i) nicknameQuery_.NicknameStyles[i] = styles[i];
  nicknameList_.startSearch();
}

void CMainFrame::submitNameAnalysis() {
  ui::FormAccess forms(*this);
  const QString surname = forms.text("editXing2");
  const QString name = forms.text("editMing2");
  if (surname.isEmpty()) return refuse("NoSurname", "editXing2");
  if (name.isEmpty()) return refuse("NoName", "editMing2");
  if (!ui::IsChineseText(surname) || !ui::IsChineseText(name)) return refuse("NeedChineseCharacters");
  const ui::BirthData birth = forms.birthData(ui::kAnalysisForm);
  if (birth.countyId == 0) return refuse("NoBirthAddress");
  if (appSettings().SaveInput != 0) forms.save(ui::kAnalysisForm);
  reports::openNameReport(this, analysisRecord(surname, name, birth));
}

void CMainFrame::submitNicknameAnalysis() {
  ui::FormAccess forms(*this);
  const QString surname = forms.text("editXing5");
  const QString name = forms.text("editMing5");
  if (surname.isEmpty()) return refuse("NoSurname", "editXing5");
  if (name.isEmpty()) return refuse("NoName", "editMing5");
  if (name.size() < 2) return refuse("XiaomingLength", "editMing5");
  if (!ui::IsChineseText(surname) || !ui::IsChineseText(name)) return refuse("NeedChineseCharacters");
  const ui::BirthData birth = forms.birthData(ui::kNicknameAnalysisForm);
  if (birth.countyId == 0) return refuse("NoBirthAddress");
  if (appSettings().SaveInput != 0) forms.save(ui::kNicknameAnalysisForm);
  reports::openNicknameReport(this, analysisRecord(surname, name, birth));
}

void CMainFrame::submitFortune() {
  ui::FormAccess forms(*this);
  const QString surname = forms.text("editXing3");
  const QString name = forms.text("editMing3");
  if (surname.isEmpty()) return refuse("NoSurname", "editXing3");
  if (name.isEmpty()) return refuse("NoName", "editMing3");
  if (!ui::IsChineseText(surname) || !ui::IsChineseText(name)) return refuse("NeedChineseCharacters");
  if (appSettings().SaveInput != 0) forms.save(ui::kFortuneForm);
  reports::openFortuneReport(this, localText(surname), localText(name));
}

void CMainFrame::openAdvancedSettings() {
  if (nameList_.searching()) return;
  ui::FormAccess forms(*this);
  if (!checkSurname(forms.text("editXing"), nullptr)) return;
  if (appSettings().SaveInput != 0) forms.saveNameFormBasics();
  CQumingAdvSettingDlg dialog;
  dialog.SetSettings(nameQuery_.AdvancedSettings);
  dialog.showModal(this);
  if (!dialog.confirmed()) return;
  nameQuery_.AdvancedSettings = dialog.settings();
  if (appSettings().SaveInput != 0) ui::saveSourceBook(nameQuery_.AdvancedSettings.cc);
}

// ---------------------------------------------------------------------------
// Menus

void CMainFrame::openMenu(const QString& layoutFile) {
  delete menu_.data();
  menu_ = new ui::PopupMenu(layoutFile, this, [this](const QString& item) {
    menuCommands_.push_back(item);
    post(kMenuCommand);
  });
  if (!menu_->isValid()) return;
  // Opened by keyboard (its button has the focus): below the button, not at the mouse.
  QWidget* opener = focusWidget();
  const bool byKeyboard = opener != nullptr && opener->hasFocus() && qobject_cast<QAbstractButton*>(opener) != nullptr;
  menu_->popupAt(byKeyboard ? opener->mapToGlobal(QPoint(0, opener->height())) : QCursor::pos() + QPoint(0, 10));
}

void CMainFrame::menuCommand(const QString& item) {
  if (item == QLatin1String("menuClearCache")) {
    ResponseCache::clear();
    ShowMessage("ClearCache", this, MB_INFORMATION_ICON);
  } else if (item == QLatin1String("menuUpdate")) {
    updateChecker().startManualCheck(ui::WindowUpdateUi::instance());
  } else if (item == QLatin1String("menuAbout")) {
    (new CAboutDlg())->showModal(this);  // the dialog ends with its window
  } else if (item == QLatin1String("menuLog")) {
    userView_.logout();
  }
}

}  // namespace norvane
