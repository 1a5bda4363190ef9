// The zone-record rules that the decryptor and orx share, through the real
// file system: which paths name a record, what stands for one that cannot
// be read, and what a write leaves.
#include "orx/zone_record.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "orxtest/driver.h"

namespace orx {
namespace {

using Bytes = std::vector<unsigned char>;

const std::string kRecord = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://mail.example/att\r\n";
const std::string kInternet = kInternetZoneRecord;
constexpr wchar_t kStream[] = L":Zone.Identifier";

class ZoneRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"orx_zone_" + std::to_wstring(GetCurrentProcessId());
    orxtest::RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  }
  void TearDown() override { orxtest::RemoveTree(folder_); }

  // A file `name` in the folder, with `record` as its stream unless empty.
  std::wstring File(const wchar_t* name, const std::string& record) {
    std::wstring path = folder_ + L"\\" + name;
    EXPECT_TRUE(orxtest::WriteBytes(path, "x", 1));
    if (!record.empty()) {
      EXPECT_TRUE(orxtest::WriteBytes(path + kStream, record.data(), record.size()));
    }
    return path;
  }

  // What ReadZoneRecord gives for `path`: "none", or the record's text.
  static std::string Read(const std::wstring& path) {
    auto zone = std::make_unique<ZoneRecord>();
    ReadZoneRecord(path.c_str(), zone.get());
    return zone->present ? std::string(zone->bytes, zone->bytes + zone->size) : "none";
  }

  std::wstring folder_;
};

// Every way a path can name a file, and every record the reader can meet.
TEST_F(ZoneRecordTest, ReadsWhatThePathNamesAndStandsInForTheRest) {
  const std::wstring zoned = File(L"zoned.bin", kRecord);
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
  std::string relative = Read(L"zoned.bin");
  SetCurrentDirectoryW(current);
  std::string largest(kMaxZoneRecordBytes, 'z');
  struct Row {
    const char* what;
    std::wstring path;
    std::string expected;
  } rows[] = {
      {"a full path", zoned, kRecord},
      {"a path in the long form, as it is", L"\\\\?\\" + zoned, kRecord},
      {"a path with forward slashes", folder_ + L"/zoned.bin", kRecord},
      {"a device path names no stream", L"\\\\.\\" + zoned, kInternet},
      {"a local file", File(L"local.bin", ""), "none"},
      {"a file gone by now", folder_ + L"\\gone.bin", "none"},
      {"a record of the largest size", File(L"largest.bin", largest), largest},
      {"a record one byte larger", File(L"larger.bin", largest + "z"), kInternet},
      {"a path too long to name",
       folder_ + L"\\" + std::wstring(kMaxZoneFullPathUnits - folder_.size(), L'n'), kInternet},
  };
  EXPECT_EQ(relative, kRecord) << "a relative path";
  for (const Row& row : rows) {
    EXPECT_EQ(Read(row.path), row.expected) << row.what;
  }
  // A record that is there but cannot be read (held without sharing).
  HANDLE held = CreateFileW((zoned + kStream).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Read(zoned), kInternet) << "a record held by another";
  CloseHandle(held);
}

// Which of the system's reasons for an unopened stream mean no record:
// a volume that keeps no streams (FAT, exFAT, a share without them) names
// the stream invalid or the call unsupported; Wine's volumes always keep
// them, so the reasons are taken one by one.
TEST(ZoneRecordRule, AVolumeWithoutStreamsHasNoRecordAndAHeldOneIsTheInternet) {
  for (DWORD none : {ERROR_FILE_NOT_FOUND, ERROR_INVALID_NAME, ERROR_INVALID_PARAMETER,
                     ERROR_NOT_SUPPORTED, ERROR_INVALID_FUNCTION}) {
    EXPECT_TRUE(MeansNoRecord(none)) << none;
  }
  for (DWORD there : {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION,
                      ERROR_NOT_ENOUGH_MEMORY}) {
    EXPECT_FALSE(MeansNoRecord(there)) << there;
  }
}

// A record goes on whole, is found there, and goes away again; no record
// to give writes nothing; a path that cannot be named takes none.
TEST_F(ZoneRecordTest, WritesChecksAndRemovesTheRecord) {
  auto zone = std::make_unique<ZoneRecord>();
  ReadZoneRecord(File(L"source.bin", kRecord).c_str(), zone.get());
  const std::wstring target = File(L"target.bin", "");
  EXPECT_FALSE(CarriesZoneRecord(*zone, target.c_str()));
  ASSERT_TRUE(WriteZoneRecord(*zone, target.c_str()));
  EXPECT_TRUE(CarriesZoneRecord(*zone, target.c_str()));
  Bytes written = orxtest::ReadBytes(target + kStream);
  EXPECT_EQ(std::string(written.begin(), written.end()), kRecord);
  EXPECT_FALSE(WriteZoneRecord(*zone, (L"\\\\.\\" + target).c_str()));
  EXPECT_FALSE(CarriesZoneRecord(*zone, (L"\\\\.\\" + target).c_str()));

  // Another record than the one there is not carried.
  auto other = std::make_unique<ZoneRecord>();
  ReadZoneRecord(File(L"other.bin", kInternet).c_str(), other.get());
  EXPECT_FALSE(CarriesZoneRecord(*other, target.c_str()));

  RemoveZoneRecord(target.c_str());
  EXPECT_FALSE(orxtest::FileExists(target + kStream));
  EXPECT_FALSE(CarriesZoneRecord(*zone, target.c_str()));

  const ZoneRecord none = {};
  EXPECT_TRUE(WriteZoneRecord(none, target.c_str()));
  EXPECT_TRUE(CarriesZoneRecord(none, target.c_str()));
  EXPECT_FALSE(orxtest::FileExists(target + kStream)) << "nothing to give, nothing written";
}

}  // namespace
}  // namespace orx
