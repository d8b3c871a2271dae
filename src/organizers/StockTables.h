#pragma once
// The game's own levels, which the organizer never lists as installed custom levels.
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

}  // namespace pitkit
