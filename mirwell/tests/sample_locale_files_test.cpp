// The sample locale files: one per language tag, each with every key the
// library reads, none empty, no key twice.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

// section -> key -> value, as a profile reader sees the file (keys lower-cased).
using Profile = std::map<std::string, std::map<std::string, std::string>>;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

Profile Parse(const std::string& path, std::string* duplicate) {
  std::ifstream in(path, std::ios::binary);
  Profile profile;
  std::string section, line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      section = Lower(line.substr(1, line.find(']') - 1));
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Lower(line.substr(0, eq));
    if (profile[section].count(key)) *duplicate = section + "/" + key;
    profile[section][key] = line.substr(eq + 1);
  }
  return profile;
}

TEST(SampleLocaleFiles, EveryTagHasEveryKey) {
  const char* tags[] = {"EN", "IT", "TC", "SC", "FR", "DE", "ES", "DU", "PT", "SV", "JP"};
  const char* errorKeys[] = {"err_code", "err_title", "err_title_info", "err_hint", "err_0000",
                             "err_0001", "err_0002", "err_0003", "err_0004", "err_0005",
                             "err_0006", "err_0007", "err_0008", "err_0009", "err_0010"};
  for (const char* tag : tags) {
    std::string path = std::string(MIRWELL_SAMPLE_LOCALE_DIR) + "/Orvanta_" + tag + ".ini";
    std::string duplicate;
    Profile profile = Parse(path, &duplicate);
    ASSERT_FALSE(profile.empty()) << path;
    EXPECT_EQ("", duplicate) << path;
    for (const char* key : errorKeys) {
      EXPECT_NE("", profile["error"][key]) << path << " " << key;
    }
    EXPECT_NE("", profile["common"]["lbok"]) << path;
    EXPECT_NE("", profile["common"]["lbnext"]) << path;
    // The code line's label keeps its closing space only inside quotes.
    const std::string& code = profile["error"]["err_code"];
    EXPECT_TRUE(code.size() >= 2 && code.front() == '"' && code.back() == '"') << path;
  }
}

}  // namespace
