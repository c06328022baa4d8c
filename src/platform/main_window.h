#pragma once
// The main window of the interactive mode and its child windows.

#include <QMainWindow>
#include <QMdiSubWindow>
#include <functional>

class QDockWidget;
class QLabel;
class QMdiArea;

namespace ba {

class SurfacePane;
class SurfaceView;

// "beat analyser": an MDI area holding the windows, the console as a panel
// under it, and a status bar saying what the program waits for. Closing it
// before the program's end asks first, then asks the program to stop.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(std::function<void()> close_requested);
  QMdiArea& mdi_area() { return *mdi_area_; }
  QDockWidget& console_dock() { return *console_dock_; }
  // Puts the console's pane into its panel.
  void set_console(SurfacePane* pane);
  // Closes without asking and without asking the program to stop (the
  // program has ended).
  void close_at_end();

  // Status bar: the question the program waits on (empty while it works) on
  // a line of its own, so that it is never cut; under it what the program
  // waits for now, a note about the last measurement (empty when there is
  // nothing to say), what became of the selection and, at its right end,
  // the data folder.
  void show_waiting(const QString& what);
  void show_question(const QString& question);
  // A line of the window's own in the question's place, while the program
  // asks nothing (the J point's click).
  void show_instruction(const QString& instruction);
  void show_note(const QString& note);
  void show_selection(const QString& selection);
  QString waiting_text() const;
  QString question_text() const;
  QString note_text() const;
  QString selection_text() const;
  QString data_folder_text() const;
  // Whether the results of the last measurement are saved, for the question
  // before closing mid-run.
  void set_results_saved(bool saved) { results_saved_ = saved; }
  // The question before closing mid-run.
  QString close_question() const;

  // The pane the View menu acts on: the one holding the keyboard focus,
  // else the child in front.
  SurfacePane* current_pane();
  // Replaces the Yes/No question before closing mid-run (true: close).
  void set_close_confirmer(std::function<bool()> confirmer) {
    confirm_close_ = std::move(confirmer);
  }
  // The host folder standing for the data folder, for the About box and the
  // status bar.
  void set_data_folder(const QString& folder);
  const QString& data_folder() const { return data_folder_; }
  QString about_text() const;
  // The File and View menus, for windows that add their own entries.
  QMenu& file_menu() { return *file_menu_; }
  QMenu& view_menu() { return *view_menu_; }
  // Entries for the marking of the fiducial points on the enlarged beat.
  QMenu& marking_menu() { return *marking_menu_; }

 signals:
  void data_folder_changed(const QString& folder);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void add_console_dock();
  void add_status_lines();
  void add_file_menu();
  void add_view_menu();
  void add_window_menu();
  void add_help_menu();
  void fill_window_menu(QMenu* menu);
  bool ask_before_closing();

  QMdiArea* mdi_area_;
  QDockWidget* console_dock_;
  QMenu* file_menu_ = nullptr;
  QMenu* view_menu_ = nullptr;
  QMenu* marking_menu_ = nullptr;
  QLabel* waiting_;
  QLabel* question_;
  QLabel* note_;
  QLabel* selection_;
  QLabel* data_folder_label_;
  std::function<void()> close_requested_;
  std::function<bool()> confirm_close_;
  QString data_folder_;
  bool ending_ = false;
  bool results_saved_ = false;
};

// Shows a child of the MDI area (restoring it when minimised or hidden) in
// front of the others, as the active one.
void bring_to_front(QMdiSubWindow& child);

// One child of the MDI area: a zoomable view of a surface, shown scaled to
// fit. Its close button only hides it (the Window menu shows it again); the
// program closes its windows itself.
class ChildWindow : public QMdiSubWindow {
  Q_OBJECT

 public:
  ChildWindow(SurfacePane* pane, const QString& caption);
  SurfaceView& view();
  SurfacePane& pane() { return *pane_; }
  // Shows it (restoring it when minimised or hidden) in front of the others.
  void bring_to_front();
  void close_by_program();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  SurfacePane* pane_;
  bool closing_ = false;
};

}  // namespace ba
