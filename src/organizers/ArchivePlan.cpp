#include "organizers/ArchivePlan.h"

#include <algorithm>
#include <map>
#include <set>

#include "organizers/ArchiveReader.h"
#include "organizers/InfoFile.h"
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

bool startsWith(const std::vector<std::string>& parts, const std::vector<std::string>& prefix) {
  return parts.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), parts.begin());
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

// The entries of the archive, with the start of each info and parameter file's text by index.
struct ReadEntries {
  std::vector<ArchiveEntry> entries;
  std::map<std::size_t, std::string> texts;
};

ReadEntries readEntries(const std::string& archivePath, const std::string& password) {
  ArchiveReader reader(archivePath, password);
  ReadEntries read;
  ArchiveEntry entry;
  std::vector<char> buffer(kBlockSize);
  while (reader.next(entry)) {
    const std::size_t index = read.entries.size();
    if (entry.leftOutReason.empty() && !entry.folder && !entry.parts.empty() &&
        (hasExtension(entry.parts.back(), ".inf") || sameTextAscii(entry.parts.back(), kParametersFile))) {
      std::string& text = read.texts[index];
      while (text.size() < kMaxTextBytes) {
        const std::size_t n = reader.read(buffer.data(), std::min(buffer.size(), kMaxTextBytes - text.size()));
        if (n == 0) break;
        text.append(buffer.data(), n);
      }
    }
    read.entries.push_back(std::move(entry));
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

// Items: a folder holding <folder>.inf with the marker (a level) or parameters.txt (a car); an
// info file with the marker at the top makes the loose files there a level.
std::vector<Candidate> findCandidates(const ReadEntries& read, const std::vector<bool>& usable) {
  std::vector<Candidate> candidates;
  for (const auto& [index, text] : read.texts) {
    if (!usable[index]) continue;
    const std::vector<std::string>& parts = read.entries[index].parts;
    const std::string& file = parts.back();
    const bool isInfo = hasExtension(file, ".inf") && text.find(kInfoFileMarker) != std::string::npos;
    const bool isCar = sameTextAscii(file, kParametersFile);
    if (parts.size() == 1) {
      if (isInfo)
        candidates.push_back({{ContentKind::Level, stripFileExt(file), cp1252ToUtf8(quotedValueCut(nameLine(text), '\'')), "", 0, 0}, {}, true});
      continue;
    }
    const Folder source(parts.begin(), parts.end() - 1);
    const std::string& folderName = source.back();
    if (isInfo && sameTextAscii(stripFileExt(file), folderName))
      candidates.push_back({{ContentKind::Level, folderName, cp1252ToUtf8(quotedValueCut(nameLine(text), '\'')), joined(source), 0, 0}, source, false});
    else if (isCar)
      candidates.push_back({{ContentKind::Car, folderName, cp1252ToUtf8(quotedValueCut(nameLine(text), '"')), joined(source), 0, 0}, source, false});
  }
  return candidates;
}

// The candidates that become items, and the folders of those left out.
struct Accepted {
  std::vector<Candidate> items;
  std::vector<Folder> dropped;
};

// Why `c` is left out given the items accepted before it; "" when it is not.
std::string rejectionReason(const Candidate& c, const std::vector<Candidate>& accepted) {
  const char* kind = c.item.kind == ContentKind::Level ? "level" : "car";
  if (c.item.name.front() == '.') return "a " + std::string(kind) + " with a hidden folder name";
  if (std::any_of(accepted.begin(), accepted.end(), [&](const Candidate& a) {
        return a.item.kind == c.item.kind && sameTextAscii(a.item.name, c.item.name);
      }))
    return "another " + std::string(kind) + " named " + c.item.name + " comes first in the archive";
  return {};
}

// An item inside another item's folder belongs to the outer one; a second item of one kind and
// name is left out.
Accepted acceptCandidates(std::vector<Candidate> candidates, std::vector<std::string>& leftOut) {
  std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return !a.loose && (b.loose || a.source.size() < b.source.size());
  });
  Accepted accepted;
  for (Candidate& c : candidates) {
    const auto inside = [&](const std::vector<Folder>& folders) {
      return !c.loose && std::any_of(folders.begin(), folders.end(), [&](const auto& f) { return startsWith(c.source, f); });
    };
    std::vector<Folder> acceptedFolders;
    for (const Candidate& a : accepted.items)
      if (!a.loose) acceptedFolders.push_back(a.source);
    if (inside(acceptedFolders) || inside(accepted.dropped)) continue;
    const std::string reason = rejectionReason(c, accepted.items);
    if (reason.empty()) {
      accepted.items.push_back(std::move(c));
    } else {
      leftOut.push_back((c.loose ? c.item.name + ".inf" : c.item.source) + ": " + reason);
      if (!c.loose) accepted.dropped.push_back(c.source);
    }
  }
  return accepted;
}

// Places an entry inside an accepted item's folder (the first that holds it).
void placeInItemFolder(const ArchiveEntry& e, const std::vector<Candidate>& accepted, Placement& p) {
  for (std::size_t k = 0; k < accepted.size() && p.item < 0; ++k) {
    if (accepted[k].loose || !startsWith(e.parts, accepted[k].source) || e.parts.size() == accepted[k].source.size())
      continue;
    p.item = static_cast<int>(k);
    p.path.assign(e.parts.begin() + static_cast<long>(accepted[k].source.size()), e.parts.end());
  }
}

// A file at the top goes to the loose level; of several, to the one whose name begins it (the
// longest).
void placeLooseFile(const std::string& file, const std::vector<Candidate>& accepted,
                    const std::vector<int>& looseLevels, Placement& p) {
  std::size_t best = 0;
  for (int k : looseLevels) {
    const std::string& name = accepted[static_cast<std::size_t>(k)].item.name;
    if ((looseLevels.size() == 1 || (file.size() >= name.size() && sameTextAscii(file.substr(0, name.size()), name))) &&
        name.size() + 1 > best) {
      best = name.size() + 1;
      p.item = k;
    }
  }
}

// A gfx/<level>.bmp anywhere is that level's preview (its first).
void placePreview(const std::string& file, const std::vector<Candidate>& accepted, std::vector<bool>& hasPreview,
                  Placement& p) {
  for (std::size_t k = 0; k < accepted.size(); ++k) {
    if (accepted[k].item.kind != ContentKind::Level || hasPreview[k] ||
        !sameTextAscii(stripFileExt(file), accepted[k].item.name))
      continue;
    p.item = static_cast<int>(k);
    p.preview = true;
    hasPreview[k] = true;
    break;
  }
}

// Decides where each usable entry goes; entries of no item are left out.
void placeEntries(const std::vector<ArchiveEntry>& entries, const std::vector<bool>& usable, const Accepted& accepted,
                  ArchivePlan& plan) {
  std::vector<int> looseLevels;
  for (std::size_t k = 0; k < accepted.items.size(); ++k)
    if (accepted.items[k].loose) looseLevels.push_back(static_cast<int>(k));
  std::vector<bool> hasPreview(accepted.items.size(), false);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!usable[i]) continue;
    const ArchiveEntry& e = entries[i];
    Placement& p = plan.placements[i];
    p.folder = e.folder;
    p.size = e.folder ? 0 : e.size;
    p.mtimeSet = e.mtimeSet;
    p.mtime = {static_cast<time_t>(e.mtime), static_cast<long>(e.mtimeNanoseconds)};
    placeInItemFolder(e, accepted.items, p);
    if (p.item >= 0 || e.folder) continue;
    const auto& dropped = accepted.dropped;
    if (std::any_of(dropped.begin(), dropped.end(), [&](const auto& f) { return startsWith(e.parts, f); })) continue;
    const std::string& file = e.parts.back();
    if (e.parts.size() == 1 && !looseLevels.empty()) {
      placeLooseFile(file, accepted.items, looseLevels, p);
      if (p.item >= 0) {
        p.path = e.parts;
        continue;
      }
    }
    if (e.parts.size() >= 2 && sameTextAscii(e.parts[e.parts.size() - 2], "gfx") && hasExtension(file, ".bmp")) {
      placePreview(file, accepted.items, hasPreview, p);
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
    item.bytes += p.size;
    ++item.files;
  }
}

}  // namespace

ArchivePlan planArchive(const std::string& archivePath, const std::string& password) {
  const ReadEntries read = readEntries(archivePath, password);
  ArchivePlan plan;
  plan.placements.resize(read.entries.size());
  const std::vector<bool> usable = usableEntries(read.entries, plan.contents.leftOut);
  const Accepted accepted = acceptCandidates(findCandidates(read, usable), plan.contents.leftOut);
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

ArchiveContents ReadArchiveContents(const std::string& archivePath, const std::string& password) {
  return archive_install::planArchive(archivePath, password).contents;
}

}  // namespace pitkit
