// The main window: the pool on the left, the selected account's channels on
// the right, and the commands between them. It reaches the registry only
// through the Registry it is given.
#pragma once

#include <string>

#include "channel_store.h"
#include "channel_table.h"
#include "color_list_box.h"
#include "framework/combo_box.h"
#include "framework/dialog.h"

class CChannelColorsDlg : public win::Dialog, private chromatte::PoolLoadObserver {
 public:
  // The colour of every channel made with "Créer", a light cyan.
  static const COLORREF NEW_CHANNEL_COLOR = 0x00FFFF80;

  explicit CChannelColorsDlg(chromatte::Registry& registry);

  const chromatte::ChannelTable& channels() const { return m_channels; }
  const chromatte::ChannelTable& pool() const { return m_pool; }
  // The pool entry that pool list item `item` shows.
  int PoolEntryOfItem(int item) const { return m_poolEntryOfItem[item]; }

 protected:
  void DoDataExchange(win::DataExchange& exchange) override;
  bool OnInitDialog() override;
  // "Valider": saves the selected account's channels; the window stays open.
  void OnOK() override;
  // "Quitter", Escape and the close box: saves the pool, then closes.
  void OnCancel() override;
  bool OnCommand(int id, int code) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;

 private:
  // Start-up and loading.
  void LoadAccounts();
  void LoadPool();
  void LoadAccountChannels(const std::string& account);
  void ShowChannels();
  void OnPoolEntryAdded(int entry) override;
  void OnAccountUnreadable(const std::string& account) override;
  void AppendPoolItem(int entry);
  bool MergeOwnKeyChanges(int* lost);
  // Signing out or shutting down: the pool is saved as leaving saves it, and
  // the window ends.
  void OnEndSession();
  // Writes the pool as leaving does, asking where that would lose channels
  // or this run's changes, when `can_ask`; with nobody to ask, the own key
  // keeps what it holds. True when the window may close.
  bool SavePoolOnLeaving(bool can_ask);

  // Account channel commands.
  void OnAccountSelChange();
  void OnAddToAccount();
  void OnRemoveFromAccount();
  void OnChannelDblClk();

  // Pool commands.
  void OnPoolSelChange();
  void OnCreateChannel();
  void OnEditChannel();
  void OnDeleteChannels();
  void OnPoolDblClk();

  // Window.
  void OnAboutButton();
  // F1 and the help command: what the window's lists and buttons do.
  void ShowHelp();
  bool OnSysCommand(UINT command);
  bool OnPaint();

  bool Recolor(CColorListBox& list, int item, chromatte::ColorRef* color);
  [[noreturn]] void ExitWithError(UINT text_id);
  void ShowError(const std::string& text);
  bool Ask(UINT text_id, UINT style);

  chromatte::Registry& m_registry;
  CColorListBox m_poolList;
  win::ComboBox m_accountCombo;
  CColorListBox m_channelList;
  chromatte::AccountList m_accounts;
  chromatte::ChannelTable m_channels;
  // The selected account's channel key as its list was read or last saved.
  chromatte::KeyStamp m_channelsStamp;
  chromatte::ChannelTable m_pool;
  chromatte::PoolOrigin m_poolOrigin;
  // "Editer" moves an item to the end of the pool list while its entry keeps
  // its place, so every pool command goes through this map.
  int m_poolEntryOfItem[chromatte::kMaxChannels] = {};
  HICON m_hIcon;
};
