#include <gtest/gtest.h>

#include "channel_colors_dlg.h"
#include "resource.h"
#include "memory_registry.h"
#include "ui_harness.h"

namespace {

using namespace uitest;
using chromatte::MemoryRegistry;

void PutChannel(MemoryRegistry& registry, const std::string& path, int slot, const std::string& name,
                const std::string& password, std::uint32_t color) {
  const std::string n = std::to_string(slot);
  registry.PutString(path, "Channel" + n, name);
  registry.PutDword(path, "Channel" + n + "color", color);
  registry.PutString(path, "Channel" + n + "pwd", password);
}

TEST(MainWindowSmoke, ShowsAndLeaves) {
  MemoryRegistry registry;
  PutChannel(registry, chromatte::ChannelKeyPath("Aldric"), 0, "Commerce", "", 0x0000FF);
  PutChannel(registry, chromatte::ChannelKeyPath("Aldric"), 1, "Guilde", "pw", 0x00FF00);
  CChannelColorsDlg dialog(registry);
  const INT_PTR result = RunModal(dialog, nullptr, [&](HWND window) {
    EXPECT_EQ((std::vector<std::string>{"Commerce", "Guilde"}), ListTexts(GetDlgItem(window, IDC_CHANNEL_LIST)));
    EXPECT_EQ((std::vector<std::string>{"Commerce", "Guilde"}), ListTexts(GetDlgItem(window, IDC_POOL_LIST)));
    EXPECT_EQ(GetDlgItem(window, IDCANCEL), GetFocus());
    ModalAnswers answers;
    answers.Expect(AnswerColor(0x123456));
    DoubleClickItem(GetDlgItem(window, IDC_CHANNEL_LIST), 1);
    EXPECT_EQ((std::vector<COLORREF>{0x0000FF, 0x123456}), ListColors(GetDlgItem(window, IDC_CHANNEL_LIST)));
    EXPECT_TRUE(IsItemEnabled(window, IDOK));
    ClickButton(window, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, result);
  ASSERT_NE(nullptr, registry.FindValue(chromatte::kOwnKeyPath, "Channel1"));
}

}  // namespace
