// make_sample_game: writes an invented game tree (levels, un_levels, cars, garage, gfx) for the
// demo, the tests and the benchmarks. Every name, text and picture is made up here; the output
// depends only on the options, so two runs with the same options write the same tree.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "SampleArchive.h"
#include "platform/Charset.h"
#include "platform/UniqueFd.h"

namespace {

struct Options {
  std::string folder;
  int levels = 12;
  int uninstalled = 3;
  int cars = 6;
  int garage = 2;
  bool levelFiles = true;
  std::uint64_t seed = 1;
};

// The level file set that belongs to a level folder: the level name followed by each suffix.
const char* const kLevelSuffixes[] = {
    ".cam",  ".por",  ".fan",  ".fin",  ".fld",  ".fob",  ".inf",  ".lit",  ".ncp",
    ".pan",  ".rim",  ".taz",  ".tri",  ".vis",  ".w",    "a.bmp", "a.bmq", "b.bmp",
    "b.bmq", "c.bmp", "c.bmq", "d.bmp", "d.bmq", "e.bmp", "e.bmq", "f.bmp", "f.bmq",
    "g.bmp", "g.bmq", "h.bmp", "h.bmq", "i.bmp", "i.bmq", "j.bmp", "j.bmq"};

// The game's own levels, one folder each, in the spelling the game ships them with.
const char* const kStockLevels[] = {
    "nhood1",  "Nhood2", "Bot_bat",  "frontend", "Garden1", "Markar",   "Market2",
    "market1", "Muse_bat", "Muse1",  "muse2",    "nhood1_battle", "Ship1", "ship2",
    "Stunts",  "Toy2",   "Toylite",  "Wild_west1", "wild_west2"};

// The game's own cars.
const char* const kStockCars[] = {
    "adeon", "amw",  "beatall", "candy", "cougar", "dino",   "flag",    "fone",    "gencar",
    "mite",  "moss", "mouse",   "mud",   "panga",  "phat",   "q",       "r5",      "rc",
    "rotor", "sgt",  "sugo",    "tc1",   "tc2",    "tc3",    "tc4",     "tc5",     "tc6",
    "toyeca", "trolley", "ufo", "volken", "wincar", "wincar2", "wincar3", "wincar4"};

// Invented words for level and car names.
const char* const kWords[] = {"kestrel", "basalt", "cinder", "harbor", "quarry", "lantern",
                              "meadow",  "foundry", "glacier", "orchard", "canal", "spire",
                              "thicket", "viaduct", "marsh",  "pylon"};
const char* const kCarWords[] = {"sprite", "bolt", "hornet", "pebble", "comet", "badger",
                                 "vortex", "nimbus", "tusk", "quill"};

// A small deterministic generator (splitmix64).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

[[noreturn]] void fail(const std::string& what, const std::string& path) {
  throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

void makeDir(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) fail("cannot create folder", path);
}

void writeBytes(const std::string& path, const std::string& bytes) {
  pitkit::UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!file) fail("cannot create file", path);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write file", path);
    }
    done += static_cast<std::size_t>(n);
  }
  if (file.close() != 0) fail("cannot write file", path);
}

// Lines joined with CR LF, as the game's text files are written.
std::string crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

void put16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// An RGB picture, rows top to bottom.
struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
};

// A gradient with diagonal stripes; `hue` picks the colours so each picture looks different.
Picture drawPicture(int width, int height, std::uint64_t hue) {
  Picture p{width, height, std::vector<unsigned char>(static_cast<std::size_t>(width) * height * 3)};
  const int r0 = static_cast<int>(hue & 0xFF), g0 = static_cast<int>((hue >> 8) & 0xFF),
            b0 = static_cast<int>((hue >> 16) & 0xFF);
  const int stripe = 4 + static_cast<int>((hue >> 24) % 8);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      unsigned char* px = &p.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      const bool band = ((x + y) / stripe) % 2 == 0;
      px[0] = static_cast<unsigned char>((r0 + x * 255 / width) / 2 + (band ? 40 : 0));
      px[1] = static_cast<unsigned char>((g0 + y * 255 / height) / 2 + (band ? 0 : 40));
      px[2] = static_cast<unsigned char>(b0 / 2 + 60);
    }
  return p;
}

// A side view of a toy car on a sky-and-road background; `hue` picks the body colour.
Picture drawCar(int width, int height, std::uint64_t hue) {
  Picture p{width, height,
            std::vector<unsigned char>(static_cast<std::size_t>(width) * height * 3)};
  const unsigned char body[3] = {static_cast<unsigned char>(80 + hue % 176),
                                 static_cast<unsigned char>(40 + (hue >> 8) % 120),
                                 static_cast<unsigned char>(40 + (hue >> 16) % 200)};
  auto set = [&](int x, int y, unsigned char r, unsigned char g, unsigned char b) {
    unsigned char* px = &p.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    px[0] = r, px[1] = g, px[2] = b;
  };
  const int road = height * 3 / 4;
  const int wheelR = height / 8;
  const int wheelY = road - wheelR;
  const int wheelX[2] = {width * 27 / 100, width * 73 / 100};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (y >= road) {
        set(x, y, 70, 70, 75);
      } else {
        set(x, y, static_cast<unsigned char>(120 + y * 100 / road),
            static_cast<unsigned char>(170 + y * 60 / road), 235);
      }
      const bool lower = x > width / 10 && x < width * 9 / 10 && y > road - height * 3 / 10 &&
                         y < wheelY + wheelR / 3;
      const int cabinTop = road - height / 2;
      const int inset = (y - cabinTop) < 0 ? width : (road - height * 3 / 10 - y) * 2 / 3;
      const bool cabin = y >= cabinTop && y <= road - height * 3 / 10 &&
                         x > width * 3 / 10 + inset && x < width * 7 / 10 - inset;
      if (lower || cabin) set(x, y, body[0], body[1], body[2]);
      if (cabin && y > cabinTop + 2 && x > width * 3 / 10 + inset + 3 &&
          x < width * 7 / 10 - inset - 3)
        set(x, y, 200, 225, 245);
      for (int wx : wheelX) {
        const int dx = x - wx, dy = y - wheelY, d2 = dx * dx + dy * dy;
        if (d2 <= wheelR * wheelR) set(x, y, 25, 25, 25);
        if (d2 <= wheelR * wheelR / 4) set(x, y, 190, 190, 190);
      }
    }
  return p;
}

// A 24-bit uncompressed BMP file (rows bottom-up, padded to 4 bytes).
std::string encodeBmp(const Picture& p) {
  const std::uint32_t rowSize = (static_cast<std::uint32_t>(p.width) * 3 + 3) & ~3u;
  const std::uint32_t imageSize = rowSize * static_cast<std::uint32_t>(p.height);
  std::string out;
  out.reserve(54 + imageSize);
  out += "BM";
  put32(out, 54 + imageSize);
  put32(out, 0);
  put32(out, 54);
  put32(out, 40);
  put32(out, static_cast<std::uint32_t>(p.width));
  put32(out, static_cast<std::uint32_t>(p.height));
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);
  put32(out, imageSize);
  put32(out, 2835);
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  for (int y = p.height - 1; y >= 0; --y) {
    for (int x = 0; x < p.width; ++x) {
      const unsigned char* px = &p.rgb[(static_cast<std::size_t>(y) * p.width + x) * 3];
      out.push_back(static_cast<char>(px[2]));
      out.push_back(static_cast<char>(px[1]));
      out.push_back(static_cast<char>(px[0]));
    }
    out.append(rowSize - static_cast<std::uint32_t>(p.width) * 3, '\0');
  }
  return out;
}

// A baseline JPEG file, encoded in memory with libjpeg.
std::string encodeJpeg(const Picture& p) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(p.width);
  cinfo.image_height = static_cast<JDIMENSION>(p.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 85, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<unsigned char*>(&p.rgb[static_cast<std::size_t>(cinfo.next_scanline) * p.width * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

// Invented level data bytes: a short tag and deterministic noise.
std::string levelFileBytes(Random& rnd, const std::string& name, const char* suffix) {
  std::string out = "TVLF ";
  out += name;
  out += suffix;
  out.push_back('\0');
  const int extra = 24 + rnd.below(200);
  for (int i = 0; i < extra; ++i) out.push_back(static_cast<char>(rnd.next() & 0xFF));
  return out;
}

std::string titleCase(std::string word) {
  if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 32);
  return word;
}

// The info file of a level: the marker text on a comment line, the NAME line and a few settings.
// `displayName` is UTF-8; the file holds it in the game's 8-bit character set.
std::string infoFile(Random& rnd, const std::string& displayName) {
  return crlf({
      ";============================================================",
      "; Torvane .INF file structure",
      ";============================================================",
      "NAME '" + pitkit::utf8ToCp1252(displayName) + "'",
      "STARTPOS " + std::to_string(rnd.below(4000) - 2000) + " " +
          std::to_string(-rnd.below(800)) + " " + std::to_string(rnd.below(4000) - 2000),
      "STARTROT 0." + std::to_string(rnd.below(100)),
      "STARTGRID " + std::to_string(rnd.below(4)),
      "FARCLIP " + std::to_string(5000 + rnd.below(5000)),
      "FOGSTART " + std::to_string(3000 + rnd.below(2000)),
      "FOGCOLOR " + std::to_string(rnd.below(256)) + " " + std::to_string(rnd.below(256)) + " " +
          std::to_string(rnd.below(256)),
      "WORLDRGBPER 100",
      "MODELRGBPER 100",
      "INSTANCERGBPER 100",
  });
}

std::string readmeFile(const std::string& displayName) {
  return crlf({pitkit::utf8ToCp1252(displayName), "",
               "A custom track for Torvane, made for the sample game.",
               "Copy the folder into levels and start a race.", "", "Have fun!"});
}

// One level folder below `parent`: its info file, the lettered files and perhaps a readme.
void writeLevel(const Options& opt, Random& rnd, const std::string& parent, const std::string& name,
                const std::string& displayName, bool withReadme) {
  const std::string folder = parent + "/" + name;
  makeDir(folder);
  writeBytes(folder + "/" + name + ".inf", infoFile(rnd, displayName));
  if (opt.levelFiles)
    for (const char* suffix : kLevelSuffixes)
      if (std::strcmp(suffix, ".inf") != 0)
        writeBytes(folder + "/" + name + suffix, levelFileBytes(rnd, name, suffix));
  if (withReadme) writeBytes(folder + "/readme.txt", readmeFile(displayName));
}

// The parameter file of a car: name line first, then the marker and the file names.
std::string parametersFile(const std::string& car, const std::string& displayName, Random& rnd) {
  const std::string base = "cars\\" + car + "\\";
  return crlf({
      "{",
      "",
      ";============================================================",
      "; Car settings",
      ";============================================================",
      "Name      \t\"" + pitkit::utf8ToCp1252(displayName) + "\"",
      "",
      ";====================",
      "; Model Filenames",
      ";====================",
      "",
      "MODEL \t0 \t\"" + base + "body.prm\"",
      "MODEL \t1 \t\"" + base + "wheel.prm\"",
      "TPAGE \t\"" + base + car + ".bmp\"",
      "COLL \t\"" + base + "hull.hul\"",
      "EnvRGB \t" + std::to_string(100 + rnd.below(156)) + " " +
          std::to_string(100 + rnd.below(156)) + " " + std::to_string(100 + rnd.below(156)),
      "",
      "}",
  });
}

// A car folder: its parameter file, its texture page (a bitmap) and, unless `withPicture` is
// false, its picture (a JPEG).
void writeCar(Random& rnd, const std::string& parent, const std::string& car,
              const std::string& displayName, bool withPicture = true) {
  const std::string folder = parent + "/" + car;
  makeDir(folder);
  writeBytes(folder + "/parameters.txt", parametersFile(car, displayName, rnd));
  writeBytes(folder + "/" + car + ".bmp", encodeBmp(drawPicture(64, 64, rnd.next())));
  const std::uint64_t hue = rnd.next();
  if (withPicture) writeBytes(folder + "/" + car + ".jpg", encodeJpeg(drawCar(160, 120, hue)));
}

// Custom level i: a word and a number; level 2 has a space and a non-ASCII letter in its name.
std::string levelName(int i, int width) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%0*d", width, i + 1);
  return std::string(kWords[i % (sizeof kWords / sizeof *kWords)]) + digits;
}

// downloads/: archives to try "Install from Archive..." on, made from levels and cars written into
// a scratch folder first.
void writeDownloads(const Options& opt, Random& rnd, const std::string& root) {
  namespace fs = std::filesystem;
  const std::string downloads = root + "/downloads";
  const std::string work = downloads + "/.work";
  makeDir(downloads);
  const auto fresh = [&](const std::string& name) {
    fs::remove_all(work);
    makeDir(work);
    makeDir(work + "/" + name);
    return work + "/" + name;
  };
  // A level wrapped in a versioned folder with a readme beside it.
  std::string folder = fresh("Lighthouse Point v1.2");
  writeLevel(opt, rnd, folder, "Lighthouse", "Lighthouse Point", true);
  writeBytes(folder + "/READ ME FIRST.txt", crlf({"Lighthouse Point, a track for Torvane.", "Unpack into levels."}));
  sample::writeArchive(downloads + "/lighthouse-point.zip", false, work, "");
  // A pack in the game's own layout: two levels with previews and two cars.
  folder = fresh("pack");
  for (const char* sub : {"levels", "cars", "gfx"}) makeDir(folder + "/" + sub);
  for (const char* level : {"Dockyard", "Cliffside"}) {
    writeLevel(opt, rnd, folder + "/levels", level, std::string(level) + " Sprint", false);
    writeBytes(folder + "/gfx/" + level + ".bmp", encodeBmp(drawPicture(64, 48, rnd.next())));
  }
  for (const char* car : {"zephyr", "kodiak"}) writeCar(rnd, folder + "/cars", car, titleCase(car) + " GT");
  sample::writeArchive(downloads + "/spring-pack.zip", false, folder, "");
  // A car in a 7z archive.
  folder = fresh("ember");
  writeCar(rnd, work, "ember", "Ember Coupe");
  sample::writeArchive(downloads + "/ember-car.7z", true, work, "");
  // A level with entries the installer leaves out: a name that climbs out of its folder, an
  // absolute one and a link.
  folder = fresh("Trapdoor");
  writeLevel(opt, rnd, work, "Trapdoor", "Trapdoor Alley", false);
  sample::writeArchive(downloads + "/trapdoor-unsafe.zip", false, work, "",
                       {{"../../outside-the-game.txt", "This file must never be written.\r\n", ""},
                        {"/tmp/absolute-path.txt", "Nor this one.\r\n", ""},
                        {"Trapdoor/shortcut", "", "/etc/passwd"}});
  fs::remove_all(work);
}

void usage(std::ostream& out) {
  out << "usage: make_sample_game FOLDER [--levels N] [--uninstalled M] [--cars K] [--garage G]\n"
         "                        [--no-level-files] [--seed S]\n"
         "Writes an invented game tree into FOLDER (created when missing):\n"
         "  levels/     the game's own levels and N custom levels (default 12)\n"
         "  un_levels/  M uninstalled custom levels (default 3)\n"
         "  cars/       the game's own cars and K custom cars (default 6); the second custom car\n"
         "              has no picture\n"
         "  garage/     G uninstalled custom cars (default 2)\n"
         "  gfx/        previews for about two thirds of the custom levels, and pellmoor.bmp\n"
         "  noavail.bmp the picture shown for a car without one\n"
         "  downloads/  archives to install from: a wrapped level, a pack of levels and cars,\n"
         "              a car in a 7z and a level with unsafe entries\n"
         "  --no-level-files  write only the info file and readme of each custom level\n"
         "  --seed S          varies the invented contents (default 1)\n";
}

int parseCount(const std::string& option, const char* value) {
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(value, &end, 10);
  if (errno != 0 || end == value || *end != '\0' || n < 0 || n > 1000000)
    throw std::invalid_argument("bad value for " + option + ": " + value);
  return static_cast<int>(n);
}

Options parseOptions(int argc, char** argv) {
  Options opt;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) throw std::invalid_argument("missing value for " + arg);
      return argv[++i];
    };
    if (arg == "--levels") opt.levels = parseCount(arg, value());
    else if (arg == "--uninstalled") opt.uninstalled = parseCount(arg, value());
    else if (arg == "--cars") opt.cars = parseCount(arg, value());
    else if (arg == "--garage") opt.garage = parseCount(arg, value());
    else if (arg == "--no-level-files") opt.levelFiles = false;
    else if (arg == "--seed") opt.seed = static_cast<std::uint64_t>(parseCount(arg, value()));
    else if (!arg.empty() && arg[0] == '-') throw std::invalid_argument("unknown option " + arg);
    else if (opt.folder.empty()) opt.folder = arg;
    else throw std::invalid_argument("more than one folder given: " + arg);
  }
  if (opt.folder.empty()) throw std::invalid_argument("no folder given");
  return opt;
}

void generate(const Options& opt) {
  Random rnd(opt.seed * 0x2545F4914F6CDD1Dull + 7);
  const std::string root = opt.folder;
  std::error_code ec;
  std::filesystem::create_directories(root, ec);
  if (ec) throw std::runtime_error("cannot create folder " + root + ": " + ec.message());
  for (const char* sub : {"levels", "un_levels", "cars", "garage", "gfx"}) makeDir(root + "/" + sub);

  for (const char* stock : kStockLevels) {
    const std::string folder = root + "/levels/" + stock;
    makeDir(folder);
    writeBytes(folder + "/" + stock + ".inf", infoFile(rnd, titleCase(stock)));
  }

  const int total = opt.levels + opt.uninstalled;
  const int width = total >= 1000 ? 4 : 3;
  for (int i = 0; i < total; ++i) {
    const bool installed = i < opt.levels;
    std::string name = levelName(i, width);
    std::string display = titleCase(name) + " Circuit";
    if (i == 2) {
      name = "\xC3\x9C" "ber Bahn";  // "Über Bahn": a space and a non-ASCII letter
      display = "\xC3\x9C" "ber Bahn Stadtkurs";
    }
    writeLevel(opt, rnd, root + (installed ? "/levels" : "/un_levels"), name, display, i % 2 == 0);
    if (i % 3 != 1) writeBytes(root + "/gfx/" + name + ".bmp", encodeBmp(drawPicture(64, 48, rnd.next())));
  }
  writeBytes(root + "/gfx/pellmoor.bmp", encodeBmp(drawPicture(64, 48, 0x00508040A0ull)));
  // The game's own "no picture" image, shown for an uninstalled car without a picture of its own.
  writeBytes(root + "/noavail.bmp", encodeBmp(drawPicture(96, 64, 0x0060606060ull)));

  for (const char* stock : kStockCars) writeCar(rnd, root + "/cars", stock, titleCase(stock));
  for (int i = 0; i < opt.cars + opt.garage; ++i) {
    const std::string car = std::string(kCarWords[i % (sizeof kCarWords / sizeof *kCarWords)]) +
                            std::to_string(i + 1);
    // The second custom car comes without a picture.
    writeCar(rnd, root + (i < opt.cars ? "/cars" : "/garage"), car, titleCase(car) + " RS", i != 1);
  }
  writeDownloads(opt, rnd, root);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage(std::cout);
      return 0;
    }
  Options opt;
  try {
    opt = parseOptions(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "make_sample_game: " << e.what() << "\n";
    usage(std::cerr);
    return 2;
  }
  try {
    generate(opt);
  } catch (const std::exception& e) {
    std::cerr << "make_sample_game: " << e.what() << "\n";
    return 1;
  }
  std::cout << "make_sample_game: wrote " << opt.folder << ": " << opt.levels << " custom levels, "
            << opt.uninstalled << " uninstalled, " << opt.cars << " custom cars, " << opt.garage
            << " in the garage\n";
  return 0;
}
