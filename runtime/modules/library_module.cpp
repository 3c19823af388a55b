#include "modules/library_module.h"

#include <functional>
#include <utility>
#include <vector>

#include "app/project_data.h"
#include "modules/builtin_registration.h"
#include "support/files.h"
#include "support/folders.h"

namespace nxr {

namespace {

std::u16string joinPath(const std::u16string& folder, const std::u16string& name) {
  if (!folder.empty() && folder.back() == u'\\') return folder + name;
  return folder + u"\\" + name;
}

const std::u16string& argument(const std::vector<std::u16string>& args, size_t index) {
  static const std::u16string kEmpty;
  return index < args.size() ? args[index] : kEmpty;
}

}  // namespace

LibraryModule::LibraryModule(const ProjectData& project)
    : RuntimeModule(u"nxr runtime", u"1.0.0", u"nxr.Application.Library"), project_(project) {}

bool LibraryModule::registerMethods() {
  using Args = std::vector<std::u16string>;
  using Body = std::function<std::u16string(const LibraryModule&, const Args&)>;
  auto add = [this](const char16_t* name, Body body) {
    addMethod(name, [this, body](FormInterface&, const Args& args) { return body(*this, args); });
  };
  add(u"extractAllToDir", [](const LibraryModule& m, const Args& args) {
    m.writeAllEmbeddedFiles(argument(args, 0));
    return std::u16string();
  });
  add(u"extractAllToExecPath", [](const LibraryModule& m, const Args&) {
    m.writeAllEmbeddedFiles(workingDirectory());
    return std::u16string();
  });
  add(u"extractToExecPath", [](const LibraryModule& m, const Args& args) {
    const std::u16string& name = argument(args, 0);
    const std::u16string& target = argument(args, 1);
    if (!name.empty() && !target.empty()) {
      m.writeEmbeddedFile(name, joinPath(workingDirectory(), target));
    }
    return std::u16string();
  });
  add(u"extractToFile", [](const LibraryModule& m, const Args& args) {
    m.writeEmbeddedFile(argument(args, 0), argument(args, 1));
    return std::u16string();
  });
  add(u"extractToVar", [](const LibraryModule& m, const Args& args) {
    if (args.empty()) return std::u16string();
    return m.quotedFileText(args[0]);
  });
  return true;
}

void LibraryModule::writeEmbeddedFile(const std::u16string& name,
                                      const std::u16string& target) const {
  if (name.empty() || target.empty()) return;
  const EmbeddedBlob* blob = project_.findEmbeddedFile(name);
  if (!blob) return;
  std::vector<uint8_t> bytes = blob->bytes();
  File file;
  if (!file.open(target, u"wb")) return;
  if (!bytes.empty()) file.write(bytes.data(), bytes.size());
}

void LibraryModule::writeAllEmbeddedFiles(const std::u16string& folder) const {
  if (folder.empty()) return;
  for (const auto& entry : project_.files)
    writeEmbeddedFile(entry.first, joinPath(folder, entry.first));
}

std::u16string LibraryModule::quotedFileText(const std::u16string& name) const {
  std::u16string text = u"\"";
  if (const EmbeddedBlob* blob = project_.findEmbeddedFile(name)) {
    for (uint8_t byte : blob->bytes()) {
      if (byte == 0) break;
      text.push_back(static_cast<char16_t>(byte));
    }
  }
  text.push_back(u'"');
  return text;
}

std::unique_ptr<LibraryModule> registerLibraryModule(ModuleRegistry& registry,
                                                     const ProjectData& project) {
  return enterBuiltinModule(registry, std::make_unique<LibraryModule>(project));
}

}  // namespace nxr
