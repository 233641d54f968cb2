// velkin-gui: the window.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "ui/main_window.h"
#include "version/version.h"

int main(int argc, char** argv) {
  // Without a display and without a chosen platform, Qt would abort; say why instead.
  const bool hasDisplay = std::getenv("DISPLAY") != nullptr ||
                          std::getenv("WAYLAND_DISPLAY") != nullptr ||
                          std::getenv("QT_QPA_PLATFORM") != nullptr;
  bool platformArgument = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "-platform") platformArgument = true;
  }
  if (!hasDisplay && !platformArgument) {
    std::fprintf(stderr,
                 "velkin-gui: no display (set DISPLAY, start it under xvfb-run, or set "
                 "QT_QPA_PLATFORM)\n");
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QLatin1String(velkin::kProgramName));
  QApplication::setApplicationVersion(QLatin1String(velkin::kVersion));
  velkin::TForm1 form;
  form.show();
  return QApplication::exec();
}
