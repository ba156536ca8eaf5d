// The application object, run from WinMain, and the message boxes and
// strings that take their caption and text from it and its resources.
#pragma once

#include <windows.h>

#include <string>

namespace win {

class Application {
 public:
  // The title, string resource `title_id`, captions every message box.
  // String `out_of_memory_id` tells the user that a command ran out of
  // memory, `failed_id` that it failed otherwise; both are loaded here, as
  // there may be no memory left to load them when they are shown.
  Application(UINT title_id, UINT out_of_memory_id, UINT failed_id);
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Runs the program; its result is the process's exit code.
  int Run();
  static const std::string& Title();
  static const std::string& OutOfMemoryText();
  static const std::string& FailedText();

 protected:
  // Runs the main window; the program ends when it returns.
  virtual void InitInstance() = 0;

 private:
  std::string title_;
  std::string out_of_memory_text_;
  std::string failed_text_;
};

// A string of the program's string table; empty when there is none.
std::string LoadResourceString(UINT id);

// A message box captioned with the application's title.
int ShowMessage(HWND owner, const std::string& text, UINT style);

}  // namespace win
