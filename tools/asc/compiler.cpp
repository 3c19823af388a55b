#include "compiler.h"

#include <cstdlib>

#include "codegen.h"
#include "lexer.h"
#include "parser.h"

namespace nxr::asc {
namespace {

bool parseInt(const std::string& text, long min, long max, long& value) {
  if (text.empty() || text.size() > 9) return false;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < min || v > max) return false;
  value = v;
  return true;
}

void needArgs(const Directive& d, size_t count) {
  if (d.args.size() != count)
    throw CompileError(d.loc, "#" + d.name + " takes " + std::to_string(count) + " argument" +
                                  (count == 1 ? "" : "s"));
}

// Applies the directives; returns the label of each frame.
std::vector<std::string> applyDirectives(const std::vector<Directive>& directives,
                                         size_t frameCount, MovieSettings& s) {
  std::vector<std::string> labels(frameCount);
  for (const Directive& d : directives) {
    long v = 0;
    if (d.name == "version") {
      needArgs(d, 1);
      if (!parseInt(d.args[0], 6, 10, v)) throw CompileError(d.loc, "#version must be 6 to 10");
      s.version = static_cast<int>(v);
    } else if (d.name == "size") {
      needArgs(d, 2);
      long w = 0, h = 0;
      if (!parseInt(d.args[0], 1, 8191, w) || !parseInt(d.args[1], 1, 8191, h))
        throw CompileError(d.loc, "#size needs a width and a height of 1 to 8191 pixels");
      s.width = static_cast<int>(w);
      s.height = static_cast<int>(h);
    } else if (d.name == "rate") {
      needArgs(d, 1);
      char* end = nullptr;
      double r = std::strtod(d.args[0].c_str(), &end);
      if (*end != '\0' || !(r > 0 && r < 256))
        throw CompileError(d.loc, "#rate must be a number above 0 and below 256");
      s.frameRate = r;
    } else if (d.name == "background") {
      needArgs(d, 1);
      std::string c = d.args[0];
      if (c.rfind("#", 0) == 0) {
        c = c.substr(1);
      } else if (c.rfind("0x", 0) == 0 || c.rfind("0X", 0) == 0) {
        c = c.substr(2);
      }
      char* end = nullptr;
      unsigned long rgb = std::strtoul(c.c_str(), &end, 16);
      if (c.size() != 6 || *end != '\0')
        throw CompileError(d.loc, "#background needs a colour as RRGGBB");
      s.background = static_cast<uint32_t>(rgb);
    } else if (d.name == "compress") {
      needArgs(d, 0);
      s.compress = true;
    } else if (d.name == "network") {
      needArgs(d, 0);
      s.useNetwork = true;
    } else if (d.name == "label") {
      needArgs(d, 1);
      std::string& label = labels[static_cast<size_t>(d.frame)];
      if (!label.empty()) throw CompileError(d.loc, "this frame already has a label");
      label = d.args[0];
    } else {
      throw CompileError(d.loc, "unknown directive #" + d.name);
    }
  }
  return labels;
}

}  // namespace

CompileResult compileSource(std::string_view source, const std::string& fileName,
                            const CompileOverrides& overrides) {
  CompileResult result;
  try {
    LexResult lexed = tokenize(source);
    Program program = parseProgram(lexed.tokens);
    MovieSettings settings;
    std::vector<std::string> labels =
        applyDirectives(lexed.directives, program.frames.size(), settings);
    if (overrides.version) settings.version = *overrides.version;
    if (overrides.compress) settings.compress = *overrides.compress;
    std::vector<std::vector<uint8_t>> code = generateFrames(program);
    std::vector<FrameContent> frames;
    for (size_t i = 0; i < code.size(); ++i) {
      FrameContent f;
      f.label = labels[i];
      // A frame without statements gets no DoAction.
      if (!program.frames[i]->body.empty()) f.actions = std::move(code[i]);
      frames.push_back(std::move(f));
    }
    std::string error;
    if (!writeSwf(settings, frames, result.swf, error)) {
      result.swf.clear();
      result.error = fileName + ":1:1: error: " + error;
      return result;
    }
    result.ok = true;
  } catch (const CompileError& e) {
    result.swf.clear();
    result.error = fileName + ":" + std::to_string(e.loc().line) + ":" +
                   std::to_string(e.loc().column) + ": error: " + e.what();
  }
  return result;
}

}  // namespace nxr::asc
