#include "StateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <new>
#include <pugixml.hpp>
#include <vector>

#include "FlameEngine.h"
#include "StyleMapping.h"

namespace fs = std::filesystem;

// ---------------------------------------------------------------- value texts

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view t) {
  while (!t.empty() && IsSpace(t.front()))
    t.remove_prefix(1);
  while (!t.empty() && IsSpace(t.back()))
    t.remove_suffix(1);
  return t;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z')
      x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z')
      y = char(y - 'A' + 'a');
    if (x != y)
      return false;
  }
  return true;
}

} // namespace

std::string FloatToStateText(double Value, std::string_view DecimalSeparator) {
  const std::string_view sep = DecimalSeparator.empty() ? std::string_view(".") : DecimalSeparator;
  if (std::isnan(Value) || Value == 0)
    return "0";
  // The file holds singles: an infinity is written as the largest single.
  if (std::isinf(Value))
    Value = std::copysign(double(std::numeric_limits<float>::max()), Value);

  // 15 significant digits, correctly rounded and independent of the C
  // locale: d.dddddddddddddde[+-]x
  char buf[64];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, std::fabs(Value), std::chars_format::scientific, 14);
  std::string digits;
  const char* p = buf;
  for (; p != res.ptr && *p != 'e'; ++p)
    if (IsDigit(*p))
      digits += *p;
  int exponent = 0;
  if (p != res.ptr) {
    ++p;
    if (p != res.ptr && *p == '+')
      ++p;
    std::from_chars(p, res.ptr, exponent);
  }
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();

  std::string out = Value < 0 ? "-" : "";
  if (exponent >= -5 && exponent < 15) {
    if (exponent >= 0) {
      const std::size_t intDigits = std::size_t(exponent) + 1;
      if (digits.size() <= intDigits) {
        out += digits;
        out.append(intDigits - digits.size(), '0');
      } else {
        out += digits.substr(0, intDigits);
        out += sep;
        out += digits.substr(intDigits);
      }
    } else {
      out += '0';
      out += sep;
      out.append(std::size_t(-exponent - 1), '0');
      out += digits;
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += sep;
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
  }
  return out;
}

std::optional<float> StateTextToFloat(std::string_view Text, std::string_view DecimalSeparator) {
  const std::string_view sep = DecimalSeparator.empty() ? std::string_view(".") : DecimalSeparator;
  std::string_view t = Trim(Text);
  std::string plain; // the same number with "." as separator, for from_chars
  bool negative = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  std::size_t mantissaDigits = 0;
  while (!t.empty() && IsDigit(t[0])) {
    plain += t[0];
    t.remove_prefix(1);
    ++mantissaDigits;
  }
  if (t.substr(0, sep.size()) == sep) {
    t.remove_prefix(sep.size());
    plain += '.';
    while (!t.empty() && IsDigit(t[0])) {
      plain += t[0];
      t.remove_prefix(1);
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0)
    return std::nullopt;
  if (!t.empty() && (t[0] == 'e' || t[0] == 'E')) {
    t.remove_prefix(1);
    plain += 'e';
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
      plain += t[0];
      t.remove_prefix(1);
    }
    std::size_t expDigits = 0;
    while (!t.empty() && IsDigit(t[0])) {
      plain += t[0];
      t.remove_prefix(1);
      ++expDigits;
    }
    if (expDigits == 0)
      return std::nullopt;
  }
  if (!t.empty())
    return std::nullopt;
  if (plain[0] == '.')
    plain.insert(plain.begin(), '0');

  double value = 0;
  const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is no single at all.
    const auto e = plain.find('e');
    if (e != std::string::npos && plain[e + 1] == '-')
      return negative ? -0.0f : 0.0f;
    return std::nullopt;
  }
  if (ec != std::errc() || end != plain.data() + plain.size())
    return std::nullopt;
  const float f = float(negative ? -value : value);
  if (!std::isfinite(f))
    return std::nullopt;
  return f;
}

std::optional<int32_t> StateTextToInt(std::string_view Text) {
  std::string_view t = Trim(Text);
  bool negative = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  if (t.empty() || !std::all_of(t.begin(), t.end(), IsDigit))
    return std::nullopt;
  int64_t v = 0;
  for (char c : t) {
    v = v * 10 + (c - '0');
    if (v > int64_t(1) << 31)
      return std::nullopt;
  }
  if (negative)
    v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return int32_t(v);
}

std::optional<bool> StateTextToBool(std::string_view Text, std::string_view DecimalSeparator) {
  const std::string_view t = Trim(Text);
  if (EqualsNoCase(t, "true"))
    return true;
  if (EqualsNoCase(t, "false"))
    return false;
  if (auto i = StateTextToInt(t))
    return *i != 0;
  if (auto f = StateTextToFloat(t, DecimalSeparator))
    return *f != 0;
  return std::nullopt;
}

bool HasStateFileExtension(std::string_view FileName) {
  const std::size_t slash = FileName.find_last_of('/');
  const std::size_t dot = FileName.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return false;
  return EqualsNoCase(FileName.substr(dot), StateFileExtension);
}

// ------------------------------------------------------------------- writing

namespace {

const char* GroupName(TStyleGroup g) {
  switch (g) {
  case TStyleGroup::Emitters:
    return "Emitters";
  case TStyleGroup::Fading:
    return "Fading";
  case TStyleGroup::Animation:
    return "Animation";
  case TStyleGroup::System:
    break;
  }
  return nullptr;
}

constexpr TStyleGroup StoredGroups[] = {TStyleGroup::Emitters, TStyleGroup::Fading,
                                        TStyleGroup::Animation};

const char* BoolText(bool b) {
  return b ? "True" : "False";
}

struct StringWriter : pugi::xml_writer {
  std::string Text;
  void write(const void* data, size_t size) override {
    Text.append(static_cast<const char*>(data), size);
  }
};

} // namespace

std::string WriteStateText(const TPartForm& Form, const TStyleSettings& Style,
                           const TStateFileOptions& Options) {
  const std::string& sep = Options.DecimalSeparator;
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("QUELMA_state");
  root.append_attribute("Version") = Options.Version.c_str();

  pugi::xml_node style = root.append_child("Style");
  for (TStyleGroup g : StoredGroups) {
    pugi::xml_node group = style.append_child(GroupName(g));
    for (std::size_t i = 0; i < StoredStyleValueCount; ++i) {
      const TStyleValue& v = StyleValues[i];
      if (v.Group != g)
        continue;
      if (v.Slider)
        group.append_attribute(v.Attribute) = std::to_string(Style.*v.Slider).c_str();
      else
        group.append_attribute(v.Attribute) = BoolText(Style.*v.Check);
    }
  }

  pugi::xml_node art = root.append_child("Art").append_child("Emitters");
  auto putFloat = [&](pugi::xml_node n, const char* name, float f) {
    n.append_attribute(name) = FloatToStateText(f, sep).c_str();
  };
  for (int i = 0; i < Form.FEmitters.Count; ++i) {
    const TEmitter* e = Form.Emitter(i);
    pugi::xml_node n = art.append_child("New");
    putFloat(n, "X", e->X);
    putFloat(n, "Y", e->Y);
    putFloat(n, "FS", e->Fall);
    if (std::bit_cast<uint32_t>(e->Life) != std::bit_cast<uint32_t>(ImmortalLife))
      putFloat(n, "LT", e->Life);
    n.append_attribute("AM") = std::to_string(e->BaseAlpha).c_str();
    if (e->Style == &e->OwnStyle) {
      const TEmitterStyle& s = e->OwnStyle;
      putFloat(n, "MS", s.Thickness);
      putFloat(n, "XS", s.XWildness);
      putFloat(n, "YS", s.YWildness);
      n.append_attribute("C") = std::to_string(int32_t(s.Color)).c_str();
      n.append_attribute("A") = std::to_string(s.MaxAlpha).c_str();
      n.append_attribute("F") = BoolText(s.Fat);
    }
  }

  StringWriter w;
  doc.save(w, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
  // One element per line with CR LF breaks.
  std::string out;
  out.reserve(w.Text.size() + w.Text.size() / 16);
  for (char c : w.Text) {
    if (c == '\n')
      out += '\r';
    out += c;
  }
  return out;
}

namespace {

[[noreturn]] void SaveFailure(std::string Reason) {
  throw EStateFileError(StateSaveErrorText, std::move(Reason));
}

std::string SystemErrorText(int Error) {
  return std::generic_category().message(Error) + ".";
}

// Writes Text to a new file beside Target, then renames it over Target, so
// a failure never leaves a truncated or half-written state file behind.
void ReplaceFileWith(const std::string& FileName, const std::string& Text) {
  std::error_code ec;
  fs::path target = FileName;
  // Saving through a symbolic link replaces the file it points to.
  if (fs::is_symlink(target, ec)) {
    fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec)
      target = resolved;
  }
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode))
    SaveFailure("A folder or another non-file has that name.");

  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = target.string() + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST)
      break;
  }
  // The temporary file fails for the same reasons the file itself would.
  if (fd < 0)
    SaveFailure(errno == EEXIST ? "No temporary file could be made beside it."
                                : SystemErrorText(errno));

  int error = 0;
  const char* p = Text.data();
  std::size_t left = Text.size();
  while (!error && left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      error = errno;
    else if (n == 0)
      error = EIO;
    else {
      p += n;
      left -= std::size_t(n);
    }
  }
  if (!error && existed)
    ::fchmod(fd, old.st_mode & 07777);
  if (!error && ::fsync(fd) != 0)
    error = errno;
  if (::close(fd) != 0 && !error)
    error = errno;
  if (!error && ::rename(tmp.c_str(), target.c_str()) != 0)
    error = errno;
  if (error) {
    ::unlink(tmp.c_str());
    SaveFailure(SystemErrorText(error));
  }
}

} // namespace

// ------------------------------------------------------------------- reading

namespace {

// Bounds for values read from a file. The program itself never writes values
// beyond them; they keep a hostile file from driving the engine into huge
// spots, integer overflow in the cover arithmetic or endless work.
constexpr float MaxArtCoordinate = 1.0e6f; // pixels from the origin
constexpr float MaxFall = 1.0e7f;          // ms of delay, or pixels per tick
constexpr float MaxStyleWildness = 100.0f; // the wildness sliders' range

[[noreturn]] void LoadFailure(std::string Reason) {
  throw EStateFileError(StateLoadErrorText, std::move(Reason));
}

// A value from the file as a reason quotes it: short, on one line.
std::string Quoted(std::string_view Value) {
  std::string q;
  for (char c : Value.substr(0, 40))
    q += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
  return "\"" + q + (Value.size() > 40 ? "...\"" : "\"");
}

// Line and column (from 1) of a byte offset in Text.
std::string Place(std::string_view Text, std::ptrdiff_t Offset) {
  if (Offset < 0 || std::size_t(Offset) > Text.size())
    return {};
  const std::string_view before = Text.substr(0, std::size_t(Offset));
  const std::size_t line = std::size_t(std::count(before.begin(), before.end(), '\n')) + 1;
  const std::size_t lineStart = before.find_last_of('\n');
  const std::size_t column = Offset - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1;
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// Keeps the newest Keep emitters of the list, in their order, in one pass.
void KeepNewest(TEmitterList& List, int32_t Keep) {
  if (List.Count <= Keep)
    return;
  std::vector<std::unique_ptr<TEmitter>> newest;
  newest.reserve(std::size_t(Keep));
  for (int32_t i = 0; i < Keep; ++i)
    newest.push_back(List.Pop());
  List.Reset(); // the older ones go
  for (auto it = newest.rbegin(); it != newest.rend(); ++it)
    List.Add(std::move(*it));
}

class Reader {
public:
  Reader(TPartForm& Form, TStyleSettings& Style, const TStateFileOptions& Options)
      : Form(Form), Style(Style), Options(Options) {}

  bool Read(std::string_view Text) {
    pugi::xml_document doc;
    FText = Text;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(Text.data(), Text.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed)
      LoadFailure(std::string("The file is not well-formed XML: ") + parsed.description() + " (" +
                  Place(Text, parsed.offset) + ").");
    pugi::xml_node root = doc.child("QUELMA_state");
    if (!root)
      return false;

    const pugi::xml_attribute version = root.attribute("Version");
    if (!version)
      LoadFailure("The element \"QUELMA_state\" has no \"Version\" attribute.");
    if (Form.FDebug && Options.ShowDebugMessage)
      Options.ShowDebugMessage(version.value());

    if (pugi::xml_node style = root.child("Style"); Options.LoadStyle && style)
      ReadStyle(style);

    if (Options.LoadArt) {
      if (pugi::xml_node emitters = root.child("Art").child("Emitters"))
        ReadArt(emitters);
    }

    if (Options.ClearFading)
      Options.ClearFading();
    else
      Form.ClearFading();
    if (Options.ApplyStyle)
      Options.ApplyStyle();
    else
      ApplyStyle(Form, Style);
    Form.FAttractor = {0, 0, 0, 0};
    return true;
  }

private:
  TPartForm& Form;
  TStyleSettings& Style;
  const TStateFileOptions& Options;
  std::string_view FText; // the document as read, for the places in reasons

  // 'Element "New" at line 7, column 4': where a reason points the user.
  std::string ElementAt(pugi::xml_node n) const {
    const std::string place = Place(FText, n.offset_debug() - 1); // the "<" before the name
    return std::string("element \"") + n.name() + "\"" + (place.empty() ? "" : " at " + place);
  }
  const char* Required(pugi::xml_node n, const char* name) const {
    const pugi::xml_attribute a = n.attribute(name);
    if (!a)
      LoadFailure("The " + ElementAt(n) + " has no \"" + name + "\" attribute.");
    return a.value();
  }
  int32_t Int(pugi::xml_node n, const char* name) const {
    const char* text = Required(n, name);
    const auto v = StateTextToInt(text);
    if (!v)
      LoadFailure(std::string("The \"") + name + "\" attribute of the " + ElementAt(n) +
                  " is not a whole number: " + Quoted(text) + ".");
    return *v;
  }
  bool Bool(pugi::xml_node n, const char* name) const {
    const char* text = Required(n, name);
    const auto v = StateTextToBool(text, Options.DecimalSeparator);
    if (!v)
      LoadFailure(std::string("The \"") + name + "\" attribute of the " + ElementAt(n) +
                  " is neither True nor False: " + Quoted(text) + ".");
    return *v;
  }
  // Text that is no number reads as 0, as do values beyond Limit.
  float Float(const char* text, float Limit) const {
    const float f = StateTextToFloat(text, Options.DecimalSeparator).value_or(0.0f);
    return std::clamp(f, -Limit, Limit);
  }
  float Float(pugi::xml_node n, const char* name, float Limit) const {
    return Float(Required(n, name), Limit);
  }

  void ReadStyle(pugi::xml_node style) {
    for (TStyleGroup g : StoredGroups) {
      const pugi::xml_node group = style.child(GroupName(g));
      if (!group)
        continue;
      for (std::size_t i = 0; i < StoredStyleValueCount; ++i) {
        const TStyleValue& v = StyleValues[i];
        if (v.Group != g)
          continue;
        if (v.Slider) {
          Style.*v.Slider = ApplyRange(Int(group, v.Attribute), v);
        } else {
          const bool checked = Bool(group, v.Attribute);
          // A check box runs its click handler only when its state changes.
          if (Style.*v.Check != checked) {
            Style.*v.Check = checked;
            IndPartBoxClick(Form, Style);
          }
        }
      }
    }
  }

  void ReadArt(pugi::xml_node emitters) {
    Form.FEmitters.Clear();
    // AddEmitter drops the oldest emitter of a full list, a move of the whole
    // list each time: a file of millions of elements would take minutes. The
    // list may grow to twice the limit here and is cut back in one pass; the
    // same emitters remain in the same order, also when reading fails.
    const int32_t limit = Form.FMaxCount;
    if (limit <= 0 || limit > INT32_MAX / 2)
      return ReadArtElements(emitters, 0);
    Form.FMaxCount = limit * 2;
    try {
      ReadArtElements(emitters, limit);
    } catch (...) {
      Form.FMaxCount = limit;
      KeepNewest(Form.FEmitters, limit);
      throw;
    }
    Form.FMaxCount = limit;
    KeepNewest(Form.FEmitters, limit);
  }

  // Limit > 0: the list is cut back to the newest Limit emitters whenever it
  // reaches FMaxCount.
  void ReadArtElements(pugi::xml_node emitters, int32_t Limit) {
    for (pugi::xml_node n = emitters.first_child(); n; n = n.next_sibling()) {
      if (n.type() != pugi::node_element)
        continue;
      const float x = Float(n, "X", MaxArtCoordinate);
      const float y = Float(n, "Y", MaxArtCoordinate);
      std::optional<TEmitterStyle> own;
      if (const pugi::xml_attribute ms = n.attribute("MS")) {
        TEmitterStyle s{};
        s.Thickness = std::max(Float(ms.value(), StateFileMaxThickness), 0.0f);
        s.XWildness = std::max(Float(n, "XS", MaxStyleWildness), 0.0f);
        s.YWildness = std::max(Float(n, "YS", MaxStyleWildness), 0.0f);
        s.Color = uint32_t(Int(n, "C"));
        s.MaxAlpha = std::clamp(Int(n, "A"), 0, 256);
        s.Fat = Bool(n, "F");
        own = s;
      }
      TEmitter* e = Form.AddEmitter(own ? &*own : nullptr, 256, x, y);
      e->Fall = Float(n, "FS", MaxFall);
      if (const pugi::xml_attribute lt = n.attribute("LT")) {
        const float life = StateTextToFloat(lt.value(), Options.DecimalSeparator).value_or(0.0f);
        // Anything at or beyond the immortal value means never ageing.
        e->Life = std::clamp(life, -ImmortalLife, ImmortalLife);
      } else {
        e->Life = ImmortalLife;
      }
      const int am = std::clamp(Int(n, "AM"), 0, 256);
      e->BaseAlpha = am;
      e->Alpha = (e->Alpha * am) >> 8;
      if (Limit > 0 && Form.FEmitters.Count >= Form.FMaxCount)
        KeepNewest(Form.FEmitters, Limit);
    }
  }
};

} // namespace

bool ReadStateText(std::string_view Text, TPartForm& Form, TStyleSettings& Style,
                   const TStateFileOptions& Options) {
  return Reader(Form, Style, Options).Read(Text);
}

bool LoadSaveState(const std::string& FileName, bool Save, TPartForm& Form, TStyleSettings& Style,
                   const TStateFileOptions& Options) {
  if (!HasStateFileExtension(FileName))
    return false;
  if (Save) {
    std::string text;
    try {
      text = WriteStateText(Form, Style, Options);
    } catch (const std::exception& E) {
      SaveFailure(E.what());
    }
    ReplaceFileWith(FileName, text);
    return true;
  }

  std::error_code ec;
  if (!fs::exists(FileName, ec))
    return false;
  std::string text;
  try {
    if (!fs::is_regular_file(FileName, ec))
      LoadFailure("It is not a regular file.");
    const std::uintmax_t size = fs::file_size(FileName, ec);
    if (ec)
      LoadFailure(ec.message() + ".");
    if (size > StateFileMaxBytes)
      LoadFailure("The file is larger than " + std::to_string(StateFileMaxBytes >> 20) + " MB.");
    errno = 0;
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
      LoadFailure(errno ? SystemErrorText(errno) : "The file could not be opened.");
    text.resize(std::size_t(size));
    in.read(text.data(), std::streamsize(size));
    if (in.gcount() != std::streamsize(size))
      LoadFailure("The file could not be read to its end.");
  } catch (const EStateFileError&) {
    throw;
  } catch (const std::exception& E) {
    LoadFailure(E.what());
  }
  try {
    return ReadStateText(text, Form, Style, Options);
  } catch (const EStateFileError&) {
    throw;
  } catch (const std::bad_alloc&) {
    LoadFailure("Not enough memory.");
  } catch (const std::exception& E) {
    LoadFailure(E.what());
  }
}
