// Error reports name a context only where the error report's own table gives one; every other
// handler passes an empty context, so the user reads "程序出现异常！" (or the system's sentence)
// first, never a procedure name. The sources are read as they stand: a handler that gains a
// procedure name, or a named context that goes missing or moves, fails here with file and line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Call {
  std::string file;
  int line;
  std::string context;  // the literal text; "" for QString()
  std::string form;     // "this", "nullptr", another name, or "" where the call takes no window
  bool literal;         // false when the context is a variable (a helper passing its caller's on)
};

std::vector<Call> reportCalls(const fs::path& root) {
  static const std::regex kCall(
      R"(\b(Guarded|ReportRuntimeError|reportFailures)\(\s*(QString\(\)|QStringLiteral\(\"([^\"]*)\"\)|([A-Za-z_]\w*)))"
      R"((\s*,\s*([A-Za-z_]\w*))?)");
  std::vector<Call> out;
  for (const char* top : {"shell", "tools", "app", "platform", "parties", "loans", "financing", "output"}) {
    if (!fs::exists(root / top)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".h" && ext != ".cpp") continue;
      std::ifstream in(entry.path());
      std::stringstream buffer;
      buffer << in.rdbuf();
      const std::string text = buffer.str();
      const std::string rel = fs::relative(entry.path(), root).generic_string();
      for (auto it = std::sregex_iterator(text.begin(), text.end(), kCall); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        if (m[4].matched && m[4].str() == "const") continue;  // a declaration, not a call
        const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + m.position(0), '\n'));
        out.push_back({rel, line, m[3].str(), m[6].str(), !m[4].matched});
      }
    }
  }
  return out;
}

}  // namespace

TEST(ErrorContexts, EveryReportPassesTheContextAndWindowOfTheTable) {
  // file, context, window: "this" for the window itself, "none" for no window.
  const std::set<std::tuple<std::string, std::string, std::string>> table = {
      {"shell/frmLogin.cpp", "eButOK_Click", "this"},
      {"parties/frmYg.cpp", "关闭基础输出", "none"},
      {"parties/frmAEDyg.cpp", "Form_Load ", "this"},
      {"parties/frmAEDyg.cpp", "增加初始项 ", "this"},
      {"app/services/GridHelpers.cpp", "匹配下拉框 ", "none"},
      {"app/services/Pinyin.cpp", "获取拼音简写", "none"},
      {"shell/Startup.cpp", "初置数据库", "none"},
      {"app/data/DataAccess.cpp", "关闭数据合集", "none"},
      {"app/data/DataAccess.cpp", "关闭数据对象", "none"},
      {"app/data/DataAccess.cpp", "函数sqlDate", "none"},
      {"app/data/DataAccess.cpp", "sqlCont", "none"},
      {"app/services/GridHelpers.cpp", "cxSjkj", "none"},
      {"parties/admin/frmDrExcel.cpp", "连接Excel", "none"},
      {"parties/admin/frmbackup.cpp", "备份恢复数据库", "none"},
      {"financing/frmRzdjB.cpp", "请查看您电脑时间短日期是否带有星期参数！", "none"},
      {"output/frmPrintFr3.cpp", "报表打印", "this"},
  };
  // The two helpers that hand their caller's context on.
  const std::set<std::string> passOn = {"app/data/RuntimeError.h", "app/services/GridHelpers.cpp"};

  const std::vector<Call> calls = reportCalls(fs::path(VRN_SOURCE_DIR));
  ASSERT_GT(calls.size(), 100u) << "the sources were not found under " << VRN_SOURCE_DIR;
  std::set<std::tuple<std::string, std::string, std::string>> seen;
  for (const Call& c : calls) {
    const std::string where = c.file + ":" + std::to_string(c.line);
    if (!c.literal) {
      EXPECT_TRUE(passOn.count(c.file)) << where << " passes a context that is not written out";
      continue;
    }
    if (c.context.empty()) continue;
    const std::string form = c.form == "nullptr" || c.form.empty() ? "none" : c.form;
    const auto key = std::make_tuple(c.file, c.context, form);
    EXPECT_TRUE(table.count(key)) << where << " passes the context \"" << c.context << "\" with window " << form
                                  << ", which the table does not give there";
    seen.insert(key);
  }
  for (const auto& row : table)
    EXPECT_TRUE(seen.count(row)) << std::get<0>(row) << " no longer passes \"" << std::get<1>(row) << "\" with window "
                                 << std::get<2>(row);
}
