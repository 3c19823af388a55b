#include "pack.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <stdexcept>

#define TOML_HEADER_ONLY 1
#include <toml++/toml.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "app/payload_format.h"
#include "app/payload_reader.h"
#include "sha256.h"
#include "support/text.h"

namespace nxr::pack {

namespace {

using Bytes = std::vector<uint8_t>;

// A failure inside the loader; caught at the edge of this file and returned as text.
class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool readFile(const std::filesystem::path& path, Bytes& out) {
  std::FILE* file = openFile(path.u16string(), "rb");
  if (!file) return false;
  out.clear();
  uint8_t chunk[64 * 1024];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    out.insert(out.end(), chunk, chunk + got);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

std::string typeName(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::table:
      return "a table";
    case toml::node_type::array:
      return "an array";
    case toml::node_type::string:
      return "a string";
    case toml::node_type::integer:
      return "an integer";
    case toml::node_type::floating_point:
      return "a floating-point number";
    case toml::node_type::boolean:
      return "a boolean";
    default:
      return "a date or time";
  }
}

struct LoadContext {
  std::filesystem::path file;  // the description, for messages
  std::filesystem::path base;  // its folder, for relative paths
  int32_t formatVersion;
  int32_t recordVersion;
  LoadedProject& out;
};

// Fills a record from one TOML table, key by field name, through the shared field tables. Keys
// the table has that no field takes are reported as unknown.
class TomlLoader {
 public:
  TomlLoader(const toml::table& table, std::string prefix, LoadContext& context, int32_t version)
      : table_(table), prefix_(std::move(prefix)), ctx_(context), version_(version) {}

  void version(const char*, int32_t& v) { v = version_; }
  void integer(int from, const char* name, int32_t& v) {
    if (const toml::node* n = take(from, name)) v = asInt(*n, name);
  }
  void boolean(int from, const char* name, bool& v) {
    if (const toml::node* n = take(from, name)) v = expect<bool>(*n, name, "a boolean");
  }
  void text(int from, const char* name, std::u16string& v) {
    if (const toml::node* n = take(from, name)) v = asText(*n, name);
  }
  void data(int from, const char* name, Bytes& v, int keyOffset) {
    if (const toml::node* n = take(from, name)) v = scrambledData(fileAt(*n, name), keyOffset);
  }
  void image(int from, const char* name, PackedImage& v, int keyOffset) {
    if (const toml::node* n = take(from, name)) v = packImage(fileAt(*n, name), keyOffset);
  }
  void forms(int from, const char* name, std::vector<FormRecord>& list) {
    const toml::node* n = take(from, name);
    if (!n) return;
    const toml::array& items = expect<toml::array>(*n, name, "an array of tables");
    for (size_t i = 0; i < items.size(); ++i) {
      const std::string key = std::string(name) + "[" + std::to_string(i) + "]";
      const toml::table& table = expect<toml::table>(items[i], key, "a table");
      FormRecord form;
      TomlLoader fields(table, keyOf(key) + ".", ctx_, ctx_.recordVersion);
      visitFormRecord(fields, form);
      fields.finish();
      list.push_back(std::move(form));
    }
  }
  void blobList(int from, const char* name, std::vector<EmbeddedBlob>& list) {
    const toml::node* n = take(from, name);
    if (!n) return;
    const toml::array& items = expect<toml::array>(*n, name, "an array of file paths");
    for (size_t i = 0; i < items.size(); ++i) {
      list.push_back(makeBlob(fileAt(items[i], std::string(name) + "[" + std::to_string(i) + "]")));
    }
  }
  void valueMap(int from, const char* name, std::map<std::u16string, SecureValue>& map) {
    const toml::node* n = take(from, name);
    if (!n) return;
    auto& plain = std::string(name) == "secureVariables" ? ctx_.out.plain.secureVariables
                                                         : ctx_.out.plain.globalVariables;
    for (const auto& [k, node] : expect<toml::table>(*n, name, "a table")) {
      const std::string key = std::string(name) + "." + std::string(k.str());
      const std::u16string varName = asText(k.str(), node, key);
      SecureValue value;
      plain.erase(varName);
      if (node.is_string()) {
        plain[varName] = asText(node, key);
      } else {
        secureValue(expect<toml::table>(node, key, "a string or a table"), key, varName, plain,
                    value);
      }
      map.insert_or_assign(varName, std::move(value));
    }
  }
  void blobMap(int from, const char* name, std::map<std::u16string, EmbeddedBlob>& map) {
    const toml::node* n = take(from, name);
    if (!n) return;
    for (const auto& [k, node] : expect<toml::table>(*n, name, "a table of file paths")) {
      const std::string key = std::string(name) + "." + std::string(k.str());
      map.insert_or_assign(asText(k.str(), node, key), makeBlob(fileAt(node, key)));
    }
  }
  void spareInt(int) {}
  void spareBool(int) {}
  void spareText(int) {}
  void spareValueList(int) {}
  void spareData(int) {}

  void finish() const {
    for (const auto& [k, node] : table_) {
      if (!seen_.count(std::string(k.str()))) fail(k.source(), std::string(k.str()), "unknown key");
    }
  }

 private:
  std::string keyOf(const std::string& name) const { return prefix_ + name; }

  [[noreturn]] void fail(const toml::node& node, const std::string& name,
                         const std::string& message) const {
    fail(node.source(), name, message);
  }
  [[noreturn]] void fail(const toml::source_region& where, const std::string& name,
                         const std::string& message) const {
    const auto& at = where.begin;
    throw PackError(pathToUtf8(ctx_.file) + ":" + std::to_string(at.line) + ":" +
                    std::to_string(at.column) + ": key '" + keyOf(name) + "': " + message);
  }

  const toml::node* take(int from, const char* name) {
    seen_.insert(name);
    const toml::node* node = table_.get(name);
    if (node && from > version_) {
      ctx_.out.warnings.push_back(pathToUtf8(ctx_.file) + ": key '" + keyOf(name) +
                                  "' is not stored: it needs version " + std::to_string(from) +
                                  " of the record, which is written as version " +
                                  std::to_string(version_));
    }
    return node;
  }

  template <class T>
  const T& expect(const toml::node& node, const std::string& name, const char* what) const {
    if constexpr (std::is_same_v<T, toml::table> || std::is_same_v<T, toml::array>) {
      const T* value = node.as<T>();
      if (!value) fail(node, name, std::string("expected ") + what + ", got " + typeName(node));
      return *value;
    } else {
      const toml::value<T>* value = node.as<T>();
      if (!value) fail(node, name, std::string("expected ") + what + ", got " + typeName(node));
      return value->get();
    }
  }

  int32_t asInt(const toml::node& node, const std::string& name) const {
    const int64_t value = expect<int64_t>(node, name, "an integer");
    if (value < INT32_MIN || value > INT32_MAX) {
      fail(node, name, "value " + std::to_string(value) + " does not fit in 32 bits");
    }
    return static_cast<int32_t>(value);
  }

  std::u16string asText(std::string_view utf8, const toml::node& node,
                        const std::string& name) const {
    auto text = utf8ToUtf16(utf8);
    if (!text) fail(node, name, "not valid UTF-8");
    return *text;
  }
  std::u16string asText(const toml::node& node, const std::string& name) const {
    return asText(expect<std::string>(node, name, "a string"), node, name);
  }

  Bytes fileAt(const toml::node& node, const std::string& name) const {
    const std::filesystem::path path =
        ctx_.base / pathFromUtf8(expect<std::string>(node, name, "a file path"));
    Bytes bytes;
    if (!readFile(path, bytes)) fail(node, name, "cannot read file '" + pathToUtf8(path) + "'");
    return bytes;
  }

  // { cipher = "hex" } or { value = "text", enciphered = true|false }
  void secureValue(const toml::table& table, const std::string& key, const std::u16string& varName,
                   std::map<std::u16string, std::u16string>& plain, SecureValue& value) const {
    for (const auto& [k, node] : table) {
      if (k != "cipher" && k != "value" && k != "enciphered") {
        fail(k.source(), key + "." + std::string(k.str()), "unknown key");
      }
    }
    const toml::node* cipher = table.get("cipher");
    const toml::node* text = table.get("value");
    const toml::node* enciphered = table.get("enciphered");
    if ((cipher != nullptr) == (text != nullptr)) {
      fail(table, key, "give either 'cipher' or 'value'");
    }
    if (cipher) {
      if (enciphered) fail(*enciphered, key + ".enciphered", "only with 'value'");
      value.setData(hexBytes(*cipher, key + ".cipher"));
      return;
    }
    const std::u16string plainText = asText(*text, key + ".value");
    if (enciphered && expect<bool>(*enciphered, key + ".enciphered", "a boolean")) {
      value.setText(plainText);
    } else {
      plain[varName] = plainText;
    }
  }

  Bytes hexBytes(const toml::node& node, const std::string& name) const {
    const std::string& hex = expect<std::string>(node, name, "a hexadecimal string");
    auto digit = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    if (hex.size() % 2 != 0) fail(node, name, "odd number of hexadecimal digits");
    Bytes out;
    for (size_t i = 0; i < hex.size(); i += 2) {
      const int hi = digit(hex[i]);
      const int lo = digit(hex[i + 1]);
      if (hi < 0 || lo < 0) fail(node, name, "not a hexadecimal digit");
      out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return out;
  }

  const toml::table& table_;
  std::string prefix_;
  LoadContext& ctx_;
  int32_t version_;
  std::set<std::string> seen_;
};

// ---------------------------------------------------------------------------------------------
// JSON output.

std::string jsonString(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          static const char kDigits[] = "0123456789abcdef";
          out += "\\u00";
          out += kDigits[c >> 4];
          out += kDigits[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string jsonString(const std::u16string& text) { return jsonString(utf16ToUtf8(text)); }

// Writes nested objects and arrays with two-space indentation.
class JsonWriter {
 public:
  void key(const std::string& name) {
    separate();
    out_ += jsonString(name) + ": ";
    afterKey_ = true;
  }
  void value(const std::string& raw) {
    separate();
    out_ += raw;
  }
  void open(char bracket) {
    separate();
    out_ += bracket;
    first_.push_back(true);
  }
  void close(char bracket) {
    const bool empty = first_.back();
    first_.pop_back();
    if (!empty) newline();
    out_ += bracket;
  }
  std::string take() { return std::move(out_) + "\n"; }

 private:
  void separate() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (first_.empty()) return;
    if (!first_.back()) out_ += ",";
    first_.back() = false;
    newline();
  }
  void newline() { out_ += "\n" + std::string(2 * first_.size(), ' '); }

  std::string out_;
  std::vector<bool> first_;
  bool afterKey_ = false;
};

// Prints the fields a record stores, under their names.
class JsonDump {
 public:
  explicit JsonDump(JsonWriter& json) : json_(json) {}
  void version(const char* name, const int32_t& v) {
    version_ = v;
    json_.key(name);
    json_.value(std::to_string(v));
  }
  void integer(int from, const char* name, const int32_t& v) {
    if (take(from, name)) json_.value(std::to_string(v));
  }
  void boolean(int from, const char* name, const bool& v) {
    if (take(from, name)) json_.value(v ? "true" : "false");
  }
  void text(int from, const char* name, const std::u16string& v) {
    if (take(from, name)) json_.value(jsonString(v));
  }
  void data(int from, const char* name, const Bytes& v, int keyOffset) {
    if (take(from, name)) fingerprint(scrambledData(v, keyOffset));
  }
  void image(int from, const char* name, const PackedImage& v, int keyOffset) {
    if (!take(from, name)) return;
    if (v.empty()) {
      json_.value("null");
      return;
    }
    json_.open('{');
    json_.key("storedSize");
    json_.value(std::to_string(v.stored.size()));
    json_.key("unpackedSize");
    json_.value(std::to_string(v.unpackedSize));
    const auto plain = v.unpack(keyOffset);
    json_.key("sha256");
    json_.value(plain ? jsonString(sha256Hex(plain->data(), plain->size())) : "null");
    json_.close('}');
  }
  void forms(int from, const char* name, const std::vector<FormRecord>& list) {
    if (!take(from, name)) return;
    json_.open('[');
    for (const FormRecord& form : list) {
      json_.open('{');
      JsonDump fields(json_);
      visitFormRecord(fields, form);
      json_.close('}');
    }
    json_.close(']');
  }
  void blobList(int from, const char* name, const std::vector<EmbeddedBlob>& list) {
    if (!take(from, name)) return;
    json_.open('[');
    for (const EmbeddedBlob& blob : list) fingerprint(blob.bytes());
    json_.close(']');
  }
  void valueMap(int from, const char* name, const std::map<std::u16string, SecureValue>& map) {
    if (!take(from, name)) return;
    json_.open('{');
    for (const auto& [k, value] : map) {
      json_.key(utf16ToUtf8(k));
      json_.value(jsonString(value.getText()));
    }
    json_.close('}');
  }
  void blobMap(int from, const char* name, const std::map<std::u16string, EmbeddedBlob>& map) {
    if (!take(from, name)) return;
    json_.open('{');
    for (const auto& [k, blob] : map) {
      json_.key(utf16ToUtf8(k));
      fingerprint(blob.bytes());
    }
    json_.close('}');
  }
  void spareInt(int) {}
  void spareBool(int) {}
  void spareText(int) {}
  void spareValueList(int) {}
  void spareData(int) {}

 private:
  // Fields newer than the record are not in it and are left out.
  bool take(int from, const char* name) {
    if (from > version_) return false;
    json_.key(name);
    return true;
  }
  void fingerprint(const Bytes& plain) {
    json_.open('{');
    json_.key("size");
    json_.value(std::to_string(plain.size()));
    json_.key("sha256");
    json_.value(jsonString(sha256Hex(plain.data(), plain.size())));
    json_.close('}');
  }

  JsonWriter& json_;
  int32_t version_ = 0;
};

bool writeAll(std::FILE* file, const Bytes& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef _WIN32
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  std::error_code ec;
  std::filesystem::rename(from, to, ec);
  return !ec;
#endif
}

}  // namespace

std::filesystem::path pathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string pathToUtf8(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

bool loadProject(const std::filesystem::path& toml, int32_t formatVersion, int32_t recordVersion,
                 LoadedProject& project, std::string& error) {
  project = LoadedProject{};
  Bytes source;
  if (!readFile(toml, source)) {
    error = pathToUtf8(toml) + ": cannot read the project description";
    return false;
  }
  try {
    const std::string_view text(reinterpret_cast<const char*>(source.data()), source.size());
    const toml::table table = toml::parse(text, pathToUtf8(toml));
    LoadContext context{toml, toml.parent_path(), formatVersion, recordVersion, project};
    TomlLoader fields(table, "", context, formatVersion);
    visitProjectData(fields, project.data);
    fields.finish();
    return true;
  } catch (const toml::parse_error& e) {
    const auto& at = e.source().begin;
    error = pathToUtf8(toml) + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) +
            ": " + std::string(e.description());
  } catch (const PackError& e) {
    error = e.what();
  }
  return false;
}

std::string checkRuntimeImage(const Bytes& image) {
  if (image.empty()) return "the runtime image is empty";
  const auto marker = payloadMarker();
  const auto at =
      std::search(image.begin(), image.end(), marker.begin(), marker.end());
  if (at != image.end()) {
    return "the runtime image contains the payload marker at offset " +
           std::to_string(at - image.begin()) + "; the runtime would read its record from there";
  }
  if (image.back() == marker[0]) {
    return "the runtime image ends in the byte 0x14, which would begin a false marker";
  }
  return {};
}

bool buildApplication(const BuildOptions& options, std::vector<std::string>& warnings,
                      std::string& error) {
  if (options.formatVersion < 1 || options.formatVersion > kNewestFormatVersion) {
    error = "the format version must be 1 to " + std::to_string(kNewestFormatVersion);
    return false;
  }
  if (options.recordVersion < 1 || options.recordVersion > kNewestFormRecordVersion) {
    error = "the form record version must be 1 to " + std::to_string(kNewestFormRecordVersion);
    return false;
  }
  LoadedProject project;
  if (!loadProject(options.project, options.formatVersion, options.recordVersion, project, error)) {
    return false;
  }
  warnings = project.warnings;
  Bytes image;
  if (!readFile(options.runtime, image)) {
    error = pathToUtf8(options.runtime) + ": cannot read the runtime";
    return false;
  }
  if (const std::string problem = checkRuntimeImage(image); !problem.empty()) {
    error = pathToUtf8(options.runtime) + ": " + problem;
    return false;
  }
  const Bytes payload = makePayload(project.data, project.plain);

  std::filesystem::path temp = options.output;
  temp += ".tmp" + std::to_string(std::random_device{}() % 1000000);
  std::FILE* file = openFile(temp.u16string(), "wb");
  if (!file) {
    error = pathToUtf8(temp) + ": cannot create the output file";
    return false;
  }
  const bool written = writeAll(file, image) && writeAll(file, payload);
  if (std::fclose(file) != 0 || !written) {
    std::filesystem::remove(temp);
    error = pathToUtf8(temp) + ": cannot write the output file";
    return false;
  }
  if (!replaceFile(temp, options.output)) {
    std::filesystem::remove(temp);
    error = pathToUtf8(options.output) + ": cannot replace the output file";
    return false;
  }
  return true;
}

std::string dumpJson(const ProjectData& project) {
  JsonWriter json;
  json.open('{');
  JsonDump fields(json);
  visitProjectData(fields, project);
  json.close('}');
  return json.take();
}

bool dumpApplication(const std::filesystem::path& application, std::string& json,
                     std::string& error) {
  PayloadReader reader;
  if (!reader.open(application.u16string())) {
    error = pathToUtf8(application) + ": cannot open the file";
    return false;
  }
  ProjectData project;
  if (!readProject(reader, project)) {
    error = pathToUtf8(application) + ": no readable project payload";
    return false;
  }
  json = dumpJson(project);
  return true;
}

std::filesystem::path defaultRuntime() {
#ifdef _WIN32
  if (const wchar_t* env = _wgetenv(L"NXR_RUNTIME"); env && *env) return env;
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (n < self.size()) {
      self.resize(n);
      break;
    }
    self.resize(self.size() * 2);
  }
  return std::filesystem::path(self).parent_path() / L"nxr.exe";
#else
  if (const char* env = std::getenv("NXR_RUNTIME"); env && *env) return pathFromUtf8(env);
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (ec ? std::filesystem::path() : self.parent_path()) / "nxr.exe";
#endif
}

}  // namespace nxr::pack
