// Layers point one way: control <- platform <- app/data <- app/services <- the subsystems' windows
// <- the shell (shell/), with the tools beside it. A header included from a room above its own fails
// here with the file and the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Room {
  std::string prefix;
  int rank;
};

// Longest prefixes first, so that app/data is not taken for app. app/ holds only data/ and services/:
// anything else put there ranks with the data layer, so it cannot reach up either. The database tool
// uses the subsystems' units but never the shell; the tools sit beside the shell and may.
const std::vector<Room> kRooms = {
    {"app/services/", 3}, {"app/data/", 2},    {"control/", 0}, {"platform/", 1}, {"parties/", 4},
    {"loans/", 4},        {"financing/", 4},   {"output/", 4},  {"db/", 4},       {"shell/", 5},
    {"tools/", 5},        {"app/", 2},
};

std::optional<Room> roomOf(const std::string& path) {
  for (const Room& r : kRooms)
    if (path.rfind(r.prefix, 0) == 0) return r;
  return std::nullopt;
}

struct Violation {
  std::string file;
  int line;
  std::string include;
};

std::vector<Violation> upwardIncludes(const fs::path& root) {
  static const std::regex kInclude(R"(^\s*#\s*include\s*\"([^\"]+)\")");
  std::vector<Violation> out;
  for (const char* top : {"shell", "tools", "db", "app", "control", "platform", "parties", "loans", "financing", "output"}) {
    if (!fs::exists(root / top)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".h" && ext != ".cpp" && ext != ".inc") continue;
      const std::string rel = fs::relative(entry.path(), root).generic_string();
      const auto from = roomOf(rel);
      if (!from) continue;
      std::ifstream in(entry.path());
      std::string line;
      int n = 0;
      while (std::getline(in, line)) {
        ++n;
        std::smatch m;
        if (!std::regex_search(line, m, kInclude)) continue;
        const auto to = roomOf(m[1].str());
        if (to && to->rank > from->rank) out.push_back({rel, n, m[1].str()});
      }
    }
  }
  return out;
}

}  // namespace

TEST(Layers, RoomsAreRankedAsDrawn) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"control/core/cImage32.h", 0}, {"control/pbCommand.h", 0}, {"platform/Grid.h", 1},
      {"app/data/Database.h", 2},     {"app/services/Ledger.h", 3}, {"parties/admin/frmXtsz.h", 4},
      {"loans/LoanCalc.h", 4},        {"shell/frmMain.h", 5},       {"tools/CalcTool.h", 5},
      {"db/vrnjd_db.cpp", 4},         {"app/Stray.cpp", 2},
  };
  for (const auto& [path, rank] : cases) {
    auto r = roomOf(path);
    ASSERT_TRUE(r) << path;
    EXPECT_EQ(r->rank, rank) << path;
  }
  EXPECT_FALSE(roomOf("tests/shell/test_login.cpp"));
}

TEST(Layers, DetectsAnIncludeFromARoomAbove) {
  const fs::path root = fs::temp_directory_path() / "vrn_layers_probe";
  fs::remove_all(root);
  fs::create_directories(root / "app/data");
  fs::create_directories(root / "parties");
  fs::create_directories(root / "shell");
  fs::create_directories(root / "tools");
  std::ofstream(root / "app/data/Bad.cpp") << "#include \"app/services/Ledger.h\"\n#include \"platform/Grid.h\"\n";
  std::ofstream(root / "parties/Fine.cpp") << "#include \"app/data/Database.h\"\n";
  std::ofstream(root / "parties/Bad.cpp") << "#include \"loans/LoanCalc.h\"\n#include \"shell/frmMain.h\"\n";
  std::ofstream(root / "shell/Fine.cpp") << "#include \"loans/frmDkdjB.h\"\n#include \"tools/CalcTool.h\"\n";
  std::ofstream(root / "tools/Fine.cpp") << "#include \"shell/frmMain.h\"\n";
  auto found = upwardIncludes(root);
  fs::remove_all(root);
  std::sort(found.begin(), found.end(), [](const Violation& a, const Violation& b) { return a.file < b.file; });
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].file, "app/data/Bad.cpp");
  EXPECT_EQ(found[0].line, 1);
  EXPECT_EQ(found[0].include, "app/services/Ledger.h");
  EXPECT_EQ(found[1].file, "parties/Bad.cpp");
  EXPECT_EQ(found[1].line, 2);
  EXPECT_EQ(found[1].include, "shell/frmMain.h");
}

TEST(Layers, NoSourceIncludesAHeaderOfARoomAbove) {
  const auto found = upwardIncludes(fs::path(VRN_SOURCE_DIR));
  for (const Violation& v : found) ADD_FAILURE() << v.file << ":" << v.line << " includes " << v.include;
  EXPECT_TRUE(found.empty());
}
