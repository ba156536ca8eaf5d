// Times Chromatte on the real registry and with its real main window, with
// the heaviest content the program takes, against floors measured in the
// same runs: the cheapest plain reading of the same registry values, the
// main window's template shown empty, and the saves' writes made with the
// plain calls. Runs in a scratch HKEY_CURRENT_USER, so the user's own
// registry is never read or written.
//
//   wine_timing.exe [runs]     (default 7)
//
// Every figure is the median of the runs, with the smallest and largest.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "channel_colors_dlg.h"
#include "channel_store.h"
#include "data_set.h"
#include "registry_fixtures.h"
#include "resource.h"
#include "scratch_hkcu.h"
#include "ui_harness.h"
#include "win32_registry.h"

namespace {

using chromatte::bench::Shape;

double Now() {
  static const double ms_per_tick = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 / static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER ticks;
  QueryPerformanceCounter(&ticks);
  return static_cast<double>(ticks.QuadPart) * ms_per_tick;
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "wine_timing: %s\n", what.c_str());
  std::fflush(stderr);
  std::exit(1);
}

// ---------------------------------------------------------------------------
// The data set, written with the plain registry calls.

void WriteDataSet(chromatte::test::ScratchHkcu& scratch, Shape shape) {
  if (!scratch.Clear()) Fail("cannot clear the scratch key");
  std::string open_path;
  HKEY key = nullptr;
  chromatte::bench::ForEachValue(shape, [&](const std::string& path, const std::string& name, std::uint32_t type,
                                            const void* data, std::uint32_t size) {
    if (path != open_path) {
      if (key) RegCloseKey(key);
      key = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        Fail("cannot create " + path);
      open_path = path;
    }
    if (RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
      Fail("cannot write " + path + " " + name);
  });
  if (key) RegCloseKey(key);
}

// ---------------------------------------------------------------------------
// The floor: the same values read once, by enumeration.

std::vector<std::string> EnumerateAccounts() {
  std::vector<std::string> accounts;
  HKEY game = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, chromatte::kGameKeyPath, 0, KEY_READ, &game) != ERROR_SUCCESS)
    Fail("no game key");
  char name[256];
  for (DWORD i = 0; i < static_cast<DWORD>(chromatte::kMaxAccounts) &&
                    RegEnumKeyA(game, i, name, sizeof name) == ERROR_SUCCESS;
       ++i)
    accounts.push_back(name);
  RegCloseKey(game);
  return accounts;
}

// Reads every value of the key, names and data; returns how many.
int EnumerateValues(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) Fail("cannot open " + path);
  int values = 0;
  for (DWORD i = 0;; ++i) {
    char name[256];
    BYTE data[256];
    DWORD name_size = sizeof name;
    DWORD data_size = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &name_size, nullptr, &type, data, &data_size) != ERROR_SUCCESS) break;
    ++values;
  }
  RegCloseKey(key);
  return values;
}

void OpenAndClose(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) Fail("cannot open " + path);
  RegCloseKey(key);
}

// Reads the names "Channel0", "Channel1", ... up to the first missing one.
int QueryNames(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) Fail("cannot open " + path);
  int names = 0;
  for (;; ++names) {
    char name[256];
    DWORD size = sizeof name;
    if (RegQueryValueExA(key, chromatte::bench::SlotName(names, "").c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(name), &size) != ERROR_SUCCESS)
      break;
  }
  RegCloseKey(key);
  return names;
}

// Floor A: every value of the own key and of the 100 channel keys (with the
// account names that lead to them), each read once.
int FloorAll() {
  const std::vector<std::string> accounts = EnumerateAccounts();
  int values = EnumerateValues(chromatte::kOwnKeyPath);
  for (const std::string& account : accounts) values += EnumerateValues(chromatte::ChannelKeyPath(account));
  return values;
}

// Floor B: only the values that this start-up has to read, each once, in
// the cheapest plain way: the own key's and the first account's by
// enumeration; of the other accounts, the names when the merge reads them
// (one query each: enumerating would read colours and passwords too), and
// otherwise nothing, the key being only opened as the merge opens it.
int FloorNeeded(Shape shape) {
  const std::vector<std::string> accounts = EnumerateAccounts();
  int values = EnumerateValues(chromatte::kOwnKeyPath);
  for (std::size_t i = 0; i < accounts.size(); ++i) {
    const std::string path = chromatte::ChannelKeyPath(accounts[i]);
    if (i == 0)
      values += EnumerateValues(path);
    else if (shape == Shape::kMergeReadsAll)
      values += QueryNames(path);
    else
      OpenAndClose(path);
  }
  return values;
}

// ---------------------------------------------------------------------------
// Floor S: a save made with the plain calls on the data the window saves,
// in the store's order: the key opened and its last-write time read, the
// three values of each channel written over the old ones, the three of every
// slot past the list deleted (most are missing), the key flushed, its
// last-write time read again, and closed.

struct SaveData {
  std::string path;
  REGSAM access;
  std::vector<chromatte::bench::SlotChannel> channels;
};

// "Valider": the first account's channels, as the window read them.
SaveData AccountSave(Shape shape) {
  SaveData save{chromatte::ChannelKeyPath(chromatte::bench::AccountName(0)), KEY_WRITE | KEY_QUERY_VALUE, {}};
  for (int slot = 0; slot < chromatte::bench::kAccountChannels; ++slot)
    save.channels.push_back(chromatte::bench::AccountSlot(shape, 0, slot));
  return save;
}

// Leaving: the pool, which the merge left as the own key holds it.
SaveData PoolSave(Shape shape) {
  SaveData save{chromatte::kOwnKeyPath, KEY_ALL_ACCESS, {}};
  for (int slot = 0; slot < chromatte::bench::OwnKeyChannels(shape); ++slot)
    save.channels.push_back(chromatte::bench::OwnKeySlot(slot));
  return save;
}

double FloorSave(const SaveData& save) {
  const double start = Now();
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, save.path.c_str(), 0, save.access, &key) != ERROR_SUCCESS)
    Fail("cannot open " + save.path);
  FILETIME last_write;
  bool written = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, &last_write) == ERROR_SUCCESS;
  char name[32];
  const int count = static_cast<int>(save.channels.size());
  for (int slot = 0; slot < count; ++slot) {
    const chromatte::bench::SlotChannel& channel = save.channels[slot];
    const DWORD color = channel.color;  // little-endian, as the store writes it
    std::snprintf(name, sizeof name, "Channel%d", slot);
    written &= RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(channel.name.c_str()),
                              static_cast<DWORD>(channel.name.size() + 1)) == ERROR_SUCCESS;
    std::snprintf(name, sizeof name, "Channel%dcolor", slot);
    written &= RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&color), sizeof color) ==
               ERROR_SUCCESS;
    std::snprintf(name, sizeof name, "Channel%dpwd", slot);
    written &= RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(channel.password.c_str()),
                              static_cast<DWORD>(channel.password.size() + 1)) == ERROR_SUCCESS;
  }
  for (int slot = count; slot < chromatte::kMaxChannels; ++slot) {
    for (const char* suffix : {"", "color", "pwd"}) {
      std::snprintf(name, sizeof name, "Channel%d%s", slot, suffix);
      const LONG result = RegDeleteValueA(key, name);
      written &= result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
  }
  written &= RegFlushKey(key) == ERROR_SUCCESS;
  written &= RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, &last_write) == ERROR_SUCCESS;
  RegCloseKey(key);
  const double ms = Now() - start;
  if (!written) Fail("the plain save failed in " + save.path);
  return ms;
}

// ---------------------------------------------------------------------------
// The start-up's reads made with the plain calls, in the store's order and
// with its rules but none of its code: what the store adds on top of them.

bool QueryString(HKEY key, const std::string& name, char* buffer) {
  DWORD size = 256;
  return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) ==
         ERROR_SUCCESS;
}

bool QueryColor(HKEY key, const std::string& name, DWORD* color) {
  DWORD size = 4;
  return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(color), &size) ==
         ERROR_SUCCESS;
}

int RawStartup() {
  const std::vector<std::string> accounts = EnumerateAccounts();
  std::vector<std::string> pool;
  std::unordered_set<std::string> pool_names;
  char name[256];
  char password[256];
  DWORD color = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, chromatte::kOwnKeyPath, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    for (int slot = 0; slot < chromatte::kMaxChannels; ++slot) {
      if (!QueryString(key, chromatte::bench::SlotName(slot, ""), name) ||
          !QueryString(key, chromatte::bench::SlotName(slot, "pwd"), password) ||
          !QueryColor(key, chromatte::bench::SlotName(slot, "color"), &color))
        break;
      pool.push_back(name);
      pool_names.insert(name);
    }
    RegCloseKey(key);
  }
  for (const std::string& account : accounts) {
    if (RegOpenKeyExA(HKEY_CURRENT_USER, chromatte::ChannelKeyPath(account).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
      continue;
    for (int slot = 0; pool.size() < static_cast<std::size_t>(chromatte::kMaxChannels); ++slot) {
      if (!QueryString(key, chromatte::bench::SlotName(slot, ""), name)) break;
      if (pool_names.count(name)) continue;
      if (!QueryColor(key, chromatte::bench::SlotName(slot, "color"), &color) ||
          !QueryString(key, chromatte::bench::SlotName(slot, "pwd"), password))
        break;
      pool.push_back(name);
      pool_names.insert(name);
    }
    RegCloseKey(key);
  }
  int channels = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, chromatte::ChannelKeyPath(accounts[0]).c_str(), 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    for (; channels < chromatte::kMaxChannels; ++channels) {
      if (!QueryString(key, chromatte::bench::SlotName(channels, ""), name) ||
          !QueryString(key, chromatte::bench::SlotName(channels, "pwd"), password) ||
          !QueryColor(key, chromatte::bench::SlotName(channels, "color"), &color))
        break;
    }
    RegCloseKey(key);
  }
  return static_cast<int>(pool.size()) + channels;
}

// ---------------------------------------------------------------------------
// The store's start-up reads, and the window.

struct Tables {
  chromatte::AccountList accounts;
  chromatte::ChannelTable pool;
  chromatte::PoolOrigin origin;
  chromatte::ChannelTable channels;
  chromatte::KeyStamp channels_stamp;
};

struct DataSide {
  double accounts, pool, channels, total;
};

DataSide StoreStartup(chromatte::Registry& registry, Shape shape) {
  auto t = std::make_unique<Tables>();
  chromatte::test::PoolRecorder observer;
  DataSide times{};
  const double start = Now();
  chromatte::LoadAccounts(registry, &t->accounts);
  const double accounts = Now();
  chromatte::LoadPool(registry, t->accounts, &t->pool, &t->origin, observer);
  const double pool = Now();
  chromatte::LoadAccountChannels(registry, t->accounts.names[0], &t->channels, &t->channels_stamp);
  const double end = Now();
  times = {accounts - start, pool - accounts, end - pool, end - start};
  if (t->accounts.count != chromatte::bench::kAccounts || t->pool.count != chromatte::bench::OwnKeyChannels(shape) ||
      t->channels.count != chromatte::bench::kAccountChannels)
    Fail("the store read something else than the data set");
  return times;
}

// ---------------------------------------------------------------------------
// Where the window's own time goes: the time the dialog, its lists and its
// account box spend in chosen messages, seen through a subclass of each.
// Only in the runs that split the start-up, since the subclass costs a
// little; what comes after the window shows is not counted.

enum class Part { kDialog, kLists, kCombo };

class MessageClock {
 public:
  MessageClock() { current_ = this; }
  ~MessageClock() { current_ = nullptr; }
  MessageClock(const MessageClock&) = delete;
  MessageClock& operator=(const MessageClock&) = delete;

  void WatchMainWindow(HWND dialog) {
    Watch(dialog, Part::kDialog, false);
    Watch(GetDlgItem(dialog, IDC_POOL_LIST), Part::kLists, true);
    Watch(GetDlgItem(dialog, IDC_CHANNEL_LIST), Part::kLists, true);
    Watch(GetDlgItem(dialog, IDC_ACCOUNT_COMBO), Part::kCombo, true);
  }
  void Stop() { stopped_ = true; }

  double ms(Part part, std::initializer_list<UINT> messages) const {
    double total = 0;
    for (UINT message : messages) {
      const auto found = ms_.find({part, message});
      if (found != ms_.end()) total += found->second;
    }
    return total;
  }
  // The lists' paint messages, those sent within another counted once.
  double lists_painted() const { return lists_painted_; }

 private:
  struct Watched {
    WNDPROC original;
    Part part;
    bool unicode;
  };

  void Watch(HWND window, Part part, bool unicode) {
    const LONG_PTR proc = reinterpret_cast<LONG_PTR>(&Proc);
    const LONG_PTR original = unicode ? SetWindowLongPtrW(window, GWLP_WNDPROC, proc)
                                      : SetWindowLongPtrA(window, GWLP_WNDPROC, proc);
    watched_[window] = {reinterpret_cast<WNDPROC>(original), part, unicode};
  }

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    MessageClock& clock = *current_;
    const Watched watched = clock.watched_.at(window);
    const bool paint = watched.part == Part::kLists &&
                       (message == WM_PAINT || message == WM_NCPAINT || message == WM_ERASEBKGND);
    if (paint) ++clock.paint_depth_;
    const double start = Now();
    const LRESULT result = watched.unicode ? CallWindowProcW(watched.original, window, message, wparam, lparam)
                                           : CallWindowProcA(watched.original, window, message, wparam, lparam);
    const double ms = Now() - start;
    if (paint && --clock.paint_depth_ == 0 && !clock.stopped_) clock.lists_painted_ += ms;
    if (!clock.stopped_) clock.ms_[{watched.part, message}] += ms;
    if (message == WM_NCDESTROY) clock.watched_.erase(window);
    return result;
  }

  static MessageClock* current_;
  std::map<HWND, Watched> watched_;
  std::map<std::pair<Part, UINT>, double> ms_;
  double lists_painted_ = 0;
  int paint_depth_ = 0;
  bool stopped_ = false;
};

MessageClock* MessageClock::current_ = nullptr;

// ---------------------------------------------------------------------------
// Floor W: the main window's own fixed cost. The same dialog template run
// as a bare dialog, with no list item, no account and no registry read,
// timed as the window is: until it shows, painted, and its loop runs.

// A window with the moments of its set-up noted: the main window, or its
// template run as a bare dialog.
template <class Base>
class TimedWindow : public Base {
 public:
  using Base::Base;
  double set_up_start = 0;
  double set_up_end = 0;
  MessageClock* clock = nullptr;

 protected:
  bool OnInitDialog() override {
    set_up_start = Now();
    if (clock) clock->WatchMainWindow(this->handle());
    const bool result = Base::OnInitDialog();
    set_up_end = Now();
    return result;
  }
};

struct EmptyWindowRun {
  double created;  // DoModal until OnInitDialog
  double shown;    // DoModal until its loop runs
  double clicked;  // a button that does nothing pressed, then disabled, as "Valider" is after its save
  double closed;   // "Quitter" pressed: the window closed, nothing saved
};

EmptyWindowRun FloorWindow(MessageClock* clock = nullptr) {
  TimedWindow<win::Dialog> window(IDD_MAIN_DIALOG);
  window.clock = clock;
  EmptyWindowRun run{};
  const double start = Now();
  const INT_PTR result = chromatte::test::RunModal(window, nullptr, [&](HWND hwnd) {
    run.shown = Now() - start;
    if (clock) clock->Stop();
    double before = Now();
    chromatte::test::ClickButton(hwnd, IDC_ADD);
    EnableWindow(GetDlgItem(hwnd, IDC_ADD), FALSE);
    run.clicked = Now() - before;
    before = Now();
    chromatte::test::ClickButton(hwnd, IDCANCEL);
    run.closed = Now() - before;
  });
  if (run.shown == 0 || result != IDCANCEL) Fail("the empty main window did not show and close");
  run.created = window.set_up_start - start;
  return run;
}

// Passes every call on and adds up the time spent inside them, so that a
// window's start-up splits into registry time and the rest.
class TimingRegistry : public chromatte::test::ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  double ms() const { return ms_; }

 protected:
  long Pass(chromatte::test::RegOp, const std::string&, const char*, const std::function<long()>& call) override {
    const double start = Now();
    const long result = call();
    ms_ += Now() - start;
    return result;
  }

 private:
  double ms_ = 0;
};

struct WindowRun {
  double created;   // DoModal until the set-up starts: the window and its controls
  double set_up;    // OnInitDialog: the reads and the filling of the lists
  double shown;     // DoModal until the window shows, painted, and its loop runs
  double valider;   // "Valider" pressed: the first account's 512 channels saved
  double leaving;   // "Quitter" pressed: the pool saved and the window closed
  // With a TimingRegistry: the time inside registry calls until shown, and
  // during each save.
  double startup_registry = 0, valider_registry = 0, leaving_registry = 0;
  std::string startup_calls, valider_calls, leaving_calls;  // with a CallLog: what it saw
};

int ListCount(HWND window, int id) { return static_cast<int>(SendDlgItemMessageA(window, id, LB_GETCOUNT, 0, 0)); }

// Each save's floor S, measured right beside the save: before it in one run,
// after it in the next, so that neither gets the other's slow spells.
struct SavesBeside {
  const SaveData* account;
  const SaveData* pool;
  bool floor_first;
  double account_ms = 0, pool_ms = 0;
};

WindowRun RunWindow(chromatte::Registry& registry, Shape shape, chromatte::test::CallLog* counting = nullptr,
                    TimingRegistry* timing = nullptr, MessageClock* clock = nullptr,
                    SavesBeside* floors = nullptr) {
  TimedWindow<CChannelColorsDlg> window(registry);
  window.clock = clock;
  WindowRun run{};
  std::string problem;
  const double start = Now();
  const INT_PTR result = chromatte::test::RunModal(window, nullptr, [&](HWND hwnd) {
    run.shown = Now() - start;
    if (clock) clock->Stop();
    if (counting) run.startup_calls = counting->Summary();
    if (timing) run.startup_registry = timing->ms();
    if (ListCount(hwnd, IDC_POOL_LIST) != chromatte::bench::OwnKeyChannels(shape) ||
        ListCount(hwnd, IDC_CHANNEL_LIST) != chromatte::bench::kAccountChannels)
      problem = "the window shows other lists than the data set's";
    // "Valider" as after a change of the channel list.
    EnableWindow(GetDlgItem(hwnd, IDOK), TRUE);
    if (counting) counting->Clear();
    if (floors && floors->floor_first) floors->account_ms = FloorSave(*floors->account);
    double registry_before = timing ? timing->ms() : 0;
    double before = Now();
    chromatte::test::ClickButton(hwnd, IDOK);
    run.valider = Now() - before;
    if (timing) run.valider_registry = timing->ms() - registry_before;
    if (floors && !floors->floor_first) floors->account_ms = FloorSave(*floors->account);
    if (counting) run.valider_calls = counting->Summary();
    if (IsWindowEnabled(GetDlgItem(hwnd, IDOK))) problem = "\"Valider\" did not save";
    if (counting) counting->Clear();
    if (floors && floors->floor_first) floors->pool_ms = FloorSave(*floors->pool);
    registry_before = timing ? timing->ms() : 0;
    before = Now();
    chromatte::test::ClickButton(hwnd, IDCANCEL);
    run.leaving = Now() - before;
    if (timing) run.leaving_registry = timing->ms() - registry_before;
    if (floors && !floors->floor_first) floors->pool_ms = FloorSave(*floors->pool);
    if (counting) run.leaving_calls = counting->Summary();
  });
  if (result != IDCANCEL) problem = "the window did not close on \"Quitter\"";
  if (!problem.empty()) Fail(problem);
  run.created = window.set_up_start - start;
  run.set_up = window.set_up_end - window.set_up_start;
  return run;
}

// ---------------------------------------------------------------------------
// Figures

struct Series {
  std::vector<double> values;
  void Add(double value) { values.push_back(value); }
  double Median() const {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }
  double Min() const { return *std::min_element(values.begin(), values.end()); }
  double Max() const { return *std::max_element(values.begin(), values.end()); }
};

// Run by run, a + b.
Series Sum(const Series& a, const Series& b) {
  Series sum;
  for (std::size_t i = 0; i < a.values.size() && i < b.values.size(); ++i) sum.Add(a.values[i] + b.values[i]);
  return sum;
}

// The ratio of two figures measured in the same runs, three ways: of their
// medians; the median of the run-by-run ratios, which a slow spell of the
// machine spoils less since both figures of a run are taken close together;
// of their smallest values, the least disturbed. With a goal, whether the
// median of the run-by-run ratios meets it.
void PrintRatio(const char* what, const Series& a, const Series& b, double goal = 0) {
  Series paired;
  for (std::size_t i = 0; i < a.values.size() && i < b.values.size(); ++i) paired.Add(a.values[i] / b.values[i]);
  std::printf("    %-44s %5.2f   %5.2f   %5.2f", what, a.Median() / b.Median(), paired.Median(), a.Min() / b.Min());
  if (goal > 0) std::printf("   goal %.2f: %s", goal, paired.Median() <= goal ? "met" : "NOT MET");
  std::printf("\n");
}

void PrintRow(const char* what, const Series& s) {
  std::printf("  %-58s %9.1f ms  [%.1f .. %.1f]\n", what, s.Median(), s.Min(), s.Max());
}

void PrintMemory(const char* when) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return;
  std::printf("  memory %-24s working set %6.1f MiB, peak working set %6.1f MiB, peak pagefile %6.1f MiB\n", when,
              counters.WorkingSetSize / 1048576.0, counters.PeakWorkingSetSize / 1048576.0,
              counters.PeakPagefileUsage / 1048576.0);
}

void Measure(chromatte::test::ScratchHkcu& scratch, Shape shape, int runs) {
  const chromatte::bench::StartupNeeds needs = chromatte::bench::NeedsOf(shape);
  std::printf("\n%s: own key %d channels, %d accounts of %d channels\n", chromatte::bench::ShapeName(shape),
              chromatte::bench::OwnKeyChannels(shape), chromatte::bench::kAccounts,
              chromatte::bench::kAccountChannels);
  double start = Now();
  WriteDataSet(scratch, shape);
  std::printf("  (data set written with RegSetValueExA in %.0f ms)\n", Now() - start);

  // Which calls the start-up, "Valider" and leaving make, in one run of
  // their own so that counting costs no measured time.
  chromatte::Win32Registry registry;
  chromatte::test::CallLog counting(registry);
  StoreStartup(counting, shape);
  const std::string data_calls = counting.Summary();
  counting.Clear();
  const WindowRun counted = RunWindow(counting, shape, &counting);

  const SaveData account_save = AccountSave(shape);
  const SaveData pool_save = PoolSave(shape);

  Series floor_all, floor_needed, floor_window, floor_window_created, floor_window_clicked, floor_window_closed,
      floor_account_save, floor_pool_save, raw, accounts, pool, channels, data, created, set_up, shown, valider,
      leaving, set_up_registry, set_up_rest, shown_rest, valider_registry, leaving_registry, icons, combo_filled,
      items_added, lists_painted, lists_framed, items_drawn, empty_lists_painted;
  int floor_values = 0;
  int floor_needed_values = 0;
  for (int r = 0; r < runs; ++r) {
    // Each run measures in another order, so that a slow spell of the
    // machine does not always fall on the same figure; the figures that the
    // ratios compare are taken one right after the other, so that a spell
    // falls on them all or on few.
    const int kinds = 4;
    for (int k = 0; k < kinds; ++k) {
      switch ((k + r) % kinds) {
        case 0:
          start = Now();
          floor_values = FloorAll();
          floor_all.Add(Now() - start);
          break;
        case 1:
          start = Now();
          if (RawStartup() != chromatte::bench::OwnKeyChannels(shape) + chromatte::bench::kAccountChannels)
            Fail("the plain reads found something else than the data set");
          raw.Add(Now() - start);
          break;
        case 2: {
          TimingRegistry timing(registry);
          MessageClock clock;
          const WindowRun run = RunWindow(timing, shape, nullptr, &timing, &clock);
          set_up_registry.Add(run.startup_registry);
          set_up_rest.Add(run.set_up - run.startup_registry);
          shown_rest.Add(run.shown - run.set_up - run.created);
          valider_registry.Add(run.valider_registry);
          leaving_registry.Add(run.leaving_registry);
          icons.Add(clock.ms(Part::kDialog, {WM_SETICON}));
          combo_filled.Add(clock.ms(Part::kCombo, {CB_ADDSTRING, CB_SETCURSEL, WM_SETREDRAW}));
          items_added.Add(
              clock.ms(Part::kLists, {LB_RESETCONTENT, LB_INITSTORAGE, LB_INSERTSTRING, LB_SETITEMDATA, WM_SETREDRAW}));
          lists_painted.Add(clock.lists_painted());
          lists_framed.Add(clock.ms(Part::kLists, {WM_NCPAINT}));
          items_drawn.Add(clock.ms(Part::kDialog, {WM_DRAWITEM}));
          MessageClock empty_clock;
          FloorWindow(&empty_clock);
          empty_lists_painted.Add(empty_clock.lists_painted());
          break;
        }
        case 3:
          for (int g = 0; g < 4; ++g) {
            switch ((g + r) % 4) {
              case 0:
                start = Now();
                floor_needed_values = FloorNeeded(shape);
                floor_needed.Add(Now() - start);
                break;
              case 1: {
                const EmptyWindowRun run = FloorWindow();
                floor_window.Add(run.shown);
                floor_window_created.Add(run.created);
                floor_window_clicked.Add(run.clicked);
                floor_window_closed.Add(run.closed);
                break;
              }
              case 2: {
                const DataSide times = StoreStartup(registry, shape);
                accounts.Add(times.accounts);
                pool.Add(times.pool);
                channels.Add(times.channels);
                data.Add(times.total);
                break;
              }
              case 3: {
                SavesBeside floors{&account_save, &pool_save, r % 2 == 0};
                const WindowRun run = RunWindow(registry, shape, nullptr, nullptr, nullptr, &floors);
                floor_account_save.Add(floors.account_ms);
                floor_pool_save.Add(floors.pool_ms);
                created.Add(run.created);
                set_up.Add(run.set_up);
                shown.Add(run.shown);
                valider.Add(run.valider);
                leaving.Add(run.leaving);
                break;
              }
            }
          }
          break;
      }
    }
  }

  std::printf("  medians of %d runs [smallest .. largest]\n", runs);
  std::printf("  floors: A, B, S the plain registry calls; W no registry call:\n");
  char line[160];
  std::snprintf(line, sizeof line, "    A: every value of the own key and the 100 channel keys (%d)", floor_values);
  PrintRow(line, floor_all);
  std::snprintf(line, sizeof line, "    B: the values this start-up reads (%d)", floor_needed_values);
  PrintRow(line, floor_needed);
  const chromatte::bench::SaveNeeds account_needs =
      chromatte::bench::SaveNeedsOf(static_cast<int>(account_save.channels.size()));
  const chromatte::bench::SaveNeeds pool_needs =
      chromatte::bench::SaveNeedsOf(static_cast<int>(pool_save.channels.size()));
  std::snprintf(line, sizeof line, "    S: \"Valider\"'s save (%d set, %d delete)", account_needs.sets,
                account_needs.deletions);
  PrintRow(line, floor_account_save);
  std::snprintf(line, sizeof line, "    S: leaving's save (%d set, %d delete)", pool_needs.sets, pool_needs.deletions);
  PrintRow(line, floor_pool_save);
  PrintRow("    W: the main window's template, empty, until shown", floor_window);
  PrintRow("         of which created (DoModal to OnInitDialog)", floor_window_created);
  PrintRow("       then a button pressed and disabled (nothing saved)", floor_window_clicked);
  PrintRow("       then closed by \"Quitter\" (nothing saved)", floor_window_closed);
  PrintRow("  the start-up's reads as plain calls, without the store", raw);
  std::printf("  data side (store on Win32Registry):\n");
  PrintRow("    LoadAccounts", accounts);
  PrintRow("    LoadPool (own key, then the merge)", pool);
  PrintRow("    LoadAccountChannels (first account)", channels);
  PrintRow("    start-up data side, all three", data);
  std::printf("  main window (CChannelColorsDlg on Win32Registry):\n");
  PrintRow("    created (DoModal to OnInitDialog)", created);
  PrintRow("    OnInitDialog (reads, combo box, both lists)", set_up);
  PrintRow("    start-up until shown (DoModal to its loop)", shown);
  PrintRow("    \"Valider\" (512 channels saved)", valider);
  PrintRow("    leaving, \"Quitter\" (pool of the own key saved)", leaving);
  const int items = chromatte::bench::OwnKeyChannels(shape) + chromatte::bench::kAccountChannels;
  std::printf("  the window's start-up split (separate runs, each registry call and some messages timed):\n");
  PrintRow("    inside registry calls", set_up_registry);
  PrintRow("    rest of OnInitDialog (menu, icon, combo box, list items)", set_up_rest);
  PrintRow("      of which the icons set (WM_SETICON, twice)", icons);
  PrintRow("      of which the 100 accounts put in the combo box", combo_filled);
  std::snprintf(line, sizeof line, "      of which the %d list items added", items);
  PrintRow(line, items_added);
  PrintRow("    from OnInitDialog's end until shown (show, paint, timer)", shown_rest);
  PrintRow("      of which the lists painted", lists_painted);
  PrintRow("        of which their frames and scroll bars (WM_NCPAINT)", lists_framed);
  PrintRow("        of which their visible items drawn (WM_DRAWITEM)", items_drawn);
  PrintRow("      the same for floor W's empty lists", empty_lists_painted);
  PrintRow("    \"Valider\": inside registry calls", valider_registry);
  PrintRow("    leaving: inside registry calls", leaving_registry);
  std::printf("  ratios:                                      of medians, median by run, of smallest\n");
  PrintRatio("start-up data side / floor B", data, floor_needed);
  PrintRatio("window start-up until shown / floor B", shown, floor_needed);
  PrintRatio("window until shown / (floor B + floor W)", shown, Sum(floor_needed, floor_window), 1.25);
  PrintRatio("\"Valider\" / its floor S", valider, floor_account_save, 1.1);
  PrintRatio("\"Valider\" / (its floor S + W's button)", valider, Sum(floor_account_save, floor_window_clicked));
  PrintRatio("leaving / its floor S", leaving, floor_pool_save, 1.1);
  PrintRatio("leaving / (its floor S + W closed)", leaving, Sum(floor_pool_save, floor_window_closed));
  PrintRatio("start-up data side / floor A", data, floor_all);
  PrintRatio("window start-up until shown / floor A", shown, floor_all);
  std::printf("  registry calls, start-up data side: %s\n", data_calls.c_str());
  std::printf("  registry calls, window start-up:    %s\n", counted.startup_calls.c_str());
  std::printf("  needed: %d account names + %d values + %d list ends, %d last-write times, %d keys opened and"
              " closed = %d calls\n",
              needs.accounts, needs.values, needs.missing_values, needs.stamps, needs.keys, needs.calls());
  std::printf("  registry calls, \"Valider\": %s\n", counted.valider_calls.c_str());
  std::printf("  needed: 1 open + 2 last-write times + %d set + %d delete + 1 flush + 1 close = %d calls\n",
              account_needs.sets, account_needs.deletions, account_needs.calls());
  std::printf("  registry calls, leaving:   %s\n", counted.leaving_calls.c_str());
  std::printf("  needed: 1 open + 2 last-write times + %d set + %d delete + 1 flush + 1 close = %d calls\n",
              pool_needs.sets, pool_needs.deletions, pool_needs.calls());
  PrintMemory("after these runs:");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  std::printf("wine_timing: %s build, ANSI code page %u\n", sizeof(void*) == 8 ? "x86_64" : "i686", GetACP());
  PrintMemory("at start:");
  chromatte::test::ScratchHkcu scratch;
  if (!scratch.ok()) return 1;
  for (Shape shape : {Shape::kFullPool, Shape::kMergeReadsAll}) Measure(scratch, shape, runs);
  scratch.Clear();
  return 0;
}
