// Puts the recorder program in the cleanup tool's place for a test and reads
// back how it was started.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dialogtest {

struct Start {
  std::wstring commandLine;
  std::vector<std::wstring> args;  // as CommandLineToArgvW splits it, program first
  int showWindow = -1;             // STARTUPINFO's show state; -1 when not given
};

// Installs <bin>\orx_recorder.exe as <Windows folder>\Orx_DelTool.exe (any
// file already there is kept aside and put back by the destructor) and
// points the recorder's log at a fresh file.
class CleanupRecorder {
 public:
  CleanupRecorder();
  ~CleanupRecorder();
  bool installed() const { return installed_; }
  // Waits until at least `count` starts were recorded, then a settling time
  // for any further start, and returns them all.
  std::vector<Start> WaitForStarts(size_t count, DWORD timeoutMs = 15000);

 private:
  std::vector<Start> Read() const;
  std::wstring tool_, backup_, log_;
  bool installed_ = false;
  bool hadTool_ = false;
};

std::wstring OwnPath();
// <build>\<name>: a Unix build path seen through Wine's Z: drive.
std::wstring BuildPath(const wchar_t* name);

}  // namespace dialogtest
