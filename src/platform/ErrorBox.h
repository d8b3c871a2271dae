#pragma once
// The error box every handler's failure ends in, and the one wrapper that connects handlers to it.
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>

namespace pitkit {

// The application title: caption of the main window and of every error box.
inline const char* const kApplicationTitle = "Torvane Pit Kit";

// Shows `message` modally: caption "Torvane Pit Kit", error icon, one OK button, with the
// full-stop rule applied.
void showErrorBox(QWidget* parent, const QString& message);

// Runs `handler`; an exception that escapes it is shown in the error box and the program goes on.
void runGuarded(QWidget* parent, const std::function<void()>& handler);

// A slot for connect(): the handler wrapped in runGuarded.
template <typename Handler>
auto guarded(QWidget* parent, Handler handler) {
  return [parent, handler](auto&&...) { runGuarded(parent, handler); };
}

}  // namespace pitkit
