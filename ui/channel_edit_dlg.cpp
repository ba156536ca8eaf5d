#include "channel_edit_dlg.h"

#include "resource.h"

// Every reader of these values, the game client's too, takes back names and
// passwords of up to 255 characters.
static const int kMaxFieldLength = 255;

CChannelEditDlg::CChannelEditDlg() : Dialog(IDD_CHANNEL_EDIT) {}

void CChannelEditDlg::DoDataExchange(win::DataExchange& exchange) {
  exchange.Text(IDC_NAME, m_name);
  exchange.Text(IDC_PASSWORD, m_password);
}

bool CChannelEditDlg::OnInitDialog() {
  SendDlgItemMessageA(handle(), IDC_NAME, EM_LIMITTEXT, kMaxFieldLength, 0);
  SendDlgItemMessageA(handle(), IDC_PASSWORD, EM_LIMITTEXT, kMaxFieldLength, 0);
  return Dialog::OnInitDialog();
}

bool CChannelEditDlg::OnCommand(int id, int code) {
  static const win::CommandMapEntry<CChannelEditDlg> kCommandMap[] = {
      {IDC_NAME, EN_CHANGE, &CChannelEditDlg::OnFieldChange},
      {IDC_PASSWORD, EN_CHANGE, &CChannelEditDlg::OnFieldChange},
  };
  return Dispatch(this, kCommandMap, id, code);
}

// The members follow the fields while the dialog is open.
void CChannelEditDlg::OnFieldChange() { UpdateData(true); }
