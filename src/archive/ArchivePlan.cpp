#include "archive/ArchivePlan.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "archive/ArchiveReader.h"
#include "game/InfoFile.h"
#include "platform/Charset.h"
#include "platform/Paths.h"

namespace pitkit {

namespace archive_install {

namespace {

const char* const kInfoFileMarker = "Torvane .INF file structure";
const char* const kParametersFile = "parameters.txt";
// Only this much of an info or parameter file is read to find its marker and name line.
constexpr std::size_t kMaxTextBytes = std::size_t{1} << 20;

using Folder = std::vector<std::string>;

bool hasExtension(const std::string& name, const char* extension) {
  return sameTextAscii(extractFileExt(name), extension);
}

std::string joined(const std::vector<std::string>& parts, std::size_t from = 0, std::size_t to = std::string::npos) {
  std::string out;
  for (std::size_t i = from; i < std::min(to, parts.size()); ++i) {
    if (!out.empty()) out += '/';
    out += parts[i];
  }
  return out;
}

// The name line of an info or parameter file as the key-line scan finds it: lines end at CR (an LF
// right after it belongs to the break), byte 1A ends the text; the first line holding a name key,
// else the last line.
std::string nameLine(const std::string& text) {
  std::string line;
  std::size_t pos = 0;
  const std::size_t end = std::min(text.find('\x1A'), text.size());
  const auto hasKey = [](const std::string& l) {
    return std::any_of(kNameKeys.begin(), kNameKeys.end(), [&](const std::string& k) { return l.find(k) != std::string::npos; });
  };
  while (pos < end && !hasKey(line)) {
    const std::size_t cr = std::min(text.find('\r', pos), end);
    line = text.substr(pos, cr - pos);
    pos = cr + 1;
    if (pos < end && text[pos] == '\n') ++pos;
  }
  return line;
}

// Longest display name kept from a name line, in bytes: enough for any list, and what is held per
// item stays small however long a line an archive has.
constexpr std::size_t kMaxDisplayName = 255;

bool isTextEntry(const ArchiveEntry& entry) {
  return entry.leftOutReason.empty() && !entry.folder && !entry.parts.empty() &&
         (hasExtension(entry.parts.back(), ".inf") || sameTextAscii(entry.parts.back(), kParametersFile));
}

// What an info or parameter file tells, read from the start of its text: only this is kept, never
// the text, so the memory a plan takes does not grow with the files' sizes.
struct TextFacts {
  bool marker = false;      // it holds the info files' marker
  std::string displayName;  // UTF-8, from its name line
};

TextFacts textFacts(const std::string& file, const std::string& text) {
  const bool car = sameTextAscii(file, kParametersFile);
  // Decided in the set the line is written in, as the organizer pages read it.
  std::string name = nameLineValue(nameLine(text), car ? '"' : '\'');
  if (name.size() > kMaxDisplayName) {
    std::size_t cut = kMaxDisplayName;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // whole letters only
    name.resize(cut);
  }
  return {text.find(kInfoFileMarker) != std::string::npos, name};
}

// The entries of the archive, with what each info and parameter file tells by index.
struct ReadEntries {
  std::vector<ArchiveEntry> entries;
  std::map<std::size_t, TextFacts> texts;
};

void checkCancel(const TransferProgress* progress) {
  if (progress != nullptr && progress->cancelRequested.load(std::memory_order_relaxed))
    throw ETransferCancelled("Cancelled");
}

ReadEntries readEntries(const std::string& archivePath, const std::string& password, TransferProgress* progress) {
  // Most entries' data is skipped here: small blocks keep the reads of their headers small.
  ArchiveReader reader(archivePath, password, kHeaderBlockSize, progress);
  ReadEntries read;
  ArchiveEntry entry;
  std::vector<char> buffer(kBlockSize);
  std::string text;  // one file's text at a time
  while (reader.next(entry)) {
    checkCancel(progress);
    const std::size_t index = read.entries.size();
    if (isTextEntry(entry)) {
      text.clear();
      while (text.size() < kMaxTextBytes) {
        const std::size_t n = reader.read(buffer.data(), std::min(buffer.size(), kMaxTextBytes - text.size()));
        if (n == 0) break;
        text.append(buffer.data(), n);
        checkCancel(progress);
      }
      read.texts[index] = textFacts(entry.parts.back(), text);
    }
    read.entries.push_back(std::move(entry));
    if (progress != nullptr) ++progress->entries;
  }
  return read;
}

// Per entry, whether it may be written: unsafe names, links, devices, a second entry of one path
// and files of no stated size are not, and go to `leftOut`.
std::vector<bool> usableEntries(const std::vector<ArchiveEntry>& entries, std::vector<std::string>& leftOut) {
  std::vector<bool> usable(entries.size(), false);
  std::set<std::string> seen;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ArchiveEntry& e = entries[i];
    if (!e.leftOutReason.empty()) {
      leftOut.push_back(e.shownPath + ": " + e.leftOutReason);
    } else if (e.parts.empty()) {
      // The archive's own top folder ("./").
    } else if (!seen.insert(joined(e.parts)).second) {
      if (!e.folder) leftOut.push_back(e.shownPath + ": it appears twice in the archive");
    } else if (!e.folder && !e.sizeKnown) {
      leftOut.push_back(e.shownPath + ": the archive does not state its size");
    } else {
      usable[i] = true;
    }
  }
  return usable;
}

// A level or car the archive may hold, before items inside others and repeated names are sorted out.
struct Candidate {
  ArchiveItem item;
  Folder source;
  bool loose = false;
};

std::string lowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// Items: a folder holding <folder>.inf with the marker (a level) or parameters.txt (a car); an
// info file with the marker at the top makes the loose files there a level, named after it (one
// with no name before its extension is left out).
std::vector<Candidate> findCandidates(const ReadEntries& read, const std::vector<bool>& usable,
                                      std::vector<std::string>& leftOut) {
  std::vector<Candidate> candidates;
  for (const auto& [index, facts] : read.texts) {
    if (!usable[index]) continue;
    const std::vector<std::string>& parts = read.entries[index].parts;
    const std::string& file = parts.back();
    const bool isInfo = hasExtension(file, ".inf") && facts.marker;
    const bool isCar = sameTextAscii(file, kParametersFile);
    if (parts.size() == 1) {
      if (isInfo && stripFileExt(file).empty())
        leftOut.push_back(file + ": a level needs a name, and this info file has none before its extension");
      else if (isInfo)
        candidates.push_back({{ContentKind::Level, stripFileExt(file), facts.displayName, "", 0, 0, {}}, {}, true});
      continue;
    }
    const Folder source(parts.begin(), parts.end() - 1);
    const std::string& folderName = source.back();
    if (isInfo && sameTextAscii(stripFileExt(file), folderName)) {
      // The level list takes a level only when its folder and info file are spelt alike: the
      // folder takes the info file's spelling.
      const std::string name = stripFileExt(file);
      candidates.push_back({{ContentKind::Level, name, facts.displayName, joined(source), 0, 0,
                             name == folderName ? std::string() : folderName},
                            source, false});
    } else if (isCar) {
      candidates.push_back({{ContentKind::Car, folderName, facts.displayName, joined(source), 0, 0, {}}, source, false});
    }
  }
  return candidates;
}

// The folders of the first `count` parts of `parts`, shortest first, each as its key ("a/b").
template <typename Visit>
void forEachFolderOf(const std::vector<std::string>& parts, std::size_t count, Visit visit) {
  std::string key;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) key += '/';
    key += parts[i];
    if (visit(key, i + 1)) return;
  }
}

// The candidates that become items, and the folders of those left out, found by their keys.
struct Accepted {
  std::vector<Candidate> items;
  std::unordered_map<std::string, int> itemOfFolder;  // the non-loose items' folders
  std::unordered_set<std::string> dropped;
};

// An item inside another item's folder belongs to the outer one; a second item of one kind and
// name is left out. Each candidate is looked up by its folders and name: linear in the entries.
Accepted acceptCandidates(std::vector<Candidate> candidates, std::vector<std::string>& leftOut) {
  std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return !a.loose && (b.loose || a.source.size() < b.source.size());
  });
  Accepted accepted;
  std::set<std::pair<ContentKind, std::string>> names;  // letter case ignored
  for (Candidate& c : candidates) {
    bool inside = false;
    if (!c.loose)
      forEachFolderOf(c.source, c.source.size(), [&](const std::string& key, std::size_t) {
        inside = accepted.itemOfFolder.count(key) != 0 || accepted.dropped.count(key) != 0;
        return inside;
      });
    if (inside) continue;
    const char* kind = c.item.kind == ContentKind::Level ? "level" : "car";
    std::string reason;
    if (c.item.name.front() == '.') reason = "a " + std::string(kind) + " with a hidden folder name";
    else if (!names.emplace(c.item.kind, lowerAscii(c.item.name)).second)
      reason = "another " + std::string(kind) + " named " + c.item.name + " comes first in the archive";
    if (reason.empty()) {
      if (!c.loose) accepted.itemOfFolder.emplace(joined(c.source), static_cast<int>(accepted.items.size()));
      accepted.items.push_back(std::move(c));
    } else {
      leftOut.push_back((c.loose ? c.item.name + ".inf" : c.item.source) + ": " + reason);
      if (!c.loose) accepted.dropped.insert(joined(c.source));
    }
  }
  return accepted;
}

// Places an entry inside an accepted item's folder (the one that holds it: no item's folder is
// inside another's).
void placeInItemFolder(const ArchiveEntry& e, const Accepted& accepted, Placement& p) {
  forEachFolderOf(e.parts, e.parts.size() - 1, [&](const std::string& key, std::size_t depth) {
    const auto found = accepted.itemOfFolder.find(key);
    if (found == accepted.itemOfFolder.end()) return false;
    p.item = found->second;
    p.path.assign(e.parts.begin() + static_cast<long>(depth), e.parts.end());
    return true;
  });
}

// The accepted levels by name (lower case), and the loose ones' name lengths, longest first.
struct LevelNames {
  std::unordered_map<std::string, int> levels, loose;
  std::set<std::size_t, std::greater<>> looseLengths;
  int onlyLoose = -1;  // the loose level when there is exactly one
};

LevelNames levelNames(const Accepted& accepted) {
  LevelNames names;
  for (std::size_t k = 0; k < accepted.items.size(); ++k) {
    const Candidate& c = accepted.items[k];
    if (c.item.kind != ContentKind::Level) continue;
    const std::string lower = lowerAscii(c.item.name);
    names.levels.emplace(lower, static_cast<int>(k));
    if (!c.loose) continue;
    names.loose.emplace(lower, static_cast<int>(k));
    names.looseLengths.insert(lower.size());
  }
  if (names.loose.size() == 1) names.onlyLoose = names.loose.begin()->second;
  return names;
}

// A file at the top goes to the loose level; of several, to the one whose name begins it (the
// longest).
void placeLooseFile(const std::string& file, const LevelNames& names, Placement& p) {
  if (names.onlyLoose >= 0) {
    p.item = names.onlyLoose;
    return;
  }
  const std::string lower = lowerAscii(file);
  for (const std::size_t length : names.looseLengths) {
    if (length > lower.size()) continue;
    const auto found = names.loose.find(lower.substr(0, length));
    if (found == names.loose.end()) continue;
    p.item = found->second;
    return;
  }
}

// A gfx/<level>.bmp anywhere is that level's preview (its first).
void placePreview(const std::string& file, const LevelNames& names, std::vector<bool>& hasPreview, Placement& p) {
  const auto found = names.levels.find(lowerAscii(stripFileExt(file)));
  if (found == names.levels.end() || hasPreview[static_cast<std::size_t>(found->second)]) return;
  p.item = found->second;
  p.preview = true;
  hasPreview[static_cast<std::size_t>(found->second)] = true;
}

// Decides where each usable entry goes; entries of no item are left out.
void placeEntries(const std::vector<ArchiveEntry>& entries, const std::vector<bool>& usable, const Accepted& accepted,
                  ArchivePlan& plan) {
  const LevelNames names = levelNames(accepted);
  std::vector<bool> hasPreview(accepted.items.size(), false);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!usable[i]) continue;
    const ArchiveEntry& e = entries[i];
    Placement& p = plan.placements[i];
    p.folder = e.folder;
    p.size = e.folder ? 0 : e.size;
    p.mtimeSet = e.mtimeSet;
    p.mtime = {static_cast<time_t>(e.mtime), static_cast<long>(e.mtimeNanoseconds)};
    placeInItemFolder(e, accepted, p);
    if (p.item >= 0 || e.folder) continue;
    bool dropped = false;
    forEachFolderOf(e.parts, e.parts.size(), [&](const std::string& key, std::size_t) {
      dropped = accepted.dropped.count(key) != 0;
      return dropped;
    });
    if (dropped) continue;
    const std::string& file = e.parts.back();
    if (e.parts.size() == 1 && !names.loose.empty()) {
      placeLooseFile(file, names, p);
      if (p.item >= 0) {
        p.path = e.parts;
        continue;
      }
    }
    if (e.parts.size() >= 2 && sameTextAscii(e.parts[e.parts.size() - 2], "gfx") && hasExtension(file, ".bmp")) {
      placePreview(file, names, hasPreview, p);
      if (p.item >= 0) continue;
    }
    plan.contents.leftOut.push_back(e.shownPath + ": it is not part of a level or car");
  }
}

// Adds up each item's files, bytes and folders.
void countItems(ArchivePlan& plan) {
  plan.folders.assign(plan.contents.items.size(), 0);
  for (const Placement& p : plan.placements) {
    if (p.item < 0) continue;
    if (p.folder) {
      ++plan.folders[static_cast<std::size_t>(p.item)];
      continue;
    }
    ArchiveItem& item = plan.contents.items[static_cast<std::size_t>(p.item)];
    item.bytes = addSizes(item.bytes, p.size);
    ++item.files;
  }
}

}  // namespace

ArchivePlan planArchive(const std::string& archivePath, const std::string& password, TransferProgress* progress) {
  const ReadEntries read = readEntries(archivePath, password, progress);
  ArchivePlan plan;
  plan.placements.resize(read.entries.size());
  const std::vector<bool> usable = usableEntries(read.entries, plan.contents.leftOut);
  const Accepted accepted = acceptCandidates(findCandidates(read, usable, plan.contents.leftOut), plan.contents.leftOut);
  for (const Candidate& c : accepted.items) {
    plan.contents.items.push_back(c.item);
    plan.sources.push_back(c.source);
  }
  placeEntries(read.entries, usable, accepted, plan);
  countItems(plan);
  return plan;
}

}  // namespace archive_install

ArchiveContents ReadArchiveContents(const std::string& archivePath) { return ReadArchiveContents(archivePath, {}); }

ArchiveContents ReadArchiveContents(const std::string& archivePath, const std::string& password,
                                    TransferProgress* progress) {
  return archive_install::planArchive(archivePath, password, progress).contents;
}

}  // namespace pitkit
