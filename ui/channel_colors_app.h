// The application: runs the main window on the real registry.
#pragma once

#include "channel_colors_dlg.h"
#include "framework/application.h"
#include "resource.h"
#include "win32_registry.h"

class CChannelColorsApp : public win::Application {
 public:
  CChannelColorsApp() : Application(IDS_APP_TITLE, IDS_OUT_OF_MEMORY, IDS_COMMAND_FAILED) {}

 protected:
  void InitInstance() override {
    chromatte::Win32Registry registry;
    CChannelColorsDlg dialog(registry);
    dialog.DoModal(nullptr);
  }
};
