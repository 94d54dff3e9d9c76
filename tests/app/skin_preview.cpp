// Shows one window of the program for screenshots and manual checks:
//   norvane_skin_preview info|error|warn|twobutton|main[:TAB]|results|favorites|advanced [text]
// "results" and "favorites" show the formal-name list and the favourites
// filled with sample names, some with a classical source; a text "WxH"
// gives the window that size.
// The skin comes from NORVANE_SKIN_ARCHIVE or the archive of the build tree.
#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "service/endpoints.h"
#include "shell/message_box.h"
#include "toolkit/skin_archive.h"
#include "ui/adv_setting_dlg.h"
#include "ui/main_frame.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s info|error|warn|twobutton|main [text]\n", argv[0]);
    return 2;
  }
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QFont font(QStringLiteral("Microsoft YaHei"));
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Sans Serif")});
  font.setPixelSize(12);
  app.setFont(font);
  auto& skin = norvane::toolkit::SkinArchive::instance();
  if (!qEnvironmentVariableIsSet("NORVANE_SKIN_ARCHIVE")) {
    skin.loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH));
  } else {
    skin.loadDefault();
  }
  if (!skin.isLoaded()) {
    std::fprintf(stderr, "no skin archive\n");
    return 1;
  }
  const char* variant = argv[1];
  if (std::strcmp(variant, "advanced") == 0) {  // the advanced settings, source 诗经 chosen
    norvane::CQumingAdvSettingDlg dialog;
    norvane::AdvancedNamingSettings settings;
    settings.cc = 1;
    dialog.SetSettings(settings);
    dialog.showModal(nullptr);
    return 0;
  }
  if (std::strcmp(variant, "results") == 0 || std::strcmp(variant, "favorites") == 0) {
    auto* frame = new norvane::CMainFrame();
    const struct {
      const char* ming;
      norvane::NameSource source;
    } samples[] = {
        {"明远", {"非淡泊无以明志，非宁静无以致远", "诫子书", "诸葛亮", "诸葛亮集"}},
        {"子衿", {"青青子衿，悠悠我心", "郑风·子衿", "", "诗经"}},
        {"浩然", {}},
        {"清扬", {"有美一人，清扬婉兮", "郑风·野有蔓草", "", "诗经"}},
        {"思远", {"<b>思</b>美人兮，揽涕而竚眙。媒绝路阻兮，言不可结而诒。蹇蹇之烦冤兮，陷滞而不发远", "九章·思美人",
                  "屈原", "楚辞"}},
        {"望舒", {"前望舒使先驱兮，后飞廉使奔属", "离骚", "屈原", "楚辞"}},
        {"嘉木", {}},
        {"明月", {"明月松间照，清泉石上流", "山居秋暝", "王维", "唐诗三百首"}},
        {"千里", {"欲穷千里目，更上一层楼", "登鹳雀楼", "王之涣", "唐诗三百首"}},
        {"婵娟", {"但愿人长久，千里共婵娟", "水调歌头", "苏轼", "宋词三百首"}},
    };
    std::vector<norvane::NameRecord> names;
    for (int i = 0; i < 10; ++i) {
      norvane::NameRecord r;
      r.Xing = "欧阳";
      r.Ming = samples[i].ming;
      r.Birthday = "2024-3-15 09:05:00";
      r.FengShu = 96.5f - static_cast<float>(i) * 1.25f;
      r.WuXing = 90 - i;
      r.ShengXiao = 85;
      r.JiXiong = 80 + i;
      r.ChuChu = samples[i].source;
      names.push_back(r);
      if (i % 3 != 2) frame->favorites().add(r);
    }
    frame->create(nullptr);
    frame->nameQuery().Names = names;
    frame->nameQuery().Total = 23;
    frame->nameList().searchFinished(0);
    if (std::strcmp(variant, "favorites") == 0) {
      if (auto* b = frame->control<QAbstractButton>(QStringLiteral("tabFavorites"))) b->click();
    }
    int width = 0, height = 0;
    if (argc > 2 && std::sscanf(argv[2], "%dx%d", &width, &height) == 2) frame->resize(width, height);
    frame->centerWindow();
    frame->show();
    return app.exec();
  }
  QString text = argc > 2 ? QString::fromUtf8(argv[2]) : QStringLiteral("请输入宝宝的姓氏，姓氏只能是汉字。");
  if (std::strncmp(variant, "main", 4) == 0) {  // "main" or "main:N" with tab N shown
    // The folders of the run, so the window shows the favourites of the data folder.
    norvane::ServiceEndpoints::initialize();
    auto* frame = new norvane::CMainFrame();
    frame->create(nullptr);
    static const char* const tabs[] = {"tabQuMing", "tabFengXi", "tabBaGua", "tabXiaoMing", "tabFenxiXiaoMing", "tabFavorites"};
    int tab = variant[4] == ':' ? std::atoi(variant + 5) : 0;
    if (tab >= 0 && tab < 6) {
      if (auto* b = frame->control<QAbstractButton>(QString::fromLatin1(tabs[tab]))) b->click();
    }
    frame->centerWindow();
    frame->show();
    return app.exec();
  }
  int flags = norvane::MB_INFORMATION_ICON;
  if (std::strcmp(variant, "error") == 0) flags = norvane::MB_ERROR_ICON;
  if (std::strcmp(variant, "warn") == 0) flags = norvane::MB_WARNING_ICON;
  if (std::strcmp(variant, "twobutton") == 0) flags = norvane::MB_YESNO_BUTTONS;
  int result = norvane::ShowMessageText(text, QStringLiteral("提示"), nullptr, flags);
  std::printf("result %d\n", result);
  return 0;
}
