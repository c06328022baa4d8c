#pragma once
// The main window of the interactive mode and its child windows.

#include <QMainWindow>
#include <QMdiSubWindow>
#include <functional>

class QMdiArea;
class QScrollArea;

namespace ba {

class SurfaceView;

// "beat analyser": an MDI area holding the console and the windows. Closing
// it asks the program to stop.
class MainWindow : public QMainWindow {
 public:
  explicit MainWindow(std::function<void()> close_requested);
  QMdiArea& mdi_area() { return *mdi_area_; }
  // Closes without asking the program to stop (the program has ended).
  void close_at_end();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void add_window_menu();

  QMdiArea* mdi_area_;
  std::function<void()> close_requested_;
  bool ending_ = false;
};

// One child of the MDI area: a scrollable view of a surface. The person
// cannot close it; the program closes its windows itself.
class ChildWindow : public QMdiSubWindow {
 public:
  ChildWindow(SurfaceView* view, const QString& caption);
  SurfaceView& view() { return *view_; }
  QScrollArea& scroll_area() { return *scroll_area_; }
  // Scrolls so that the rectangle (view coordinates) is visible.
  void show_area(const QRect& area);
  void close_by_program();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  SurfaceView* view_;
  QScrollArea* scroll_area_;
  bool closing_ = false;
};

}  // namespace ba
