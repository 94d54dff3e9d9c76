// The program's entry: the entry routine with the main window.
#include "app/application.h"
#include "ui/main_frame.h"

int main(int argc, char** argv) {
  return norvane::RunApplication(argc, argv, [] { return new norvane::CMainFrame(); });
}
