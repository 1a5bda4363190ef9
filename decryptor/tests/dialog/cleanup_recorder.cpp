#include "cleanup_recorder.h"

#include <shellapi.h>

#include <cstdlib>

#include "orxtest/driver.h"

namespace dialogtest {

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

std::wstring BuildPath(const wchar_t* name) {
  const char* bin = std::getenv("ORX_BIN_DIR");  // <build>/bin, a Unix path
  std::wstring path = bin ? L"Z:" + orxtest::Utf8ToWide(bin) + L"/../" : orxtest::ModuleFolder() + L"\\..\\";
  path += name;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

CleanupRecorder::CleanupRecorder() {
  tool_ = orxtest::WindowsFolder() + L"\\Orx_DelTool.exe";
  backup_ = tool_ + L".kept-by-test";
  log_ = orxtest::WindowsFolder() + L"\\temp\\orx_cleanup_starts.log";
  CreateDirectoryW((orxtest::WindowsFolder() + L"\\temp").c_str(), nullptr);
  DeleteFileW(log_.c_str());
  SetEnvironmentVariableW(L"ORX_RECORDER_LOG", log_.c_str());
  hadTool_ = orxtest::FileExists(tool_);
  if (hadTool_) MoveFileExW(tool_.c_str(), backup_.c_str(), MOVEFILE_REPLACE_EXISTING);
  installed_ = CopyFileW((orxtest::ModuleFolder() + L"\\orx_recorder.exe").c_str(), tool_.c_str(),
                         FALSE) != FALSE;
}

CleanupRecorder::~CleanupRecorder() {
  // A recorder still starting may hold the file for a moment.
  for (int i = 0; i < 50 && !DeleteFileW(tool_.c_str()) && orxtest::FileExists(tool_); ++i) Sleep(100);
  if (hadTool_) MoveFileExW(backup_.c_str(), tool_.c_str(), MOVEFILE_REPLACE_EXISTING);
  DeleteFileW(log_.c_str());
  SetEnvironmentVariableW(L"ORX_RECORDER_LOG", nullptr);
}

std::vector<Start> CleanupRecorder::Read() const {
  std::vector<unsigned char> bytes = orxtest::ReadBytes(log_);
  std::wstring text = orxtest::Utf8ToWide(std::string(bytes.begin(), bytes.end()));
  std::vector<Start> starts;
  size_t pos = 0, end;
  while ((end = text.find(L"\r\n", pos)) != std::wstring::npos) {
    std::wstring line = text.substr(pos, end - pos);
    pos = end + 2;
    size_t tab1 = line.find(L'\t'), tab2 = line.rfind(L'\t');
    Start s;
    s.commandLine = line.substr(0, tab1);
    std::wstring show = line.substr(tab2 + 1);
    s.showWindow = show == L"-" ? -1 : _wtoi(show.c_str());
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(s.commandLine.c_str(), &argc);
    for (int i = 0; argv && i < argc; ++i) s.args.push_back(argv[i]);
    LocalFree(argv);
    starts.push_back(s);
  }
  return starts;
}

std::vector<Start> CleanupRecorder::WaitForStarts(size_t count, DWORD timeoutMs) {
  DWORD begin = GetTickCount();
  while (Read().size() < count && GetTickCount() - begin < timeoutMs) Sleep(50);
  Sleep(1500);  // room for a start that should not have happened
  return Read();
}

}  // namespace dialogtest
