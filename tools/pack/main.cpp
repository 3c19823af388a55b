// nxrpack: packs a project into a copy of the runtime and inspects built applications.
//   nxrpack build PROJECT.toml -o APP.exe [--runtime nxr.exe] [--format-version N]
//                 [--record-version N]
//   nxrpack dump APP.exe
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>
#endif

#include "pack.h"
#include "support/text.h"

namespace {

// The command line as UTF-8 texts, program name first.
std::vector<std::string> commandLine(int argc, char** argv) {
  std::vector<std::string> args;
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; wide && i < count; ++i) {
    args.push_back(nxr::utf16ToUtf8(reinterpret_cast<const char16_t*>(wide[i])));
  }
  LocalFree(wide);
#else
  args.assign(argv, argv + argc);
#endif
  return args;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"nxrpack: builds nxr applications from project descriptions"};
  app.require_subcommand(1);

  std::string project, output, runtime;
  int formatVersion = nxr::kNewestFormatVersion;
  int recordVersion = nxr::kNewestFormRecordVersion;
  CLI::App* build = app.add_subcommand("build", "pack PROJECT.toml into a copy of the runtime");
  build->add_option("project", project, "project description (TOML)")->required();
  build->add_option("-o,--output", output, "application to write")->required();
  build->add_option("--runtime", runtime,
                    "runtime executable (default: $NXR_RUNTIME, else nxr.exe beside nxrpack)");
  build->add_option("--format-version", formatVersion, "project record version to write")
      ->check(CLI::Range(1, static_cast<int>(nxr::kNewestFormatVersion)));
  build->add_option("--record-version", recordVersion, "form record version to write")
      ->check(CLI::Range(1, static_cast<int>(nxr::kNewestFormRecordVersion)));

  std::string application;
  CLI::App* dump = app.add_subcommand("dump", "print the project record of an application as JSON");
  dump->add_option("application", application, "built application")->required();

  std::vector<std::string> args = commandLine(argc, argv);
  std::vector<std::string> reversed(args.rbegin(), args.rend() - 1);  // CLI11 wants them reversed
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

  std::string error;
  if (*build) {
    nxr::pack::BuildOptions options;
    options.project = nxr::pack::pathFromUtf8(project);
    options.output = nxr::pack::pathFromUtf8(output);
    options.runtime =
        runtime.empty() ? nxr::pack::defaultRuntime() : nxr::pack::pathFromUtf8(runtime);
    if (runtime.empty() && !std::filesystem::exists(options.runtime)) {
      std::cerr << "nxrpack: error: no runtime at " << nxr::pack::pathToUtf8(options.runtime)
                << "; name one with --runtime or NXR_RUNTIME\n";
      return 1;
    }
    options.formatVersion = formatVersion;
    options.recordVersion = recordVersion;
    std::vector<std::string> warnings;
    const bool ok = nxr::pack::buildApplication(options, warnings, error);
    for (const std::string& w : warnings) std::cerr << "nxrpack: warning: " << w << "\n";
    if (!ok) {
      std::cerr << "nxrpack: error: " << error << "\n";
      return 1;
    }
    return 0;
  }
  std::string json;
  if (!nxr::pack::dumpApplication(nxr::pack::pathFromUtf8(application), json, error)) {
    std::cerr << "nxrpack: error: " << error << "\n";
    return 1;
  }
  std::fwrite(json.data(), 1, json.size(), stdout);
  return 0;
}
