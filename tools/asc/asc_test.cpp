#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "compiler.h"
#include "disassembler.h"

namespace nxr::asc {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string listing(const std::vector<uint8_t>& swf) {
  std::string out, error;
  EXPECT_TRUE(disassemble(swf, out, error)) << error;
  return out;
}

std::string compileAndList(const std::string& source) {
  CompileResult r = compileSource(source, "test.as");
  EXPECT_TRUE(r.ok) << r.error;
  return r.ok ? listing(r.swf) : std::string();
}

// Each golden/NAME.as compiles to a movie whose listing is golden/NAME.txt. To accept a deliberate
// change, regenerate with: nxrasc golden/NAME.as -o /tmp/x.swf && nxrasc --disassemble /tmp/x.swf
TEST(AscGolden, ListingsMatch) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(NXR_ASC_GOLDEN_DIR)) {
    if (entry.path().extension() != ".as") continue;
    ++count;
    fs::path expected = entry.path();
    expected.replace_extension(".txt");
    SCOPED_TRACE(entry.path().filename().string());
    ASSERT_TRUE(fs::exists(expected));
    CompileResult r = compileSource(readText(entry.path()), entry.path().filename().string());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(listing(r.swf), readText(expected));
  }
  EXPECT_GT(count, 0);
}

struct ErrorCase {
  const char* source;
  const char* expected;  // the start of the message, with position
};

TEST(AscErrors, NameFileLineAndColumn) {
  const ErrorCase cases[] = {
      {"var x = ;", "test.as:1:9: error: expected an expression but found ';'"},
      {"trace(1);\n  trace(\"open);", "test.as:2:9: error: unterminated string"},
      {"/* never closed", "test.as:1:1: error: unterminated comment"},
      {"var a = 1 @ 2;", "test.as:1:11: error: unexpected character '@'"},
      {"x = \"caf\xC3\xA9\" $ 1;", "test.as:1:12: error: expected ';' but found '$'"},
      {"1 = 2;", "test.as:1:3: error: invalid assignment target"},
      {"break;", "test.as:1:1: error: break outside a loop or switch"},
      {"while (1) { function f() { continue; } }", "test.as:1:28: error: continue outside a loop"},
      {"return 1;", "test.as:1:1: error: return outside a function"},
      {"with (o) {}", "test.as:1:1: error: 'with' is not supported"},
      {"class A {}", "test.as:1:1: error: 'class' declarations are not supported"},
      {"#version 11", "test.as:1:1: error: #version must be 6 to 10"},
      {"\n#colour red", "test.as:2:1: error: unknown directive #colour"},
      {"#frame\n#label a\n#label b", "test.as:3:1: error: this frame already has a label"},
      {"trace(1, 2);", "test.as:1:1: error: trace takes 1 argument"},
      {"getURL(\"a\", \"b\", \"PUT\");", "test.as:1:18: error: the method must be"},
      {"var s = \"\\0\";", "test.as:1:10: error: a string cannot contain a NUL character"},
      {"switch (1) { default: default: }", "test.as:1:23: error: more than one default"},
      {"var v = 0x;", "test.as:1:9: error: malformed hexadecimal number"},
      {"try {}", "test.as:1:7: error: expected 'catch' or 'finally'"},
      {"function f( {}", "test.as:1:13: error: expected an identifier but found '{'"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.source);
    CompileResult r = compileSource(c.source, "test.as");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.swf.empty());
    EXPECT_EQ(r.error.rfind(c.expected, 0), 0u) << r.error;
  }
}

TEST(AscErrors, DeepNestingIsRefusedNotACrash) {
  std::string source = "x = " + std::string(20000, '(') + "1" + std::string(20000, ')') + ";";
  CompileResult r = compileSource(source, "deep.as");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("nesting too deep"), std::string::npos) << r.error;

  std::string blocks = std::string(5000, '{') + std::string(5000, '}');
  EXPECT_FALSE(compileSource(blocks, "deep.as").ok);

  // Long operator and member chains make deep trees without recursion in the parser.
  std::string sum = "x = 1";
  for (int i = 0; i < 100000; ++i) sum += "+1";
  EXPECT_FALSE(compileSource(sum + ";", "chain.as").ok);
  std::string members = "x = a";
  for (int i = 0; i < 100000; ++i) members += ".b";
  EXPECT_FALSE(compileSource(members + ";", "chain.as").ok);
  std::string calls = "f";
  for (int i = 0; i < 100000; ++i) calls += "()";
  EXPECT_FALSE(compileSource(calls + ";", "chain.as").ok);
  // Ordinary lengths still compile.
  std::string shortSum = "x = 1";
  for (int i = 0; i < 300; ++i) shortSum += "+1";
  EXPECT_TRUE(compileSource(shortSum + ";", "chain.as").ok);
}

TEST(AscErrors, FrameScriptRunsOutOfTemporaryRegisters) {
  // Compound member assignments nest temporaries; a frame script has only four registers.
  std::string source = "a[b[c[d] += 1] += 1] += 1;";  // three objects held, then one key
  EXPECT_TRUE(compileSource(source, "t.as").ok);
  std::string deeper = "a[b[c[d[e] += 1] += 1] += 1] += 1;";
  CompileResult r = compileSource(deeper, "t.as");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("only 4 registers"), std::string::npos) << r.error;
  // Inside a function the same expression has registers enough.
  EXPECT_TRUE(compileSource("function f() { " + deeper + " }", "t.as").ok);
}

struct HeaderCase {
  const char* source;
  CompileOverrides overrides;
  const char* firstLine;
  bool fileAttributes;
};

TEST(AscMovie, HeaderVersionCompressionAndFileAttributes) {
  const HeaderCase cases[] = {
      {"trace(1);", {}, "FWS version 8, ", true},
      {"#version 6\ntrace(1);", {}, "FWS version 6, ", false},
      {"#version 7\n#compress\ntrace(1);", {}, "CWS version 7, ", false},
      {"#version 10\ntrace(1);", {}, "FWS version 10, ", true},
      {"#version 6\ntrace(1);", {9, true}, "CWS version 9, ", true},
      {"#compress\ntrace(1);", {std::nullopt, false}, "FWS version 8, ", true},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.source);
    CompileResult r = compileSource(c.source, "t.as", c.overrides);
    ASSERT_TRUE(r.ok) << r.error;
    std::string text = listing(r.swf);
    EXPECT_EQ(text.rfind(c.firstLine, 0), 0u) << text;
    EXPECT_EQ(text.find("FileAttributes") != std::string::npos, c.fileAttributes) << text;
    // The length in the header is the uncompressed length of the whole file.
    uint32_t total = r.swf[4] | (r.swf[5] << 8) | (r.swf[6] << 16) | (uint32_t(r.swf[7]) << 24);
    if (r.swf[0] == 'F') {
      EXPECT_EQ(total, r.swf.size());
    } else {
      std::vector<uint8_t> body(total - 8);
      uLongf size = static_cast<uLongf>(body.size());
      ASSERT_EQ(uncompress(body.data(), &size, r.swf.data() + 8, r.swf.size() - 8), Z_OK);
      EXPECT_EQ(size + 8, total);
    }
  }
}

TEST(AscMovie, StageRateBackgroundAndFrames) {
  std::string text = compileAndList(
      "#size 800 600\n#rate 30\n#background 0x102030\n#network\ntrace(1);\n#frame\n#frame\n"
      "#label end\nstop();");
  EXPECT_EQ(text.rfind("FWS version 8, ", 0), 0u);
  EXPECT_NE(text.find("stage 800x600 px, 30 fps, 3 frames"), std::string::npos) << text;
  EXPECT_NE(text.find("flags=0x00000001"), std::string::npos) << text;
  EXPECT_NE(text.find("#102030"), std::string::npos);
  EXPECT_NE(text.find("FrameLabel (43) length 4 \"end\""), std::string::npos);
  // The empty middle frame has no script: two DoActions for three frames.
  size_t doActions = 0;
  for (size_t at = text.find("DoAction"); at != std::string::npos;
       at = text.find("DoAction", at + 1))
    ++doActions;
  EXPECT_EQ(doActions, 2u);
}

TEST(AscCodegen, CapturedVariablesStayNamedOthersUseRegisters) {
  std::string text = compileAndList(
      "function f(a, b) { var kept = a; var temp = b * 2; return function () { return kept; }; }");
  // a and b are parameters in registers; kept is captured and named; temp gets a register.
  EXPECT_NE(text.find("(r1:a, r2:b)"), std::string::npos) << text;
  EXPECT_NE(text.find("Push c1:\"kept\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("DefineLocal2"), std::string::npos) << text;
  EXPECT_EQ(text.find("\"temp\""), std::string::npos) << text;

  // A function that calls eval keeps every local named.
  std::string evalText = compileAndList("function g(p) { var q = 1; return eval(\"q\"); }");
  EXPECT_NE(evalText.find("(p)"), std::string::npos) << evalText;
  EXPECT_NE(evalText.find("\"q\""), std::string::npos) << evalText;
}

TEST(AscCodegen, ThisAndArgumentsArePreloadedOnlyWhenUsed) {
  std::string text = compileAndList(
      "function m() { return this.x + arguments.length; }\nfunction n(v) { return v; }");
  EXPECT_NE(text.find("regs=3 flags=PreloadThis|PreloadArguments|SuppressSuper"), std::string::npos)
      << text;
  EXPECT_NE(text.find("(r1:v) regs=2 flags=SuppressThis|SuppressArguments|SuppressSuper"),
            std::string::npos)
      << text;
}

TEST(AscCodegen, StringsAndNumbersAreEncoded) {
  std::string text = compileAndList(
      "trace(\"tab\\there \\u00e9 \\x41\"); trace(1.5); trace(-0); trace(4294967296); trace(-7);");
  EXPECT_NE(text.find("\"tab\\there \xC3\xA9 A\""), std::string::npos) << text;
  EXPECT_NE(text.find("Push 1.5\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Push -0\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Push 4294967296\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Push -7\n"), std::string::npos) << text;
}

TEST(AscDisassembler, RejectsDamagedMovies) {
  CompileResult r =
      compileSource("function f(x) { try { return x; } finally { trace(1); } }", "t.as");
  ASSERT_TRUE(r.ok);
  // Every truncation of a valid movie is reported or listed without reading past the data.
  for (size_t n = 0; n < r.swf.size(); ++n) {
    std::vector<uint8_t> cut(r.swf.begin(), r.swf.begin() + static_cast<long>(n));
    std::string out, error;
    if (!disassemble(cut, out, error)) {
      EXPECT_FALSE(error.empty());
    }
  }
  std::string out, error;
  EXPECT_FALSE(disassemble({'G', 'I', 'F', '8', 0, 0, 0, 0}, out, error));
  // A compressed movie claiming an absurd length is refused before anything is allocated.
  EXPECT_FALSE(disassemble({'C', 'W', 'S', 8, 0xFF, 0xFF, 0xFF, 0xFF, 0x78, 0x9C}, out, error));
}

// The command line tool leaves no output file when compilation fails, not even a stale one.
TEST(AscTool, NoOutputFileOnFailure) {
  fs::path dir = fs::path(NXR_ASC_WORK_DIR) / "asc_tool_test";
  fs::create_directories(dir);
  fs::path good = dir / "good.as", bad = dir / "bad.as", out = dir / "out.swf";
  std::ofstream(good) << "trace(\"ok\");\n";
  std::ofstream(bad) << "trace(\"ok\");\nvar = 1;\n";
  std::string tool = NXR_ASC_EXECUTABLE;
  auto run = [&](const fs::path& src) {
    std::string cmd = "\"" + tool + "\" \"" + src.string() + "\" -o \"" + out.string() + "\" 2>\"" +
                      (dir / "stderr.txt").string() + "\"";
    return std::system(cmd.c_str());
  };
  fs::remove(out);
  EXPECT_EQ(run(good), 0);
  EXPECT_TRUE(fs::exists(out));
  EXPECT_NE(run(bad), 0);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(dir / "out.swf.tmp"));
  std::string stderrText = readText(dir / "stderr.txt");
  EXPECT_NE(stderrText.find("bad.as:2:5: error:"), std::string::npos) << stderrText;
}

}  // namespace
}  // namespace nxr::asc
