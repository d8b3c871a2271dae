#include "game_model.h"

#include "platform/Posix.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "game/StockTables.h"
#include "platform/Charset.h"
#include "renamer/LevelRename.h"

namespace pitkit::soak {
namespace {

const std::string kLevelMarker = "TORVANE .INF FILE STRUCTURE";
const std::string kCarMarker = "; MODEL FILENAMES";

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

std::string parentOf(const std::string& rel) {
  const auto slash = rel.rfind('/');
  return slash == std::string::npos ? std::string() : rel.substr(0, slash);
}

std::string nameOf(const std::string& rel) { return rel.substr(rel.rfind('/') + 1); }

std::string stem(const std::string& name) {
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool isInfoFile(const std::string& name) { return name.size() > 4 && upper(name.substr(name.size() - 4)) == ".INF"; }

bool marked(const Node& n, const std::string& marker) {
  return !n.folder && !n.link && upper(n.bytes).find(marker) != std::string::npos;
}

// True when no name on the way below `top` begins with "." (the search neither enters nor reports those).
bool visibleBelow(const std::string& rel, const std::string& top) {
  std::stringstream parts(rel.substr(top.size() + 1));
  for (std::string part; std::getline(parts, part, '/');)
    if (!part.empty() && part[0] == '.') return false;
  return true;
}

void scanInto(const std::string& root, const std::string& rel, Manifest& out) {
  const std::string path = rel.empty() ? root : root + "/" + rel;
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : names) {
    const std::string childRel = rel.empty() ? name : rel + "/" + name;
    const std::string childPath = root + "/" + childRel;
    struct stat st {};
    if (::lstat(childPath.c_str(), &st) != 0) continue;
    Node node;
    if (S_ISLNK(st.st_mode)) {
      node.link = true;
      char target[4096];
      const ssize_t n = ::readlinkat(AT_FDCWD, childPath.c_str(), target, sizeof target);
      node.bytes.assign(target, n > 0 ? static_cast<std::size_t>(n) : 0);
    } else if (S_ISDIR(st.st_mode)) {
      node.folder = true;
    } else {
      std::ifstream in(childPath, std::ios::binary);
      node.bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    out[childRel] = node;
    if (node.folder) scanInto(root, childRel, out);
  }
}

}  // namespace

Manifest scanTree(const std::string& root) {
  Manifest m;
  scanInto(root, "", m);
  return m;
}

std::string describeDifference(const Manifest& expected, const Manifest& actual, int limit) {
  std::ostringstream out;
  int lines = 0;
  auto note = [&](const std::string& text) {
    if (lines++ < limit) out << "    " << text << "\n";
  };
  for (const auto& [rel, node] : expected) {
    const auto it = actual.find(rel);
    if (it == actual.end())
      note("missing: " + rel);
    else if (!(it->second == node))
      note("changed: " + rel + (node.folder != it->second.folder ? " (kind)" : " (contents)"));
  }
  for (const auto& [rel, node] : actual)
    if (!expected.count(rel)) note("unexpected: " + rel + (node.folder ? "/" : ""));
  if (lines > limit) out << "    ... " << (lines - limit) << " more\n";
  return out.str();
}

bool isWithin(const std::string& rel, const std::string& folder) {
  return rel == folder || (rel.size() > folder.size() && rel.compare(0, folder.size(), folder) == 0 &&
                           rel[folder.size()] == '/');
}

Manifest moved(const Manifest& m, const std::string& from, const std::string& to) {
  Manifest out;
  for (const auto& [rel, node] : m) out[isWithin(rel, from) ? to + rel.substr(from.size()) : rel] = node;
  return out;
}

Manifest removed(const Manifest& m, const std::string& rel) {
  Manifest out;
  for (const auto& [path, node] : m)
    if (!isWithin(path, rel)) out[path] = node;
  return out;
}

Manifest renamedLevel(const Manifest& m, const std::string& oldRel, const std::string& oldName,
                      const std::string& newName) {
  const std::string folder = "levels/" + newName;
  Manifest out = moved(m, oldRel, folder);
  for (const char* suffix : LevelFileSuffixes) {
    const std::string want = oldName + suffix;
    std::vector<std::string> candidates;
    for (const auto& [rel, node] : out)
      if (!node.folder && !node.link && parentOf(rel) == folder && upper(nameOf(rel)) == upper(want))
        candidates.push_back(rel);
    std::string pick;
    if (std::find(candidates.begin(), candidates.end(), folder + "/" + want) != candidates.end())
      pick = folder + "/" + want;
    else if (candidates.size() == 1)
      pick = candidates[0];
    const std::string target = folder + "/" + newName + suffix;
    if (pick.empty() || pick == target || out.count(target)) continue;
    out[target] = out[pick];
    out.erase(pick);
  }
  return out;
}

std::string resolved(const std::string& path) {
  std::vector<std::string> steps;
  std::stringstream parts(path);
  for (std::string part; std::getline(parts, part, '/');) {
    if (part.empty() || part == ".") continue;
    if (part != "..") {
      steps.push_back(part);
    } else if (steps.empty()) {
      return "";
    } else {
      steps.pop_back();
    }
  }
  std::string out;
  for (const std::string& step : steps) out += (out.empty() ? "" : "/") + step;
  return out;
}

std::vector<std::string> installedLevels(const Manifest& m) {
  std::vector<std::string> out;
  for (const auto& [rel, node] : m) {
    if (!isWithin(rel, "levels") || rel == "levels" || !visibleBelow(rel, "levels")) continue;
    const std::string name = nameOf(rel);
    if (!isInfoFile(name) || !marked(node, kLevelMarker) || isStockLevelInfoFile(name)) continue;
    const std::string c = stem(name);
    const auto folder = m.find("levels/" + c);
    if (parentOf(rel) == "levels/" + c && folder != m.end() && folder->second.folder) out.push_back(c);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> uninstalledLevels(const Manifest& m) {
  std::vector<std::string> out;
  for (const auto& [rel, node] : m)
    if (isWithin(rel, "un_levels") && rel != "un_levels" && visibleBelow(rel, "un_levels") &&
        isInfoFile(nameOf(rel)) && marked(node, kLevelMarker))
      out.push_back(stem(nameOf(rel)));
  std::sort(out.begin(), out.end());
  return out;
}

namespace {

// Every folder below `top` holding a marked parameter file (its name compared ignoring case),
// named relative to `top`; one lying in `top` itself names no car.
std::vector<std::string> carsBelow(const Manifest& m, const std::string& top, bool dropStock) {
  std::vector<std::string> out;
  for (const auto& [rel, node] : m) {
    if (!isWithin(rel, top) || rel == top || !visibleBelow(rel, top)) continue;
    if (upper(nameOf(rel)) != "PARAMETERS.TXT" || !marked(node, kCarMarker)) continue;
    const std::string folder = parentOf(rel);
    if (folder == top) continue;
    const std::string caption = folder.substr(top.size() + 1);
    if (!dropStock || !isStockCarFolder(caption)) out.push_back(caption);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

std::vector<std::string> installedCars(const Manifest& m) { return carsBelow(m, "cars", true); }
std::vector<std::string> uninstalledCars(const Manifest& m) { return carsBelow(m, "garage", false); }

std::string nameValue(const std::string& bytes, char quote) {
  std::string text = bytes.substr(0, bytes.find('\x1a'));
  std::string line, last;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() && line.empty()) break;  // no last line after a final break
    if (i == text.size() || text[i] == '\r') {
      last = line;
      if (line.find("Name") != std::string::npos || line.find("NAME") != std::string::npos ||
          line.find("name") != std::string::npos)
        break;
      line.clear();
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  const auto first = last.find(quote);
  const std::string rest = first == std::string::npos ? last : last.substr(first + 1);
  const std::string value = rest.substr(0, rest.find(quote));
  return isValidUtf8(last) ? value : cp1252ToUtf8(value);
}

}  // namespace pitkit::soak
