// "nxr.Application.Library": writes the project's embedded files to disk or reads one of them
// into a script variable. Windows only.
#pragma once

#include <memory>
#include <string>

#include "bridge/module_registry.h"
#include "bridge/runtime_module.h"

namespace nxr {

struct ProjectData;

class LibraryModule : public RuntimeModule {
 public:
  // The module reads the embedded files of project, which must outlive it.
  explicit LibraryModule(const ProjectData& project);

  bool NXR_CALL registerMethods() override;

  // Writes the embedded file name to target, creating or truncating it; nothing happens when
  // either is empty, the name is unknown or the target cannot be opened.
  void writeEmbeddedFile(const std::u16string& name, const std::u16string& target) const;
  // Writes every embedded file, in the order of their names, to folder + "\" + name; one
  // failure does not stop the others. Nothing happens when folder is empty.
  void writeAllEmbeddedFiles(const std::u16string& folder) const;
  // The file's bytes up to the first zero byte as characters of the same values, in double
  // quotes; two double quotes alone when there is no such file.
  std::u16string quotedFileText(const std::u16string& name) const;

 private:
  const ProjectData& project_;
};

// Creates the module over project, registers its methods and enters it in the registry. The
// caller owns the result and releases its methods before destroying it; null when the module
// name was already taken (a plug-in registered first).
std::unique_ptr<LibraryModule> registerLibraryModule(ModuleRegistry& registry,
                                                     const ProjectData& project);

}  // namespace nxr
