#include "window/main_window.h"

#include "convert/folder_run.h"
#include "window/donation_link.h"

namespace corvane {

namespace {

struct Route {
  std::string_view control;
  FormEvent event;
  void (MainWindow::*handler)();
};

// The events the window acts on; everything else is ignored.
constexpr Route kRoutes[] = {
    {"GO", FormEvent::kClick, &MainWindow::GO_Click},
    {"TextBox", FormEvent::kChange, &MainWindow::TextBox_Change},
    {"Donate", FormEvent::kClick, &MainWindow::Donate_Click},
};

}  // namespace

MainWindow::MainWindow(FormControls& form, Runtime runtime) : form_(form), runtime_(runtime) {}

void MainWindow::Handle(std::string_view control, FormEvent event) {
  for (const Route& route : kRoutes) {
    if (route.control == control && route.event == event) {
      (this->*route.handler)();
      return;
    }
  }
}

void MainWindow::GO_Click() {
  if (run_started_) return;
  run_started_ = true;
  ReportingFailures(runtime_.user, [this] {
    ConvertFolder(runtime_.files, runtime_.user);  // ends the program
  });
}

void MainWindow::TextBox_Change() {
  ReportingFailures(runtime_.user, [this] { form_.SetText("TextBox", ""); });
}

void MainWindow::Donate_Click() {
  ReportingFailures(runtime_.user, [this] { OpenDonationLink(runtime_.files, runtime_.programs); });
}

}  // namespace corvane
