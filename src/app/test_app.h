// The application object: shows the main window modally; the program ends
// when it closes.
#pragma once

namespace quorvane::app {

class TestApp {
 public:
  // Shows MainDialog modally and returns false once it closes, so the
  // process ends without an event loop of its own.
  bool InitInstance();
};

}  // namespace quorvane::app
