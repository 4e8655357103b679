#include "window/main_window.h"

#include <exception>
#include <new>

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

MainWindow::MainWindow(FormControls& form, Runtime& runtime) : form_(form), runtime_(runtime) {}

void MainWindow::Handle(std::string_view control, FormEvent event) {
  for (const Route& route : kRoutes) {
    if (route.control == control && route.event == event) {
      (this->*route.handler)();
      return;
    }
  }
}

template <typename Action>
void MainWindow::ReportingFailures(Action action) {
  try {
    try {
      action();
      return;
    } catch (const RuntimeError& error) {
      runtime_.ReportError(error);
    } catch (const std::bad_alloc&) {
      runtime_.ReportError(RuntimeError(ErrorNumber::kOutOfMemory, "not enough memory", ""));
    } catch (const std::exception& error) {
      runtime_.ReportError(
          RuntimeError(ErrorNumber::kInvalidProcedureCall, "unexpected failure", "", error.what()));
    } catch (...) {
      runtime_.ReportError(
          RuntimeError(ErrorNumber::kInvalidProcedureCall, "unexpected failure", ""));
    }
  } catch (...) {
    // Even the report failed; the program ends with status 1 all the same.
  }
  runtime_.EndProgram(1);
}

void MainWindow::GO_Click() {
  if (run_started_) return;
  run_started_ = true;
  ReportingFailures([this] { ConvertFolder(runtime_); });  // ends the program
}

void MainWindow::TextBox_Change() {
  ReportingFailures([this] { form_.SetText("TextBox", ""); });
}

void MainWindow::Donate_Click() {
  ReportingFailures([this] { OpenDonationLink(runtime_); });
}

}  // namespace corvane
