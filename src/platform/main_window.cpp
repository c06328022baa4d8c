#include "platform/main_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>

#include "platform/surface_view.h"

namespace ba {

MainWindow::MainWindow(std::function<void()> close_requested)
    : mdi_area_(new QMdiArea(this)), close_requested_(std::move(close_requested)) {
  setWindowTitle(QStringLiteral("beat analyser"));
  mdi_area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_area_);
  add_window_menu();
}

// The children overlap (each needs the whole 1000 x 750 surface), so the
// person needs a way to look at a covered one, the console above all.
// Looking at a window does not change the window the program reads from.
void MainWindow::add_window_menu() {
  QMenu* menu = menuBar()->addMenu(QStringLiteral("&Window"));
  connect(menu, &QMenu::aboutToShow, this, [this, menu] {
    menu->clear();
    menu->addAction(QStringLiteral("&Cascade"), mdi_area_, &QMdiArea::cascadeSubWindows);
    menu->addAction(QStringLiteral("&Tile"), mdi_area_, &QMdiArea::tileSubWindows);
    menu->addSeparator();
    auto* shown = new QActionGroup(menu);
    for (QMdiSubWindow* child : mdi_area_->subWindowList(QMdiArea::CreationOrder)) {
      QAction* item = menu->addAction(child->windowTitle(), this, [this, child] {
        mdi_area_->setActiveSubWindow(child);
      });
      item->setCheckable(true);
      item->setChecked(child == mdi_area_->activeSubWindow());
      shown->addAction(item);
    }
  });
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
