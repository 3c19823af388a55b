#include "moviehost/test_support.h"

#include <fstream>
#include <iterator>

namespace nxr::test {

std::string programFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

const std::vector<uint8_t>& fixtureImage() {
  static const std::vector<uint8_t> image = readFile(programFolder() + "fixture_control.dll");
  return image;
}

void clearFixtureEvents() { SetEnvironmentVariableA("NXR_FIXTURE_EVENTS", nullptr); }

std::string fixtureEvents() {
  char log[256];
  const DWORD length = GetEnvironmentVariableA("NXR_FIXTURE_EVENTS", log, sizeof log);
  return length < sizeof log ? std::string(log, length) : std::string();
}

}  // namespace nxr::test
