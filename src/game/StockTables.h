#pragma once
// The game's own levels and cars, which the organizers never list as installed custom ones.
#include <array>
#include <string>
#include <string_view>

namespace pitkit {

// Info-file names of the stock levels, in the spellings the game ships (compared with case).
inline constexpr std::array<std::string_view, 39> StockLevelInfoFiles = {
    "Nhood1.inf",        "nhood1.inf",        "nhood2.inf",       "Nhood2.inf",    "Bot_bat.inf",
    "bot_bat.inf",       "Frontend.inf",      "frontend.inf",     "Garden1.inf",   "garden1.inf",
    "Markar.inf",        "markar.inf",        "Market2.inf",      "market2.inf",   "Market1.inf",
    "market1.inf",       "Muse_bat.inf",      "muse_bat.inf",     "Muse1.inf",     "muse1.inf",
    "Muse2.inf",         "muse2.inf",         "Nhood1_battle.inf", "nhood1_battle.inf",
    "nhood1_Battle.inf", "Ship1.inf",         "ship1.inf",        "Ship2.inf",     "ship2.inf",
    "Stunts.inf",        "stunts.inf",        "Toy2.inf",         "toy2.inf",      "Toylite.inf",
    "toylite.inf",       "Wild_west1.inf",    "wild_west1.inf",   "Wild_west2.inf", "wild_west2.inf"};

// The number of stock levels the "Total Levels" counter adds to the installed custom ones.
inline constexpr int kStockLevelCount = 18;

// True when `name` is exactly one of StockLevelInfoFiles, letter case included.
bool isStockLevelInfoFile(const std::string& name);

// Folder names of the stock cars below cars (compared with case).
inline constexpr std::array<std::string_view, 35> StockCarFolders = {
    "adeon", "amw",  "beatall", "candy", "cougar", "dino",    "flag",    "fone",    "gencar",
    "mite",  "moss", "mouse",   "mud",   "panga",  "phat",    "q",       "r5",      "rc",
    "rotor", "sgt",  "sugo",    "tc1",   "tc2",    "tc3",     "tc4",     "tc5",     "tc6",
    "toyeca", "trolley", "ufo", "volken", "wincar", "wincar2", "wincar3", "wincar4"};

// The number of stock cars the "Total Cars" counter adds to the installed custom ones.
inline constexpr int kStockCarCount = 35;

// True when `caption` (a car's folder relative to cars) is exactly one of StockCarFolders.
bool isStockCarFolder(const std::string& caption);

}  // namespace pitkit
