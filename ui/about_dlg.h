// The About box, opened from the "?" button and the system menu.
#pragma once

#include "framework/dialog.h"
#include "resource.h"

class CAboutDlg : public win::Dialog {
 public:
  CAboutDlg() : Dialog(IDD_ABOUTBOX) {}
};
