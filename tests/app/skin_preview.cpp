// Shows one window of the program for screenshots and manual checks:
//   norvane_skin_preview info|error|warn|twobutton|main[:TAB] [text]
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
