// The name/password dialog run modally from its template.
#include <gtest/gtest.h>

#include <string>

#include "channel_edit_dlg.h"
#include "resource.h"
#include "ui_harness.h"

namespace {

using chromatte::test::RunModal;
using chromatte::test::WindowText;

TEST(ChannelEditDialog, OpensOnOkWithTheInitialValuesAndEnterKeepsThemWhole) {
  CChannelEditDlg dialog;
  dialog.m_name = "Guilde";
  dialog.m_password = "s\xE9same";
  const INT_PTR result = RunModal(dialog, nullptr, [&](HWND window) {
    EXPECT_EQ("Guilde", WindowText(GetDlgItem(window, IDC_NAME)));
    EXPECT_EQ("s\xE9same", WindowText(GetDlgItem(window, IDC_PASSWORD)));
    EXPECT_EQ(GetDlgItem(window, IDOK), GetFocus());
    for (int field : {IDC_NAME, IDC_PASSWORD})
      EXPECT_EQ(255, SendDlgItemMessageA(window, field, EM_GETLIMITTEXT, 0, 0)) << field;
    chromatte::test::PressKey(window, VK_RETURN);
  });
  EXPECT_EQ(IDOK, result);
  EXPECT_EQ("Guilde", dialog.m_name);
  EXPECT_EQ("s\xE9same", dialog.m_password);
}

TEST(ChannelEditDialog, MembersFollowTheFieldsAndCancelSaysSo) {
  CChannelEditDlg dialog;
  dialog.m_name = "Guilde";
  dialog.m_password = "ancien";
  const INT_PTR result = RunModal(dialog, nullptr, [&](HWND window) {
    SetDlgItemTextA(window, IDC_NAME, "Raid");
    EXPECT_EQ("Raid", dialog.m_name);
    EXPECT_EQ("ancien", dialog.m_password);
    SetDlgItemTextA(window, IDC_PASSWORD, "nouveau");
    EXPECT_EQ("Raid", dialog.m_name);
    EXPECT_EQ("nouveau", dialog.m_password);
    chromatte::test::ClickButton(window, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, result);
}

}  // namespace
