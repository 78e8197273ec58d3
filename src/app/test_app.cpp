#include "app/test_app.h"

#include "app/main_dialog.h"
#include "app/user_prompts.h"

namespace quorvane::app {

bool TestApp::InitInstance() {
  QtUserPrompts prompts;
  MainDialog dialog(prompts);
  dialog.exec();
  return false;
}

}  // namespace quorvane::app
