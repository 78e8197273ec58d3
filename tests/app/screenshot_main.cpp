// Saves a picture of the main window: quorvane-screenshot OUT.png
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "app/main_dialog.h"
#include "app/user_prompts.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) return 2;
  quorvane::app::QtUserPrompts prompts;
  quorvane::app::MainDialog dialog(prompts);
  dialog.show();
  QTimer::singleShot(500, [&] {
    dialog.grab().save(QString::fromLocal8Bit(argv[1]));
    dialog.accept();
    application.quit();
  });
  return application.exec();
}
