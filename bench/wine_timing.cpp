// Times Chromatte on the real registry, with its real main window and the
// heaviest content it takes, against floors measured in the same runs: B the
// start-up's registry reads made the cheapest plain way, W the main window's
// template shown empty, S each save's writes made with the plain calls. Runs
// in a scratch HKEY_CURRENT_USER: the user's own registry is never touched.
//
//   wine_timing.exe [runs]   (default 5) medians of the runs, smallest, largest
//   wine_timing.exe trace    one start-up of a full pool on the in-memory
//                            registry, its steps marked for Wine's +server trace
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "channel_colors_dlg.h"
#include "registry_fixtures.h"
#include "resource.h"
#include "scratch_hkcu.h"
#include "ui_harness.h"
#include "win32_registry.h"

namespace {

using chromatte::kMaxChannels;
using chromatte::test::CallLog;
using chromatte::test::Channel;
using chromatte::test::Slot;

constexpr int kAccounts = chromatte::kMaxAccounts;
// Per list item added at start-up: 3 to 6 us here, 60 to 70 when each item cost
// two round trips to Wine's server (a6a0c54).
constexpr double kItemLimitUs = 15;

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
  std::exit(1);
}

// ---------------------------------------------------------------------------
// The data set: 100 accounts of 512 channels and a pool in the own key, each
// account holding the pool's names, in two shapes. "full pool": the own key
// holds 512 channels, so the merge opens and closes each account's key and
// reads no name in it. "merge reads all": the own key holds 511 and each
// account's 512 slots name those (the last twice): the pool never fills, so
// the merge reads every account's every name, on to its missing slot 512.

struct Shape {
  const char* name;
  int pool;
};
const Shape kShapes[] = {{"full pool", kMaxChannels}, {"merge reads all", kMaxChannels - 1}};

Channel PoolChannel(int channel, unsigned variant) {
  char name[32], password[16];
  std::snprintf(name, sizeof name, "Canal %03d des marchands", channel);
  std::snprintf(password, sizeof password, "mdp%03d", channel);
  return {name, password, (static_cast<unsigned>(channel) * 0x2F1Bu + variant * 0x10101u) & 0x00FFFFFFu};
}

// put(path, slot, channel) for each slot: the own key's, then each account's.
template <class Put>
void ForEachSlot(const Shape& shape, Put&& put) {
  for (int slot = 0; slot < shape.pool; ++slot) put(chromatte::kOwnKeyPath, slot, PoolChannel(slot, 0));
  for (int account = 0; account < kAccounts; ++account) {
    char name[16];
    std::snprintf(name, sizeof name, "Joueur%03d", account);
    const std::string path = chromatte::ChannelKeyPath(name);
    for (int slot = 0; slot < kMaxChannels; ++slot) put(path, slot, PoolChannel(slot % shape.pool, account + 1u));
  }
}

HKEY Open(const std::string& path, REGSAM access = KEY_READ) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &key) != ERROR_SUCCESS) Fail("cannot open " + path);
  return key;
}

// A slot's three values, as the store writes them (the colour little-endian).
bool SetSlot(HKEY key, int slot, const Channel& channel) {
  const DWORD color = channel.color;
  const auto set = [&](const std::string& name, DWORD type, const void* data, std::size_t size) {
    return RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)) ==
           ERROR_SUCCESS;
  };
  return set(Slot(slot), REG_SZ, channel.name.c_str(), channel.name.size() + 1) &&
         set(Slot(slot, "color"), REG_DWORD, &color, sizeof color) &&
         set(Slot(slot, "pwd"), REG_SZ, channel.password.c_str(), channel.password.size() + 1);
}

void WriteDataSet(chromatte::test::ScratchHkcu& scratch, const Shape& shape) {
  if (!scratch.Clear()) Fail("cannot clear the scratch key");
  std::string open_path;
  HKEY key = nullptr;
  ForEachSlot(shape, [&](const std::string& path, int slot, const Channel& channel) {
    if (path != open_path) {
      if (key) RegCloseKey(key);
      if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        Fail("cannot create " + path);
      open_path = path;
    }
    if (!SetSlot(key, slot, channel)) Fail("cannot write " + path);
  });
  RegCloseKey(key);
}

// ---------------------------------------------------------------------------
// Floor B: only the values this start-up has to read, each once, the
// cheapest plain way: the account names; the own key's and the first
// account's values by enumeration; of the other accounts, the names when the
// merge reads them (a query each: enumerating would read colours and
// passwords too), else the key only opened and closed, as the merge does.

int EnumerateValues(const std::string& path) {
  const HKEY key = Open(path);
  int values = 0;
  for (;; ++values) {
    char name[256];
    BYTE data[256];
    DWORD name_size = sizeof name, data_size = sizeof data, type = 0;
    if (RegEnumValueA(key, values, name, &name_size, nullptr, &type, data, &data_size) != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  return values;
}

int FloorB(const Shape& shape) {
  std::vector<std::string> accounts;
  char name[256];
  const HKEY game = Open(chromatte::kGameKeyPath);
  for (DWORD i = 0; i < kAccounts && RegEnumKeyA(game, i, name, sizeof name) == ERROR_SUCCESS; ++i)
    accounts.push_back(name);
  RegCloseKey(game);
  int values = EnumerateValues(chromatte::kOwnKeyPath) + EnumerateValues(chromatte::ChannelKeyPath(accounts[0]));
  for (std::size_t i = 1; i < accounts.size(); ++i) {
    const HKEY key = Open(chromatte::ChannelKeyPath(accounts[i]));
    for (int slot = 0; shape.pool < kMaxChannels; ++slot, ++values) {
      DWORD size = sizeof name;
      if (RegQueryValueExA(key, Slot(slot).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size)) break;
    }
    RegCloseKey(key);
  }
  return values;
}

// ---------------------------------------------------------------------------
// Floor S: a save made with the plain calls on the data the window saves, in
// the store's order: the key opened and its last-write time read, the three
// values of each channel written over the old ones, the three of each slot
// past the list deleted (missing or not), flushed, the last-write time read
// again, closed.

struct SaveData {
  std::string path;
  REGSAM access;
  std::vector<Channel> channels;
};

double FloorS(const SaveData& save) {
  const double start = Now();
  const HKEY key = Open(save.path, save.access);
  const auto stamp = [key] {
    FILETIME time;
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, &time) == ERROR_SUCCESS;
  };
  bool written = stamp();
  const int count = static_cast<int>(save.channels.size());
  for (int slot = 0; slot < count; ++slot) written &= SetSlot(key, slot, save.channels[slot]);
  for (int slot = count; slot < kMaxChannels; ++slot) {
    for (const char* suffix : {"", "color", "pwd"}) {
      const LONG result = RegDeleteValueA(key, Slot(slot, suffix).c_str());
      written &= result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
  }
  written &= RegFlushKey(key) == ERROR_SUCCESS && stamp();
  RegCloseKey(key);
  const double ms = Now() - start;
  if (!written) Fail("the plain save failed in " + save.path);
  return ms;
}

// ---------------------------------------------------------------------------
// The list items added: the time the two lists spend in the messages that
// fill them, the dialog's answers to their measure requests included, seen
// through a subclass set for the window's set-up only. For the +server
// trace, atoms looked up by name mark where each fill starts and ends.

bool marking = false;
double fill_ms = 0;
std::map<HWND, WNDPROC> filled_lists;

LRESULT CALLBACK FillProc(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
  const bool fill = message == LB_RESETCONTENT || message == LB_INITSTORAGE || message == LB_INSERTSTRING ||
                    message == LB_SETITEMDATA || message == WM_SETREDRAW;
  if (marking && message == WM_SETREDRAW && !wparam) GlobalFindAtomA("chromatte-bench fill");
  const double start = fill ? Now() : 0;
  const LRESULT result = CallWindowProcW(filled_lists.at(list), list, message, wparam, lparam);
  if (fill) fill_ms += Now() - start;
  if (marking && message == WM_SETREDRAW && wparam) GlobalFindAtomA("chromatte-bench filled");
  return result;
}

class TimedWindow : public CChannelColorsDlg {
 public:
  using CChannelColorsDlg::CChannelColorsDlg;

 protected:
  bool OnInitDialog() override {
    for (int id : {IDC_POOL_LIST, IDC_CHANNEL_LIST}) {
      const HWND list = GetItem(id);
      filled_lists[list] = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FillProc)));
    }
    const bool result = CChannelColorsDlg::OnInitDialog();
    for (const auto& list : filled_lists)
      SetWindowLongPtrW(list.first, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(list.second));
    filled_lists.clear();
    return result;
  }
};

// ---------------------------------------------------------------------------
// The windows, timed from DoModal until shown, painted, with their loop
// running; then their buttons.

int ListCount(HWND window, int id) { return static_cast<int>(SendDlgItemMessageA(window, id, LB_GETCOUNT, 0, 0)); }

// Presses a button and times it, with the floor S of its save made beside it.
double Click(HWND window, int id, const SaveData* floor, bool floor_first, double* floor_ms) {
  if (floor && floor_first) *floor_ms = FloorS(*floor);
  const double start = Now();
  chromatte::test::ClickButton(window, id);
  const double ms = Now() - start;
  if (floor && !floor_first) *floor_ms = FloorS(*floor);
  return ms;
}

// Floor W: the main window's own fixed cost, with no registry read: its
// template run as a bare dialog, empty; then closed by "Quitter".
struct EmptyRun { double shown, closed; };

EmptyRun FloorW() {
  win::Dialog window(IDD_MAIN_DIALOG);
  EmptyRun run{};
  const double start = Now();
  const INT_PTR result = chromatte::test::RunModal(window, nullptr, [&](HWND hwnd) {
    run.shown = Now() - start;
    run.closed = Click(hwnd, IDCANCEL, nullptr, false, nullptr);
  });
  if (run.shown == 0 || result != IDCANCEL) Fail("the empty main window did not show and close");
  return run;
}

struct WindowRun {
  double shown, valider, leaving, fill, valider_floor, leaving_floor;
  std::string calls[3];  // with a CallLog: of the start-up, "Valider", leaving
};

// The main window until shown, then "Valider" as after a change of the
// channel list, then "Quitter", each save's floor S beside it.
WindowRun RunWindow(chromatte::Registry& registry, const Shape& shape, const SaveData* floors, bool floors_first,
                    CallLog* log) {
  TimedWindow window(registry);
  WindowRun run{};
  std::string problem;
  fill_ms = 0;
  const auto calls = [log](std::string* summary) {
    if (log) *summary = log->Summary();
    if (log) log->Clear();
  };
  const double start = Now();
  const INT_PTR result = chromatte::test::RunModal(window, nullptr, [&](HWND hwnd) {
    run.shown = Now() - start;
    calls(&run.calls[0]);
    if (ListCount(hwnd, IDC_POOL_LIST) != shape.pool || ListCount(hwnd, IDC_CHANNEL_LIST) != kMaxChannels)
      problem = "the window shows other lists than the data set's";
    EnableWindow(GetDlgItem(hwnd, IDOK), TRUE);
    run.valider = Click(hwnd, IDOK, floors, floors_first, &run.valider_floor);
    if (IsWindowEnabled(GetDlgItem(hwnd, IDOK))) problem = "\"Valider\" did not save";
    calls(&run.calls[1]);
    run.leaving = Click(hwnd, IDCANCEL, floors ? floors + 1 : nullptr, floors_first, &run.leaving_floor);
    calls(&run.calls[2]);
  });
  if (result != IDCANCEL) problem = "the window did not close on \"Quitter\"";
  if (!problem.empty()) Fail(problem);
  run.fill = fill_ms;
  return run;
}

// ---------------------------------------------------------------------------
// Figures

struct Series {
  std::vector<double> values;
  double Median() const {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }
  double Min() const { return *std::min_element(values.begin(), values.end()); }
  double Max() const { return *std::max_element(values.begin(), values.end()); }
};

void PrintRow(const char* what, const Series& s, const char* unit = "ms") {
  std::printf("  %-50s %8.1f %s  [%.1f .. %.1f]\n", what, s.Median(), unit, s.Min(), s.Max());
}

// a / b run by run, both of a run taken close together so that a slow spell
// spoils few ratios; the goal is on their median.
void PrintRatio(const char* what, const Series& a, const Series& b, double goal = 0) {
  Series ratios;
  for (std::size_t i = 0; i < a.values.size(); ++i) ratios.values.push_back(a.values[i] / b.values[i]);
  std::printf("    %-40s %5.2f   %5.2f   %5.2f", what, ratios.Min(), ratios.Median(), ratios.Max());
  if (goal > 0) std::printf("   goal %.2f: %s", goal, ratios.Median() <= goal ? "met" : "NOT MET");
  std::printf("\n");
}

void Measure(chromatte::test::ScratchHkcu& scratch, const Shape& shape, int runs) {
  std::printf("\n%s: own key %d channels, %d accounts of %d channels\n", shape.name, shape.pool, kAccounts,
              kMaxChannels);
  WriteDataSet(scratch, shape);
  SaveData floors[2] = {{chromatte::ChannelKeyPath("Joueur000"), KEY_WRITE | KEY_QUERY_VALUE, {}},
                        {chromatte::kOwnKeyPath, KEY_ALL_ACCESS, {}}};
  ForEachSlot(shape, [&](const std::string& path, int, const Channel& channel) {
    for (SaveData& floor : floors)
      if (path == floor.path) floor.channels.push_back(channel);
  });

  chromatte::Win32Registry registry;
  Series b, w, w_closed, s_valider, s_leaving, shown, valider, leaving, item_us, b_plus_w, s_plus_closed;
  int b_values = 0;
  for (int r = 0; r < runs; ++r) {
    // Another order each run, so that a slow spell of the machine does not
    // always fall on the same figure.
    for (int k = 0; k < 3; ++k) {
      const int kind = (k + r) % 3;
      if (kind == 0) {
        const double start = Now();
        b_values = FloorB(shape);
        b.values.push_back(Now() - start);
      } else if (kind == 1) {
        const EmptyRun run = FloorW();
        w.values.push_back(run.shown);
        w_closed.values.push_back(run.closed);
      } else {
        const WindowRun run = RunWindow(registry, shape, floors, r % 2 == 0, nullptr);
        shown.values.push_back(run.shown);
        valider.values.push_back(run.valider);
        leaving.values.push_back(run.leaving);
        s_valider.values.push_back(run.valider_floor);
        s_leaving.values.push_back(run.leaving_floor);
        item_us.values.push_back(run.fill * 1000 / (shape.pool + kMaxChannels));
      }
    }
    b_plus_w.values.push_back(b.values[r] + w.values[r]);
    s_plus_closed.values.push_back(s_leaving.values[r] + w_closed.values[r]);
  }

  std::printf("  medians of %d runs [smallest .. largest]\n", runs);
  char line[96];
  std::snprintf(line, sizeof line, "floor B: the values this start-up reads (%d)", b_values);
  PrintRow(line, b);
  PrintRow("floor W: the template, empty, until shown", w);
  PrintRow("         then closed by \"Quitter\"", w_closed);
  PrintRow("floor S: \"Valider\"'s save (1536 set)", s_valider);
  std::snprintf(line, sizeof line, "floor S: leaving's save (%d set, %d delete)", 3 * shape.pool,
                3 * (kMaxChannels - shape.pool));
  PrintRow(line, s_leaving);
  PrintRow("main window, DoModal until shown", shown);
  PrintRow("\"Valider\" (512 channels saved)", valider);
  PrintRow("leaving, \"Quitter\" (the pool saved)", leaving);
  std::snprintf(line, sizeof line, "per list item added (%d items)", shape.pool + kMaxChannels);
  PrintRow(line, item_us, "us");
  std::printf("    limit %.0f us: %s\n", kItemLimitUs, item_us.Median() <= kItemLimitUs ? "met" : "NOT MET");
  std::printf("  ratios, run by run:                        smallest  median  largest\n");
  PrintRatio("window until shown / (floor B + floor W)", shown, b_plus_w, 1.25);
  PrintRatio("\"Valider\" / its floor S", valider, s_valider, 1.1);
  PrintRatio("leaving / its floor S", leaving, s_leaving, 1.1);
  PrintRatio("leaving / (its floor S + W closed)", leaving, s_plus_closed);

  // The calls, in a run of their own so that counting costs no measured time.
  CallLog log(registry);
  const WindowRun counted = RunWindow(log, shape, nullptr, false, &log);
  const bool merge_reads = shape.pool < kMaxChannels;
  const int values = 3 * shape.pool + 3 * kMaxChannels + (merge_reads ? kAccounts * kMaxChannels : 0);
  const int ends = merge_reads ? 1 + kAccounts : 0, keys = kAccounts + 3;
  std::printf("  registry calls, start-up: %s\n", counted.calls[0].c_str());
  std::printf("    needed: %d account names + %d values + %d list ends, 2 last-write times, %d keys opened and"
              " closed = %d\n", kAccounts, values, ends, keys, kAccounts + values + ends + 2 + 2 * keys);
  std::printf("  registry calls, \"Valider\": %s\n", counted.calls[1].c_str());
  std::printf("  registry calls, leaving:   %s\n", counted.calls[2].c_str());
  std::printf("    needed, each save: 1 open, 2 last-write times, 1536 set or delete, 1 flush, 1 close = 1541\n");
  std::fflush(stdout);
}

// One start-up of a full pool on the in-memory registry, so that Wine's
// +server trace holds only the window's requests; prints the items added.
int Trace() {
  chromatte::test::MemoryRegistry registry;
  ForEachSlot(kShapes[0], [&](const std::string& path, int slot, const Channel& channel) {
    chromatte::test::PutSlot(registry, path, slot, channel);
  });
  marking = true;
  TimedWindow window(registry);
  int items = 0;
  GlobalFindAtomA("chromatte-bench start-up");
  chromatte::test::RunModal(window, nullptr, [&](HWND hwnd) {
    GlobalFindAtomA("chromatte-bench shown");
    items = ListCount(hwnd, IDC_POOL_LIST) + ListCount(hwnd, IDC_CHANNEL_LIST);
    chromatte::test::ClickButton(hwnd, IDCANCEL);
  });
  std::printf("%d\n", items);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "trace") return Trace();
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::printf("wine_timing: %s build\n", sizeof(void*) == 8 ? "x86_64" : "i686");
  chromatte::test::ScratchHkcu scratch;
  if (!scratch.ok()) return 1;
  for (const Shape& shape : kShapes) Measure(scratch, shape, runs);
  scratch.Clear();
  return 0;
}
