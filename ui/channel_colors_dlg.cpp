#include "channel_colors_dlg.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string_view>
#include <utility>

#include "about_dlg.h"
#include "channel_edit_dlg.h"
#include "framework/application.h"
#include "framework/color_picker.h"
#include "resource.h"

namespace {

const UINT kQuestion = MB_YESNO | MB_ICONQUESTION;
// A question whose "Oui" would lose data: "Non", the default, keeps it.
const UINT kWarning = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;

using chromatte::IfChanged;
using chromatte::ReadResult;
using chromatte::SaveResult;

// A string of the string table with one printf argument filled in.
template <class Argument>
std::string FormatResourceString(UINT id, Argument argument) {
  const std::string format = win::LoadResourceString(id);
  const int length = std::snprintf(nullptr, 0, format.c_str(), argument);
  if (length < 0) return format;
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(&text[0], text.size(), format.c_str(), argument);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// Why the user is asked before a save writes over a key that it refused, as
// it may hold channels that the list lacks.
UINT OverwriteQuestion(SaveResult refused) {
  switch (refused) {
    case SaveResult::kChanged:
      return IDS_CHANNELS_CHANGED;
    case SaveResult::kReadInPart:
      return IDS_CHANNELS_UNREAD;
    default:
      return IDS_CHANNELS_UNVERIFIED;
  }
}

// Appends an entry to `table` and its item to `list`: both, or neither when
// memory runs out, as the strings are copied before either changes. Returns
// the item, or -1 when the table is full.
int AppendInStep(chromatte::ChannelTable& table, CColorListBox& list, std::string name, std::string password,
                 COLORREF color) {
  if (table.IsFull()) return -1;
  const int item = list.InsertColorItem(name, color);
  table.Append(std::move(name), std::move(password), color);
  return item;
}

}  // namespace

CChannelColorsDlg::CChannelColorsDlg(chromatte::Registry& registry)
    : Dialog(IDD_MAIN_DIALOG),
      m_registry(registry),
      m_hIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {
  // Until the start-up has read the own key, the pool holds none of it: the
  // end of a session during the start-up's messages writes nothing.
  m_poolOrigin.own_key.read_in_part = true;
}

void CChannelColorsDlg::DoDataExchange(win::DataExchange& exchange) {
  exchange.Control(IDC_POOL_LIST, m_poolList);
  exchange.Control(IDC_ACCOUNT_COMBO, m_accountCombo);
  exchange.Control(IDC_CHANNEL_LIST, m_channelList);
}

bool CChannelColorsDlg::OnCommand(int id, int code) {
  static const win::CommandMapEntry<CChannelColorsDlg> kCommandMap[] = {
      {IDC_CHANNEL_LIST, LBN_DBLCLK, &CChannelColorsDlg::OnChannelDblClk},
      {IDC_ACCOUNT_COMBO, CBN_SELCHANGE, &CChannelColorsDlg::OnAccountSelChange},
      {IDC_ABOUT, BN_CLICKED, &CChannelColorsDlg::OnAboutButton},
      {IDC_POOL_LIST, LBN_DBLCLK, &CChannelColorsDlg::OnPoolDblClk},
      {IDC_ADD, BN_CLICKED, &CChannelColorsDlg::OnAddToAccount},
      {IDC_REMOVE, BN_CLICKED, &CChannelColorsDlg::OnRemoveFromAccount},
      {IDC_POOL_LIST, LBN_SELCHANGE, &CChannelColorsDlg::OnPoolSelChange},
      {IDC_EDIT, BN_CLICKED, &CChannelColorsDlg::OnEditChannel},
      {IDC_CREATE, BN_CLICKED, &CChannelColorsDlg::OnCreateChannel},
      {IDC_DELETE, BN_CLICKED, &CChannelColorsDlg::OnDeleteChannels},
      {win::ID_HELP, 0, &CChannelColorsDlg::ShowHelp},
  };
  return Dispatch(this, kCommandMap, id, code);
}

bool CChannelColorsDlg::OnMessage(UINT message, WPARAM wparam, LPARAM, LRESULT* result) {
  switch (message) {
    case WM_SYSCOMMAND:
      return OnSysCommand(static_cast<UINT>(wparam));
    case WM_PAINT:
      return OnPaint();
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<LRESULT>(m_hIcon);
      return true;
    // Signing out or shutting down. WM_QUERYENDSESSION has the default
    // answer, TRUE, and writes nothing: the end may still be cancelled.
    case WM_ENDSESSION:
      if (wparam) OnEndSession();
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// Start-up

bool CChannelColorsDlg::OnInitDialog() {
  Dialog::OnInitDialog();

  if (const HMENU menu = GetSystemMenu(handle(), FALSE)) {
    const std::string about = win::LoadResourceString(IDS_ABOUTBOX);
    if (!about.empty()) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
  }
  Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  LoadAccounts();
  // The window is still hidden: nothing repaints per added item.
  m_accountCombo.Send(WM_SETREDRAW, FALSE);
  for (int i = 0; i < m_accounts.count; ++i) m_accountCombo.AddString(m_accounts.names[i]);
  m_accountCombo.SetCurSel(0);
  m_accountCombo.Send(WM_SETREDRAW, TRUE);
  {
    // The pool list fills as the pool loads.
    CColorListBox::Fill fill(m_poolList, chromatte::kMaxChannels);
    LoadPool();
  }
  LoadAccountChannels(m_accounts.names[0]);
  ShowChannels();
  EnableItem(IDC_CREATE, !m_pool.IsFull());
  return true;
}

void CChannelColorsDlg::LoadAccounts() {
  if (!chromatte::LoadAccounts(m_registry, &m_accounts)) ExitWithError(IDS_GAME_KEY_UNREADABLE);
  if (m_accounts.count == 0) ExitWithError(IDS_NO_ACCOUNT);
}

void CChannelColorsDlg::LoadPool() {
  chromatte::LoadPool(m_registry, m_accounts, &m_pool, &m_poolOrigin, *this);
  if (m_poolOrigin.own_key.read_in_part) ShowError(win::LoadResourceString(IDS_POOL_READ_IN_PART));
}

void CChannelColorsDlg::OnPoolEntryAdded(int entry) { AppendPoolItem(entry); }

void CChannelColorsDlg::OnAccountUnreadable(const std::string&) {
  ShowError(win::LoadResourceString(IDS_POOL_ACCOUNT_UNREADABLE));
}

void CChannelColorsDlg::LoadAccountChannels(const std::string& account) {
  const ReadResult read = chromatte::LoadAccountChannels(m_registry, account, &m_channels, &m_channelsStamp);
  if (read == ReadResult::kUnreadable) ShowError(FormatResourceString(IDS_CHANNELS_UNREADABLE, account.c_str()));
  if (read == ReadResult::kInPart) ShowError(FormatResourceString(IDS_CHANNELS_READ_IN_PART, account.c_str()));
}

void CChannelColorsDlg::ShowChannels() {
  m_channelList.ResetContent();
  CColorListBox::Fill fill(m_channelList, m_channels.count);
  for (int i = 0; i < m_channels.count; ++i) m_channelList.InsertColorItem(m_channels.names[i], m_channels.colors[i]);
}

void CChannelColorsDlg::AppendPoolItem(int entry) {
  m_poolEntryOfItem[m_poolList.InsertColorItem(m_pool.names[entry], m_pool.colors[entry])] = entry;
}

// ---------------------------------------------------------------------------
// Saving and leaving

void CChannelColorsDlg::OnOK() {
  const int account = m_accountCombo.GetCurSel();
  if (account < 0 || account >= m_accounts.count) return;
  const std::string& name = m_accounts.names[account];
  SaveResult saved = chromatte::SaveAccountChannels(m_registry, name, m_channels, &m_channelsStamp, IfChanged::kRefuse);
  // The game client or a second copy wrote the key since it was read, or it
  // was not read whole: its channels stay unless the user says otherwise.
  if (chromatte::Refused(saved)) {
    if (!Ask(OverwriteQuestion(saved), kWarning)) return;
    saved = chromatte::SaveAccountChannels(m_registry, name, m_channels, &m_channelsStamp, IfChanged::kOverwrite);
  }
  if (saved == SaveResult::kSaved)
    EnableItem(IDOK, false);
  else
    ShowError(win::LoadResourceString(IDS_CHANNELS_NOT_SAVED));
}

void CChannelColorsDlg::OnCancel() {
  if (SavePoolOnLeaving(true)) Dialog::OnCancel();
}

void CChannelColorsDlg::OnEndSession() {
  SavePoolOnLeaving(false);
  Dialog::OnCancel();
}

bool CChannelColorsDlg::SavePoolOnLeaving(bool can_ask) {
  // A question whose "Non" keeps what the own key holds; at the end of the
  // session nobody is there to answer it.
  const auto confirm = [&](const std::string& question) {
    return can_ask && ShowMessage(question, kWarning) == IDYES;
  };
  SaveResult saved = chromatte::SavePool(m_registry, m_pool, &m_poolOrigin.own_key, IfChanged::kRefuse);
  // An own key that the start-up could not read whole is never written: the
  // pool lacks some of its channels, and holds an account's colour and
  // password for others, which no merge can tell from the user's changes.
  if (saved == SaveResult::kReadInPart) return confirm(win::LoadResourceString(IDS_POOL_UNREAD));
  // A second copy has left since this one started, saving its pool: the
  // channels this pool lacks come into it first. A key that cannot be read
  // to its end is not written over: the pool counts as not saved.
  if (chromatte::Refused(saved)) {
    int lost = 0;
    const bool merged = MergeOwnKeyChanges(&lost);
    if (merged && lost > 0 && !confirm(FormatResourceString(IDS_POOL_CHANNELS_LOST, lost))) return false;
    saved = merged ? chromatte::SavePool(m_registry, m_pool, &m_poolOrigin.own_key, IfChanged::kOverwrite)
                   : SaveResult::kFailed;
  }
  // Leaving without the pool loses its changes.
  return saved == SaveResult::kSaved || confirm(win::LoadResourceString(IDS_POOL_NOT_SAVED));
}

bool CChannelColorsDlg::MergeOwnKeyChanges(int* lost) {
  const bool merged = chromatte::MergeOwnKeyChanges(m_registry, &m_pool, &m_poolOrigin, *this, lost);
  EnableItem(IDC_CREATE, !m_pool.IsFull());
  m_poolList.Redraw();
  return merged;
}

// ---------------------------------------------------------------------------
// Account channel commands

void CChannelColorsDlg::OnAccountSelChange() {
  const int account = m_accountCombo.GetCurSel();
  if (account < 0 || account >= m_accounts.count) return;
  EnableItem(IDOK, false);
  try {
    LoadAccountChannels(m_accounts.names[account]);
    ShowChannels();
  } catch (...) {
    // Part of a list, saved, would delete the rest: show none, and a save
    // over the key asks first.
    m_channels.count = 0;
    m_channelsStamp.read_in_part = true;
    m_channelList.ResetContent();
    throw;
  }
}

void CChannelColorsDlg::OnAddToAccount() {
  std::set<std::string_view> left_out;  // two pool channels of one name are one channel
  for (int item = 0; item < m_pool.count; ++item) {
    if (!m_poolList.IsSelected(item)) continue;
    const int entry = m_poolEntryOfItem[item];
    const std::string& name = m_pool.names[entry];
    if (m_channels.FindByName(name) != m_channels.count) continue;
    if (AppendInStep(m_channels, m_channelList, name, m_pool.passwords[entry], m_pool.colors[entry]) < 0) {
      left_out.insert(name);
      continue;
    }
    EnableItem(IDOK, true);
  }
  m_channelList.Redraw();
  if (!left_out.empty()) ShowError(FormatResourceString(IDS_CHANNELS_LEFT_OUT, static_cast<int>(left_out.size())));
}

void CChannelColorsDlg::OnRemoveFromAccount() {
  const CColorListBox::Selection selected = m_channelList.SelectedItems(m_channels.count);
  if (selected.any()) {
    m_channelList.DeleteItems(selected);
    m_channels.RemoveMarked(selected);
    EnableItem(IDOK, true);
  }
  m_channelList.Redraw();
}

void CChannelColorsDlg::OnChannelDblClk() {
  const int item = m_channelList.GetCurSel();
  if (item >= 0 && item < m_channels.count && Recolor(m_channelList, item, &m_channels.colors[item]))
    EnableItem(IDOK, true);
  m_channelList.Redraw();
}

// ---------------------------------------------------------------------------
// Pool commands

void CChannelColorsDlg::OnPoolSelChange() {
  EnableItem(IDC_EDIT, true);
  EnableItem(IDC_DELETE, true);
}

void CChannelColorsDlg::OnCreateChannel() {
  CChannelEditDlg edit;
  if (edit.DoModal(handle()) == IDOK && !edit.m_name.empty()) {
    const int existing = m_pool.FindByName(edit.m_name);
    if (existing != m_pool.count) {
      if (Ask(IDS_CHANNEL_EXISTS, kQuestion)) m_pool.passwords[existing] = edit.m_password;
    } else {
      const int item = AppendInStep(m_pool, m_poolList, edit.m_name, edit.m_password, NEW_CHANNEL_COLOR);
      if (item >= 0) m_poolEntryOfItem[item] = m_pool.count - 1;
      EnableItem(IDC_CREATE, !m_pool.IsFull());
    }
  }
  m_poolList.Redraw();
}

void CChannelColorsDlg::OnEditChannel() {
  // The caret item of an extended-selection list may be unselected: after a
  // Ctrl+click, a deletion or an edit, it is no channel the user chose.
  const int item = m_poolList.GetCurSel();
  if (item < 0 || item >= m_pool.count || !m_poolList.IsSelected(item)) return;
  const int entry = m_poolEntryOfItem[item];
  CChannelEditDlg edit;
  edit.m_name = m_pool.names[entry];
  edit.m_password = m_pool.passwords[entry];
  if (edit.DoModal(handle()) == IDOK) {
    // The edited channel's item moves to the end of the list. Its new item
    // comes first: if memory runs out there, nothing has changed.
    m_poolList.InsertColorItem(edit.m_name, m_pool.colors[entry]);
    m_pool.names[entry].swap(edit.m_name);
    m_pool.passwords[entry].swap(edit.m_password);
    m_poolList.DeleteString(item);
    for (int later = item + 1; later < m_pool.count; ++later) m_poolEntryOfItem[later - 1] = m_poolEntryOfItem[later];
    m_poolEntryOfItem[m_pool.count - 1] = entry;
  }
  m_poolList.Redraw();
}

void CChannelColorsDlg::OnDeleteChannels() {
  if (m_poolList.GetSelCount() <= 0) return;
  if (Ask(IDS_CONFIRM_DELETE, kQuestion)) {
    const CColorListBox::Selection items = m_poolList.SelectedItems(m_pool.count);
    CColorListBox::Selection entries;
    for (int item = 0; item < m_pool.count; ++item)
      if (items.test(item)) entries.set(m_poolEntryOfItem[item]);
    // Each kept entry moves down by the number of removed entries before it.
    int removed_before[chromatte::kMaxChannels];
    for (int entry = 0, removed = 0; entry < m_pool.count; ++entry) {
      removed_before[entry] = removed;
      if (entries.test(entry)) ++removed;
    }
    int kept = 0;
    for (int item = 0; item < m_pool.count; ++item) {
      if (items.test(item)) continue;
      const int entry = m_poolEntryOfItem[item];
      m_poolEntryOfItem[kept++] = entry - removed_before[entry];
    }
    m_poolList.DeleteItems(items);
    m_pool.RemoveMarked(entries);
  }
  if (m_pool.count == 0) EnableItem(IDC_DELETE, false);
  EnableItem(IDC_CREATE, !m_pool.IsFull());
  m_poolList.Redraw();
}

void CChannelColorsDlg::OnPoolDblClk() {
  const int item = m_poolList.GetCurSel();
  if (item >= 0 && item < m_pool.count && Recolor(m_poolList, item, &m_pool.colors[m_poolEntryOfItem[item]]))
    EnableItem(IDOK, true);
  m_poolList.Redraw();
}

bool CChannelColorsDlg::Recolor(CColorListBox& list, int item, chromatte::ColorRef* color) {
  COLORREF chosen = 0;
  if (!win::PickColor(handle(), *color, &chosen)) return false;
  *color = chosen;
  list.SetItemData(item, chosen);
  return true;
}

// ---------------------------------------------------------------------------
// Window

void CChannelColorsDlg::OnAboutButton() { CAboutDlg().DoModal(handle()); }

void CChannelColorsDlg::ShowHelp() { ShowMessage(win::LoadResourceString(IDS_HELP), MB_ICONINFORMATION | MB_OK); }

bool CChannelColorsDlg::OnSysCommand(UINT command) {
  if ((command & 0xFFF0) != IDM_ABOUTBOX) return false;
  OnAboutButton();
  return true;
}

bool CChannelColorsDlg::OnPaint() {
  if (!IsIconic(handle())) return false;
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(handle(), &paint);
  Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(handle(), &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  if (m_hIcon) DrawIcon(dc, x, y, m_hIcon);
  EndPaint(handle(), &paint);
  return true;
}

[[noreturn]] void CChannelColorsDlg::ExitWithError(UINT text_id) {
  ShowError(win::LoadResourceString(text_id));
  std::exit(0);
}

void CChannelColorsDlg::ShowError(const std::string& text) { ShowMessage(text, MB_ICONERROR); }

bool CChannelColorsDlg::Ask(UINT text_id, UINT style) {
  return ShowMessage(win::LoadResourceString(text_id), style) == IDYES;
}
