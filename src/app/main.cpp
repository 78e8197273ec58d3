// quorvane-gui: the window.
#include <QApplication>

#include "app/test_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  quorvane::app::TestApp app;
  return app.InitInstance() ? application.exec() : 0;
}
