// nxrasc: compiles ActionScript to a SWF movie, or lists a movie's tags and actions.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "compiler.h"
#include "disassembler.h"

namespace {

const char kUsage[] =
    "usage: nxrasc [options] SOURCE.as -o MOVIE.swf\n"
    "       nxrasc --disassemble MOVIE.swf\n"
    "options:\n"
    "  -o FILE          output movie (default: SOURCE with .swf)\n"
    "  --version N      SWF version 6 to 10 (overrides #version)\n"
    "  --compress       write a compressed movie (CWS)\n"
    "  --no-compress    write an uncompressed movie (FWS)\n";

bool readFile(const std::string& path, std::vector<uint8_t>& data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Writes through a temporary file and renames it, so that a failure leaves no partial movie.
bool writeFile(const std::string& path, const std::vector<uint8_t>& data) {
  std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string source, output, disassembleFile;
  nxr::asc::CompileOverrides overrides;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) {
        std::cerr << "nxrasc: " << a << " needs a value\n" << kUsage;
        std::exit(2);
      }
      return args[++i];
    };
    if (a == "-o") {
      output = value();
    } else if (a == "--disassemble") {
      disassembleFile = value();
    } else if (a == "--version") {
      std::string v = value();
      char* end = nullptr;
      long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < 6 || n > 10) {
        std::cerr << "nxrasc: --version must be 6 to 10\n";
        return 2;
      }
      overrides.version = static_cast<int>(n);
    } else if (a == "--compress") {
      overrides.compress = true;
    } else if (a == "--no-compress") {
      overrides.compress = false;
    } else if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      std::cerr << "nxrasc: unknown option " << a << "\n" << kUsage;
      return 2;
    } else if (source.empty()) {
      source = a;
    } else {
      std::cerr << "nxrasc: more than one source file\n" << kUsage;
      return 2;
    }
  }

  if (!disassembleFile.empty()) {
    std::vector<uint8_t> movie;
    if (!readFile(disassembleFile, movie)) {
      std::cerr << "nxrasc: cannot read " << disassembleFile << "\n";
      return 1;
    }
    std::string listing, error;
    bool ok = nxr::asc::disassemble(movie, listing, error);
    std::cout << listing;
    if (!ok) {
      std::cerr << disassembleFile << ": error: " << error << "\n";
      return 1;
    }
    return 0;
  }

  if (source.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  if (output.empty()) {
    size_t dot = source.find_last_of('.');
    size_t slash = source.find_last_of('/');
    output = (dot != std::string::npos && (slash == std::string::npos || dot > slash)
                  ? source.substr(0, dot)
                  : source) +
             ".swf";
  }
  std::vector<uint8_t> text;
  if (!readFile(source, text)) {
    std::cerr << "nxrasc: cannot read " << source << "\n";
    return 1;
  }
  nxr::asc::CompileResult result = nxr::asc::compileSource(
      std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), source, overrides);
  if (!result.ok) {
    std::remove(output.c_str());  // no stale movie from an earlier run either
    std::cerr << result.error << "\n";
    return 1;
  }
  if (!writeFile(output, result.swf)) {
    std::cerr << "nxrasc: cannot write " << output << "\n";
    return 1;
  }
  return 0;
}
