// The name/password dialog of "Créer" and "Editer".
#pragma once

#include <string>

#include "framework/dialog.h"

class CChannelEditDlg : public win::Dialog {
 public:
  CChannelEditDlg();

  // Set before DoModal; after IDOK they hold what the fields held.
  std::string m_name;
  std::string m_password;

 protected:
  void DoDataExchange(win::DataExchange& exchange) override;
  bool OnInitDialog() override;
  bool OnCommand(int id, int code) override;

 private:
  void OnFieldChange();
};
