#include "bridge/declarations.h"

#include <optional>
#include <string_view>

#include "bridge/protocol.h"
#include "support/text.h"

namespace nxr {

namespace {

constexpr std::u16string_view kValue = u"<{z}>";
constexpr std::u16string_view kPropertyEnd = u"<{!z!}>";
constexpr std::u16string_view kProperties = u"<{!!z!!}>";
constexpr std::u16string_view kClassEnd = u"<{!z!!}>";

// Builds one class block at a time.
class DeclarationWriter {
 public:
  // A class whose property part is present (possibly empty).
  DeclarationWriter& open(std::u16string_view path) {
    text_ += path;
    text_ += kProperties;
    return *this;
  }
  DeclarationWriter& property(std::u16string_view name, std::u16string_view type,
                              std::u16string_view access,
                              std::optional<std::u16string_view> value = std::nullopt) {
    text_ += name;
    text_ += kValue;
    text_ += type;
    text_ += kValue;
    text_ += access;
    if (value) {
      text_ += kValue;
      text_ += *value;
    }
    text_ += kPropertyEnd;
    return *this;
  }
  // Several properties of one type and access with one default.
  DeclarationWriter& properties(std::initializer_list<std::u16string_view> names,
                                std::u16string_view type, std::u16string_view access,
                                std::optional<std::u16string_view> value = std::nullopt) {
    for (auto name : names) property(name, type, access, value);
    return *this;
  }
  void close() { text_ += kClassEnd; }
  void empty(std::u16string_view path) { open(path).close(); }
  void bare(std::u16string_view path) {
    text_ += path;
    text_ += kClassEnd;
  }
  std::u16string& text() { return text_; }

 private:
  std::u16string text_;
};

constexpr std::u16string_view kSpace = u" ";

// The first entries of the embedded-object classes: id, size and position.
void objectGeometry(DeclarationWriter& w) {
  w.property(u"id", u"integer", u"set", u"-1")
      .property(u"width", u"integer", u"getset", u"300")
      .property(u"height", u"integer", u"getset", u"200")
      .property(u"x", u"integer", u"getset", u"0")
      .property(u"y", u"integer", u"getset", u"0");
}

struct SystemPath {
  std::u16string_view name;
  int32_t folderId;  // kTempFolder for the temporary folder
};
constexpr int32_t kTempFolder = -1;
constexpr SystemPath kSystemPaths[] = {
    {u"programs", 0x02},
    {u"programFiles", 0x26},
    {u"windows", 0x24},
    {u"system", 0x25},
    {u"temp", kTempFolder},
    {u"desktop", 0x00},
    {u"personal", 0x05},
    {u"favorites", 0x06},
    {u"startup", 0x07},
    {u"recent", 0x08},
    {u"fonts", 0x14},
    {u"history", 0x22},
    {u"cookies", 0x21},
    {u"network", 0x13},
    {u"startMenu", 0x0B},
    {u"appData", 0x1A},
    {u"commonAdminTools", 0x2F},
    {u"commonAppData", 0x23},
    {u"commonPrograms", 0x17},
    {u"commonStartMenu", 0x16},
    {u"commonStartup", 0x18},
    {u"allUsersAppData", 0x23},
    {u"allUsersPrograms", 0x17},
    {u"allUsersStartMenu", 0x16},
    {u"allUsersStartup", 0x18},
};

std::u16string systemPathValue(const SystemPath& path, const DeclarationEnvironment& env) {
  if (path.folderId == kTempFolder) return env.tempPath;
  auto found = env.specialFolders.find(path.folderId);
  std::u16string value = found == env.specialFolders.end() ? u"" : found->second;
  return value + u"\\";
}

}  // namespace

std::vector<int32_t> systemPathFolderIds() {
  std::vector<int32_t> ids;
  for (const auto& path : kSystemPaths) {
    if (path.folderId == kTempFolder) continue;
    bool seen = false;
    for (int32_t id : ids) seen = seen || id == path.folderId;
    if (!seen) ids.push_back(path.folderId);
  }
  return ids;
}

std::u16string classDeclarationText(const std::vector<std::u16string>& moduleNames,
                                    const DeclarationEnvironment& env) {
  DeclarationWriter w;
  w.empty(u"Extensions");
  constexpr std::u16string_view kExtensions = u"nxr.Extensions";
  for (const auto& name : moduleNames) {
    if (name.size() >= kExtensions.size() + 1 && name.starts_with(kExtensions)) {
      w.empty(u"Extensions." + name.substr(kExtensions.size() + 1));
    }
  }
  w.open(u"GlobalVariables").property(u"", u"string", u"ppsv", u"").close();

  w.open(u"@Browser");
  objectGeometry(w);
  w.property(u"url", u"string", u"getset", u"0")
      .property(u"visible", u"boolean", u"getset", u"true")
      .property(u"source", u"string", u"getset", u"0")
      .property(u"title", u"string", u"get", u"0")
      .property(u"isBusy", u"boolean", u"get", u"false")
      .property(u"favorites", u"array", u"get", u"[]")
      .property(u"userAgent", u"string", u"set", u"0")
      .close();

  w.open(u"@ActiveX");
  objectGeometry(w);
  w.property(u"visible", u"boolean", u"getset", u"true").close();

  w.open(u"@MediaPlayer6");
  objectGeometry(w);
  w.property(u"visible", u"boolean", u"getset", u"true")
      .properties({u"duration", u"position", u"balance", u"volume"}, u"string", u"getset", u"0")
      .property(u"isInstalled", u"boolean", u"getset", u"true")
      .properties({u"canSeek", u"canScan"}, u"boolean", u"getset", u"false")
      .close();

  w.open(u"@MediaPlayer");
  objectGeometry(w);
  w.property(u"visible", u"boolean", u"getset", u"0")
      .properties({u"duration", u"position", u"currentMarker", u"volume", u"balance",
                   u"markerCount", u"source", u"mediaName", u"mediaWidth", u"mediaHeight"},
                  u"string", u"getset", u"0")
      .property(u"isInstalled", u"boolean", u"getset", u"0")
      .properties({u"canSeek", u"canScan"}, u"boolean", u"getset", u"false")
      .close();

  for (std::u16string_view path : {u"@QuickTime", u"@RealMedia"}) {
    w.open(path);
    objectGeometry(w);
    w.property(u"visible", u"boolean", u"getset", u"0")
        .properties({u"duration", u"position"}, u"string", u"getset", u"0")
        .property(u"isInstalled", u"boolean", u"getset", u"0")
        .close();
  }

  w.open(u"@Shockwave");
  objectGeometry(w);
  w.property(u"visible", u"boolean", u"getset", u"0")
      .properties({u"bgcolor", u"currentFrame"}, u"string", u"getset", u"0")
      .close();

  for (std::u16string_view path : {u"@PDF7", u"@PDF"}) {
    w.open(path);
    objectGeometry(w);
    w.property(u"visible", u"boolean", u"getset", u"0")
        .properties({u"scrollbars", u"toolbar"}, u"string", u"getset", u"0")
        .close();
  }

  // The program's folder (backslashes doubled) and file name.
  const std::u16string& exe = env.executablePath;
  size_t lastBackslash = exe.rfind(u'\\');
  std::u16string folder =
      lastBackslash == std::u16string::npos ? u"" : exe.substr(0, lastBackslash);
  std::u16string programPath = replaceAll(folder + u"\\", u"\\", u"\\\\");
  std::u16string fileName =
      lastBackslash == std::u16string::npos ? exe : exe.substr(lastBackslash + 1);
  w.open(u"Application")
      .property(u"title", u"string", u"getset", kSpace)
      .property(u"isMinimized", u"boolean", u"get", kSpace)
      .properties({u"path", u"pathUnicode"}, u"string", u"ppsv", programPath)
      .property(u"filename", u"string", u"ppsv", fileName);
  // The last property of this block has no property terminator.
  w.text() += u"filenameUnicode<{z}>string<{z}>ppsv<{z}>" + fileName;
  w.close();

  w.empty(u"Application.Screensaver");
  w.empty(u"Application.Kiosk");

  w.open(u"System")
      .properties({u"localTime", u"CPUSpeed", u"RAMSize"}, u"string", u"getset", kSpace)
      .properties({u"computerOwner", u"computerCompany", u"computerName"}, u"string", u"get",
                  kSpace)
      .property(u"isAdmin", u"boolean", u"get", kSpace)
      .properties({u"servicePack", u"language", u"winVerString", u"winVerStringDetail", u"CDDrive"},
                  u"string", u"get", kSpace)
      .property(u"screenWidth", u"string", u"ppsv", toDecimal(env.screenWidth))
      .property(u"screenHeight", u"string", u"ppsv", toDecimal(env.screenHeight))
      .property(u"isUsingEI", u"string", u"ppsv", u"true")
      .close();

  w.open(u"System.Paths");
  for (const auto& path : kSystemPaths) {
    w.property(path.name, u"string", u"ppsv", systemPathValue(path, env));
  }
  w.close();

  w.open(u"Dialogs.BrowseFile")
      .properties({u"defaultDirectory", u"title", u"filterList", u"defaultExtension", u"buttonText",
                   u"filterText", u"defaultFilename"},
                  u"string", u"getset", kSpace)
      .property(u"allowMultiple", u"boolean", u"getset", kSpace)
      .close();
  w.bare(u"Dialogs");
  w.open(u"Dialogs.BrowseFileUnicode")
      .properties(
          {u"defaultDirectory", u"title", u"filterList", u"defaultExtension", u"defaultFilename"},
          u"string", u"getset", kSpace)
      .property(u"allowMultiple", u"boolean", u"getset", kSpace)
      .close();

  w.empty(u"Menu");
  w.open(u"Menu.Tray").properties({u"iconHint", u"menuType"}, u"string", u"set", kSpace).close();
  w.open(u"Menu.Main").property(u"menuType", u"string", u"set", kSpace).close();
  w.open(u"Menu.Context").property(u"menuType", u"string", u"set", kSpace).close();

  for (std::u16string_view path :
       {u"Database.MySQL", u"Database", u"Database.MSAccess", u"Database.ADO", u"Database.SQLite",
        u"FileExplorer", u"FileExplorer.ComboBox", u"FileExplorer.ListView",
        u"FileExplorer.TreeView", u"Input.Mouse", u"Input.Joystick", u"Input.Tablet", u"String",
        u"@DLL"}) {
    w.empty(path);
  }
  w.open(u"Network")
      .property(u"IPAddress", u"string", u"getset", kSpace)
      .property(u"isPresent", u"string", u"ppsv", u"true")
      .close();
  w.empty(u"Process");

  w.open(u"@FTP")
      .property(u"id", u"integer", u"set", u"-1")
      .properties({u"initialDir", u"currentDir"}, u"string", u"getset", kSpace)
      .property(u"isConnected", u"boolean", u"getset", kSpace)
      .property(u"account", u"string", u"getset", kSpace)
      .property(u"async", u"boolean", u"getset", kSpace)
      .property(u"error", u"string", u"getset", kSpace)
      .property(u"success", u"boolean", u"getset", kSpace)
      .property(u"loggerData", u"string", u"getset", kSpace)
      .property(u"logger", u"string", u"set", kSpace)
      .property(u"isBusy", u"boolean", u"getset", kSpace)
      .properties({u"lastReply", u"noop", u"passive", u"serverType"}, u"string", u"getset", kSpace)
      .property(u"supportsResume", u"boolean", u"getset", kSpace)
      .properties({u"timeout", u"transferMode", u"transferTime", u"bytesTransferred"}, u"string",
                  u"getset", kSpace)
      .close();

  w.open(u"@Forms")
      .property(u"id", u"string", u"@set", u"0")
      .property(u"type", u"string", u"@set", u"standard")
      .property(u"title", u"string", u"@getset")
      .property(u"titleUnicode", u"string", u"@set")
      .property(u"alpha", u"number", u"getset")
      .properties({u"baseURL", u"bgColor"}, u"string", u"getset")
      .property(u"isCreated", u"boolean", u"get")
      .properties({u"windowState", u"x", u"y", u"width", u"height"}, u"string", u"getset")
      .property(u"visible", u"boolean", u"getset")
      .property(u"name", u"string", u"get")
      .property(u"style", u"string", u"set", u"standard")
      .properties({u"showMaxBtn", u"showMinBtn", u"showSysBtn", u"leftMouseBtn"}, u"boolean",
                  u"set")
      .close();

  w.open(u"COMPort")
      .property(u"initialDTR", u"string", u"getset", u"-1")
      .property(u"initialRTS", u"string", u"getset", kSpace)
      .properties({u"txBuffer", u"rxBuffer"}, u"integer", u"set", kSpace)
      .property(u"ports", u"string", u"getset", kSpace)
      .close();

  for (std::u16string_view path : {u"Flash", u"FileSystem", u"Network.UDP.Socket",
                                   u"Network.TCP.Socket", u"System.DirectX", u"Network.Mail"}) {
    w.bare(path);
  }
  w.open(u"Dialogs.BrowseFolder")
      .properties({u"defaultDirectory", u"title"}, u"string", u"getset", kSpace)
      .close();
  for (std::u16string_view path :
       {u"System.JScript", u"System.VBScript", u"Encryption", u"Image", u"Image.ScreenCapture",
        u"Exception", u"Exception.DebugWindow", u"Network.UDP.TFTP", u"Network.HTTPD",
        u"System.Registry", u"Network.TCP.ProxyHTTP", u"Clipboard", u"Input.Twain",
        u"Application.Library", u"Network.TCP.FileServer", u"Application.Timer",
        u"FileSystem.BinaryFile"}) {
    w.bare(path);
  }
  w.open(u"@HTTP").property(u"id", u"integer", u"set", u"-1").close();
  w.empty(u"Audio");
  return std::move(w.text());
}

std::u16string formDeclarationText(const std::vector<FormDeclaration>& forms, int32_t callerIndex) {
  std::u16string text;
  for (const auto& form : forms) {
    text += form.name;
    text += form.transparent ? u"<{!z!}>transparent" : u"<{!z!}>standard";
    if (form.index == callerIndex) text += u"<{!z!}>thisForm";
    text += kClassEnd;
  }
  return text;
}

}  // namespace nxr
