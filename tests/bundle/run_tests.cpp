// The test bundle's runner. Runs every *_tests.exe beside it, one at a time,
// and writes chromatte-tests-report.txt beside itself: the machine, then each
// program's result with its failing (and skipped) tests and what they said.
// Each program's whole output goes to the scratch folder beside it, which is
// also the program's working and temporary folder. A program passed only
// when it exited 0 at the end of its tests, and GoogleTest's closing summary
// says that tests passed and none failed. Exit status 0 only when every
// program passed.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scratch_hkcu.h"

namespace {

// Far above what the slowest program takes under Wine: past it, a program hangs.
constexpr DWORD kTimeoutSeconds = 600;
// Of a test's own output, and of a failed program's last words.
constexpr size_t kMaxQuotedLines = 20;

// The program running now, for the console's close box or Ctrl+C: they end
// it before its ScratchHkcu's destructor runs.
CRITICAL_SECTION g_child_lock;
HANDLE g_child = nullptr;
DWORD g_child_id = 0;

BOOL WINAPI OnConsoleEvent(DWORD) {
  EnterCriticalSection(&g_child_lock);
  if (g_child) {
    TerminateProcess(g_child, ERROR_CANCELLED);
    WaitForSingleObject(g_child, 5000);
    chromatte::test::DeleteScratchKey(g_child_id);
  }
  LeaveCriticalSection(&g_child_lock);
  return FALSE;  // and the runner ends as it would have
}

struct TestOutput {
  std::string name;
  std::vector<std::string> lines;  // what the test printed between its start and its end
};

// GoogleTest's account of a run, read from its output.
struct Account {
  std::vector<TestOutput> failed, skipped;
  TestOutput unfinished;  // the test running when the program ended, if any
  bool failures = false;  // a test failed, or the summary lists a failure
  int passed = 0;         // as the closing summary says
};

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(begin, end - begin));
    if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
    begin = end + 1;
  }
  return lines;
}

Account ReadAccount(const std::vector<std::string>& output) {
  Account account;
  TestOutput running;
  for (const std::string& line : output) {
    const std::string rest = line.size() > 13 ? line.substr(13) : std::string();
    if (StartsWith(line, "[ RUN      ] ")) {
      running = TestOutput{rest, {}};
    } else if (running.name.empty()) {
      if (StartsWith(line, "[  PASSED  ] ")) account.passed = std::atoi(rest.c_str());
      if (StartsWith(line, "[  FAILED  ] ")) account.failures = true;
    } else if (StartsWith(rest, running.name) && StartsWith(line, "[       OK ] ")) {
      running = TestOutput();
    } else if (StartsWith(rest, running.name) && StartsWith(line, "[  FAILED  ] ")) {
      account.failures = true;
      account.failed.push_back(running);
      running = TestOutput();
    } else if (StartsWith(rest, running.name) && StartsWith(line, "[  SKIPPED ] ")) {
      account.skipped.push_back(running);
      running = TestOutput();
    } else {
      running.lines.push_back(line);
    }
  }
  account.unfinished = running;
  return account;
}

void Quote(const std::vector<std::string>& lines, std::string* report) {
  const size_t first = lines.size() > kMaxQuotedLines ? lines.size() - kMaxQuotedLines : 0;
  if (first > 0) *report += "          [...]\n";
  for (size_t i = first; i < lines.size(); ++i) *report += "          " + lines[i] + "\n";
}

std::string ReadFile(const std::string& path) {
  std::string text;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, read);
    std::fclose(file);
  }
  return text;
}

struct Run {
  bool hung = false;
  bool ended_early = false;  // GoogleTest's premature-exit file outlived it
  DWORD status = 0;
  double seconds = 0;
  std::string error;  // why it did not start
};

// Runs `exe` with its output to `log`, in `scratch`; afterwards removes the
// scratch key it may have left by crashing or hanging. GoogleTest creates
// the file `premature` when its tests start and deletes it when they end,
// so an exit in the middle of a test shows even when the output was cut.
Run RunProgram(const std::string& exe, const std::string& log, const std::string& premature,
               const std::string& scratch) {
  Run run;
  DeleteFileA(premature.c_str());
  SetEnvironmentVariableA("TEST_PREMATURE_EXIT_FILE", premature.c_str());
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  const HANDLE output = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) {
    run.error = "cannot write " + log;
    return run;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  std::string command = "\"" + exe + "\"";
  PROCESS_INFORMATION process = {};
  const ULONGLONG start = GetTickCount64();
  EnterCriticalSection(&g_child_lock);
  const bool started = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      scratch.c_str(), &startup, &process);
  const DWORD error = started ? 0 : GetLastError();
  if (started) {
    g_child = process.hProcess;
    g_child_id = process.dwProcessId;
  }
  LeaveCriticalSection(&g_child_lock);
  CloseHandle(output);
  if (!started) {
    run.error = "cannot start it (error " + std::to_string(error) + ")";
    return run;
  }
  CloseHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, kTimeoutSeconds * 1000) == WAIT_TIMEOUT) {
    run.hung = true;
    TerminateProcess(process.hProcess, ERROR_TIMEOUT);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  run.seconds = (GetTickCount64() - start) / 1000.0;
  GetExitCodeProcess(process.hProcess, &run.status);
  run.ended_early = DeleteFileA(premature.c_str()) != 0;
  // Still holding the process, whose id no other process can take meanwhile.
  EnterCriticalSection(&g_child_lock);
  chromatte::test::DeleteScratchKey(process.dwProcessId);
  g_child = nullptr;
  LeaveCriticalSection(&g_child_lock);
  CloseHandle(process.hProcess);
  return run;
}

std::string Format(const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

// Exit statuses as Windows defines them (ntstatus.h): from 0x80000000 on,
// the exception that ended the process, or the loader's reason not to start it.
struct StatusName {
  DWORD status;
  const char* name;
};
constexpr StatusName kCannotStart[] = {
    {0xC0000135, "a DLL it needs is missing"},
    {0xC000007B, "it or a DLL it needs is damaged or of another architecture"},
};
constexpr StatusName kExceptions[] = {
    {0x80000003, "breakpoint"},
    {0xC0000005, "access violation"},
    {0xC000001D, "illegal instruction"},
    {0xC0000094, "integer division by zero"},
    {0xC00000FD, "stack overflow"},
    {0xC0000374, "heap corruption"},
    {0xC0000409, "stack buffer overrun or fail-fast"},
    {0xE06D7363, "C++ exception"},
};

template <size_t N>
const char* NameOf(DWORD status, const StatusName (&names)[N]) {
  for (const StatusName& known : names)
    if (known.status == status) return known.name;
  return nullptr;
}

// The result column: PASSED, or what went wrong, in plain words.
std::string Result(const Run& run, const Account& account, bool printed) {
  if (!run.error.empty()) return "FAILED   " + run.error;
  if (run.hung) return Format("HUNG     stopped after %lu s", kTimeoutSeconds);
  if (const char* why = NameOf(run.status, kCannotStart))
    return Format("FAILED   could not start: %s (0x%08lX)", why, run.status);
  if (run.status >= 0x80000000) {
    const char* name = NameOf(run.status, kExceptions);
    return Format("CRASHED  exception 0x%08lX", run.status) + (name ? std::string(" (") + name + ")" : "");
  }
  if (run.status != 0) return Format("FAILED   exit status %lu", run.status);
  if (!account.unfinished.name.empty()) return "FAILED   exited 0 in the middle of " + account.unfinished.name;
  if (run.ended_early) return "FAILED   exited 0 in the middle of its tests";
  if (account.failures) return "FAILED   reported failures but exited 0";
  if (!printed) return "FAILED   printed nothing";
  if (account.passed == 0) return "FAILED   ran no test";
  return "PASSED";
}

// The tester's GoogleTest settings (a filter, a repeat count...) are not
// handed to the programs: each runs all of its tests. GoogleTest also takes
// a filter from TESTBRIDGE_TEST_ONLY, which Bazel sets. Returns their names.
std::string DropGoogleTestVariables() {
  std::vector<std::string> names;
  if (char* block = GetEnvironmentStringsA()) {
    // An entry is NAME=value; some of Windows's own names start with '='.
    for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) {
      if (_strnicmp(entry, "GTEST_", 6) == 0 || _strnicmp(entry, "TESTBRIDGE_", 11) == 0)
        names.emplace_back(entry, std::strchr(entry, '=') - entry);
    }
    FreeEnvironmentStringsA(block);
  }
  std::string dropped;
  for (const std::string& name : names) {
    SetEnvironmentVariableA(name.c_str(), nullptr);
    dropped += (dropped.empty() ? "" : ", ") + name;
  }
  return dropped;
}

// Windows as it says it is: RtlGetVersion does not take the program's
// manifest into account, and the registry gives the update and the release.
std::string WindowsVersion() {
  RTL_OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  using GetVersionFunction = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto get_version = reinterpret_cast<GetVersionFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
  if (!get_version || get_version(&version) != 0) return "unknown";
  std::string text = Format("%lu.%lu build %lu", version.dwMajorVersion, version.dwMinorVersion,
                            version.dwBuildNumber);
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
    DWORD update = 0, size = sizeof update;
    if (RegQueryValueExA(key, "UBR", nullptr, nullptr, reinterpret_cast<BYTE*>(&update), &size) ==
        ERROR_SUCCESS)
      text += Format(".%lu", update);
    char release[64] = {};
    size = sizeof release - 1;
    if (RegQueryValueExA(key, "DisplayVersion", nullptr, nullptr, reinterpret_cast<BYTE*>(release), &size) ==
        ERROR_SUCCESS)
      text += Format(" (%s)", release);
    RegCloseKey(key);
  }
  if (version.dwMajorVersion == 10 && version.dwBuildNumber >= 22000) text += ", Windows 11";
  using WineVersionFunction = const char*(CDECL*)();
  const auto wine_version = reinterpret_cast<WineVersionFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "wine_get_version")));
  if (wine_version) text += Format(", under Wine %s", wine_version());
  return text;
}

std::string MachineArchitecture() {
  SYSTEM_INFO system;
  GetNativeSystemInfo(&system);
  switch (system.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL: return "x86";
    case PROCESSOR_ARCHITECTURE_AMD64: return "x64";
    case PROCESSOR_ARCHITECTURE_ARM64: return "ARM64";
    default: return Format("processor architecture %u", system.wProcessorArchitecture);
  }
}

int ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// Started by a double-click, the runner has a console of its own, which
// closes with it: it waits for the reader first.
void WaitWhenAlone() {
  DWORD processes[2], mode;
  if (GetConsoleProcessList(processes, 2) == 1 && GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) {
    std::printf("Press Enter to close.\n");
    std::getchar();
  }
}

int RunAll() {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length == MAX_PATH) {
    std::printf("cannot find the runner's own folder\n");
    return 2;
  }
  const std::string folder(self, std::strrchr(self, '\\') + 1);
  const std::string scratch = folder + "scratch";
  const std::string report_path = folder + "chromatte-tests-report.txt";
  CreateDirectoryA(scratch.c_str(), nullptr);
  // Whatever a program writes to its temporary folder stays in the scratch folder.
  SetEnvironmentVariableA("TEMP", scratch.c_str());
  SetEnvironmentVariableA("TMP", scratch.c_str());
  const std::string dropped = DropGoogleTestVariables();

  std::vector<std::string> programs;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((folder + "*_tests.exe").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do programs.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
  }
  std::sort(programs.begin(), programs.end());

  SetProcessDPIAware();
  const int dpi = ScreenDpi();
  std::string report = Format("%s\n\n", CHROMATTE_TESTS_NAME);
  report += "Windows:        " + WindowsVersion() + "\n";
  report += "Architecture:   " + MachineArchitecture() + " machine, " + CHROMATTE_TESTS_ARCH + " tests\n";
  report += Format("Screen:         %d DPI (%d %%)\n", dpi, (dpi * 100 + 48) / 96);
  report += Format("ANSI code page: %u\n", GetACP());
  if (!dropped.empty()) {
    const std::string note = "Not handed on:  " + dropped + " (each program runs all of its tests)\n";
    std::printf("%s", note.c_str());
    report += note;
  }
  report += "\n";

  int failed = 0;
  for (const std::string& program : programs) {
    std::printf("%-28s ", program.c_str());
    std::fflush(stdout);
    const std::string base = scratch + "\\" + program.substr(0, program.size() - 4);
    const Run run = RunProgram(folder + program, base + ".log", base + ".running", scratch);
    const std::vector<std::string> output = Lines(ReadFile(base + ".log"));
    const Account account = ReadAccount(output);
    std::string result = Result(run, account, !output.empty());
    const bool passed = result == "PASSED";
    if (!passed) ++failed;
    if (run.error.empty()) result += Format(" (%.1f s)", run.seconds);
    std::printf("%s\n", result.c_str());
    report += Format("%-28s ", program.c_str()) + result + "\n";

    for (const TestOutput& test : account.failed) {
      report += "      failed:  " + test.name + "\n";
      Quote(test.lines, &report);
    }
    if (!account.unfinished.name.empty()) {
      report += "      ended while running:  " + account.unfinished.name + "\n";
      Quote(account.unfinished.lines, &report);
    }
    if (!passed && account.failed.empty() && account.unfinished.name.empty() && !output.empty()) {
      report += "      its output ended with:\n";
      Quote(output, &report);
    }
    for (const TestOutput& test : account.skipped) {
      report += "      skipped: " + test.name + "\n";
      Quote(test.lines, &report);
    }
  }

  std::string verdict;
  if (programs.empty())
    verdict = "no test program found beside the runner: nothing passed.";
  else if (failed == 0)
    verdict = Format("all %u programs passed.", static_cast<unsigned>(programs.size()));
  else
    verdict = Format("NOT everything passed: %d of %u programs failed.", failed,
                     static_cast<unsigned>(programs.size()));
  report += "\n" + verdict + "\n";
  FILE* file = std::fopen(report_path.c_str(), "w");  // CR LF, for any Notepad
  bool written = file && std::fwrite(report.data(), 1, report.size(), file) == report.size();
  if (file) written = std::fclose(file) == 0 && written;
  if (!written) {
    std::printf("cannot write %s; %s\n", report_path.c_str(), verdict.c_str());
    return 2;
  }
  std::printf("Report: %s; %s\n", report_path.c_str(), verdict.c_str());
  return failed == 0 && !programs.empty() ? 0 : 1;
}

}  // namespace

int main() {
  InitializeCriticalSection(&g_child_lock);
  // A crash is a result to report: no error box waits for a click meanwhile.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  const int status = RunAll();
  WaitWhenAlone();
  return status;
}
