// Provisional: the sample game generator is being written. Creates the bare game folders.
#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: make_sample_game FOLDER\n";
    return 2;
  }
  for (const char* sub : {"levels", "un_levels", "cars", "garage", "gfx"})
    std::filesystem::create_directories(std::filesystem::path(argv[1]) / sub);
  return 0;
}
