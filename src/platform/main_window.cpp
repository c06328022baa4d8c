#include "platform/main_window.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QScrollArea>

#include "platform/surface_view.h"

namespace ba {

MainWindow::MainWindow(std::function<void()> close_requested)
    : mdi_area_(new QMdiArea(this)), close_requested_(std::move(close_requested)) {
  setWindowTitle(QStringLiteral("beat analyser"));
  mdi_area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_area_);
}

void MainWindow::close_at_end() {
  ending_ = true;
  close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!ending_ && close_requested_) close_requested_();
  event->accept();
}

ChildWindow::ChildWindow(SurfaceView* view, const QString& caption)
    : view_(view), scroll_area_(new QScrollArea) {
  scroll_area_->setWidget(view);
  scroll_area_->setWidgetResizable(false);
  scroll_area_->setFrameShape(QFrame::NoFrame);
  scroll_area_->setBackgroundRole(QPalette::Dark);
  setWidget(scroll_area_);
  setWindowTitle(caption);
  setAttribute(Qt::WA_DeleteOnClose);
}

void ChildWindow::show_area(const QRect& area) {
  scroll_area_->ensureVisible(area.center().x(), area.center().y(), area.width() / 2 + 8,
                              area.height() / 2 + 4);
}

void ChildWindow::close_by_program() {
  closing_ = true;
  close();
}

void ChildWindow::closeEvent(QCloseEvent* event) {
  if (closing_) {
    QMdiSubWindow::closeEvent(event);
  } else {
    event->ignore();
  }
}

}  // namespace ba
