#pragma once
// The main window's pictures (logo banners and cover photographs), each decoded at the size of
// the box that shows it; the cover page's on a worker thread while the window's frame is built.
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <future>
#include <system_error>
#include <utility>

namespace pitkit {

struct CoverPictures {
  QImage toolChest;    // "Cover Display" Image4
  QImage spanners;     // "Cover Display" Image5
  QImage coverLogo;    // "Cover Display" Image6
};

// The boxes the pictures are stretched into (as laid out in the window's pages).
inline constexpr QSize kRenamerLogoBox{257, 65};
inline constexpr QSize kToolChestBox{169, 169};
inline constexpr QSize kSpannersBox{145, 145};
inline constexpr QSize kCoverLogoBox{305, 73};

// Runs `decode` on a worker thread; where no thread can be started, when the result is asked for.
template <typename Decode>
auto decodeInBackground(Decode decode) -> std::future<decltype(decode())> {
  try {
    return std::async(std::launch::async, std::move(decode));
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, std::move(decode));
  }
}

std::future<CoverPictures> decodeCoverPictures();
// "Level Renamer" Image1.
QImage decodeRenamerLogo();

// A picture from the resources shown at its own size: on a scaled screen the one drawn at twice
// the size, where there is one.
QPixmap screenPixmap(const QString& path);

// Reads a picture from the resources, decoded at `box` logical pixels on a screen of
// `devicePixelRatio` (a JPEG is scaled while it is decoded).
QImage readPicture(const QString& path, QSize box, qreal devicePixelRatio = 1.0);

}  // namespace pitkit
