// nxrpack's work: loading a TOML project description into a project record, appending the payload
// to a copy of the runtime, and printing the record of a built application as JSON.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/payload_writer.h"
#include "app/project_data.h"

namespace nxr::pack {

struct LoadedProject {
  ProjectData data;
  PlainValues plain;                  // variables to be stored as plain text
  std::vector<std::string> warnings;  // keys whose fields the chosen versions do not store
};

// Reads the description; paths in it are relative to its folder. formatVersion and recordVersion
// are written into the record and its forms. On failure error names the file, the line and the
// key.
bool loadProject(const std::filesystem::path& toml, int32_t formatVersion, int32_t recordVersion,
                 LoadedProject& project, std::string& error);

struct BuildOptions {
  std::filesystem::path project;
  std::filesystem::path output;
  std::filesystem::path runtime;
  int32_t formatVersion = kNewestFormatVersion;
  int32_t recordVersion = kNewestFormRecordVersion;
};

// Writes the runtime image followed by the payload to a temporary file beside the output and
// renames it into place, so a failure leaves no half-written output.
bool buildApplication(const BuildOptions& options, std::vector<std::string>& warnings,
                      std::string& error);

// Why a runtime image cannot carry a payload, or empty when it can: the image must not contain
// the marker (the scan would stop there) and must not end in the marker's first byte.
std::string checkRuntimeImage(const std::vector<uint8_t>& image);

// The record as JSON: every stored field under its name, movies, plug-ins, files and images as
// size and SHA-256 of their plain bytes, protected variables deciphered.
std::string dumpJson(const ProjectData& project);
bool dumpApplication(const std::filesystem::path& application, std::string& json,
                     std::string& error);

// The runtime used when none is named: NXR_RUNTIME, else nxr.exe beside this program.
std::filesystem::path defaultRuntime();

// A path from UTF-8 text and back, whatever the platform's path encoding.
std::filesystem::path pathFromUtf8(const std::string& text);
std::string pathToUtf8(const std::filesystem::path& path);

}  // namespace nxr::pack
