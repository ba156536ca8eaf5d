#include "application.h"

#include <commctrl.h>

namespace win {
namespace {

Application* current_application = nullptr;

const std::string kNoText;

}  // namespace

Application::Application(UINT title_id, UINT out_of_memory_id, UINT failed_id)
    : title_(LoadResourceString(title_id)),
      out_of_memory_text_(LoadResourceString(out_of_memory_id)),
      failed_text_(LoadResourceString(failed_id)) {
  current_application = this;
}

Application::~Application() {
  if (current_application == this) current_application = nullptr;
}

int Application::Run() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  InitInstance();
  return 0;
}

const std::string& Application::Title() { return current_application ? current_application->title_ : kNoText; }

const std::string& Application::OutOfMemoryText() {
  return current_application ? current_application->out_of_memory_text_ : kNoText;
}

const std::string& Application::FailedText() {
  return current_application ? current_application->failed_text_ : kNoText;
}

std::string LoadResourceString(UINT id) {
  // LoadStringA cannot report a string's length, so ask for the resource itself.
  const wchar_t* text = nullptr;
  const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
  return result;
}

int ShowMessage(HWND owner, const std::string& text, UINT style) {
  return MessageBoxA(owner, text.c_str(), Application::Title().c_str(), style);
}

}  // namespace win
